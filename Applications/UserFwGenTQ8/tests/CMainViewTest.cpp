#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>

#include "CAboutDlg.h"
#include "CEditAccelerators.h"
#include "CMainApp.h"
#include "CMainFrame.h"
#include "CMainView.h"
#include "CSingleInstance.h"
#include "CVltEditBrowseCtrl.h"
#include "FwGenControls.h"
#include "FwGenTestEnv.h"
#include "LockKeyIndicators.h"
#include "LockKeyState.h"
#include "MessageBox.h"
#include "PopupMenu.h"
#include "RegistryStore.h"
#include "TQ8Sim.h"
#include "TextConv.h"

namespace fs = std::filesystem;

namespace {

QApplication& App()
{
    static QApplication* app = [] {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char arg0[] = "userfwgen_ui_tests";
        static char* argv[] = {arg0, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

class MainViewTest : public ::testing::Test {
protected:
    MainViewTest()
        : m_env("view")
    {
        App();
        TQ8Sim_Reset();
    }

    template <class T>
    T* Get(CMainView& view, int id)
    {
        return qobject_cast<T*>(view.Control(id));
    }

    void SetProvider(const std::string& xml)
    {
        const std::string folder = m_env.Path("install");
        fs::create_directories(folder);
        WriteTestFile(folder + "/VltFpgaProc.tq3300.xml", xml);
        ASSERT_TRUE(vlt::RegistryStore::SetString(vlt::RegHive::LocalMachine, L"Software\\Veltrane\\TQ3300",
                                                  L"InstallPath", vlt::Utf8ToWide(folder)));
    }

    FwGenTestEnv m_env;
};

TEST_F(MainViewTest, WindowTitleAndMenus)
{
    CMainFrame frame;
    frame.View()->OnInitialUpdate();
    frame.show();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("TQ3300 User Firmware File Generator"));
    QStringList menus;
    for (QAction* a : frame.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&View", "&Help"}));
    auto* about = frame.findChild<QAction*>(QStringLiteral("actionAbout"));
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(about->text(), QStringLiteral("&About TQ3300 User Firmware File Generator..."));
    auto* status = frame.findChild<QAction*>(QStringLiteral("actionStatusBar"));
    ASSERT_NE(status, nullptr);
    status->setChecked(false);
    EXPECT_FALSE(frame.statusBar()->isVisible());
}

TEST_F(MainViewTest, ApplicationStartShowsTheTitledWindow)
{
    CMainApp app;
    app.InitInstance();
    ASSERT_NE(app.MainFrame(), nullptr);
    EXPECT_TRUE(app.MainFrame()->isVisible());
    EXPECT_EQ(app.MainFrame()->windowTitle(), QStringLiteral("TQ3300 User Firmware File Generator"));
}

TEST_F(MainViewTest, AboutBox)
{
    CAboutDlg dlg;
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("About TQ3300 User Firmware File Generator"));
    bool found = false;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        found |= l->text() == QStringLiteral("TQ3300 User-Firmware Package Generator Version 1.0");
    EXPECT_TRUE(found);
}

TEST_F(MainViewTest, ControlsAndFpgaTypeChange)
{
    CMainView view;
    view.OnInitialUpdate();
    auto* type = Get<QComboBox>(view, IDC_FPGA_TYPE);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->itemText(0), QStringLiteral("Virtex 5 LX50"));
    EXPECT_EQ(type->itemText(1), QStringLiteral("Virtex 5 SX95T"));
    auto* sev = Get<QComboBox>(view, IDC_README_SEV);
    EXPECT_EQ(sev->itemText(1), QStringLiteral("Important - User always prompted to read"));
    EXPECT_EQ(Get<QPushButton>(view, IDC_GENERATE)->text(), QStringLiteral("&Generate Firmware Package"));
    EXPECT_EQ(Get<QPushButton>(view, IDC_DETECT)->text(), QStringLiteral("<- Detect From Hardware"));
    EXPECT_EQ(Get<CVltEditBrowseCtrl>(view, IDC_OUTPUT_PATH)->GetMode(), CVltEditBrowseCtrl::BrowseMode_File);
    EXPECT_EQ(Get<CVltEditBrowseCtrl>(view, IDC_XCF32P_PATH)->Edit()->placeholderText(), QStringLiteral(" *.xsvf"));
    EXPECT_EQ(Get<QLineEdit>(view, IDC_FW_VERSION)->placeholderText(), QStringLiteral(" a.b.c.d"));

    type->setCurrentIndex(1);
    EXPECT_TRUE(view.Control(IDC_XCF32P_PATH)->isEnabled());
    EXPECT_TRUE(view.Control(IDC_XCF16P_PATH)->isEnabled());
    EXPECT_TRUE(view.Control(IDC_XCF16P_LABEL)->isEnabled());
    type->setCurrentIndex(0);
    EXPECT_TRUE(view.Control(IDC_XCF32P_PATH)->isEnabled());
    EXPECT_FALSE(view.Control(IDC_XCF16P_PATH)->isEnabled());
    EXPECT_FALSE(view.Control(IDC_XCF16P_LABEL)->isEnabled());
}

TEST_F(MainViewTest, SettingsComeFromAndGoBackToTheRegistry)
{
    CFwGenSettings stored;
    stored.m_fpgaType = 1;
    stored.m_xcf32pPath = L"/fw/a.xsvf";
    stored.m_fwVer = 0x01020000;
    stored.m_fwCustEnum = 77;
    stored.m_ovrwrtPrompt = false;
    ASSERT_TRUE(stored.Save());
    {
        CMainView view;
        view.OnInitialUpdate();
        EXPECT_EQ(Get<QComboBox>(view, IDC_FPGA_TYPE)->currentIndex(), 1);
        EXPECT_EQ(Get<CVltEditBrowseCtrl>(view, IDC_XCF32P_PATH)->GetText(), L"/fw/a.xsvf");
        EXPECT_EQ(Get<QLineEdit>(view, IDC_FW_VERSION)->text(), QStringLiteral("1.2.0.0"));
        EXPECT_EQ(Get<QLineEdit>(view, IDC_CUST_ENUM)->text(), QStringLiteral("77"));
        EXPECT_FALSE(Get<QCheckBox>(view, IDC_OVERWRITE_PROMPT)->isChecked());
        Get<QLineEdit>(view, IDC_FW_VERSION)->setText(QStringLiteral("3.4"));
        ASSERT_TRUE(view.UpdateData(true));
        // Typed after the last exchange: not kept.
        Get<QLineEdit>(view, IDC_CUST_ENUM)->setText(QStringLiteral("99"));
    }
    CFwGenSettings back;
    back.Load();
    EXPECT_EQ(back.m_fwVer, 0x03040000u);
    EXPECT_EQ(back.m_fwCustEnum, 77u);
}

TEST_F(MainViewTest, ProviderWithEnumeration1000MakesItReadOnly)
{
    SetProvider("<VltFpgaDev_TQ3300><GUID>g</GUID><CustomFwEnum>1000</CustomFwEnum>"
                "<ClientName>Acme</ClientName></VltFpgaDev_TQ3300>");
    CMainView view;
    view.OnInitialUpdate();
    EXPECT_EQ(Get<QLabel>(view, IDC_PROVIDER)->text(), QStringLiteral("Detected provider: Acme"));
    EXPECT_EQ(Get<QLineEdit>(view, IDC_CUST_ENUM)->text(), QStringLiteral("1000"));
    EXPECT_TRUE(Get<QLineEdit>(view, IDC_CUST_ENUM)->isReadOnly());
}

TEST_F(MainViewTest, ProviderWithEnumeration999StaysEditable)
{
    SetProvider("<VltFpgaDev_TQ3300><GUID>g</GUID><CustomFwEnum>999</CustomFwEnum></VltFpgaDev_TQ3300>");
    CMainView view;
    view.OnInitialUpdate();
    EXPECT_EQ(Get<QLabel>(view, IDC_PROVIDER)->text(), QStringLiteral("Detected provider: <Unspecified>"));
    EXPECT_EQ(Get<QLineEdit>(view, IDC_CUST_ENUM)->text(), QStringLiteral("999"));
    EXPECT_FALSE(Get<QLineEdit>(view, IDC_CUST_ENUM)->isReadOnly());
}

TEST_F(MainViewTest, ProviderWithOtherRootChangesNothing)
{
    SetProvider("<Other><GUID>g</GUID><CustomFwEnum>1000</CustomFwEnum></Other>");
    CMainView view;
    view.OnInitialUpdate();
    EXPECT_EQ(Get<QLabel>(view, IDC_PROVIDER)->text(), QString());
    EXPECT_EQ(Get<QLineEdit>(view, IDC_CUST_ENUM)->text(), QStringLiteral("0"));
    EXPECT_FALSE(Get<QLineEdit>(view, IDC_CUST_ENUM)->isReadOnly());
}

TEST_F(MainViewTest, ProviderLineHasItsRowOnlyWithAText)
{
    // Without a provider the version row follows the enumeration row as the
    // rows above follow each other: no blank band between them.
    CMainView bare;
    bare.OnInitialUpdate();
    QWidget* enumEdit = Get<QLineEdit>(bare, IDC_CUST_ENUM);
    const int rowStep = enumEdit->y() - bare.Control(IDC_XCF16P_PATH)->y();
    EXPECT_EQ(bare.Control(IDC_FW_VERSION)->y() - enumEdit->y(), rowStep);
    EXPECT_TRUE(Get<QLabel>(bare, IDC_PROVIDER)->isHidden());

    SetProvider("<VltFpgaDev_TQ3300><GUID>g</GUID><CustomFwEnum>7</CustomFwEnum></VltFpgaDev_TQ3300>");
    CMainView view;
    view.OnInitialUpdate();
    QLabel* provider = Get<QLabel>(view, IDC_PROVIDER);
    EXPECT_FALSE(provider->isHidden());
    EXPECT_GT(provider->y(), Get<QLineEdit>(view, IDC_CUST_ENUM)->geometry().bottom());
    EXPECT_GT(view.Control(IDC_FW_VERSION)->y(), provider->geometry().bottom());
    EXPECT_EQ(view.height() - bare.height(), view.Control(IDC_FW_VERSION)->y() - bare.Control(IDC_FW_VERSION)->y());
}

TEST_F(MainViewTest, GenerateWithoutOutputFocusesTheOutputEdit)
{
    CMainFrame frame;
    CMainView& view = *frame.View();
    view.OnInitialUpdate();
    frame.show();
    QApplication::setActiveWindow(&frame);
    Get<QLineEdit>(view, IDC_CUST_ENUM)->setText(QStringLiteral("5"));
    vlt::MessageBoxRecorder boxes;
    QTest::mouseClick(Get<QPushButton>(view, IDC_GENERATE), Qt::LeftButton);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Please specify a pathname for output firmware package file");
    EXPECT_EQ(QApplication::focusWidget(), Get<CVltEditBrowseCtrl>(view, IDC_OUTPUT_PATH)->Edit());
}

TEST_F(MainViewTest, GenerateRefusesCustomEnumerationZeroFirst)
{
    CMainView view;
    view.OnInitialUpdate();
    vlt::MessageBoxRecorder boxes;
    view.OnGenerate();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Please enter an integer between 1 and 65534.");
}

TEST_F(MainViewTest, GenerateWritesThePackage)
{
    WriteTestFile(m_env.Path("a.xsvf"), "bits");
    CMainView view;
    view.OnInitialUpdate();
    Get<QComboBox>(view, IDC_FPGA_TYPE)->setCurrentIndex(0);
    Get<CVltEditBrowseCtrl>(view, IDC_XCF32P_PATH)->SetText(vlt::Utf8ToWide(m_env.Path("a.xsvf")));
    Get<CVltEditBrowseCtrl>(view, IDC_OUTPUT_PATH)->SetText(vlt::Utf8ToWide(m_env.Path("p.tq8fw")));
    Get<QLineEdit>(view, IDC_CUST_ENUM)->setText(QStringLiteral("12"));
    Get<QLineEdit>(view, IDC_FW_VERSION)->setText(QStringLiteral("1.2"));
    vlt::MessageBoxRecorder boxes;
    view.OnGenerate();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Firmware package created.", 0), 0u);
    EXPECT_TRUE(TestFileExists(m_env.Path("p.tq8fw")));
    EXPECT_EQ(Get<QLineEdit>(view, IDC_FW_VERSION)->text(), QStringLiteral("1.2"));
    EXPECT_EQ(view.Settings().m_fwVer, 0x01020000u);
}

TEST_F(MainViewTest, DetectionSelectsTheBoardsType)
{
    TQ8SIM_BOARD_DESC desc{};
    TQ8Sim_DefaultBoardDesc(&desc, 4242);
    desc.fpgaType = 1;
    if (TQ8Sim_AddLocalBoard(&desc) == TQ8_ERR_NOT_SUPPORTED)
        GTEST_SKIP() << "the simulated device library cannot declare boards yet";
    CMainView view;
    view.OnInitialUpdate();
    Get<QComboBox>(view, IDC_FPGA_TYPE)->setCurrentIndex(0);
    vlt::MessageBoxRecorder boxes;
    QTest::mouseClick(Get<QPushButton>(view, IDC_DETECT), Qt::LeftButton);
    EXPECT_EQ(Get<QComboBox>(view, IDC_FPGA_TYPE)->currentIndex(), 1);
    EXPECT_TRUE(view.Control(IDC_XCF16P_PATH)->isEnabled());
    ASSERT_EQ(boxes.Count(), 1u);
    TQ8Sim_Reset();
}

// A right click on a control that has no menu of its own, as the user makes it.
void RightClick(QWidget* on)
{
    const QPoint pos = on->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, pos, on->mapToGlobal(pos));
    QApplication::sendEvent(on, &event);
}

bool ItemEnabled(const vlt::PopupMenuRecorder& menus, unsigned id)
{
    for (const vlt::MenuItemInfo& item : menus.Last())
        if (item.id == int(id))
            return item.enabled;
    ADD_FAILURE() << "no item " << id;
    return false;
}

TEST_F(MainViewTest, EditMenuActsOnTheFocusedEditField)
{
    CMainFrame frame;
    CMainView& view = *frame.View();
    EXPECT_EQ(view.GetTemplateId(), 101);
    view.OnInitialUpdate();
    frame.show();
    QApplication::setActiveWindow(&frame);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto* version = Get<QLineEdit>(view, IDC_FW_VERSION);
    version->setText(QStringLiteral("1.2.3.4"));
    version->setFocus();
    version->setSelection(0, 3);
    QGuiApplication::clipboard()->clear();

    vlt::PopupMenuRecorder menus;
    menus.QueueChoice(CFormView_WithEdit::ID_EDIT_CUT);
    RightClick(view.Control(IDC_PROVIDER)); // a label: the form's menu
    ASSERT_EQ(menus.Count(), 1u);
    const std::vector<vlt::MenuItemInfo>& items = menus.Last();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0].text, QStringLiteral("Cu&t\tCtrl+X"));
    EXPECT_EQ(items[0].id, int(CFormView_WithEdit::ID_EDIT_CUT));
    EXPECT_EQ(items[1].text, QStringLiteral("&Copy\tCtrl+C"));
    EXPECT_EQ(items[1].id, int(CFormView_WithEdit::ID_EDIT_COPY));
    EXPECT_EQ(items[2].text, QStringLiteral("&Paste\tCtrl+V"));
    EXPECT_EQ(items[2].id, int(CFormView_WithEdit::ID_EDIT_PASTE));
    EXPECT_TRUE(items[0].enabled);
    EXPECT_TRUE(items[1].enabled);
    EXPECT_FALSE(items[2].enabled); // nothing on the clipboard yet
    EXPECT_EQ(version->text(), QStringLiteral(".3.4"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1.2"));

    // No selection left: only Paste; it puts the text back.
    version->setCursorPosition(0);
    menus.QueueChoice(CFormView_WithEdit::ID_EDIT_PASTE);
    RightClick(&view);
    EXPECT_FALSE(ItemEnabled(menus, CFormView_WithEdit::ID_EDIT_CUT));
    EXPECT_FALSE(ItemEnabled(menus, CFormView_WithEdit::ID_EDIT_COPY));
    EXPECT_TRUE(ItemEnabled(menus, CFormView_WithEdit::ID_EDIT_PASTE));
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.4"));

    // A read-only field takes nothing; a selection there can still be copied.
    auto* custEnum = Get<QLineEdit>(view, IDC_CUST_ENUM);
    custEnum->setReadOnly(true);
    custEnum->setFocus();
    custEnum->selectAll();
    RightClick(&view);
    EXPECT_TRUE(ItemEnabled(menus, CFormView_WithEdit::ID_EDIT_COPY));
    EXPECT_FALSE(ItemEnabled(menus, CFormView_WithEdit::ID_EDIT_PASTE));

    // The focus on a button: nothing can act, and a choice does nothing.
    Get<QPushButton>(view, IDC_GENERATE)->setFocus();
    menus.QueueChoice(CFormView_WithEdit::ID_EDIT_PASTE);
    RightClick(&view);
    for (const vlt::MenuItemInfo& item : menus.Last())
        EXPECT_FALSE(item.enabled) << item.text.toStdString();
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.4"));
    EXPECT_EQ(menus.Count(), 4u);
}

TEST_F(MainViewTest, StatusBarShowsTheMessageThenTheLockKeys)
{
    CMainFrame frame;
    frame.View()->OnInitialUpdate();
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QStatusBar* bar = frame.statusBar();
    EXPECT_EQ(bar->currentMessage(), QStringLiteral("Ready"));
    std::vector<QLabel*> panes;
    for (unsigned id : {vlt::LockKeyIndicators::ID_INDICATOR_CAPS, vlt::LockKeyIndicators::ID_INDICATOR_NUM,
                        vlt::LockKeyIndicators::ID_INDICATOR_SCRL}) {
        panes.push_back(bar->findChild<QLabel*>(QString::number(id)));
        ASSERT_NE(panes.back(), nullptr) << id;
        EXPECT_FALSE(panes.back()->isEnabled()) << "no keyboard state offscreen: off";
    }
    EXPECT_EQ(panes[0]->text(), QStringLiteral("CAP"));
    EXPECT_EQ(panes[1]->text(), QStringLiteral("NUM"));
    EXPECT_EQ(panes[2]->text(), QStringLiteral("SCRL"));
    // The message on the left, the indicators after it in that order.
    EXPECT_GT(panes[0]->x(), bar->width() / 2);
    EXPECT_LT(panes[0]->x(), panes[1]->x());
    EXPECT_LT(panes[1]->x(), panes[2]->x());

    vlt::SetLockKeyStateForTest(vlt::LockKeyState{true, false, true});
    QTest::keyClick(frame.View()->Control(IDC_FW_VERSION), Qt::Key_CapsLock);
    vlt::SetLockKeyStateForTest(std::nullopt);
    EXPECT_TRUE(panes[0]->isEnabled());
    EXPECT_FALSE(panes[1]->isEnabled());
    EXPECT_TRUE(panes[2]->isEnabled());
}

TEST_F(MainViewTest, AcceleratorsRunTheEditCommandsOnTheFocusedField)
{
    using Form = CFormView_WithEdit;
    CMainFrame frame;
    CMainView& view = *frame.View();
    view.OnInitialUpdate();
    frame.show();
    QApplication::setActiveWindow(&frame);
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto* version = Get<QLineEdit>(view, IDC_FW_VERSION);
    version->setText(QStringLiteral("1.2.3.4"));
    version->setFocus();
    QGuiApplication::clipboard()->clear();

    // Nothing selected, nothing to undo: copy, cut and undo are disabled and
    // their keys do nothing.
    version->deselect();
    for (unsigned id : {Form::ID_EDIT_COPY, Form::ID_EDIT_CUT, Form::ID_EDIT_UNDO})
        EXPECT_FALSE(CEditAccelerators::IsCommandEnabled(id)) << id;
    QTest::keyClick(version, Qt::Key_Insert, Qt::ControlModifier);
    QTest::keyClick(version, Qt::Key_Delete, Qt::ShiftModifier);
    QTest::keyClick(version, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.4"));
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());

    version->setSelection(0, 3);
    QTest::keyClick(version, Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("1.2"));
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.4"));
    QTest::keyClick(version, Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(version->text(), QStringLiteral(".3.4"));
    QTest::keyClick(version, Qt::Key_Backspace, Qt::AltModifier);
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.4"));
    version->setCursorPosition(7);
    QTest::keyClick(version, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.41.2"));
    // The other keys of the same commands.
    version->setSelection(7, 3);
    QTest::keyClick(version, Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.4"));
    QTest::keyClick(version, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(version->text(), QStringLiteral("1.2.3.41.2"));
    version->setSelection(0, 1);
    QTest::keyClick(version, Qt::Key_C, Qt::ControlModifier);
    version->setCursorPosition(0);
    QTest::keyClick(version, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(version->text(), QStringLiteral("11.2.3.41.2"));

    // A read-only field takes no paste.
    auto* custEnum = Get<QLineEdit>(view, IDC_CUST_ENUM);
    custEnum->setText(QStringLiteral("1000"));
    custEnum->setReadOnly(true);
    custEnum->setFocus();
    custEnum->setCursorPosition(0);
    EXPECT_FALSE(CEditAccelerators::IsCommandEnabled(Form::ID_EDIT_PASTE));
    QTest::keyClick(custEnum, Qt::Key_Insert, Qt::ShiftModifier);
    EXPECT_EQ(custEnum->text(), QStringLiteral("1000"));

    // The focus on a button: every command is disabled, the keys do nothing,
    // and the pane keys leave the focus where it is (there is one pane).
    auto* generate = Get<QPushButton>(view, IDC_GENERATE);
    generate->setFocus();
    for (unsigned id : {Form::ID_EDIT_UNDO, Form::ID_EDIT_CUT, Form::ID_EDIT_COPY, Form::ID_EDIT_PASTE})
        EXPECT_FALSE(CEditAccelerators::IsCommandEnabled(id)) << id;
    QTest::keyClick(generate, Qt::Key_Insert, Qt::ShiftModifier);
    QTest::keyClick(generate, Qt::Key_F6);
    EXPECT_TRUE(generate->hasFocus());
    QTest::keyClick(generate, Qt::Key_F6, Qt::ShiftModifier);
    EXPECT_TRUE(generate->hasFocus());
    EXPECT_EQ(version->text(), QStringLiteral("11.2.3.41.2"));
}

TEST_F(MainViewTest, DetectionWithoutBoardsOnlyWarns)
{
    CMainView view;
    view.OnInitialUpdate();
    Get<QComboBox>(view, IDC_FPGA_TYPE)->setCurrentIndex(1);
    vlt::MessageBoxRecorder boxes;
    view.OnDetectFromHardware();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"No TQ3300 devices were detected in the system");
    EXPECT_EQ(Get<QComboBox>(view, IDC_FPGA_TYPE)->currentIndex(), 1);
}

} // namespace

namespace {

// A runtime folder of the test's own, for the programs and for this process,
// so that no generator of the user's or of another test answers.
class PrivateRuntimeDir {
public:
    explicit PrivateRuntimeDir(const std::string& path) : m_path(path)
    {
        if (const char* kept = std::getenv("XDG_RUNTIME_DIR"))
            m_kept = kept;
        ::mkdir(path.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~PrivateRuntimeDir()
    {
        if (m_kept)
            setenv("XDG_RUNTIME_DIR", m_kept->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::string m_path;
    std::optional<std::string> m_kept;
};

class Generator {
public:
    explicit Generator(const QProcessEnvironment& environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QStringLiteral(USERFWGEN_EXE));
    }
    ~Generator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    bool Start()
    {
        m_process.start();
        return m_process.waitForStarted(10000);
    }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace

// The real program, started twice as processes of its own.
TEST(GeneratorProgram, SecondStartKeepsBothWindowsAndTheLastOneStaysFindable)
{
    App();
    FwGenTestEnv env("program");
    PrivateRuntimeDir runtime(env.Path("run"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(env.Path("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(env.Path("data")));

    Generator first(environment);
    ASSERT_TRUE(first.Start());
    QTRY_VERIFY_WITH_TIMEOUT(CSingleInstance::IsRunning(kGeneratorTitle), 20000);

    Generator second(environment);
    ASSERT_TRUE(second.Start());
    // A copy that refused to run would have ended long before.
    EXPECT_FALSE(second.Process().waitForFinished(3000)) << second.Process().readAllStandardError().toStdString();
    // The scope application's look-up finds the first one meanwhile.
    EXPECT_TRUE(CSingleInstance::RaiseRunning(kGeneratorTitle, 10000));
    EXPECT_EQ(first.Process().state(), QProcess::Running);

    // With the first one gone, the second is found: it kept running with its
    // window and took the title over.
    first.Process().terminate();
    ASSERT_TRUE(first.Process().waitForFinished(20000));
    QTRY_VERIFY_WITH_TIMEOUT(CSingleInstance::IsRunning(kGeneratorTitle), 20000);
    EXPECT_TRUE(CSingleInstance::RaiseRunning(kGeneratorTitle, 10000));
    EXPECT_EQ(second.Process().state(), QProcess::Running)
        << second.Process().readAllStandardError().toStdString();
}
