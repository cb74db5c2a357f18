#include "FirmwareUploadTexts.h"

#include <gtest/gtest.h>

#include "TQ8_64.h"

using namespace fwtext;
using Clock = std::chrono::steady_clock;

TEST(FirmwareUploadTexts, PackageVersion)
{
    EXPECT_EQ(PackageVersionText(kMixedFirmware, 0), L"Mixed firmware");
    EXPECT_EQ(PackageVersionText(kMixedFirmware, 12), L"Mixed firmware");
    EXPECT_EQ(PackageVersionText(0x01020304, 0), L"1.2.3.4");
    EXPECT_EQ(PackageVersionText(0xFF000A00, 77), L"255.0.10.0 (Custom: 77)");
}

TEST(FirmwareUploadTexts, WidenedVersionKeepsThePartsInOrder)
{
    EXPECT_EQ(WidenVersion(0x01020304), 0x0001000200030004ull);
    EXPECT_EQ(WidenVersion(0xFF0000FF), 0x00FF0000000000FFull);
    EXPECT_EQ(VerifyVersionWarning(0x01020304, 0x0001000200030005ull),
              L"Warning: The selected firmware verify file version (1.2.3.4) does not match the current firmware "
              L"version (1.2.3.5) and will likely fail verification.");
}

TEST(FirmwareUploadTexts, OneFileShowsOnlyTheGeneralStageText)
{
    EXPECT_EQ(StageText(false, 1, 1), L"Please wait while the TQ3300 firmware is uploaded...");
    EXPECT_EQ(StageText(true, 1, 1), L"Please wait while the TQ3300 firmware is verified...");
    EXPECT_EQ(StageText(false, 1, 2), L"Uploading firmware file 1 of 2...");
    EXPECT_EQ(StageText(true, 3, 3), L"Verifying firmware file 3 of 3...");
}

TEST(FirmwareUploadTexts, CountdownInWholeSeconds)
{
    const Clock::time_point now = Clock::now();
    EXPECT_EQ(RemainingSeconds(now + std::chrono::milliseconds(61900), now), 61);
    EXPECT_EQ(RemainingSeconds(now + std::chrono::milliseconds(999), now), 0);
    EXPECT_FALSE(RemainingSeconds(now, now).has_value());
    EXPECT_FALSE(RemainingSeconds(now - std::chrono::seconds(1), now).has_value());
    // Beyond what a 32-bit millisecond tick count could hold.
    EXPECT_EQ(RemainingSeconds(now + std::chrono::hours(24 * 50), now), 50 * 24 * 3600);
    EXPECT_EQ(WaitText(61), L"Current operation requires a wait: 01:01");
    EXPECT_EQ(WaitText(0), L"Current operation requires a wait: 00:00");
    EXPECT_EQ(WaitText(3599), L"Current operation requires a wait: 59:59");
}

TEST(FirmwareUploadTexts, FailureMessages)
{
    EXPECT_EQ(FailureText(false, -5, L"Timed out"), L"Firmware update failed : Timed out");
    EXPECT_EQ(FailureText(false, -12345, nullptr), L"Firmware update failed : (Unknown reason, error code=-12345)");
    EXPECT_EQ(FailureText(true, TQ8_ERR_FW_VERIFY_MISMATCH, L"x"), kVerifyMismatch);
    // A verify that could not run is not reported as a mismatch.
    EXPECT_EQ(FailureText(true, TQ8_ERR_FILE_UNREADABLE, L"Cannot read"), L"Firmware update failed : Cannot read");
    EXPECT_NE(std::wstring(kEepromFailure).find(L"back up) and  retry the"), std::wstring::npos);
    EXPECT_EQ(FailureStatus(true), L"Verify failed");
    EXPECT_EQ(FailureStatus(false), L"Firmware upload failed");
}

TEST(FirmwareUploadTexts, CompletionReportByOutFlags)
{
    struct Case {
        uint32_t flags;
        std::vector<std::wstring> notices;
        std::optional<vlt::PowerAction> ask;
    };
    const std::wstring complete = L"Firmware update complete";
    const std::wstring verified = L"Firmware verified; no firmware uploaded";
    const std::wstring upToDate = L"Firmware is up-to-date; no firmware uploaded";
    const Case cases[] = {
        {0x0, {complete}, std::nullopt},
        {0x8, {verified}, std::nullopt},
        {0x9, {verified}, std::nullopt},
        {0xA, {verified}, std::nullopt},
        {0x4, {upToDate}, std::nullopt},
        {0x5, {upToDate}, std::nullopt},
        {0x1, {}, vlt::PowerAction::PowerOff},
        {0x2, {}, vlt::PowerAction::Reboot},
        {0x10, {}, std::nullopt},
    };
    for (const Case& c : cases) {
        const CompletionReport report = ReportFor(c.flags);
        EXPECT_EQ(report.notices, c.notices) << c.flags;
        EXPECT_EQ(report.ask, c.ask) << c.flags;
    }
}

TEST(FirmwareUploadTexts, PowerQuestionAndFailure)
{
    EXPECT_EQ(PowerQuestion(vlt::PowerAction::PowerOff),
              L"Firmware update complete. The system must be shut down for changes to have effect.\n\n"
              L"Would you like to shut down now?");
    EXPECT_EQ(PowerQuestion(vlt::PowerAction::Reboot),
              L"Firmware update complete. The system must be reboot for changes to have effect.\n\n"
              L"Would you like to reboot now?");
    EXPECT_EQ(PowerFailurePrefix(vlt::PowerAction::PowerOff), L"Failed to shut down the system: ");
}
