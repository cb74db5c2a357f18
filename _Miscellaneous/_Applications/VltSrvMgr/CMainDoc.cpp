#include "CMainDoc.h"

#include <QCoreApplication>

#include "CProgramOptions.h"
#include "CSvcFsWin32.h"
#include "CSvcPdWin32.h"
#include "CVltServiceMgr.h"
#include "IMainFrameServices.h"
#include "MessageBox.h"
#include "ServiceErrors.h"
#include "TextConv.h"
#include "CWaitCursor.h"

CMainDoc::CMainDoc(CProgramOptions& options, std::unique_ptr<CVltServiceMgr> manager, std::string configPath,
                   QObject* parent)
    : QObject(parent), m_options(options), m_manager(std::move(manager)), m_configPath(std::move(configPath))
{
}

// The manager goes with the document, and stops every service as it goes.
CMainDoc::~CMainDoc() = default;

std::unique_ptr<CVltServiceMgr> CMainDoc::CreateServiceManager(const CProgramOptions& options)
{
    auto manager = std::make_unique<CVltServiceMgr>();
    manager->SetConfigReader(CSvcFsWin32::ConfigReader());
    manager->SetBuiltInServices({CSvcFsWin32::Factory(), CSvcPdWin32::Factory([&options] { return options.Flags(); })});
    return manager;
}

std::string CMainDoc::DefaultConfigPath()
{
    return QCoreApplication::applicationDirPath().toStdString() + "/VltSvcCfg.xml";
}

std::string CMainDoc::GetHostAddressText()
{
    std::string address;
    return m_manager->GetHostAddress(address) == 0 ? address : std::string();
}

int32_t CMainDoc::LoadServices()
{
    CWaitCursor wait;
    const int32_t rc = m_manager->LoadConfig(m_configPath.c_str(), true);
    // What did load before the failure would listen unseen, and a later
    // start would register it twice.
    if (rc < 0)
        m_manager->UnloadAll();
    return rc;
}

bool CMainDoc::StartServices()
{
    SetTimedStatusText("Loading and starting services. This could take a minute or two if any devices need firmware...",
                       0);
    const int32_t rc = LoadServices();
    if (rc < 0) {
        ShowServiceError("Failed to startup services: ", rc);
        return false;
    }
    if (rc == kSvcPartial)
        vlt::ShowMessageBox(L"One or more services failed to load", MB_ICONWARNING);
    SetTimedStatusText("Services loaded and started", 1700);
    m_running = true;
    emit viewsUpdated(kHintServices, true);
    if (m_frame)
        m_frame->RefreshNotifyIcon();
    return true;
}

void CMainDoc::StopServices()
{
    {
        CWaitCursor wait;
        m_manager->UnloadAll();
    }
    m_running = false;
    emit viewsUpdated(kHintServices, false);
    if (m_frame)
        m_frame->RefreshNotifyIcon();
}

void CMainDoc::OnToggleServices()
{
    if (m_running)
        StopServices();
    else
        StartServices();
}

std::string CMainDoc::ToggleCommandText() const
{
    return m_running ? "Stop Services" : "Start Services";
}

void CMainDoc::OnAutoStart()
{
    if (m_frame)
        m_frame->SetMessageText("Auto-starting services...");
    if (StartServices())
        SetTimedStatusText("Services auto-started", 1700);
    else
        vlt::ShowMessageBox(L"Failed to start services", MB_OK);
}

bool CMainDoc::OnCommand(unsigned id)
{
    if (id == ID_TOGGLE_SERVICES)
        OnToggleServices();
    else if (id == ID_AUTO_START)
        OnAutoStart();
    else
        return false;
    return true;
}

void CMainDoc::SetTimedStatusText(const std::string& text, unsigned timeoutMs)
{
    if (m_frame)
        m_frame->SetTimedStatusText(text, timeoutMs);
}

void CMainDoc::ShowServiceError(const std::string& prefix, int32_t code)
{
    std::string text;
    GetServiceErrorText(code, text);
    const std::string message = (prefix.empty() ? std::string("An error occurred: ") : prefix) + text;
    vlt::ShowMessageBox(vlt::Utf8ToWide(message), MB_ICONERROR);
}
