// The recording window's widgets on simulated boards.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

#include "BrowseForFile.h"
#include "CFileDialog_Remote.h"
#include "CMyRemoteFileDialog.h"
#include "CPersistentOpts.h"
#include "CRecSsOptionsDlg.h"
#include "CRecordDlg.h"
#include "CVltEditBrowseCtrl.h"
#include "ErrorBox.h"
#include "PersistentOptsKeys.h"
#include "RecordTestSupport.h"
#include "RemoteTestHost.h"

namespace {

class RecordDlgTest : public rec_test::RecordBoardsTest {
protected:
    void SetUp() override
    {
        RecordBoardsTest::SetUp();
        if (IsSkipped())
            return;
        dlg = std::make_unique<CRecordDlg>(nullptr, manager, &options, CMultiModeLog((dir / "log.txt").string()));
        dlg->Controller().DefaultDir = controller->DefaultDir;
        list = dlg->findChild<QTreeWidget*>(QStringLiteral("deviceList"));
        ASSERT_NE(list, nullptr);
    }
    void TearDown() override
    {
        if (dlg)
            dlg->StopRecording();
        dlg.reset();
        RecordBoardsTest::TearDown();
    }
    template <class W>
    W* Child(const char* name)
    {
        return dlg->findChild<W*>(QString::fromLatin1(name));
    }
    // A virtual board of the server, with a document, in the list.
    TQ8_HANDLE AddRemoteBoard(const RemoteTestHost& server)
    {
        TQ8_HANDLE remote = devices->ConnectRemoteDevice(L"127.0.0.1", server.Port(), 4711, true, true);
        if (!remote)
            return nullptr;
        docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), remote, docstate::kLimitPlotData));
        dlg->AddDevice(remote);
        manager.GetDeviceParams(remote).Document = docs.back().get();
        return remote;
    }
    QTreeWidgetItem* Row(int i) { return list->topLevelItem(i); }
    QString State(int i) { return Row(i)->text(2); }

    CPersistentOpts options;
    std::unique_ptr<CRecordDlg> dlg;
    QTreeWidget* list = nullptr;
};

} // namespace

TEST_F(RecordDlgTest, SettingsAreLoadedAndStored)
{
    dlg.reset();
    options.SetItemUInt(opts::kRpmFlags, 5);
    options.SetItemInt(opts::kRpmRecDurType, 2);
    options.SetItemU64(opts::kRpmDurMs, 1234);
    options.SetItem(opts::kDefaultRecFilesDir, L"/data/rec");
    dlg = std::make_unique<CRecordDlg>(nullptr, manager, &options);
    EXPECT_EQ(manager.Flags, 5u);
    EXPECT_EQ(manager.RecDurType, 2);
    EXPECT_EQ(manager.DurMs, 1234u);
    EXPECT_EQ(Child<CVltEditBrowseCtrl>("defaultDir")->GetText(), L"/data/rec");
    EXPECT_TRUE(Child<QCheckBox>("keepOthers")->isChecked());
    manager.AcqSamples = 4096;
    Child<CVltEditBrowseCtrl>("defaultDir")->SetText(L"/other");
    dlg.reset();
    uint32_t acq = 0;
    std::wstring folder;
    EXPECT_TRUE(options.GetItemUInt(opts::kRpmAcqSamps, acq, 0));
    EXPECT_EQ(acq, 4096u);
    EXPECT_TRUE(options.GetItemString(opts::kDefaultRecFilesDir, folder));
    EXPECT_EQ(folder, L"/other");
}

TEST_F(RecordDlgTest, ListChecksSelectionAndDestination)
{
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(Row(0)->text(0), QString::fromStdWString(Name(0)));
    EXPECT_EQ(Row(0)->text(1), QStringLiteral("board500001.rd8"));
    EXPECT_EQ(dlg->GetSelectedDevice(), handles[0]);
    // Checking a slave checks its master.
    Row(0)->setCheckState(0, Qt::Unchecked);
    Row(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_EQ(Bits(0) & 1, 0u);
    Row(1)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(Row(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(Bits(0) & 1, 1u);

    list->setCurrentItem(Row(2));
    EXPECT_EQ(dlg->GetSelectedDevice(), handles[2]);
    EXPECT_EQ(Child<QLabel>("selectedDevice")->text(),
              QString::fromStdWString(L"Currently selected device: " + Name(2)));
    Child<CVltEditBrowseCtrl>("destination")->SetText(L"/data/run/x.rd8");
    EXPECT_EQ(manager.GetDeviceParams(handles[2]).RecParams.DestFileOpts.Pathname1, L"/data/run/x.rd8");
    EXPECT_EQ(Row(2)->text(1), QStringLiteral("...x.rd8"));

    dlg->RemoveDevice(handles[2]);
    EXPECT_EQ(list->topLevelItemCount(), 2);
    EXPECT_EQ(manager.FindDeviceParams(handles[2]), nullptr);
    EXPECT_EQ(dlg->GetSelectedDevice(), nullptr);
    EXPECT_EQ(Child<QLabel>("selectedDevice")->text(),
              QStringLiteral("Please select a device above to edit destination file details"));
    dlg->AddDevice(handles[2]);
    EXPECT_EQ(list->topLevelItemCount(), 3);
}

TEST_F(RecordDlgTest, ARemoteBoardsBrowseStartsInAFolderOfItsServer)
{
    // The server serves a home of its own; the default folder is one of this computer.
    const std::filesystem::path home = dir / "server";
    std::filesystem::create_directories(home / "Documents");
    const std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    setenv("HOME", home.c_str(), 1);
    unsetenv("XDG_DOCUMENTS_DIR");
    auto server = std::make_unique<RemoteTestHost>(home.string());
    ASSERT_TRUE(server->Started());
    TQ8_HANDLE remote = AddRemoteBoard(*server);
    ASSERT_NE(remote, nullptr);
    ASSERT_EQ(list->topLevelItemCount(), 4);
    list->setCurrentItem(Row(3));
    ASSERT_EQ(dlg->GetSelectedDevice(), remote);
    ASSERT_TRUE(std::filesystem::is_directory(vlt::WideToUtf8(dlg->Controller().DefaultDir)));

    UseBrowseForFileInEditBrowseControls();
    CFileDialog_Remote::Register();
    std::wstring folder = L"(no remote dialog)";
    QTimer::singleShot(0, [&] {
        if (auto* shown = qobject_cast<CMyRemoteFileDialog*>(QApplication::activeModalWidget())) {
            folder = shown->CurrentFolder();
            shown->reject();
        }
    });
    Child<CVltEditBrowseCtrl>("destination")->Button()->click();
    BoardFileDialogFactory() = nullptr;
    CVltEditBrowseCtrl::SetFileBrowser(nullptr);
    EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(folder, L"C:\\Documents");

    dlg->RemoveDevice(remote);
    docs.pop_back();
    devices->ReleaseDevice(remote);
    server.reset();
    setenv("HOME", oldHome.c_str(), 1);
}

TEST_F(RecordDlgTest, RecordingControlsAndPollingWhileHidden)
{
    Row(1)->setCheckState(0, Qt::Unchecked);
    Row(0)->setCheckState(0, Qt::Unchecked);
    Child<QRadioButton>("durInfinite")->setChecked(true);
    auto* button = Child<QPushButton>("beginStop");
    dlg->show();
    QTest::mouseClick(button, Qt::LeftButton);
    ASSERT_TRUE(dlg->IsRecording()) << boxes.LastText();
    EXPECT_EQ(button->text(), QStringLiteral("Stop &Recording"));
    EXPECT_FALSE(Child<QRadioButton>("durSamples")->isEnabled());
    EXPECT_TRUE(Child<QCheckBox>("snapshots")->isEnabled());
    EXPECT_EQ(Child<QProgressBar>("progress")->maximum(), 0); // the marquee
    EXPECT_EQ(Child<QLabel>("elapsed")->text(), QStringLiteral("---"));
    EXPECT_EQ(dlg->GetLastStatusText(), L"Recording armed");
    // A check cannot change while recording.
    Row(0)->setCheckState(0, Qt::Checked);
    EXPECT_EQ(Row(0)->checkState(0), Qt::Unchecked);

    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dlg->IsRecording());
    ASSERT_TRUE(doc_tools_test::PumpUntil([&] { return State(2).startsWith(QStringLiteral("REC: ")); }));
    // No share of a target (a live note may follow after "; ").
    EXPECT_FALSE(State(2).section(QLatin1Char(';'), 0, 0).contains(QLatin1Char('%'))) << State(2).toStdString();

    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(dlg->IsRecording());
    EXPECT_FALSE(dlg->IsTickTimerActive());
    EXPECT_EQ(button->text(), QStringLiteral("Begin &Recording"));
    EXPECT_TRUE(Child<QRadioButton>("durSamples")->isEnabled());
    EXPECT_EQ(Child<QProgressBar>("progress")->maximum(), 10000);
}

TEST_F(RecordDlgTest, BoxDuringTheTickKeepsThePollOut)
{
    // Both boards fail; the others may go on, so each gets its own box.
    for (int i : {0, 2}) {
        const uint32_t serial = 500001u + uint32_t(i);
        ASSERT_EQ(SetTimestampModeTQ8(handles[size_t(i)], 1), TQ8_OK);
        ASSERT_EQ(SetTriggerModeTQ8(handles[size_t(i)], 1), TQ8_OK);
        ASSERT_EQ(SetSegmentSizeTQ8(handles[size_t(i)], 16), TQ8_OK);
        ASSERT_EQ(TQ8Sim_SetTimestampFifoDepth(serial, 100), TQ8_OK);
        // The abort option acts only with time-stamp files, as in the dialog.
        manager.GetDeviceParams(handles[size_t(i)]).RecParams.DestFileOpts.Template.Fwp_flags |=
            TQ8_FWP_TS_BINARY | TQ8_FWP_FAIL_ON_TS_OVERFLOW;
    }
    Select({0, 2});
    Child<QCheckBox>("keepOthers")->setChecked(true);
    Child<QRadioButton>("durInfinite")->setChecked(true);
    int open = 0, deepest = 0, shown = 0;
    vlt::MessageBoxHandler previous = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) {
        ++shown;
        deepest = std::max(deepest, ++open);
        // The box stays open over several timer periods.
        QTest::qWait(3 * CRecordDlg::kTickMs);
        --open;
        return IDOK;
    });
    dlg->OnBeginStop();
    ASSERT_TRUE(dlg->IsRecording());
    const bool ended = doc_tools_test::PumpUntil([&] { return !dlg->IsRecording() && open == 0; });
    vlt::SetMessageBoxHandler(previous);
    ASSERT_TRUE(ended);
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(shown, 2);
}

TEST_F(RecordDlgTest, MultipleModeRepeatsThroughQueuedSteps)
{
    Select({2});
    Child<QRadioButton>("durSamples")->setChecked(true);
    Child<QLineEdit>("durCount")->setText(QStringLiteral("64"));
    Child<QComboBox>("durUnits")->setCurrentIndex(1);
    Child<QCheckBox>("multipleMode")->setChecked(true);
    Child<QLineEdit>("repetitions")->setText(QStringLiteral("2"));
    dlg->OnBeginStop();
    ASSERT_TRUE(doc_tools_test::PumpUntil([&] {
        return !dlg->IsRecording() && dlg->Controller().GetAttempts() == 0
               && Child<QLineEdit>("attempts")->text() == QStringLiteral("2");
    }));
    EXPECT_EQ(Child<QLineEdit>("passes")->text(), QStringLiteral("2"));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(std::filesystem::exists(dir / "log.txt"));

    Child<QLineEdit>("repetitions")->setText(QStringLiteral("x"));
    dlg->OnBeginStop();
    EXPECT_EQ(boxes.LastText().rfind(L"Please enter a valid Multimode repetition.", 0), 0u);
}

TEST_F(RecordDlgTest, SnapshotOptions)
{
    CRecSsOptionsDlg ss(nullptr, manager);
    auto* samples = ss.findChild<QLineEdit*>(QStringLiteral("snapshotSamples"));
    auto* freq = ss.findChild<QLineEdit*>(QStringLiteral("snapshotFreqMs"));
    EXPECT_EQ(samples->text(), QStringLiteral("8192"));
    samples->setText(QStringLiteral("-1"));
    ss.accept();
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(manager.SnapshotSamples, 8192u);
    samples->setText(QStringLiteral("4096"));
    freq->setText(QStringLiteral("250"));
    ss.accept();
    EXPECT_EQ(ss.result(), QDialog::Accepted);
    EXPECT_EQ(manager.SnapshotSamples, 4096u);
    EXPECT_EQ(manager.SnapshotFreqMs, 250u);
}

// Enter in a field takes the field; it never starts a recording.
TEST_F(RecordDlgTest, EnterInAFieldNeverStartsARecording)
{
    Select({2});
    Child<QRadioButton>("durSamples")->setChecked(true);
    dlg->show();
    for (const char* name : {"destination", "defaultDir", "durCount", "durMs", "acqCount", "repetitions"}) {
        SCOPED_TRACE(name);
        QLineEdit* edit = std::string(name) == "destination" || std::string(name) == "defaultDir"
                              ? Child<CVltEditBrowseCtrl>(name)->Edit()
                              : Child<QLineEdit>(name);
        ASSERT_NE(edit, nullptr);
        edit->setEnabled(true);
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_Return);
        EXPECT_FALSE(dlg->IsRecording());
        QTest::keyClick(edit, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_FALSE(dlg->IsRecording());
        EXPECT_EQ(boxes.Count(), 0u) << vlt::WideToUtf8(boxes.LastText());
    }
    // A number that cannot be taken is said at once, the focus back in its field.
    Child<QLineEdit>("durCount")->setText(QStringLiteral("12x"));
    Child<QLineEdit>("durCount")->setFocus();
    QTest::keyClick(Child<QLineEdit>("durCount"), Qt::Key_Return);
    EXPECT_FALSE(dlg->IsRecording());
    EXPECT_EQ(boxes.LastText().rfind(L"Please enter a valid ", 0), 0u) << vlt::WideToUtf8(boxes.LastText());
}

// Only "Infinite" records without a limit: a length of 0, or an empty field,
// is refused for the duration chosen. "This much:" says its one range for a
// count too small and for one too large alike.
TEST_F(RecordDlgTest, OnlyInfiniteRecordsWithoutALimit)
{
    Select({2});
    Child<QComboBox>("durUnits")->setCurrentIndex(2); // mebi-samples
    const std::wstring most = std::to_wstring(UINT64_MAX >> 20);
    const std::wstring range = L"Please enter an integer between 1 and " + most + L".";
    struct Case {
        const char* radio;
        const char* field;
        std::string text;
        std::wstring message;
    };
    const Case cases[] = {
        {"durSamples", "durCount", "0", range},
        {"durSamples", "durCount", "", range},
        {"durSamples", "durCount", "0x0", range},
        {"durSamples", "durCount", vlt::WideToUtf8(most) + "0", range},
        {"durTime", "durMs", "0", L"Please enter a valid recording time in milliseconds (at least 1)."},
        {"durTime", "durMs", " ", L"Please enter a valid recording time in milliseconds (at least 1)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.field) + " \"" + c.text + "\"");
        boxes.Clear();
        Child<QRadioButton>(c.radio)->setChecked(true);
        Child<QLineEdit>(c.field)->setText(QString::fromStdString(c.text));
        dlg->OnBeginStop();
        EXPECT_FALSE(dlg->IsRecording());
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText().rfind(c.message, 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    }
    // The other duration's empty count is not in the way.
    boxes.Clear();
    Child<QLineEdit>("durCount")->setText(QString());
    Child<QLineEdit>("durMs")->setText(QStringLiteral("50"));
    Child<QRadioButton>("durTime")->setChecked(true);
    dlg->OnBeginStop();
    EXPECT_TRUE(dlg->IsRecording()) << vlt::WideToUtf8(boxes.LastText());
    dlg->StopRecording();
}

// With "Infinite" chosen neither limit's field is read: what they hold
// keeps no recording from starting.
TEST_F(RecordDlgTest, InfiniteIgnoresTheLimitFields)
{
    Select({2});
    Child<QLineEdit>("durCount")->setText(QStringLiteral("12x"));
    Child<QLineEdit>("durMs")->setText(QStringLiteral("0"));
    Child<QRadioButton>("durInfinite")->setChecked(true);
    dlg->OnBeginStop();
    EXPECT_TRUE(dlg->IsRecording()) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(boxes.Count(), 0u);
    dlg->StopRecording();
}

// A remote board whose server has gone shows as failed once the recording
// is stopped, not as still recording.
TEST_F(RecordDlgTest, AStopAfterTheServerWentShowsTheBoardFailed)
{
    const std::filesystem::path home = dir / "server";
    std::filesystem::create_directories(home);
    auto server = std::make_unique<RemoteTestHost>(home.string());
    ASSERT_TRUE(server->Started());
    TQ8_HANDLE remote = AddRemoteBoard(*server);
    ASSERT_NE(remote, nullptr);
    manager.GetDeviceParams(remote).RecParams.DestFileOpts.Pathname1 = L"C:\\remote.rd8";
    handles.push_back(remote);
    Select({3});
    Child<QRadioButton>("durInfinite")->setChecked(true);
    dlg->Controller().DefaultDir.clear();
    dlg->OnBeginStop();
    ASSERT_TRUE(dlg->IsRecording()) << vlt::WideToUtf8(boxes.LastText());
    ASSERT_TRUE(doc_tools_test::PumpUntil([&] { return State(3).startsWith(QStringLiteral("REC: ")); }));
    server.reset();
    dlg->OnBeginStop();
    EXPECT_FALSE(dlg->IsRecording());
    std::wstring lost;
    GetErrorTextString(TQ8_ERR_CONNECTION_LOST, lost, nullptr);
    EXPECT_EQ(State(3).toStdWString(), L"ERROR: " + lost);

    dlg->RemoveDevice(remote);
    handles.pop_back();
    docs.pop_back();
    devices->ReleaseDevice(remote);
}

// A transfer size below the least the library takes is raised, not
// refused: the recording runs and its status says so once.
TEST_F(RecordDlgTest, ASmallTransferSizeIsRaisedAndSaidSo)
{
    Select({2});
    Child<QRadioButton>("durInfinite")->setChecked(true);
    manager.TransferSamples = 1000;
    dlg->OnBeginStop();
    ASSERT_TRUE(dlg->IsRecording()) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(dlg->GetLastStatusText(), L"Recording armed; transfer size raised from 1,000 to 4,096 samples");
    dlg->StopRecording();
    // A size the library takes as it is gets no word.
    manager.TransferSamples = 8192;
    dlg->OnBeginStop();
    ASSERT_TRUE(dlg->IsRecording());
    EXPECT_EQ(dlg->GetLastStatusText(), L"Recording armed");
}

// A remote board's destination its server does not take: the window shows
// the server's reason, with the path; a long one is said to be too long.
TEST_F(RecordDlgTest, TheServersReasonForARefusedPathIsShown)
{
    const std::filesystem::path home = dir / "server";
    std::filesystem::create_directories(home);
    RemoteTestHost server(home.string());
    ASSERT_TRUE(server.Started());
    TQ8_HANDLE remote = AddRemoteBoard(server);
    ASSERT_NE(remote, nullptr);
    handles.push_back(remote);
    Select({3});
    Child<QRadioButton>("durInfinite")->setChecked(true);
    dlg->Controller().DefaultDir.clear();
    std::wstring tooLong = L"C:\\recs";
    while (tooLong.size() < 250)
        tooLong += L"\\f";
    tooLong.resize(250);
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"D:\\remote.rd8", L"\n\n\"D:\\remote.rd8\" is outside the folders the server shares."},
        {tooLong, L"\n\nThe path \"" + tooLong + L"\" is 250 characters long; the server takes paths of at most 249 "
                                                  L"characters."},
    };
    for (const auto& [path, reason] : cases) {
        boxes.Clear();
        manager.GetDeviceParams(remote).RecParams.DestFileOpts.Pathname1 = path;
        dlg->OnBeginStop();
        EXPECT_FALSE(dlg->IsRecording());
        ASSERT_EQ(boxes.Count(), 1u);
        const std::wstring text = boxes.LastText();
        EXPECT_EQ(text.size() - text.rfind(reason), reason.size()) << vlt::WideToUtf8(text);
    }
    dlg->RemoveDevice(remote);
    handles.pop_back();
    docs.pop_back();
    devices->ReleaseDevice(remote);
}
