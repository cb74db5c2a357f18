// The firmware upload window on a board of another computer, served by a
// real service host on loopback: the window's own path, the upload run by
// the server on its board.
#include "CFirmwareUploadDlg.h"

#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "DocumentToolWindows.h"
#include "ErrorBox.h"
#include "RemoteTestHost.h"
#include "UploadTestSupport.h"

using upload_test::PumpUntil;

namespace {

// What one upload through the window showed.
struct Shown {
    std::vector<QString> statuses;
    std::vector<std::wstring> boxes;
    std::vector<std::pair<int, int>> progress; // the bar's value and range
    uint64_t messagesSent = 0;                  // to servers, from the press on
};

class RemoteFirmwareUploadTest : public doc_tools_test::DocToolsTest {
protected:
    void SetUp() override
    {
        DocToolsTest::SetUp();
        RegisterDocumentToolWindows();
        m_dir = MakeTestDir("remote-upload");
        m_host = std::make_unique<RemoteTestHost>(m_dir);
        ASSERT_TRUE(m_host->Started());
    }
    void TearDown() override
    {
        // The documents' boards go before their server.
        DocToolsTest::TearDown();
        m_host.reset();
    }
    CMainDoc& RemoteDoc(uint32_t serial)
    {
        TQ8_HANDLE h = devices->ConnectRemoteDevice(L"127.0.0.1", m_host->Port(), serial, true, true);
        EXPECT_NE(h, nullptr);
        docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData));
        return *docs.back();
    }
    // Opens the window for the package, presses Upload and lets it run to
    // its end.
    Shown Upload(CMainDoc& doc, const std::wstring& package)
    {
        Shown shown;
        boxes.Clear();
        EXPECT_TRUE(doc.StartFirmwareUpload(package, false));
        QPointer<CFirmwareUploadDlg> dlg = qobject_cast<CFirmwareUploadDlg*>(doc.GetFirmwareUploadWindow());
        if (dlg.isNull())
            return shown;
        QObject::connect(dlg, &CFirmwareUploadDlg::StatusChanged,
                         [&shown](const QString& text) { shown.statuses.push_back(text); });
        auto* bar = dlg->findChild<QProgressBar*>("progress");
        QObject::connect(bar, &QProgressBar::valueChanged,
                         [&shown, bar](int value) { shown.progress.emplace_back(value, bar->maximum()); });
        const uint64_t sent = TQ8Sim_RemoteMessagesSent();
        QTest::mouseClick(dlg->findChild<QPushButton*>("upload"), Qt::LeftButton);
        EXPECT_TRUE(PumpUntil([&] { return dlg.isNull() || !dlg->IsWorking(); }));
        shown.messagesSent = TQ8Sim_RemoteMessagesSent() - sent;
        for (const vlt::MessageBoxRequest& box : boxes.Boxes())
            shown.boxes.push_back(box.text);
        if (!dlg.isNull())
            dlg->reject();
        return shown;
    }

    std::string m_dir;
    std::unique_ptr<RemoteTestHost> m_host;
};

} // namespace

TEST_F(RemoteFirmwareUploadTest, ARemoteVirtualBoardUploadsWithProgressAndTheLocalEndMessages)
{
    const std::wstring package = upload_test::WritePackage(m_dir, "two", {});
    const Shown local = Upload(NewDoc(), package);
    CMainDoc& doc = RemoteDoc(1650);
    const Shown remote = Upload(doc, package);
    EXPECT_EQ(remote.boxes, std::vector<std::wstring>{L"Firmware update complete"});
    EXPECT_EQ(remote.boxes, local.boxes);
    EXPECT_EQ(remote.statuses, local.statuses);
    EXPECT_GT(remote.messagesSent, 0u);
    // The bar reached the end of each file (positions between may be
    // passed over when the client is slower than the upload).
    for (int range : {150000, 70000})
        EXPECT_NE(std::find(remote.progress.begin(), remote.progress.end(), std::pair(range, range)),
                  remote.progress.end())
            << range;
    // The server's board runs the new firmware, and says so to the client.
    wchar_t* version = nullptr;
    ASSERT_EQ(GetVersionTextWTQ8(doc.GetDeviceHandle(), TQ8_VERSION_SYSTEM_FPGA, &version, 64), TQ8_OK);
    EXPECT_STREQ(version, L"1.2.0.0");
    FreeMemoryTQ8(version);
    // The out flags travel too: the same package again is up to date.
    EXPECT_EQ(Upload(doc, package).boxes, std::vector<std::wstring>{L"Firmware is up-to-date; no firmware uploaded"});
}

TEST_F(RemoteFirmwareUploadTest, ADamagedPackageIsRefusedBeforeAnythingIsSent)
{
    CMainDoc& doc = RemoteDoc(1651);
    WriteTestFile(m_dir + "/damaged.tq8fw", "not a package");
    const Shown shown = Upload(doc, vlt::Utf8ToWide(m_dir + "/damaged.tq8fw"));
    EXPECT_EQ(shown.messagesSent, 0u);
    std::wstring reason;
    ASSERT_EQ(GetErrorTextString(TQ8_ERR_FW_PACKAGE_DAMAGED, reason, nullptr), 0);
    EXPECT_EQ(shown.boxes, std::vector<std::wstring>{L"Firmware update failed : " + reason});
}
