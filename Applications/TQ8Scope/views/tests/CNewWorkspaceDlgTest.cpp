#include <dlfcn.h>

#include <fstream>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "CNewWorkspaceDlg.h"
#include "CPersistentOpts.h"
#include "CVltEditBrowseCtrl.h"
#include "CVltHub6Mgr.h"
#include "FormTestSupport.h"
#include "InprocServer.h"
#include "PersistentOptsKeys.h"
#include "TestApp.h"

namespace {

class NewWorkspaceDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        TQ8Sim_Reset();
        ForgetHub6SoftwareState();
    }
    void TearDown() override
    {
        TQ8Sim_Reset();
        ForgetHub6SoftwareState();
    }
    template <class T>
    static T* Item(QDialog& dlg, int id)
    {
        T* item = dlg.findChild<T*>(QString::number(id));
        EXPECT_NE(item, nullptr) << id;
        return item;
    }
    static QRadioButton* Radio(QDialog& dlg, int type) { return Item<QRadioButton>(dlg, CNewWorkspaceDlg::kFirstChoiceId + type); }
    static void ClickOk(QDialog& dlg) { QTest::mouseClick(Item<QPushButton>(dlg, 1), Qt::LeftButton); }
    static void AddLocalBoard(uint32_t serial)
    {
        TQ8SIM_BOARD_DESC desc;
        TQ8Sim_DefaultBoardDesc(&desc, serial);
        ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    }
    int32_t Int(const wchar_t* key)
    {
        int32_t value = -100;
        options.GetItemInt(key, value, -100);
        return value;
    }

    CPersistentOpts options;
    vlt::MessageBoxRecorder boxes;
    ScratchDir dir;
};

} // namespace

TEST_F(NewWorkspaceDlgTest, WithoutBoardsTheLocalChoiceIsDisabledAndARememberedOneBecomesVirtual)
{
    options.SetItemInt(opts::kWsNewType, 1);
    options.SetItemInt(opts::kWsNewSyncDevs, 1);
    options.SetItemInt(opts::kWsNewVirtSync, 1);
    CNewWorkspaceDlg dlg(nullptr, options, 0);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("New TQ3300 Workspace"));
    EXPECT_EQ(Radio(dlg, 1)->text(), QStringLiteral("Local workspace - Disabled; no local devices detected"));
    EXPECT_FALSE(Radio(dlg, 1)->isEnabled());
    EXPECT_TRUE(Radio(dlg, 3)->isChecked());
    // Without the sync software both boxes are off limits whatever was remembered.
    EXPECT_FALSE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kDetectSyncId)->isEnabled());
    EXPECT_FALSE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kVirtualSyncId)->isEnabled());
    EXPECT_TRUE(Item<QLabel>(dlg, CNewWorkspaceDlg::kSoftwareNoteId)->isVisible());
    EXPECT_EQ(Item<QLineEdit>(dlg, CNewWorkspaceDlg::kServerId)->placeholderText(), QStringLiteral("  Dotted IP address or URL"));
    EXPECT_EQ(Item<CVltEditBrowseCtrl>(dlg, CNewWorkspaceDlg::kFileId)->GetMode(), CVltEditBrowseCtrl::BrowseMode_File);
    const CWorkspaceTQ8::NewWorkspace choice = dlg.GetChoice();
    EXPECT_FALSE(choice.useSyncDevices);
    EXPECT_FALSE(choice.virtualSync);
}

TEST_F(NewWorkspaceDlgTest, RememberedTypeOutsideTheChoicesTakesTheDefault)
{
    AddLocalBoard(7001);
    options.SetItemInt(opts::kWsNewType, 7);
    {
        CNewWorkspaceDlg dlg(nullptr, options, 1);
        EXPECT_TRUE(Radio(dlg, 1)->isChecked());
        EXPECT_TRUE(Radio(dlg, 1)->isEnabled());
        EXPECT_EQ(Radio(dlg, 1)->text(), QStringLiteral("Local workspace - Connect to all local TQ3300 devices"));
    }
    EXPECT_EQ(Int(opts::kWsNewType), 1);
    options.SetItemInt(opts::kWsNewType, -1);
    CNewWorkspaceDlg dlg(nullptr, options, 0);
    EXPECT_TRUE(Radio(dlg, 3)->isChecked());
}

TEST_F(NewWorkspaceDlgTest, DependentControlsFollowTheRadioButtons)
{
    CNewWorkspaceDlg dlg(nullptr, options, 0);
    dlg.show();
    auto* server = Item<QLineEdit>(dlg, CNewWorkspaceDlg::kServerId);
    auto* file = Item<CVltEditBrowseCtrl>(dlg, CNewWorkspaceDlg::kFileId);
    QTest::mouseClick(Radio(dlg, 2), Qt::LeftButton);
    EXPECT_TRUE(server->isEnabled());
    EXPECT_FALSE(file->isEnabled());
    QTest::mouseClick(Radio(dlg, 4), Qt::LeftButton);
    EXPECT_FALSE(server->isEnabled());
    EXPECT_TRUE(file->isEnabled());
    QTest::mouseClick(Radio(dlg, 0), Qt::LeftButton);
    EXPECT_FALSE(server->isEnabled());
    EXPECT_FALSE(file->isEnabled());
}

TEST_F(NewWorkspaceDlgTest, RemoteChoiceNeedsAnAddressAndAServerWithBoards)
{
    CNewWorkspaceDlg dlg(nullptr, options, 0);
    dlg.show();
    dlg.activateWindow();
    QTest::mouseClick(Radio(dlg, 2), Qt::LeftButton);
    ClickOk(dlg);
    EXPECT_TRUE(dlg.isVisible());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"server address must be specified"), std::wstring::npos);
    EXPECT_EQ(dlg.focusWidget(), Item<QLineEdit>(dlg, CNewWorkspaceDlg::kServerId));

    // An address that cannot be one says so; nothing is looked up for it.
    Item<QLineEdit>(dlg, CNewWorkspaceDlg::kServerId)->setText(QStringLiteral("192.168.1.300"));
    ClickOk(dlg);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(TQ8_ERR_SERVER_ADDRESS_INVALID, L"Failed to verify remote server: "));

    Item<QLineEdit>(dlg, CNewWorkspaceDlg::kServerId)->setText(QStringLiteral("daq-lab"));
    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    ClickOk(dlg);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to verify remote server: "));
    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", 0, 1), TQ8_OK);
    ClickOk(dlg);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(boxes.LastText(), L"Remote server is running but has no TQ3300 devices");
    ASSERT_EQ(TQ8Sim_InjectResult("GetRemoteDeviceCountWTQ8", 2, 1), TQ8_OK);
    ClickOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetChoice().type, 2);
    EXPECT_EQ(dlg.GetChoice().server, L"daq-lab");
}

TEST_F(NewWorkspaceDlgTest, ExistingWorkspaceNeedsAFileThatIsThere)
{
    CNewWorkspaceDlg dlg(nullptr, options, 0);
    dlg.show();
    QTest::mouseClick(Radio(dlg, 4), Qt::LeftButton);
    ClickOk(dlg);
    EXPECT_EQ(boxes.LastText(), L"Please specify a workspace file pathname");
    auto* file = Item<CVltEditBrowseCtrl>(dlg, CNewWorkspaceDlg::kFileId);
    const std::string path = dir.Str() + "/a.tq8ws";
    file->SetText(vlt::Utf8ToWide(path));
    ClickOk(dlg);
    EXPECT_EQ(boxes.LastText(), L"Specified workspace file does not exist");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    EXPECT_TRUE(dlg.isVisible());
    std::ofstream(path) << "x";
    ClickOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetChoice().path, vlt::Utf8ToWide(path));
}

TEST_F(NewWorkspaceDlgTest, CancelStoresWhatWasLoadedAndWhatAFailedOkTook)
{
    options.SetItem(opts::kWsNewSrvAddr, L"old-host");
    options.SetItemInt(opts::kWsNewSpud, 1);
    {
        CNewWorkspaceDlg dlg(nullptr, options, 0);
        dlg.show();
        QTest::mouseClick(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kPowerUpId), Qt::LeftButton); // off, never exchanged
        dlg.reject();
    }
    EXPECT_EQ(Int(opts::kWsNewType), 3);
    EXPECT_EQ(Int(opts::kWsNewSpud), 1);
    EXPECT_EQ(Int(opts::kWsNewSyncDevs), 0);
    std::wstring server;
    options.GetItemString(opts::kWsNewSrvAddr, server);
    EXPECT_EQ(server, L"old-host");
    {
        CNewWorkspaceDlg dlg(nullptr, options, 0);
        dlg.show();
        QTest::mouseClick(Radio(dlg, 4), Qt::LeftButton);
        QTest::mouseClick(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kPowerUpId), Qt::LeftButton);
        ClickOk(dlg); // no file: refused after the check boxes were taken
        dlg.reject();
    }
    EXPECT_EQ(Int(opts::kWsNewType), 4);
    EXPECT_EQ(Int(opts::kWsNewSpud), 0);
}

#ifdef HUB6COM_LIBRARY_PATH
TEST_F(NewWorkspaceDlgTest, WithTheSyncSoftwareTheVirtualUnitGoesWithTheVirtualWorkspace)
{
    setenv("VLT_REGISTRY_DIR", dir.Str().c_str(), 1);
    void* lib = dlopen(HUB6COM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    auto reg = reinterpret_cast<PfnDllRegisterServer>(dlsym(lib, "DllRegisterServer"));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
    ForgetHub6SoftwareState();
    {
        CNewWorkspaceDlg dlg(nullptr, options, 0);
        dlg.show();
        EXPECT_FALSE(Item<QLabel>(dlg, CNewWorkspaceDlg::kSoftwareNoteId)->isVisible());
        EXPECT_TRUE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kDetectSyncId)->isChecked());
        EXPECT_TRUE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kDetectSyncId)->isEnabled());
        EXPECT_TRUE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kVirtualSyncId)->isChecked());
        EXPECT_TRUE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kVirtualSyncId)->isEnabled());
        QTest::mouseClick(Radio(dlg, 0), Qt::LeftButton);
        EXPECT_FALSE(Item<QCheckBox>(dlg, CNewWorkspaceDlg::kVirtualSyncId)->isEnabled());
        ClickOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(dlg.GetChoice().useSyncDevices);
        EXPECT_FALSE(dlg.GetChoice().virtualSync);
    }
    ForgetHub6SoftwareState();
    unsetenv("VLT_REGISTRY_DIR");
}
#endif
