#include <atomic>
#include <filesystem>
#include <fstream>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CProgOptPP_Gen.h"
#include "CProgOptSheet.h"
#include "DesktopFileValidate.h"
#include "HostAppTest.h"
#include "IMainFrameServices.h"
#include "RegistryStore.h"
#include "TextConv.h"
#include "TimedStatusText.h"
#include "TimerSet.h"

using namespace srvtest;

namespace {

using StartUp = HostAppTest;

bool FlagsStored(uint32_t& flags)
{
    return vlt::RegistryStore::GetDWord(vlt::RegHive::CurrentUser, L"Software\\Veltrane\\VltSrvMgr\\Settings",
                                        L"ProgOptFlags", flags);
}

// Runs a second copy's start-up on a thread of its own (the first answers
// from this thread's event loop); true when it chose to end.
bool SecondCopyEnds(CMainApp::Environment environment)
{
    std::atomic<bool> done{false};
    bool ended = false;
    std::unique_ptr<QThread> thread(QThread::create([&] {
        CMainApp second(std::move(environment));
        ended = !second.InitInstance({});
        done = true;
    }));
    thread->start();
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    thread->wait();
    return ended;
}

int VisibleTopLevels()
{
    int count = 0;
    for (QWidget* widget : QApplication::topLevelWidgets())
        count += widget->isVisible() ? 1 : 0;
    return count;
}

} // namespace

TEST_F(StartUp, SecondCopyBringsBackTheHiddenFirstAndLeavesNoWindow)
{
    trayAvailable = true;
    StoreFlags(CProgramOptions::kMinimizeToTray);
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    frame->showMinimized();
    QTRY_VERIFY(!frame->isVisible());
    const int before = VisibleTopLevels();
    vlt::RegistryStore::DeleteValue(vlt::RegHive::CurrentUser, L"Software\\Veltrane\\VltSrvMgr\\Settings",
                                    L"ProgOptFlags");

    EXPECT_TRUE(SecondCopyEnds(Environment()));
    EXPECT_TRUE(frame->isVisible());
    EXPECT_FALSE(frame->isMinimized());
    EXPECT_EQ(frame->MessageText(), "Singleton application instance enforced");
    EXPECT_EQ(frame->StatusText().Timers().Interval(1), 1700);
    EXPECT_EQ(VisibleTopLevels(), before + 1);
    // The second copy loaded no options, so it saved none.
    uint32_t flags = 0;
    EXPECT_FALSE(FlagsStored(flags));
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(StartUp, BootTimeStartsMinimisedAndHidesOnlyWithATray)
{
    StoreFlags(CProgramOptions::kMinimizeToTray);
    ASSERT_TRUE(Start({"-BootTime"}));
    EXPECT_TRUE(app->IsBootTime());
    QTest::qWait(50);
    EXPECT_TRUE(app->MainFrame()->isMinimized());
    EXPECT_TRUE(app->MainFrame()->isVisible()) << "no tray to come back from";
    app.reset();

    trayAvailable = true;
    ASSERT_TRUE(Start({"/boottime"}));
    QTRY_VERIFY(!app->MainFrame()->isVisible());
    EXPECT_TRUE(app->MainFrame()->isMinimized());
}

TEST_F(StartUp, BootTimeWithoutBitFourStaysVisibleAndSkipsThePlacement)
{
    trayAvailable = true;
    for (auto [name, value] : {std::pair{L"WndShowCmd", 1}, {L"WndLeft", 40}, {L"WndTop", 30}, {L"WndRight", 700},
                               {L"WndBottom", 500}})
        vlt::AppProfile::WriteInt(L"Settings", name, static_cast<uint32_t>(value));
    ASSERT_TRUE(Start({"-boottime"}));
    QTest::qWait(50);
    EXPECT_TRUE(app->MainFrame()->isVisible());
    EXPECT_TRUE(app->MainFrame()->isMinimized());
    EXPECT_NE(app->MainFrame()->normalGeometry().topLeft(), QPoint(40, 30));
}

TEST_F(StartUp, AutoStartRunsOnceTheWindowIsUp)
{
    StoreFlags(CProgramOptions::kAutoStartServices);
    bool visibleAtLoad = false;
    std::string textAtLoad;
    ASSERT_TRUE(Start());
    manager->onLoad = [&] { visibleAtLoad = app->MainFrame()->isVisible(); };
    EXPECT_FALSE(app->Document()->IsRunning()) << "started from the message loop, not during start-up";
    QTRY_VERIFY(app->Document()->IsRunning());
    EXPECT_TRUE(visibleAtLoad);
    EXPECT_EQ(manager->loadedPath, env.Dir() + "/VltSvcCfg.xml");
    EXPECT_TRUE(manager->listening);
    EXPECT_EQ(app->MainFrame()->MessageText(), "Services auto-started");
}

TEST_F(StartUp, DamagedOptionsAreReportedUsedAsDefaultsAndNotSaved)
{
    std::filesystem::create_directories(env.Dir() + "/reg/user");
    std::ofstream(env.HiveFile()) << "<registry><broken";
    ASSERT_TRUE(Start());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_NE(boxes.LastText().find(L"could not be read"), std::wstring::npos);
    EXPECT_EQ(app->Options().Flags(), 0u);
    app.reset();
    std::ifstream in(env.HiveFile());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "<registry><broken");
}

TEST_F(StartUp, ExitSavesTheFlags)
{
    ASSERT_TRUE(Start());
    app->Options().Set(CProgramOptions::kAllowShutdown, true);
    app.reset();
    uint32_t flags = 0;
    ASSERT_TRUE(FlagsStored(flags));
    EXPECT_EQ(flags, CProgramOptions::kAllowShutdown);
}

// The document's texts in the order the window receives them.
class RecordingFrame : public IMainFrameServices {
public:
    void SetTimedStatusText(const std::string& text, unsigned timeoutMs) override
    {
        texts.push_back(text + "|" + std::to_string(timeoutMs));
    }
    void SetMessageText(const std::string& text) override { texts.push_back(text); }
    void RefreshNotifyIcon() override { texts.push_back("<icon>"); }
    std::vector<std::string> texts;
};

class Document : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        auto made = std::make_unique<CFakeServiceMgr>();
        made->classes = {{1, {"FileServerWindows", "x", 0xFFFF}}};
        manager = made.get();
        doc = std::make_unique<CMainDoc>(options, std::move(made), "/cfg/VltSvcCfg.xml");
        doc->SetFrame(&frame);
    }
    CProgramOptions options;
    RecordingFrame frame;
    vlt::MessageBoxRecorder boxes;
    CFakeServiceMgr* manager = nullptr;
    std::unique_ptr<CMainDoc> doc;
};

TEST_F(Document, AutoStartTellsOfItselfFirst)
{
    doc->OnAutoStart();
    const std::vector<std::string> expected = {
        "Auto-starting services...",
        "Loading and starting services. This could take a minute or two if any devices need firmware...|0",
        "Services loaded and started|1700", "<icon>", "Services auto-started|1700"};
    EXPECT_EQ(frame.texts, expected);
    EXPECT_EQ(doc->ToggleCommandText(), "Stop Services");
}

TEST_F(Document, PartialLoadWarnsAndStillRuns)
{
    manager->result = 512;
    std::vector<bool> hints;
    QObject::connect(doc.get(), &CMainDoc::viewsUpdated, [&](int hint, bool running) {
        EXPECT_EQ(hint, 1);
        hints.push_back(running);
    });
    EXPECT_TRUE(doc->StartServices());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"One or more services failed to load");
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_TRUE(doc->IsRunning());
    doc->OnCommand(CMainDoc::ID_TOGGLE_SERVICES);
    EXPECT_FALSE(doc->IsRunning());
    EXPECT_EQ(hints, (std::vector<bool>{true, false}));
    EXPECT_EQ(doc->ToggleCommandText(), "Start Services");
}

TEST_F(Document, FailedStartLeavesNothingLoadedAndTheStateAsItWas)
{
    manager->result = -540;
    manager->keepOnFailure = true;
    int updates = 0;
    QObject::connect(doc.get(), &CMainDoc::viewsUpdated, [&] { ++updates; });
    doc->OnAutoStart();
    EXPECT_FALSE(doc->IsRunning());
    EXPECT_EQ(updates, 0);
    EXPECT_TRUE(manager->current.empty()) << "half-loaded services are unloaded";
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text.rfind(L"Failed to startup services: ", 0), 0u);
    EXPECT_GT(boxes.Boxes()[0].text.size(), std::wstring(L"Failed to startup services: ").size());
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(boxes.Boxes()[1].text, L"Failed to start services");
    EXPECT_EQ(boxes.Boxes()[1].style, MB_OK);
    // The loading text stays until another replaces it.
    EXPECT_EQ(frame.texts.back().substr(0, 30), "Loading and starting services.");
}

TEST_F(Document, HostAddressEmptyWhenThereIsNone)
{
    EXPECT_EQ(doc->GetHostAddressText(), "192.0.2.7");
    manager->hostAddress.clear();
    EXPECT_EQ(doc->GetHostAddressText(), "");
}

namespace {

// A click on the box itself (its label may be shorter than the row).
void ClickBox(QCheckBox* box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
}

// Runs the frame's options command, with the sheet driven by act.
void RunOptions(CMainFrame* frame, std::function<void(CProgOptSheet&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* sheet = qobject_cast<CProgOptSheet*>(QApplication::activeModalWidget());
        ASSERT_NE(sheet, nullptr);
        act(*sheet);
    });
    frame->OnCommand(CMainFrame::ID_OPTIONS);
}

} // namespace

TEST_F(StartUp, OptionsSheetWarnsOncePerOpeningAndCancelChangesNothing)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    RunOptions(frame, [](CProgOptSheet& sheet) {
        EXPECT_EQ(sheet.windowTitle(), "Program Options");
        ClickBox(sheet.Page()->Box(1007));
        ClickBox(sheet.Page()->Box(1007));
        ClickBox(sheet.Page()->Box(1002));
        EXPECT_TRUE(sheet.ApplyButton()->isEnabled());
        sheet.reject();
    });
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"You will need to restart services for this change to have effect");
    EXPECT_EQ(app->Options().Flags(), 0u);
    EXPECT_FALSE(std::filesystem::exists(env.AutostartFile()));

    // A new opening warns again; only bits 0x2, 0x4, 0x8 change.
    RunOptions(frame, [](CProgOptSheet& sheet) {
        for (int id : {1003, 1004, 1007})
            ClickBox(sheet.Page()->Box(id));
        sheet.accept();
    });
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(app->Options().Flags(), 0xEu);
    EXPECT_FALSE(std::filesystem::exists(env.AutostartFile()));
}

// Applied options are stored at once: a crash before the exit keeps them,
// as it keeps the log-on entry that Apply writes.
TEST_F(StartUp, AppliedOptionsAreStoredBeforeTheExit)
{
    ASSERT_TRUE(Start());
    const auto stored = [] {
        uint32_t flags = 0;
        return vlt::RegistryStore::GetDWord(vlt::RegHive::CurrentUser, L"Software\\Veltrane\\VltSrvMgr\\Settings",
                                            L"ProgOptFlags", flags)
                   ? flags
                   : 0xFFFFFFFFu;
    };
    RunOptions(app->MainFrame(), [&](CProgOptSheet& sheet) {
        ClickBox(sheet.Page()->Box(1003));
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        EXPECT_EQ(stored(), CProgramOptions::kAutoStartServices);
        ClickBox(sheet.Page()->Box(1004));
        sheet.accept();
    });
    EXPECT_EQ(stored(), CProgramOptions::kAutoStartServices | CProgramOptions::kMinimizeToTray);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(StartUp, RunAtLogOnWritesAValidEntryAndAFailureIsShown)
{
    ASSERT_TRUE(Start());
    CMainFrame* frame = app->MainFrame();
    RunOptions(frame, [](CProgOptSheet& sheet) {
        ClickBox(sheet.Page()->Box(1002));
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        EXPECT_FALSE(sheet.ApplyButton()->isEnabled());
        sheet.reject(); // applied already
    });
    EXPECT_TRUE(app->Options().Test(CProgramOptions::kRunAtLogOn));
    EXPECT_EQ(ValidateDesktopFile(env.AutostartFile()), "");
    EXPECT_EQ(boxes.Count(), 0u);

    // The entry's place is taken: the user is told it was not removed.
    std::filesystem::remove(env.AutostartFile());
    std::filesystem::create_directories(env.AutostartFile() + "/inside");
    RunOptions(frame, [](CProgOptSheet& sheet) {
        ClickBox(sheet.Page()->Box(1002));
        sheet.accept();
    });
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
    EXPECT_NE(boxes.LastText().find(L"VltSrvMgr.desktop"), std::wstring::npos);
}

// Apply changes the start at log-on at once, as OK does: a failure says
// why, the box shows that nothing changed, and the next Apply tries again.
TEST_F(StartUp, ApplyChangesTheStartAtLogOnAndAFailureShowsWhatIsTrue)
{
    ASSERT_TRUE(Start());
    const std::filesystem::path folder = std::filesystem::path(env.AutostartFile()).parent_path();
    std::filesystem::create_directories(folder.parent_path());
    std::ofstream(folder) << "in the way";
    const std::wstring failed = L"The start at log-on could not be changed: ";
    RunOptions(app->MainFrame(), [&](CProgOptSheet& sheet) {
        QCheckBox* box = sheet.Page()->Box(1002);
        for (size_t attempt = 1; attempt <= 2; ++attempt) {
            ClickBox(box);
            QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
            EXPECT_EQ(boxes.Count(), attempt);
            EXPECT_EQ(boxes.LastText().rfind(failed, 0), 0u) << vlt::WideToUtf8(boxes.LastText());
            EXPECT_GT(boxes.LastText().size(), failed.size());
            EXPECT_FALSE(box->isChecked());
            EXPECT_FALSE(app->Options().Test(CProgramOptions::kRunAtLogOn));
        }
        std::filesystem::remove(folder);
        if (box->isChecked())
            ClickBox(box); // the old state, whatever it was
        ClickBox(box);
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        EXPECT_TRUE(box->isChecked());
        sheet.reject();
    });
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_TRUE(app->Options().Test(CProgramOptions::kRunAtLogOn));
    EXPECT_EQ(ValidateDesktopFile(env.AutostartFile()), "");
}

namespace {

size_t Occurrences(const std::wstring& text, const std::wstring& phrase)
{
    size_t count = 0;
    for (size_t at = text.find(phrase); at != std::wstring::npos; at = text.find(phrase, at + 1))
        ++count;
    return count;
}

} // namespace

// Options that could not be read are never written over; the page's Apply
// and the exit say so once, with the reason the store gave.
TEST_F(StartUp, AnOptionsSaveRefusedAfterADamagedReadSaysWhyOnce)
{
    std::filesystem::create_directories(env.Dir() + "/reg/user");
    std::ofstream(env.HiveFile()) << "<registry><broken";
    ASSERT_TRUE(Start());
    RunOptions(app->MainFrame(), [](CProgOptSheet& sheet) {
        ClickBox(sheet.Page()->Box(1003));
        QTest::mouseClick(sheet.ApplyButton(), Qt::LeftButton);
        sheet.reject();
    });
    ASSERT_EQ(boxes.Count(), 2u);
    const std::wstring applied = boxes.LastText();
    EXPECT_EQ(Occurrences(applied, L"not saved") + Occurrences(applied, L"could not be saved"), 1u) << applied;
    EXPECT_EQ(Occurrences(applied, L"could not be read"), 1u) << applied;
    EXPECT_NE(applied.find(L"registry.xml"), std::wstring::npos) << applied;

    testing::internal::CaptureStderr();
    app.reset();
    const std::wstring exited = vlt::Utf8ToWide(testing::internal::GetCapturedStderr());
    EXPECT_EQ(Occurrences(exited, L"not saved"), 1u) << exited;
    EXPECT_EQ(Occurrences(exited, L"could not be read"), 1u) << exited;
    std::ifstream in(env.HiveFile());
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "<registry><broken");
}
