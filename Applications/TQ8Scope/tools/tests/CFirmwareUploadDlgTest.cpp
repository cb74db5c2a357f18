#include "CFirmwareUploadDlg.h"

#include <cerrno>

#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "CForm_Status.h"
#include "DocumentToolWindows.h"
#include "ErrorBox.h"
#include "PowerCommand.h"
#include "SystemErrorText.h"
#include "UploadTestSupport.h"

using doc_tools_test::BoardName;
using upload_test::kOneFile;
using upload_test::kTwoFiles;
using upload_test::PackageSpec;
using upload_test::PumpUntil;

namespace {

std::wstring LibraryText(int32_t code)
{
    std::wstring text;
    EXPECT_EQ(GetErrorTextString(code, text, nullptr), 0);
    return text;
}

std::wstring VersionText(TQ8_HANDLE h)
{
    wchar_t* text = nullptr;
    EXPECT_EQ(GetVersionTextWTQ8(h, TQ8_VERSION_SYSTEM_FPGA, &text, 64), TQ8_OK);
    std::wstring version = text ? text : L"";
    FreeMemoryTQ8(text);
    return version;
}

class FirmwareUploadTest : public doc_tools_test::DocToolsTest {
protected:
    static constexpr uint32_t kLocalSerial = 1700;

    void SetUp() override
    {
        DocToolsTest::SetUp();
        RegisterDocumentToolWindows();
        m_dir = MakeTestDir("upload");
    }
    void TearDown() override
    {
        vlt::SetPowerStandIn({});
        DocToolsTest::TearDown();
    }
    CMainDoc& LocalDoc()
    {
        TQ8SIM_BOARD_DESC desc{};
        TQ8Sim_DefaultBoardDesc(&desc, kLocalSerial);
        EXPECT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
        TQ8_HANDLE h = devices->ConnectLocalDevice(kLocalSerial);
        EXPECT_NE(h, nullptr);
        docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData));
        return *docs.back();
    }
    std::wstring Package(const std::string& name, const PackageSpec& contents = {})
    {
        return upload_test::WritePackage(m_dir, name, contents);
    }
    CFirmwareUploadDlg* Open(CMainDoc& doc, const std::wstring& path)
    {
        EXPECT_TRUE(doc.StartFirmwareUpload(path, false));
        auto* dlg = qobject_cast<CFirmwareUploadDlg*>(doc.GetFirmwareUploadWindow());
        EXPECT_NE(dlg, nullptr);
        if (dlg)
            QObject::connect(dlg, &CFirmwareUploadDlg::StatusChanged, [this](const QString& t) { statuses.push_back(t); });
        return dlg;
    }
    // Presses the button and lets the upload run until the window is gone or ready again.
    static bool Run(CFirmwareUploadDlg* dlg)
    {
        QPointer<CFirmwareUploadDlg> alive(dlg);
        QTest::mouseClick(Button(dlg, "upload"), Qt::LeftButton);
        return PumpUntil([&] { return alive.isNull() || !alive->IsWorking(); });
    }
    static QPushButton* Button(CFirmwareUploadDlg* dlg, const char* name) { return dlg->findChild<QPushButton*>(name); }
    static QString Field(CFirmwareUploadDlg* dlg, const char* name) { return dlg->findChild<QLabel*>(name)->text(); }
    std::vector<std::wstring> BoxTexts() const
    {
        std::vector<std::wstring> texts;
        for (const vlt::MessageBoxRequest& box : boxes.Boxes())
            texts.push_back(box.text);
        return texts;
    }
    bool StatusSeen(const QString& text) const
    {
        return std::find(statuses.begin(), statuses.end(), text) != statuses.end();
    }

    std::string m_dir;
    std::vector<QString> statuses;
};

} // namespace

TEST_F(FirmwareUploadTest, ShowsTheBoardThePackageAndTheCurrentVersion)
{
    CMainDoc& doc = NewDoc();
    CFirmwareUploadDlg* dlg = Open(doc, Package("mixed"));
    ASSERT_NE(dlg, nullptr);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Upload TQ3300 Firmware"));
    EXPECT_EQ(Field(dlg, "device"), ToQt(doc.GetDeviceDisplayName()));
    EXPECT_EQ(Field(dlg, "currentVersion"), ToQt(VersionText(doc.GetDeviceHandle())));
    EXPECT_EQ(Field(dlg, "packageVersion"), QStringLiteral("Mixed firmware"));
    EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Please select Upload to begin the firmware update"));
    EXPECT_EQ(boxes.Count(), 0u);
    QTest::mouseClick(Button(dlg, "cancel"), Qt::LeftButton);
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), nullptr);

    // A file the library cannot read is offered for upload. Started from the
    // command line, the chain's mark goes with the window.
    WriteTestFile(m_dir + "/damaged.tq8fw", "not a package");
    ASSERT_TRUE(doc.StartFirmwareUpload(vlt::Utf8ToWide(m_dir + "/damaged.tq8fw"), true));
    QPointer<CFirmwareUploadDlg> damaged = qobject_cast<CFirmwareUploadDlg*>(doc.GetFirmwareUploadWindow());
    ASSERT_FALSE(damaged.isNull());
    EXPECT_EQ(damaged->PackageText(), L"<Failed to determine>");
    EXPECT_EQ(damaged->windowTitle(), QStringLiteral("Upload TQ3300 Firmware"));
    QTest::keyClick(damaged.data(), Qt::Key_Escape);
    EXPECT_FALSE(doc.GetStateFlags() & docstate::kFirmwareFromCommandLine);
    ASSERT_TRUE(PumpUntil([&] { return damaged.isNull(); }));
}

TEST_F(FirmwareUploadTest, VerifyPackageOfAnotherVersionWarnsOnlyForARealBoard)
{
    PackageSpec verify;
    verify.flags = 1;
    verify.version = 0x09090909;
    const std::wstring path = Package("verify", verify);
    CFirmwareUploadDlg* dlg = Open(NewDoc(), path);
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Verify TQ3300 Firmware"));
    EXPECT_EQ(Button(dlg, "upload")->text(), QStringLiteral("Verify"));
    EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Please select Verify to begin the firmware verification"));
    EXPECT_EQ(dlg->PackageText(), L"9.9.9.9");
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{fwtext::kVerifyFileNotice});
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONINFORMATION);

    CMainDoc& local = LocalDoc();
    uint64_t board = 0;
    ASSERT_EQ(GetPciFirmwareVersionTQ8(local.GetDeviceHandle(), &board), TQ8_OK);
    boxes.Clear();
    Open(local, path)->reject();
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{fwtext::VerifyVersionWarning(0x09090909, board)});
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONWARNING);
}

TEST_F(FirmwareUploadTest, TwoFilePackageOnAVirtualBoardShowsEachFileThenTheWait)
{
    CMainDoc& doc = NewDoc();
    ASSERT_EQ(TQ8Sim_InjectResult("ValidateConfigEepromTQ8", TQ8_ERR_EEPROM_INVALID, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("GetJtagIdCodesATQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    QPointer<CFirmwareUploadDlg> dlg = Open(doc, Package("two"));
    ASSERT_TRUE(Run(dlg));
    EXPECT_TRUE(dlg.isNull());
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), nullptr);
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware update complete"});
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONINFORMATION);
    const auto first = std::find(statuses.begin(), statuses.end(), QStringLiteral("Uploading firmware file 1 of 2..."));
    const auto second = std::find(statuses.begin(), statuses.end(), QStringLiteral("Uploading firmware file 2 of 2..."));
    ASSERT_NE(first, statuses.end());
    ASSERT_NE(second, statuses.end());
    EXPECT_LT(first, second);
    EXPECT_TRUE(StatusSeen(QStringLiteral("Please wait...")));
    // The wait's end brings back the line it replaced.
    EXPECT_EQ(statuses.back(), QStringLiteral("Uploading firmware file 2 of 2..."));
    EXPECT_EQ(VersionText(doc.GetDeviceHandle()), L"1.2.0.0");
    // No EEPROM or JTAG check on a virtual board: their failures still wait.
    EXPECT_EQ(ValidateConfigEepromTQ8(doc.GetDeviceHandle()), TQ8_ERR_EEPROM_INVALID);
    char* codes = nullptr;
    EXPECT_EQ(GetJtagIdCodesATQ8(doc.GetDeviceHandle(), &codes), TQ8_ERR_GENERAL);
}

TEST_F(FirmwareUploadTest, NewVersionShowsOnTheStatusPageAndInTheWindowOpenedAgain)
{
    CMainDoc& doc = NewDoc();
    CForm_Status status(doc);
    status.OnInitialUpdate();
    const auto shown = [&status](int id) { return status.ItemAs<QLineEdit>(id)->text(); };
    ASSERT_EQ(shown(1037), QStringLiteral("1.2.3.4"));
    ASSERT_EQ(shown(1046), QStringLiteral("1.2.3.4"));
    // An image for the system FPGA and one for the ZAB/user FPGA, as the
    // generator makes, both of the next version.
    PackageSpec next;
    next.chunks = {{0, {{"sys.bit", std::string(70000, 's')}}}, {2, {{"user.bit", std::string(70000, 'u')}}}};
    next.chunkVersion = 0x01020305;
    const std::wstring path = Package("next", next);
    ASSERT_TRUE(Run(Open(doc, path)));
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware update complete"});
    EXPECT_EQ(shown(1037), QStringLiteral("1.2.3.5"));
    EXPECT_EQ(shown(1046), QStringLiteral("1.2.3.5"));
    CFirmwareUploadDlg* again = Open(doc, path);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(Field(again, "currentVersion"), QStringLiteral("1.2.3.5"));
    QTest::mouseClick(Button(again, "cancel"), Qt::LeftButton);
}

TEST_F(FirmwareUploadTest, ProgressRisesWithTheBytesWritten)
{
    CMainDoc& doc = NewDoc();
    PackageSpec one;
    constexpr int kBytes = 300000; // five pieces of the board's 64 KiB and a rest
    one.chunks = {{0, {{"sys.bit", std::string(kBytes, 'p')}}}};
    QPointer<CFirmwareUploadDlg> dlg = Open(doc, Package("big", one));
    auto* progress = dlg->findChild<QProgressBar*>("progress");
    std::vector<int> values;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) {
        if (progress->maximum() == kBytes)
            values.push_back(value);
    });
    ASSERT_TRUE(Run(dlg));
    // Each step is one piece more on the board: the bar never runs ahead.
    ASSERT_EQ(values.size(), 5u);
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_EQ(values[i], std::min<int>(kBytes, int(i + 1) * 65536)) << i;
}

TEST_F(FirmwareUploadTest, OneFilePackageShowsOnlyTheGeneralText)
{
    CMainDoc& doc = NewDoc();
    PackageSpec one;
    one.chunks = kOneFile;
    ASSERT_TRUE(Run(Open(doc, Package("one", one))));
    ASSERT_FALSE(statuses.empty());
    EXPECT_TRUE(StatusSeen(QStringLiteral("Please wait while the TQ3300 firmware is uploaded...")));
    for (const QString& status : statuses)
        EXPECT_FALSE(status.contains(QStringLiteral("firmware file"))) << status.toStdString();
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware update complete"});
}

TEST_F(FirmwareUploadTest, ClosingDuringAnUploadIsNotPossible)
{
    CMainDoc& doc = NewDoc();
    QPointer<CFirmwareUploadDlg> dlg = Open(doc, Package("two"));
    dlg->show();
    // No events run here, so the upload waits at its first file.
    dlg->OnUpload();
    ASSERT_TRUE(dlg->IsWorking());
    EXPECT_FALSE(Button(dlg, "upload")->isEnabled());
    EXPECT_FALSE(Button(dlg, "cancel")->isEnabled());
    QTest::keyClick(dlg.data(), Qt::Key_Escape);
    ASSERT_FALSE(dlg.isNull());
    dlg->reject();
    EXPECT_FALSE(dlg->close());
    dlg->OnUpload(); // a second press starts nothing
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), dlg.data());
    ASSERT_TRUE(PumpUntil([&] { return dlg.isNull(); }));
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware update complete"});
}

TEST_F(FirmwareUploadTest, DocumentClosedDuringAnUploadWaitsForIt)
{
    CMainDoc& doc = NewDoc();
    TQ8_HANDLE other = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(doc.GetDeviceHandle(), &other), TQ8_OK);
    QPointer<CFirmwareUploadDlg> dlg = Open(doc, Package("two"));
    dlg->OnUpload();
    ASSERT_TRUE(dlg->IsWorking());
    // The upload waits for its first stage to be shown; the window goes anyway.
    doc.CloseDocument();
    EXPECT_TRUE(dlg.isNull());
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), nullptr);
    // The upload ran to its end before the window went, and says nothing after.
    EXPECT_EQ(VersionText(other), L"1.2.0.0");
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(DisconnectFromDeviceTQ8(other), TQ8_OK);
}

TEST_F(FirmwareUploadTest, EachPreCheckFailureKeepsTheWindowReady)
{
    CMainDoc& doc = LocalDoc();
    TQ8_HANDLE h = doc.GetDeviceHandle();
    CFirmwareUploadDlg* dlg = Open(doc, Package("two"));
    auto pressAndExpectRefusal = [&] {
        boxes.Clear();
        dlg->OnUpload();
        EXPECT_FALSE(dlg->IsWorking());
        EXPECT_TRUE(Button(dlg, "upload")->isEnabled());
        EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Please select Upload to begin the firmware update"));
        EXPECT_EQ(boxes.Count(), 1u);
        return boxes.Count() == 1 ? boxes.Boxes()[0] : vlt::MessageBoxRequest{};
    };
    ASSERT_EQ(TQ8Sim_InjectResult("ValidateConfigEepromTQ8", TQ8_ERR_EEPROM_INVALID, 1), TQ8_OK);
    vlt::MessageBoxRequest box = pressAndExpectRefusal();
    EXPECT_EQ(box.text, fwtext::kEepromFailure);
    EXPECT_EQ(box.style & MB_ICONMASK, MB_ICONERROR);

    ASSERT_EQ(TQ8Sim_InjectResult("GetJtagIdCodesATQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    box = pressAndExpectRefusal();
    EXPECT_EQ(box.text, BoardName(h) + L": Failed to check JTAG access: " + LibraryText(TQ8_ERR_TIMEOUT));

    ASSERT_EQ(TQ8Sim_SetJtagJumper(kLocalSerial, 0), TQ8_OK);
    box = pressAndExpectRefusal();
    EXPECT_EQ(box.text, fwtext::kJtagFailure);
    EXPECT_EQ(box.style & MB_ICONMASK, MB_ICONERROR);

    ASSERT_EQ(TQ8Sim_SetJtagJumper(kLocalSerial, 1), TQ8_OK);
    boxes.Clear();
    ASSERT_TRUE(Run(dlg));
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware update complete"});
}

TEST_F(FirmwareUploadTest, FailedUploadShowsItsTextAndReenablesTheButtons)
{
    CMainDoc& doc = NewDoc();
    CFirmwareUploadDlg* dlg = Open(doc, Package("two"));
    ASSERT_EQ(TQ8Sim_InjectResult("UploadFirmwareWTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    ASSERT_TRUE(Run(dlg));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Firmware update failed : " + LibraryText(TQ8_ERR_TIMEOUT));
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Firmware upload failed"));
    EXPECT_TRUE(Button(dlg, "upload")->isEnabled());
    EXPECT_TRUE(Button(dlg, "cancel")->isEnabled());
    EXPECT_EQ(doc.GetFirmwareUploadWindow(), dlg);

    // A code the library has no text for.
    ASSERT_EQ(TQ8Sim_InjectResult("UploadFirmwareWTQ8", -12345, 1), TQ8_OK);
    ASSERT_TRUE(Run(dlg));
    EXPECT_EQ(boxes.LastText(), L"Firmware update failed : (Unknown reason, error code=-12345)");

    boxes.Clear();
    QPointer<CFirmwareUploadDlg> alive(dlg);
    ASSERT_TRUE(Run(dlg));
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware update complete"});
}

// A file the library cannot read: the file reader's reason follows the
// library's text, whatever stands in the package's place.
TEST_F(FirmwareUploadTest, AFileThatCannotBeReadSaysWhy)
{
    CMainDoc& doc = NewDoc();
    const std::string pipe = m_dir + "/pipe.tq8fw";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    CFirmwareUploadDlg* dlg = Open(doc, vlt::Utf8ToWide(pipe));
    ASSERT_TRUE(Run(dlg));
    const std::wstring failed = L"Firmware update failed : " + LibraryText(TQ8_ERR_FILE_UNREADABLE) + L"\n\n";
    EXPECT_EQ(boxes.LastText(), failed + L"Cannot read '" + vlt::Utf8ToWide(pipe) + L"': not a regular file");
    EXPECT_TRUE(Button(dlg, "upload")->isEnabled());

    ASSERT_EQ(unlink(pipe.c_str()), 0);
    ASSERT_TRUE(Run(dlg));
    EXPECT_EQ(boxes.LastText(),
              failed + L"Cannot open '" + vlt::Utf8ToWide(pipe) + L"': " + vlt::Utf8ToWide(vlt::SystemErrorText(ENOENT)));
}

TEST_F(FirmwareUploadTest, SecondUploadIsUpToDateAndVerifyReportsTheMatch)
{
    CMainDoc& doc = NewDoc();
    const std::wstring path = Package("two");
    ASSERT_TRUE(Run(Open(doc, path)));
    boxes.Clear();
    ASSERT_TRUE(Run(Open(doc, path)));
    EXPECT_EQ(BoxTexts(), std::vector<std::wstring>{L"Firmware is up-to-date; no firmware uploaded"});

    PackageSpec verify;
    verify.flags = 1;
    boxes.Clear();
    statuses.clear();
    ASSERT_TRUE(Run(Open(doc, Package("verify", verify))));
    EXPECT_EQ(BoxTexts(), (std::vector<std::wstring>{fwtext::kVerifyFileNotice, L"Firmware verified; no firmware uploaded"}));
    EXPECT_TRUE(StatusSeen(QStringLiteral("Verifying firmware file 2 of 2...")));

    // Another image: a mismatch, and the window stays for another try.
    verify.chunks = kTwoFiles;
    verify.chunks[1].second[0].second[5] = 'x';
    boxes.Clear();
    CFirmwareUploadDlg* dlg = Open(doc, Package("differs", verify));
    ASSERT_TRUE(Run(dlg));
    EXPECT_EQ(boxes.LastText(), fwtext::kVerifyMismatch);
    EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Verify failed"));
    EXPECT_TRUE(Button(dlg, "upload")->isEnabled());
}

TEST_F(FirmwareUploadTest, RestartQuestionCallsTheSystemAndReportsItsFailure)
{
    CMainDoc& doc = NewDoc();
    std::vector<vlt::PowerAction> requests;
    int result = 0;
    vlt::SetPowerStandIn([&](vlt::PowerAction action) {
        requests.push_back(action);
        errno = EPERM;
        return result;
    });
    ASSERT_EQ(TQ8Sim_SetFirmwareActivation(kSerial, 0, 2), TQ8_OK);
    boxes.QueueAnswer(IDYES);
    ASSERT_TRUE(Run(Open(doc, Package("restart"))));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), fwtext::PowerQuestion(vlt::PowerAction::Reboot));
    EXPECT_EQ(boxes.Boxes()[0].style, MB_YESNOCANCEL | MB_ICONQUESTION);
    EXPECT_EQ(requests, std::vector<vlt::PowerAction>{vlt::PowerAction::Reboot});

    // A shut-down the system refuses is reported with the system's text.
    ASSERT_EQ(TQ8Sim_SetFirmwareActivation(kSerial, 0, 1), TQ8_OK);
    PackageSpec other;
    other.chunks = kOneFile;
    result = -1;
    boxes.Clear();
    boxes.QueueAnswer(IDYES);
    ASSERT_TRUE(Run(Open(doc, Package("shutdown", other))));
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, fwtext::PowerQuestion(vlt::PowerAction::PowerOff));
    std::wstring expected;
    FormatSystemErrorText(EPERM, expected, L"Failed to shut down the system: ");
    EXPECT_EQ(boxes.Boxes()[1].text, expected);
    EXPECT_EQ(boxes.Boxes()[1].style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_EQ(requests.back(), vlt::PowerAction::PowerOff);
}

TEST_F(FirmwareUploadTest, WaitCountdownAndProgress)
{
    CMainDoc& doc = NewDoc();
    CFirmwareUploadDlg* dlg = Open(doc, Package("two"));
    dlg->OnAppMessage(WM_APP + 11, 1, 2);
    dlg->OnAppMessage(WM_APP + 12, 500, 1000);
    auto* progress = dlg->findChild<QProgressBar*>("progress");
    EXPECT_EQ(progress->maximum(), 1000);
    EXPECT_EQ(progress->value(), 500);

    dlg->OnAppMessage(WM_APP + 13, 0, 10 * 60 * 1000);
    EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Please wait..."));
    dlg->OnTimer(CFirmwareUploadDlg::kWaitTimer);
    const QRegularExpression countdown(QStringLiteral("^Current operation requires a wait: 09:[0-5][0-9]$"));
    EXPECT_TRUE(countdown.match(Field(dlg, "status")).hasMatch()) << Field(dlg, "status").toStdString();
    dlg->OnAppMessage(WM_APP + 13, 0, 0);
    EXPECT_EQ(Field(dlg, "status"), QStringLiteral("Uploading firmware file 1 of 2..."));
}
