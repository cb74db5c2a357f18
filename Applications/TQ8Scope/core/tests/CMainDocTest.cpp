#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <sys/stat.h>

#include <QTimer>

#include "CAcquisitionThread.h"
#include "CDeviceManagerTQ8.h"
#include "CMainDoc.h"
#include "MainDocFixture.h"
#include "DocTestSupport.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"
#include "FileDialog.h"
#include "FullDisk.h"
#include "MessageBox.h"
#include "ShellFixture.h"
#include "TextConv.h"

using doc_test::MainDocTest;
using doc_test::TestDoc;

TEST_F(MainDocTest, AcquisitionSetsAndClearsTheFlagAndCompletesOnce)
{
    TestDoc& doc = NewDoc();
    EXPECT_EQ(doc.GetStateFlags(), docstate::kLimitPlotData);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    EXPECT_TRUE(doc.GetStateFlags() & docstate::kAcquiring);
    EXPECT_FALSE(doc.IsIdle());
    ASSERT_TRUE(WaitIdle(doc));
    doc_test::Drain();
    EXPECT_TRUE(doc.GetStateFlags() & docstate::kBoardMemoryData);
    EXPECT_EQ(doc.CountTexts(L"Acquisition complete: "), 1u);
    EXPECT_EQ(doc.texts.size(), 1u);
    EXPECT_EQ(doc.GetAcquisitionCount(), 1u);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(MainDocTest, ZeroSampleCountIsATransferAtOnce)
{
    TestDoc& doc = NewDoc();
    doc.SetSampleCount(0);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.CountTexts(L"Transfer complete: "), 1u);
}

TEST_F(MainDocTest, NoPlotFlagKeepsCountAndMemoryFlag)
{
    TestDoc& doc = NewDoc();
    doc.SetNoPlotAfterAcquisition(true);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.GetAcquisitionCount(), 0u);
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kBoardMemoryData);
}

TEST_F(MainDocTest, StandbyDuringALongAcquisitionCancelsOnce)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::WaitUntilAcquiring(doc.GetDeviceHandle()));
    doc.StopAcquisition();
    ASSERT_TRUE(WaitIdle(doc));
    doc_test::Drain();
    // The virtual board's own cancel and the library's -10 make one completion.
    EXPECT_EQ(doc.CountTexts(L"Acquisition cancelled"), 1u);
    EXPECT_EQ(doc.texts.size(), 1u);
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kBoardMemoryData);
    // The next acquisition is not taken for finished by a late completion.
    TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    doc.SetSampleCount(32768);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.CountTexts(L"Acquisition complete: "), 1u);
}

TEST_F(MainDocTest, ClosingDuringAnAcquisitionEndsTheThread)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::WaitUntilAcquiring(device));
    doc.CloseDocument();
    EXPECT_EQ(doc.GetDeviceHandle(), nullptr);
    docs.clear();
    // Whatever the thread posted goes nowhere now.
    doc_test::Drain();
    EXPECT_EQ(devices->GetDocument(device), nullptr);
}

TEST_F(MainDocTest, DestroyingDuringAnAcquisitionEndsTheThread)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::WaitUntilAcquiring(doc.GetDeviceHandle()));
    docs.clear();
    doc_test::Drain();
    SUCCEED();
}

TEST_F(MainDocTest, FailedAcquisitionShowsTheErrorAndClearsFlags)
{
    TestDoc& doc = NewDoc();
    TQ8Sim_InjectResult("AcquireToBoardRamTQ8", TQ8_ERR_BUSY, 1);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"An error occurred during acquisition: ", 0), 0u);
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_TRUE(doc.IsIdle());
}

TEST_F(MainDocTest, FailedDuplicateIsReportedAndALaterStartWorks)
{
    TestDoc& doc = NewDoc();
    TQ8Sim_InjectResult("DuplicateHandleTQ8", TQ8_ERR_NO_MEMORY, 1);
    EXPECT_FALSE(doc.StartAcquisition(nullptr));
    EXPECT_EQ(doc.GetStateFlags(), docstate::kLimitPlotData);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"An error occurred during acquisition: ", 0), 0u);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.CountTexts(L"Acquisition complete: "), 1u);
}

TEST_F(MainDocTest, RefusedThreadOrEventShowsTheSystemErrorAndStaysIdle)
{
    struct Restore {
        ~Restore() { CAcquisitionThread::Creation() = {}; }
    } restore;
    CAcquisitionThread::Makers& makers = CAcquisitionThread::Creation();
    makers.thread = [](std::function<void()>) -> std::thread {
        throw std::system_error(EAGAIN, std::generic_category());
    };
    TestDoc& doc = NewDoc();
    EXPECT_FALSE(doc.StartAcquisition(nullptr));
    std::wstring expected;
    FormatSystemErrorText(EAGAIN, expected, L"Failed to create acquisition thread: ");
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), expected);
    EXPECT_NE(expected, L"Failed to create acquisition thread: ");
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_TRUE(doc.IsIdle());
    EXPECT_EQ(doc.GetStateFlags(), docstate::kLimitPlotData);
    EXPECT_TRUE(doc.texts.empty());

    TestDoc& other = NewDoc();
    makers.thread = nullptr;
    makers.event = []() -> std::unique_ptr<CAutoResetEvent> {
        throw std::system_error(ENOMEM, std::generic_category());
    };
    EXPECT_FALSE(other.StartAcquisition(nullptr));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to create event object: ", 0), 0u);
    EXPECT_TRUE(other.IsIdle());

    // Once the system gives it, the next start runs.
    makers.event = nullptr;
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.CountTexts(L"Acquisition complete: "), 1u);
}

TEST_F(MainDocTest, UnsupportedDestination)
{
    TestDoc& doc = NewDoc();
    doc.SetAcquisitionDestination(3);
    EXPECT_FALSE(doc.StartAcquisition(nullptr));
    EXPECT_EQ(boxes.LastText(), L"Unsupported acquisition destination");
    EXPECT_TRUE(doc.IsIdle());
}

TEST_F(MainDocTest, ArbiterAnswersPerFlags)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    TestDoc& doc = NewDoc();
    EXPECT_EQ(doc.SafeToObtainChannelData(0), CMainDoc::kArbiterNo); // no data yet
    TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.SafeToObtainChannelData(0), CMainDoc::kArbiterOk);
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    doc.SetSampleCount(doc_test::kSlowSamples);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    EXPECT_EQ(doc.SafeToObtainChannelData(0), CMainDoc::kArbiterNo); // acquiring
    doc.StopAcquisition();
    ASSERT_TRUE(WaitIdle(doc));
    EXPECT_EQ(doc.SafeToObtainChannelData(0), CMainDoc::kArbiterOk);
}

TEST(MainDocThreshold, KeepsOnAnUpwardCrossingOnly)
{
    EXPECT_FALSE(CMainDoc::ThresholdChanged(100, 140, 128));
    EXPECT_TRUE(CMainDoc::ThresholdChanged(100, 120, 128));
    EXPECT_TRUE(CMainDoc::ThresholdChanged(130, 140, 128));
    EXPECT_TRUE(CMainDoc::ThresholdChanged(100, 128, 128));
    EXPECT_FALSE(CMainDoc::ThresholdChanged(128, 129, 128));
}

TEST(MainDocDestinations, MapToOperations)
{
    EXPECT_EQ(CMainDoc::OperationOfDestination(0), 2u);
    EXPECT_EQ(CMainDoc::OperationOfDestination(1), 5u);
    EXPECT_EQ(CMainDoc::OperationOfDestination(2), 8u);
    EXPECT_EQ(CMainDoc::OperationOfDestination(3), 0u);
    EXPECT_EQ(CMainDoc::OperationOfDestination(-1), 0u);
}

TEST_F(MainDocTest, ControllerWhoseSecondControlledBoardFailsToStart)
{
    TestDoc& controller = NewDoc();
    for (int i = 0; i < 3; ++i) {
        TestDoc& d = NewDoc();
        ASSERT_TRUE(devices->SetController(d.GetDeviceHandle(), controller.GetDeviceHandle()));
        d.SetControlled(controller.GetDeviceHandle());
    }
    controller.RefreshControllerFlag();
    ASSERT_TRUE(controller.IsController());
    CDeviceManagerTQ8::HandleList order;
    ASSERT_EQ(devices->GetControlledDevices(controller.GetDeviceHandle(), order), 3u);
    CMainDoc* first = devices->GetDocument(order[0]);
    CMainDoc* second = devices->GetDocument(order[1]);
    CMainDoc* third = devices->GetDocument(order[2]);
    // Pre-trigger and trigger delay together refuse the second board's start.
    ASSERT_EQ(SetPreTriggerSamplesTQ8(order[1], 64), 0);
    ASSERT_EQ(SetTriggerDelaySamplesTQ8(order[1], 64), 0);

    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    const uint32_t count = 1u << 20;
    first->SetSampleCount(count);
    EXPECT_FALSE(controller.StartAcquisition(nullptr));
    EXPECT_FALSE(controller.GetStateFlags() & docstate::kAcquiring);
    EXPECT_TRUE(first->GetStateFlags() & docstate::kAcquiring);
    EXPECT_FALSE(second->GetStateFlags() & docstate::kAcquiring);
    EXPECT_FALSE(third->GetStateFlags() & docstate::kAcquiring);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"mutually exclusive"), std::wstring::npos);

    // The first runs to its end and reports to the controller.
    TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    ASSERT_TRUE(doc_test::PumpUntil([&] { return first->IsIdle(); }));
    EXPECT_EQ(static_cast<TestDoc*>(first)->CountTexts(L"Acquisition complete: "), 1u);
    EXPECT_FALSE(controller.GetStateFlags() & docstate::kControlledOutstanding);
    EXPECT_TRUE(controller.IsIdle());
}

TEST_F(MainDocTest, ControllerStaysShownAcquiringUntilTheLastControlledBoardReports)
{
    TestDoc& controller = NewDoc();
    TestDoc& controlled = NewDoc();
    ASSERT_NO_FATAL_FAILURE(Control(controller, controlled));
    controller.SetSampleCount(1024);
    controlled.SetSampleCount(1u << 20);
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    ASSERT_TRUE(controller.StartAcquisition(nullptr));
    EXPECT_TRUE(controller.GetStateFlags() & docstate::kControlledOutstanding);
    controller.MarkAcquisitionActive();
    ASSERT_TRUE(WaitIdle(controller));
    // Its own acquisition is done; the controlled board still runs.
    EXPECT_TRUE(controller.GetStateFlags() & docstate::kShownAcquiring);
    EXPECT_FALSE(controller.IsIdle());
    TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    ASSERT_TRUE(doc_test::PumpUntil([&] { return controller.IsIdle(); }));
    EXPECT_FALSE(controller.GetStateFlags() & docstate::kShownAcquiring);
}

TEST_F(MainDocTest, ClosingAControlledBoardWhileItAcquiresFreesItsController)
{
    TestDoc& controller = NewDoc();
    TestDoc& controlled = NewDoc();
    ASSERT_NO_FATAL_FAILURE(Control(controller, controlled));
    controller.SetSampleCount(1024);
    controlled.SetSampleCount(doc_test::kSlowSamples);
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    ASSERT_TRUE(controller.StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::WaitUntilAcquiring(controlled.GetDeviceHandle()));
    controlled.CloseDocument();
    TQ8Sim_SetTimeFactor(doc_test::kFastTime);
    ASSERT_TRUE(doc_test::PumpUntil([&] { return controller.IsIdle(); }));
    EXPECT_FALSE(controller.GetStateFlags() & docstate::kShownAcquiring);
}

TEST_F(MainDocTest, FailureOfAControlledBoardStopsTheGroup)
{
    TestDoc& controller = NewDoc();
    TestDoc& controlled = NewDoc();
    ASSERT_NO_FATAL_FAILURE(Control(controller, controlled));
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    controller.SetSampleCount(doc_test::kSlowSamples);
    // A region beyond board memory fails the controlled board's acquisition.
    controlled.SetStartSample(0xFFFFF000u);
    ASSERT_TRUE(controller.StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::PumpUntil([&] { return controller.IsIdle() && controlled.IsIdle(); }));
    ASSERT_GE(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"An error occurred during acquisition: ", 0), 0u);
    EXPECT_EQ(controller.CountTexts(L"Acquisition cancelled"), 1u);
    EXPECT_FALSE(controller.IsContinuousMode());
}

TEST_F(MainDocTest, PageMaskOfAFourChannelBoard)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 5001);
    desc.features = 0x1 | 0x8;
    desc.packages = 1u << 2 | 1u << 5;
    for (uint32_t& f : desc.channelFlags)
        f = 0;
    TestDoc& doc = NewLocalDoc(desc);
    const uint32_t mask = doc.GetControlPanelPageMask();
    EXPECT_EQ(mask & 0x2037u, 0x2037u);
    EXPECT_TRUE(mask & 0x40);
    EXPECT_TRUE(mask & 0x80);
    EXPECT_FALSE(mask & 0x1000);
    EXPECT_FALSE(mask & 0x4000);
    EXPECT_EQ(mask & 0xF00u, 0x100u | 0x400u);
    EXPECT_TRUE(mask & 0x8);
}

TEST_F(MainDocTest, DcOffsetPageNeedsFlag80OnChannelZero)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 5002);
    desc.channelFlags[0] = 0x2;
    desc.channelFlags[1] = desc.channelFlags[2] = desc.channelFlags[3] = 0x82;
    EXPECT_TRUE(NewLocalDoc(desc).GetControlPanelPageMask() & 0x8);
}

TEST_F(MainDocTest, TwoChannelBoardAsksChannelsZeroAndOneOnly)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 5003);
    desc.revision = 1;
    desc.channelFlags[0] = desc.channelFlags[1] = 0x82;
    desc.channelFlags[2] = desc.channelFlags[3] = 0;
    TestDoc& doc = NewLocalDoc(desc);
    ASSERT_TRUE(doc.IsTwoChannelModel());
    EXPECT_FALSE(doc.GetControlPanelPageMask() & 0x8);
}

TEST_F(MainDocTest, FourChannelBoardNeedsFlag2OnEveryChannel)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 5004);
    desc.channelFlags[0] = desc.channelFlags[1] = desc.channelFlags[2] = 0x82;
    desc.channelFlags[3] = 0x80;
    EXPECT_TRUE(NewLocalDoc(desc).GetControlPanelPageMask() & 0x8);
    TQ8Sim_DefaultBoardDesc(&desc, 5005);
    for (uint32_t& f : desc.channelFlags)
        f = 0x82;
    EXPECT_FALSE(NewLocalDoc(desc).GetControlPanelPageMask() & 0x8);
}

TEST_F(MainDocTest, NamesAndTitles)
{
    TestDoc& doc = NewDoc();
    std::wstring name;
    ASSERT_EQ(GetBoardNameString(doc.GetDeviceHandle(), name, TQ8_NAME_SET_DISPLAY), 0);
    EXPECT_EQ(doc.GetTitle(), name);
    EXPECT_EQ(doc.GetDeviceDisplayName(), name);
    std::wstring fileName;
    ASSERT_EQ(GetBoardNameString(doc.GetDeviceHandle(), fileName, TQ8_NAME_SET_FILE), 0);
    EXPECT_EQ(doc.GetDefaultSettingsFileName(), fileName + L"v.tq8set");
    doc.SetSettingsPath(L"/tmp/some dir/board.tq8set", false);
    EXPECT_EQ(doc.GetTitle(), name + L" - board.tq8set");
    TQ8Sim_InjectResult("GetBoardNameWTQ8", TQ8_ERR_GENERAL, 1);
    EXPECT_EQ(doc.GetDeviceDisplayName(), L"TQ3300");
    doc.CloseDocument();
    EXPECT_EQ(doc.GetDeviceDisplayName(), L"<No device>");
}

TEST_F(MainDocTest, HandOverCarriesOnlyLimitAndSoftwareTrigger)
{
    TQ8_HANDLE h = devices->ConnectVirtualDevice();
    TestDoc doc(nullptr, devices.get(), h, 0xFFFFFFFF);
    EXPECT_EQ(doc.GetStateFlags(), docstate::kHandOver);
    TestDoc other(nullptr, nullptr, nullptr, 0);
    EXPECT_EQ(other.GetStateFlags(), 0u);
}

// ---- Settings files

namespace {
class MainDocSettingsTest : public MainDocTest {
protected:
    void SetUp() override
    {
        MainDocTest::SetUp();
        dir = std::make_unique<ScratchDir>();
        previousBeep = vlt::SetErrorBeepHandler([this] { ++beeps; });
    }
    void TearDown() override
    {
        vlt::SetErrorBeepHandler(previousBeep);
        vlt::SetFileDialogHandler({});
        dir.reset();
        MainDocTest::TearDown();
    }
    std::wstring PathOf(const char* name) const { return vlt::Utf8ToWide((dir->Path() / name).string()); }

    std::unique_ptr<ScratchDir> dir;
    std::function<void()> previousBeep;
    int beeps = 0;
};
} // namespace

TEST_F(MainDocSettingsTest, SaveAndLoadRoundTrip)
{
    TestDoc& doc = NewDoc();
    const TQ8_HANDLE h = doc.GetDeviceHandle();
    ASSERT_EQ(SetTriggerModeTQ8(h, 1), 0);
    ASSERT_EQ(SetSegmentSizeTQ8(h, 4096), 0);
    const std::wstring path = PathOf("board.tq8set");
    doc.SetModified(true);
    ASSERT_TRUE(doc.SaveSettingsFile(path));
    EXPECT_FALSE(doc.IsModified());
    ASSERT_EQ(SetTriggerModeTQ8(h, 0), 0);
    ASSERT_TRUE(doc.LoadSettingsFile(path));
    EXPECT_EQ(GetTriggerModeTQ8(h, 0), 1);
    EXPECT_EQ(doc.GetSettingsPath(), path);
    EXPECT_EQ(doc.CountTexts(L"Setting loaded and applied to TQ3300"), 1u);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(MainDocSettingsTest, SaveWithoutAnyPathBeeps)
{
    TestDoc& doc = NewDoc();
    EXPECT_FALSE(doc.SaveSettingsFile(L""));
    EXPECT_EQ(beeps, 1);
}

TEST_F(MainDocSettingsTest, UnsavedChangesWithoutPathAreNotOffered)
{
    TestDoc& doc = NewDoc();
    const std::wstring path = PathOf("a.tq8set");
    ASSERT_EQ(SaveSettingsToFileXmlWTQ8(doc.GetDeviceHandle(), 2, path.c_str(), "UTF-8"), 0);
    doc.SetModified(true);
    ASSERT_TRUE(doc.LoadSettingsFile(path));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(MainDocSettingsTest, PromptNamesTheFileAndCancelStopsTheLoad)
{
    TestDoc& doc = NewDoc();
    const std::wstring first = PathOf("first.tq8set");
    const std::wstring second = PathOf("second.tq8set");
    ASSERT_TRUE(doc.SaveSettingsFile(first));
    doc.SetSettingsPath(first, false);
    ASSERT_TRUE(doc.SaveSettingsFile(second));
    doc.SetModified(true);
    boxes.QueueAnswer(IDCANCEL);
    EXPECT_FALSE(doc.LoadSettingsFile(second));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Save changes to modified settings file: first.tq8set?");
    EXPECT_EQ(doc.GetSettingsPath(), first);
}

TEST_F(MainDocSettingsTest, AFailedSaveAtThePromptStopsTheLoad)
{
    TestDoc& doc = NewDoc();
    const std::wstring first = PathOf("first.tq8set");
    const std::wstring second = PathOf("second.tq8set");
    ASSERT_TRUE(doc.SaveSettingsFile(first));
    ASSERT_TRUE(doc.SaveSettingsFile(second));
    doc.SetSettingsPath(first, false);
    doc.SetModified(true);
    boxes.QueueAnswer(IDYES);
    TQ8Sim_InjectResult("SaveSettingsToFileXmlWTQ8", TQ8_ERR_FILE_WRITE, 1);
    EXPECT_FALSE(doc.LoadSettingsFile(second));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_NE(boxes.LastText().find(L"Failed to save board settings: "), std::wstring::npos);
    EXPECT_EQ(doc.GetSettingsPath(), first);
    EXPECT_TRUE(doc.IsModified());
}

// The system's reason of a failed save reaches the user, as for every other
// file the program writes.
TEST_F(MainDocSettingsTest, ASaveOnAFullDiskNamesTheReason)
{
    TestDoc& doc = NewDoc();
    const std::string folder = (dir->Path() / "full").string();
    std::filesystem::create_directories(folder);
    const auto text = fulldisk::Run(folder, 1 << 20, 0, [&](const std::string& inside) {
        const bool saved = doc.SaveSettingsFile(vlt::Utf8ToWide(inside + "/board.tq8set"));
        return std::string(saved ? "saved" : "") + vlt::WideToUtf8(boxes.LastText());
    });
    if (!text)
        GTEST_SKIP() << "no full file system can be mounted here";
    EXPECT_NE(text->find("Failed to save board settings: File could not be written\n\nCannot write '"),
              std::string::npos)
        << *text;
    EXPECT_NE(text->find("board.tq8set': No space left on device"), std::string::npos) << *text;
}

TEST_F(MainDocSettingsTest, FailedLoadKeepsPathAndShowsTheBox)
{
    TestDoc& doc = NewDoc();
    doc.SetSettingsPath(PathOf("kept.tq8set"), false);
    EXPECT_FALSE(doc.LoadSettingsFile(PathOf("missing.tq8set")));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"Failed to load and apply board settings: "), std::wstring::npos);
    EXPECT_EQ(doc.GetSettingsPath(), PathOf("kept.tq8set"));
}

TEST_F(MainDocSettingsTest, AFileThatCannotBeReadIsRefusedWithItsReason)
{
    TestDoc& doc = NewDoc();
    const std::wstring truncated = PathOf("truncated.tq8set");
    ASSERT_TRUE(doc.SaveSettingsFile(truncated));
    const std::filesystem::path file = dir->Path() / "truncated.tq8set";
    std::filesystem::resize_file(file, std::filesystem::file_size(file) / 2);
    const std::wstring fifo = PathOf("pipe.tq8set");
    ASSERT_EQ(::mkfifo(vlt::WideToUtf8(fifo).c_str(), 0600), 0);
    std::wstring notValid;
    ASSERT_EQ(GetErrorTextString(TQ8_ERR_BAD_SETTINGS, notValid, nullptr), 0);
    std::wstring name;
    ASSERT_EQ(GetBoardNameString(doc.GetDeviceHandle(), name, kErrorBoxNameFlags), 0);
    const std::wstring prefix = name + L": Failed to load and apply board settings: ";

    EXPECT_FALSE(doc.LoadSettingsFile(truncated));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(prefix + L"'" + truncated + L"'", 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(boxes.LastText().find(notValid), std::wstring::npos);
    EXPECT_FALSE(doc.LoadSettingsFile(fifo));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText(), prefix + L"Cannot read '" + fifo + L"': not a regular file");
    // Well-formed settings that do not fit the board keep the library's word.
    const std::wstring other = PathOf("other.tq8set");
    std::ofstream(vlt::WideToUtf8(other)) << "<Something/>";
    EXPECT_FALSE(doc.LoadSettingsFile(other));
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(boxes.LastText(), prefix + notValid);
}

// A value the board does not take is named with its element; nothing of
// the file is applied.
TEST_F(MainDocSettingsTest, ARefusedValueIsNamedWithItsElement)
{
    TestDoc& doc = NewDoc();
    const TQ8_HANDLE h = doc.GetDeviceHandle();
    ASSERT_EQ(SetTriggerLevelATQ8(h, 44), TQ8_OK);
    std::wstring notValid;
    ASSERT_EQ(GetErrorTextString(TQ8_ERR_BAD_SETTINGS, notValid, nullptr), 0);
    const std::wstring path = PathOf("bad.tq8set");
    const std::pair<const char*, const char*> bad[] = {
        {"InternalAdcClockRate", "100"}, {"TriggerSource", "banana"}, {"MemoryRegionCount", "-5"}};
    size_t shown = 0;
    for (const auto& [name, value] : bad) {
        SCOPED_TRACE(name);
        std::ofstream(vlt::WideToUtf8(path)) << "<?xml version=\"1.0\"?>\n<TQ8Settings><TriggerLevelA>12</TriggerLevelA><"
                                             << name << ">" << value << "</" << name << "></TQ8Settings>\n";
        EXPECT_FALSE(doc.LoadSettingsFile(path));
        ASSERT_EQ(boxes.Count(), ++shown);
        const std::wstring text = boxes.LastText();
        EXPECT_NE(text.find(L"Failed to load and apply board settings: " + notValid + L"\n\n"), std::wstring::npos)
            << vlt::WideToUtf8(text);
        EXPECT_NE(text.find(vlt::Utf8ToWide(name)), std::wstring::npos) << vlt::WideToUtf8(text);
        EXPECT_NE(text.find(L"\"" + vlt::Utf8ToWide(value) + L"\""), std::wstring::npos) << vlt::WideToUtf8(text);
        EXPECT_EQ(GetTriggerLevelATQ8(h, 1), 44);
    }
}

TEST_F(MainDocSettingsTest, SaveAsProposesTheDefaultName)
{
    TestDoc& doc = NewDoc();
    vlt::FileDialogRequest seen;
    const std::wstring path = PathOf("chosen.tq8set");
    vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) {
        seen = r;
        return std::optional<std::wstring>(path);
    });
    ASSERT_TRUE(doc.OnSaveSettings());
    EXPECT_FALSE(seen.open);
    EXPECT_EQ(seen.fileName, doc.GetDefaultSettingsFileName());
    EXPECT_EQ(seen.title, L"Save TQ3300 Hardware Settings As");
    EXPECT_EQ(seen.defaultExt, L"tq8set");
    EXPECT_TRUE(seen.overwritePrompt);
    EXPECT_EQ(doc.GetSettingsPath(), path);
    EXPECT_TRUE(std::filesystem::exists(dir->Path() / "chosen.tq8set"));
}

TEST_F(MainDocSettingsTest, CopyToAllCopiesToBoardsWithADocumentOnly)
{
    TestDoc& source = NewDoc();
    TestDoc& target = NewDoc();
    const TQ8_HANDLE spare = devices->ConnectVirtualDevice(); // no document
    ASSERT_NE(spare, nullptr);
    ASSERT_EQ(SetTriggerModeTQ8(source.GetDeviceHandle(), 1), 0);
    ASSERT_EQ(SetSegmentSizeTQ8(source.GetDeviceHandle(), 4096), 0);
    source.SetStartSample(128);
    source.SetSampleCount(65536);
    source.CopySettingsToDevices(true);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(GetTriggerModeTQ8(target.GetDeviceHandle(), 0), 1);
    EXPECT_NE(GetTriggerModeTQ8(spare, 0), 1);
    EXPECT_EQ(target.GetStartSample(), 128u);
    EXPECT_EQ(target.GetSampleCount(), 65536u);
    EXPECT_EQ(target.CountTexts(L"Hardware settings copied"), 1u);
    EXPECT_NE(std::find(target.hints.begin(), target.hints.end(), dochint::kAcquisitionRegion), target.hints.end());
}

TEST_F(MainDocSettingsTest, CopyToAllWithoutOtherDocumentsBeeps)
{
    TestDoc& source = NewDoc();
    source.CopySettingsToDevices(true);
    EXPECT_EQ(beeps, 1);
}

// ---- Continuous mode with the main frame's loop

namespace {
class MainDocContinuousTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
        UseFakes();
        ASSERT_TRUE(app->StartUp({}));
        devices = std::make_unique<CDeviceManagerTQ8>();
        doc = std::make_unique<TestDoc>(app.get(), devices.get(), devices->ConnectVirtualDevice(), 0);
        Failsafe();
        doc->SetAcquireContinuouslyChecked(true);
    }
    void TearDown() override
    {
        doc.reset();
        devices.reset();
        TQ8Sim_Reset();
        ShellTest::TearDown();
    }
    // The main frame's loop runs nested in the event loop until its set is
    // empty: should a test go wrong, this ends continuous mode instead of
    // hanging the test program.
    void Failsafe()
    {
        auto* timer = new QTimer(app.get());
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, [this] {
            ADD_FAILURE() << "continuous mode did not end";
            if (doc)
                doc->SetContinuousMode(false, false, false);
        });
        timer->start(20000);
    }
    // Runs action from inside the main frame's loop once cond holds.
    void WhenInsideLoop(std::function<bool()> cond, std::function<void()> action)
    {
        auto* timer = new QTimer(app.get());
        timer->setInterval(1);
        QObject::connect(timer, &QTimer::timeout, [timer, cond, action] {
            if (!cond())
                return;
            timer->stop();
            action();
            timer->deleteLater();
        });
        timer->start();
    }

    vlt::MessageBoxRecorder boxes;
    std::unique_ptr<CDeviceManagerTQ8> devices;
    std::unique_ptr<TestDoc> doc;
};
} // namespace

TEST_F(MainDocContinuousTest, RunsUntilStopped)
{
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    EXPECT_TRUE(doc->IsContinuousMode());
    WhenInsideLoop([this] { return doc->GetAcquisitionCount() >= 5; }, [this] { doc->StopAcquisition(); });
    ASSERT_TRUE(doc_test::PumpUntil([this] { return doc->IsIdle(); }));
    EXPECT_GE(doc->GetAcquisitionCount(), 5u);
    EXPECT_FALSE(doc->IsContinuousMode());
    EXPECT_FALSE(doc->GetStateFlags() & docstate::kShownAcquiring);
    EXPECT_EQ(boxes.Count(), 0u);
    // Continuous runs show no completion text.
    EXPECT_EQ(doc->CountTexts(L"Acquisition complete"), 0u);
}

TEST_F(MainDocContinuousTest, EndsOnAFailure)
{
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    WhenInsideLoop([this] { return doc->GetAcquisitionCount() >= 3; },
                   [] { TQ8Sim_InjectResult("AcquireToBoardRamTQ8", TQ8_ERR_BUSY, 1); });
    ASSERT_TRUE(doc_test::PumpUntil([this] { return boxes.Count() > 0 && doc->IsIdle(); }));
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"An error occurred during acquisition: ", 0), 0u);
    EXPECT_FALSE(doc->IsContinuousMode());
}

TEST_F(MainDocContinuousTest, CancelByStandbyEndsContinuousMode)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    doc->SetSampleCount(doc_test::kSlowSamples);
    const TQ8_HANDLE device = doc->GetDeviceHandle();
    WhenInsideLoop([device] { return GetOperatingModeTQ8(device, 0) == TQ8_MODE_RAM_ACQ; },
                   [device] { SetOperatingModeTQ8(device, TQ8_MODE_STANDBY); });
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::PumpUntil([this] { return doc->IsIdle(); }));
    EXPECT_EQ(doc->CountTexts(L"Continuous acquisition mode cancelled"), 1u);
}

TEST_F(MainDocContinuousTest, StopOnThresholdChangeEndsContinuousMode)
{
    // A flat signal at 100 never crosses the level upward.
    uint32_t serial = 0;
    ASSERT_EQ(GetSerialNumberTQ8(doc->GetDeviceHandle(), &serial), 0);
    TQ8SIM_SIGNAL flat{};
    flat.size = sizeof(flat);
    flat.offset = -28.0;
    flat.harmonicsDbc = -300.0;
    ASSERT_EQ(TQ8Sim_SetSignal(serial, 0, &flat), 0);
    doc->SetStopOnThresholdChange(true, 0, 100, 128);
    // A flat signal does not trigger: the software trigger starts each run.
    doc->SetAlwaysForceTrigger(true);
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::PumpUntil([this] { return doc->IsIdle(); }));
    EXPECT_EQ(doc->CountTexts(L"Stopped continuous acqusition: threshold change"), 1u);
    EXPECT_FALSE(doc->IsContinuousMode());
}

TEST_F(MainDocContinuousTest, ClosingInContinuousModeLeavesTheLoop)
{
    WhenInsideLoop([this] { return doc->GetAcquisitionCount() >= 2; }, [this] {
        doc->CloseDocument();
        doc.reset();
    });
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    ASSERT_TRUE(doc_test::PumpUntil([this] { return !doc; }));
    doc_test::Drain();
    SUCCEED();
}

// ---- Hardware commands

TEST_F(MainDocTest, PowerUpDefaultsRefreshTheViewsEvenWhenTheyFail)
{
    TestDoc& doc = NewDoc();
    doc.OnSetPowerupDefaults();
    EXPECT_EQ(doc.CountTexts(L"TQ3300 hardware defaults set"), 1u);
    TQ8Sim_InjectResult("SetPowerupDefaultsTQ8", TQ8_ERR_GENERAL, 1);
    doc.hints.clear();
    doc.OnSetPowerupDefaults();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Failed to set hardware defaults: ", 0), 0u);
    // The clock may have moved with the rest: the rate displays follow.
    EXPECT_EQ(doc.hints, (std::vector<int>{dochint::kBoardSettings, dochint::kClock}));
}

TEST_F(MainDocTest, RewriteFailureLeavesTheViewsAlone)
{
    TestDoc& doc = NewDoc();
    TQ8Sim_InjectResult("RewriteHardwareSettingsTQ8", TQ8_ERR_GENERAL, 1);
    doc.OnRewriteHardwareSettings();
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_TRUE(doc.hints.empty());
    doc.OnRewriteHardwareSettings();
    EXPECT_EQ(doc.CountTexts(L"Hardware settings rewritten"), 1u);
    EXPECT_EQ(doc.hints, (std::vector<int>{dochint::kBoardSettings, dochint::kClock}));
}

TEST_F(MainDocTest, AppNotificationsBecomeHints)
{
    TestDoc& doc = NewDoc();
    for (const int type : {appnotify::kPlotOptions, appnotify::kDeviceList, appnotify::kBeforeWorkspaceSave,
                           appnotify::kAfterWorkspaceLoad, 9})
        doc.OnAppNotify(nullptr, type, nullptr);
    EXPECT_EQ(doc.hints, (std::vector<int>{dochint::kPlotOptions, dochint::kDeviceList, dochint::kBeforeWorkspaceSave,
                                           dochint::kAfterWorkspaceLoad}));
}

TEST_F(MainDocTest, AfterWorkspaceLoadTakesTheRolesFromTheDeviceManager)
{
    TestDoc& controller = NewDoc();
    TestDoc& controlled = NewDoc();
    ASSERT_TRUE(devices->SetController(controlled.GetDeviceHandle(), controller.GetDeviceHandle()));
    controller.AfterWorkspaceLoad();
    controlled.AfterWorkspaceLoad();
    EXPECT_TRUE(controller.IsController());
    EXPECT_FALSE(controller.IsControlled());
    EXPECT_TRUE(controlled.IsControlled());
    EXPECT_FALSE(controlled.IsController());
}

// ---- The application makes real documents

TEST_F(ShellTest, VirtualSwitchOpensABoardDocument)
{
    TQ8Sim_Reset();
    ASSERT_TRUE(app->StartUp({L"-virtual"}));
    const std::vector<IBoardDocument*> all = app->GetMainFrame()->GetDocuments();
    ASSERT_EQ(all.size(), 1u);
    auto* doc = dynamic_cast<CMainDoc*>(all[0]);
    ASSERT_NE(doc, nullptr);
    EXPECT_TRUE(doc->IsVirtualDevice());
    EXPECT_EQ(doc->GetTitle(), doc->GetDeviceDisplayName());
    app->GetMainFrame()->close();
    app->ShutDown();
    TQ8Sim_Reset();
}

// ---- Direct reads

TEST_F(MainDocTest, DirectReadSizesTheBufferFromTheRequest)
{
    TestDoc& doc = NewDoc();
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(WaitIdle(doc));
    ASSERT_TRUE(doc.ReadSampleRam());
    EXPECT_EQ(doc.GetDmaCapacity(), CMainDoc::kMinDmaSamples);
    // A larger read grows the buffer to the request.
    doc.SetSampleCount(2 * CMainDoc::kMinDmaSamples);
    ASSERT_TRUE(doc.ReadSampleRam());
    EXPECT_EQ(doc.GetDmaCapacity(), 2 * CMainDoc::kMinDmaSamples);
    EXPECT_EQ(boxes.Count(), 0u);
    // Another document reading "the last length" gets a buffer that holds it.
    TestDoc& other = NewDoc();
    other.SetSampleCount(0);
    ASSERT_TRUE(other.ReadSampleRam());
    EXPECT_EQ(other.GetDmaCapacity(), 2 * CMainDoc::kMinDmaSamples);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(MainDocTest, DirectReadFailuresAndTimeOut)
{
    TestDoc& doc = NewDoc();
    TQ8Sim_InjectResult("ReadSampleRamFastTQ8", TQ8_ERR_GENERAL, 1);
    EXPECT_FALSE(doc.ReadSampleRam());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"Failed to read sample RAM: "), std::wstring::npos);
    TQ8Sim_InjectResult("WaitForTransferCompleteTQ8", TQ8_ERR_TIMEOUT, 1);
    EXPECT_TRUE(doc.ReadSampleRam());
    EXPECT_EQ(doc.CountTexts(L"Warning: Transfer timed out"), 1u);
    EXPECT_EQ(GetOperatingModeTQ8(doc.GetDeviceHandle(), 0), TQ8_MODE_STANDBY);
    TQ8Sim_InjectResult("AllocateDmaBufferTQ8", TQ8_ERR_NO_MEMORY, 1);
    doc.SetSampleCount(4 * CMainDoc::kMinDmaSamples);
    EXPECT_FALSE(doc.ReadSampleRam());
    EXPECT_NE(boxes.LastText().find(L"Failed to allocate DMA buffer: "), std::wstring::npos);
}

TEST_F(MainDocTest, PciBufferedAcquisition)
{
    TestDoc& doc = NewDoc();
    EXPECT_TRUE(doc.AcquirePciBuffered());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(GetOperatingModeTQ8(doc.GetDeviceHandle(), 0), TQ8_MODE_STANDBY);
    // A transfer that cannot start leaves the board in standby too.
    TQ8Sim_InjectResult("GetPciAcquisitionDataFastTQ8", TQ8_ERR_DMA_BUFFER, 1);
    EXPECT_FALSE(doc.AcquirePciBuffered());
    EXPECT_NE(boxes.LastText().find(L"Failed to start asynch DMA xfer: "), std::wstring::npos);
    EXPECT_EQ(GetOperatingModeTQ8(doc.GetDeviceHandle(), 0), TQ8_MODE_STANDBY);
}
