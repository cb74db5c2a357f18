#include <cstdlib>

#include <gtest/gtest.h>

#include "RemoteFileTexts.h"

using namespace remote_files;

namespace {

constexpr uint64_t kEpoch = 116444736000000000ull;
constexpr uint64_t kTicks = 10000000ull;

// File times of a UTC date and time, read back in UTC.
class FileTimeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_hadTz = tz != nullptr;
        if (tz)
            m_tz = tz;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_hadTz)
            setenv("TZ", m_tz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    bool m_hadTz = false;
    std::string m_tz;
};

} // namespace

TEST(RemoteFileTexts, SizesRoundUpToTheUnit)
{
    EXPECT_EQ(FormatFileSize(0), L"0 KB");
    EXPECT_EQ(FormatFileSize(1), L"1 KB");
    EXPECT_EQ(FormatFileSize(1024), L"1 KB");
    EXPECT_EQ(FormatFileSize(1025), L"2 KB");
    EXPECT_EQ(FormatFileSize(1048576), L"1 MB");
    EXPECT_EQ(FormatFileSize(1048577), L"2 MB");
    EXPECT_EQ(FormatFileSize(1ull << 40), L"1 TB");
    EXPECT_EQ(FormatFileSize((1ull << 30) * 3 - 1), L"3 GB");
    EXPECT_EQ(FormatFileSize(UINT64_MAX), L"16777216 TB");
}

TEST(RemoteFileTexts, DriveRows)
{
    EXPECT_EQ(FormatDriveSize(0, 100), L"");
    EXPECT_EQ(FormatDriveSize(1ull << 30, 0), L"1 GB");
    EXPECT_EQ(FormatDriveSize(1ull << 30, 1ull << 28), L"1 GB (25.0% free)");
    EXPECT_EQ(DriveTypeText(3), L"Local Disk");
    EXPECT_EQ(DriveTypeText(4), L"Network Drive");
    EXPECT_EQ(DriveTypeText(0), L"Unknown");
    EXPECT_EQ(DriveTypeText(7), L"Unknown");
}

TEST_F(FileTimeTest, NoLeadingZerosAndTwelveHourClock)
{
    // 2024-03-05 09:07 UTC and 2024-11-25 00:30 UTC.
    EXPECT_EQ(FormatFileTime(kEpoch + 1709629620ull * kTicks), L"3/5/2024 9:07 AM");
    EXPECT_EQ(FormatFileTime(kEpoch + 1732494600ull * kTicks), L"11/25/2024 12:30 AM");
    EXPECT_EQ(FormatFileTime(kEpoch + 1732537800ull * kTicks), L"11/25/2024 12:30 PM");
    EXPECT_EQ(FormatFileTime(0), L"");
    EXPECT_EQ(FormatFileTime(kEpoch - 1), L"");
    EXPECT_EQ(FormatFileTime(UINT64_MAX), L"");
}

TEST(RemoteFileTexts, NameRules)
{
    for (wchar_t c : std::wstring(L"/?:&\\*\"<>|#%"))
        EXPECT_TRUE(HasInvalidNameCharacters(std::wstring(L"a") + c + L"b")) << char(c);
    EXPECT_FALSE(HasInvalidNameCharacters(L"run 1 (copy).dat"));
    EXPECT_EQ(InvalidNameMessage(L"a?b"), L"a?b\n\nThe above file name contains invalid characters");
    EXPECT_FALSE(IsValidNewName(L"."));
    EXPECT_FALSE(IsValidNewName(L".."));
    EXPECT_FALSE(IsValidNewName(L""));
    EXPECT_FALSE(IsValidNewName(L"..\\up"));
    EXPECT_TRUE(IsValidNewName(L"..data"));
}

TEST(RemoteFileTexts, NewFolderCandidates)
{
    EXPECT_EQ(NewFolderCandidate(L"C:\\Data", 1), L"C:\\Data\\New Folder");
    EXPECT_EQ(NewFolderCandidate(L"C:\\Data", 2), L"C:\\Data\\New Folder (2)");
    EXPECT_EQ(NewFolderCandidate(L"C:\\Data", kMaxNewFolderCandidate), L"C:\\Data\\New Folder (99)");
}
