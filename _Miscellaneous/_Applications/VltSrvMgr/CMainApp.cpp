#include "CMainApp.h"

#include <cstdio>

#include <QApplication>

#include "AppMessages.h"
#include "AppProfile.h"
#include "CAboutDlg.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CMainView.h"
#include "CMyCommandLineInfo.h"
#include "CQtNotifyIcon.h"
#include "CSingleInstance.h"
#include "CVltServiceMgr.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "TextConv.h"

CMainApp::Environment CMainApp::DefaultEnvironment()
{
    Environment environment;
    environment.makeManager = &CMainDoc::CreateServiceManager;
    environment.makeNotifyIcon = [] { return std::make_unique<CQtNotifyIcon>(); };
    environment.programPath = QCoreApplication::applicationFilePath().toStdString();
    environment.configPath = CMainDoc::DefaultConfigPath();
    return environment;
}

CMainApp::CMainApp(Environment environment) : m_environment(std::move(environment))
{
}

CMainApp::~CMainApp()
{
    ExitInstance();
}

bool CMainApp::ClaimInstance()
{
    m_instance = std::make_unique<CSingleInstance>(kServiceManagerTitle);
    if (m_instance->Claim())
        return true;
    if (!m_instance->LastError().empty()) {
        // Better one copy too many than none: run unguarded.
        std::fprintf(stderr, "VltSrvMgr: %s\n", m_instance->LastError().c_str());
        return true;
    }
    CSingleInstance::RaiseRunning(kServiceManagerTitle);
    return false;
}

bool CMainApp::InitInstance(const std::vector<std::string>& arguments)
{
    if (!ClaimInstance())
        return false;
    QCoreApplication::setApplicationName(QStringLiteral("VltSrvMgr"));
    QCoreApplication::setOrganizationName(QStringLiteral("Veltrane"));
    vlt::AppProfile::SetRegistryKey(L"Veltrane");
    vlt::AppProfile::SetProfileName(L"VltSrvMgr");
    vlt::SetMessageBoxCaption(L"VltSrvMgr");
    vlt::InstallMnemonicRule();
    LoadOptions();

    m_doc = std::make_unique<CMainDoc>(m_options, m_environment.makeManager(m_options), m_environment.configPath);
    m_frame = std::make_unique<CMainFrame>(*m_doc, m_options, m_environment.makeNotifyIcon(),
                                           m_environment.programPath);
    QObject::connect(m_frame.get(), &CMainFrame::aboutRequested, m_frame.get(), [this] { OnAppAbout(); });
    // The program lives in the tray: it ends when its window closes, not
    // when the last visible window goes.
    QApplication::setQuitOnLastWindowClosed(false);
    QObject::connect(m_frame.get(), &CMainFrame::closed, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    m_instance->SetWindow(m_frame.get());
    QObject::connect(m_instance.get(), &CSingleInstance::raiseRequested, m_frame.get(),
                     [this] { m_frame->OnSingletonActivated(); });

    CMyCommandLineInfo commandLine;
    commandLine.ParseArguments(arguments);
    m_bootTime = commandLine.m_bBootTime;
    m_frame->View()->OnInitialUpdate();
    ShowMainWindow();
    if (m_options.Test(CProgramOptions::kAutoStartServices))
        vlt::PostCommand(m_frame.get(), CMainDoc::ID_AUTO_START);
    return true;
}

void CMainApp::LoadOptions()
{
    std::string error;
    if (!m_options.Load(&error))
        vlt::ShowMessageBox(L"The program options could not be read; the defaults are used and the stored "
                            L"options are left untouched.\n" + vlt::Utf8ToWide(error),
                            MB_ICONWARNING);
}

void CMainApp::ShowMainWindow()
{
    // At log-on the window starts minimised (and, with a tray to come back
    // from, hidden); the saved placement is not applied then.
    if (m_bootTime)
        m_frame->showMinimized();
    else if (!m_frame->RestoreWindowPlacement())
        m_frame->showNormal();
}

int CMainApp::ExitInstance()
{
    if (m_exited)
        return 0;
    m_exited = true;
    // The window saves its placement and removes its icon as it goes.
    m_frame.reset();
    if (m_options.IsLoaded()) {
        std::string error;
        if (!m_options.Save(&error))
            std::fprintf(stderr, "VltSrvMgr: the options were not saved: %s\n", error.c_str());
    }
    m_doc.reset();
    m_instance.reset();
    return 0;
}

void CMainApp::OnAppAbout()
{
    CAboutDlg dlg(m_frame.get());
    dlg.exec();
}
