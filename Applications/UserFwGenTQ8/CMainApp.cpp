#include "CMainApp.h"

#include <QApplication>

#include "AppProfile.h"
#include "CAboutDlg.h"
#include "CMainFrame.h"
#include "CMainView.h"
#include "CSingleInstance.h"
#include "MessageBox.h"
#include "Mnemonic.h"

CMainApp::CMainApp() = default;

// The frame (and with it the form, which stores the settings) goes first.
CMainApp::~CMainApp()
{
    m_frame.reset();
}

void CMainApp::InitInstance()
{
    QApplication::setApplicationName(QStringLiteral("UserFwGenTQ8"));
    QApplication::setApplicationVersion(QStringLiteral("2.8.06"));
    QApplication::setOrganizationName(QStringLiteral("Veltrane"));
    vlt::AppProfile::SetRegistryKey(L"Veltrane");
    vlt::AppProfile::SetProfileName(kGeneratorTitle);
    vlt::SetMessageBoxCaption(kGeneratorTitle);
    vlt::InstallMnemonicRule();

    // Findable by the scope application while any generator runs: a copy
    // started while another holds the title takes it over when that one ends.
    m_instance = std::make_unique<CSingleInstance>(kGeneratorTitle);
    m_instance->ClaimWhenFree();

    m_frame = std::make_unique<CMainFrame>();
    connect(m_frame.get(), &CMainFrame::aboutRequested, this, &CMainApp::OnAppAbout);
    m_instance->SetWindow(m_frame.get());
    m_frame->View()->OnInitialUpdate();
    m_frame->adjustSize();
    m_frame->show();
}

void CMainApp::OnAppAbout()
{
    CAboutDlg dlg(m_frame.get());
    dlg.exec();
}
