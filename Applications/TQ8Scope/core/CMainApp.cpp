#include "CMainApp.h"

#include <clocale>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include <QApplication>
#include <QGuiApplication>

#include "AppProfile.h"
#include "CMainDoc.h"
#include "CMainFrame.h"
#include "CWorkspaceTQ8.h"
#include "FileDialog.h"
#include "MessageBox.h"
#include "Mnemonic.h"
#include "PersistentOptsKeys.h"
#include "RegistryStore.h"
#include "TextConv.h"
#include "CWaitCursor.h"

namespace {

CMainApp* g_app = nullptr;

constexpr wchar_t kWorkspaceFilter[] = L"TQ3300 Workspace Files (*.tq8ws)|*.tq8ws|All Files (*.*)|*.*||";
constexpr unsigned kStatusTimeout = 2500;

bool PathExists(const std::wstring& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::exists(std::filesystem::path(vlt::WideToUtf8(path)), ec);
}

std::wstring WithoutTrailingSlash(std::wstring path)
{
    while (path.size() > 1 && path.back() == L'/')
        path.pop_back();
    return path;
}

} // namespace

CMainApp::CMainApp()
{
    g_app = this;
    m_workspace = std::make_unique<CWorkspaceTQ8>(*this);
    // The workspace may be replaced before start-up: ask it when the document is made.
    m_documentFactory = [this](TQ8_HANDLE device, uint32_t flags) {
        return std::make_unique<CMainDoc>(this, GetDeviceManager(), device, flags);
    };
}

CMainApp::~CMainApp()
{
    m_mainFrame.reset();
    m_workspace.reset();
    if (g_app == this)
        g_app = nullptr;
}

CMainApp* CMainApp::Instance()
{
    return g_app;
}

void CMainApp::SetWorkspace(std::unique_ptr<IWorkspaceTQ8> workspace)
{
    m_workspace = std::move(workspace);
}

CDeviceManagerTQ8* CMainApp::GetDeviceManager() const
{
    return m_workspace ? m_workspace->GetDeviceManager() : nullptr;
}

void CMainApp::SetDocumentFactory(DocumentFactory factory)
{
    m_documentFactory = std::move(factory);
}

void CMainApp::SetProgramFolder(const std::wstring& folder)
{
    m_programFolder = WithoutTrailingSlash(folder);
}

bool CMainApp::StartUp(const std::vector<std::wstring>& args)
{
    // Sockets, the component runtime and the text controls need no
    // initialisation here; the window framework is Qt's, taught to read
    // the mnemonics of the programs' texts.
    vlt::InstallMnemonicRule();
    if (m_programFolder.empty())
        m_programFolder = vlt::Utf8ToWide(QCoreApplication::applicationDirPath().toStdString());
    vlt::SetMessageBoxCaption(kAppTitle);
    vlt::AppProfile::SetRegistryKey(L"Veltrane");
    vlt::AppProfile::SetProfileName(kAppTitle);
    m_recentFiles.ReadList();
    // Numbers in files and texts are written the same whatever the user's locale.
    std::setlocale(LC_ALL, "C");

    if (!m_options.Load(GetOptionsFilePath().c_str()) && m_options.IsDamaged())
        ReportDamagedOptions();
    PersistAppFlags(true);
    m_cmdInfo.Parse(args);
    FindInstallPath();
    if (m_cmdInfo.m_bUnsafe)
        m_unsafe = true;
    // The program never opens or creates a document by itself: a file named
    // on the command line is applied once the first workspace exists.
    if (m_cmdInfo.m_nShellCommand == CMyCommandLineInfo::FileOpen) {
        m_commandLineFile = m_cmdInfo.m_strFileName;
        m_cmdInfo.m_nShellCommand = CMyCommandLineInfo::FileNew;
    }
    if (m_cmdInfo.m_nShellCommand == CMyCommandLineInfo::FileNew)
        m_cmdInfo.m_nShellCommand = CMyCommandLineInfo::FileNothing;

    m_mainFrame = std::make_unique<CMainFrame>(*this);
    if (!m_workspace->Start(m_cmdInfo)) {
        // The workspace's texts are prefixes of the details its boxes gave.
        std::wstring reason = m_workspace->GetLastError();
        while (!reason.empty() && (reason.back() == L' ' || reason.back() == L':'))
            reason.pop_back();
        ReportEndedStart(L"the first workspace could not be set up (" + (reason.empty() ? L"cancelled" : reason) + L")");
        return false;
    }
    m_mainFrame->show();
    if (!m_mainFrame->ApplyCommandLineFile(m_commandLineFile)) {
        ReportEndedStart(L"the file named on the command line was not applied (cancelled)");
        return false;
    }
    return true;
}

void CMainApp::ReportEndedStart(const std::wstring& why)
{
    std::fprintf(stderr, "%s: %s; the program ends.\n", vlt::WideToUtf8(kAppTitle).c_str(),
                 vlt::WideToUtf8(why).c_str());
}

void CMainApp::ReportDamagedOptions()
{
    const std::wstring reason = m_options.GetLastErrorText();
    std::wstring text = L"The options file '" + GetOptionsFilePath() + L"' could not be read (" + reason + L").\n\n";
    if (m_options.SetAsideDamaged())
        text += L"It was kept as '" + m_options.GetDamagedCopyPath() + L"'; the program starts with default options.";
    else
        text += L"The program starts with default options. " + m_options.GetLastErrorText() + L".";
    vlt::ShowMessageBox(text, MB_OK | MB_ICONWARNING);
}

void CMainApp::ShutDown()
{
    PersistAppFlags(false);
    if (!m_options.Save())
        vlt::ShowMessageBox(m_options.GetLastErrorText(), MB_OK | MB_ICONERROR);
    m_recentFiles.WriteList();
    m_workspace->Close();
}

uint32_t CMainApp::SetAppFlags(uint32_t value, uint32_t mask)
{
    if (mask == 0xFFFFFFFFu)
        m_appFlags = value;
    else
        m_appFlags = (m_appFlags & ~mask) | (value & mask);
    return m_appFlags;
}

std::wstring CMainApp::GetOptionsFilePath() const
{
    return m_programFolder + L"/" + kOptionsFileName;
}

std::wstring CMainApp::GetLastWorkspacePath()
{
    std::wstring path;
    m_options.GetItemString(opts::kAppLastWs, path);
    return path;
}

void CMainApp::SetLastWorkspacePath(const std::wstring& path)
{
    m_options.SetItem(opts::kAppLastWs, path.c_str());
}

void CMainApp::PersistAppFlags(bool load)
{
    if (load) {
        uint32_t stored = opts::kAppFlagsDefault;
        m_options.GetItemUInt(opts::kAppFlags, stored, opts::kAppFlagsDefault);
        m_appFlags = (m_appFlags & ~opts::kAppFlagsStored) | (stored & opts::kAppFlagsStored);
    } else {
        m_options.SetItemUInt(opts::kAppFlags, m_appFlags & opts::kAppFlagsStored);
    }
}

bool CMainApp::FindInstallPath()
{
    std::wstring path;
    if (vlt::RegistryStore::GetString(vlt::RegHive::LocalMachine, L"Software\\Veltrane\\TQ3300", L"InstallPath", path)
        && PathExists(path)) {
        m_installPath = WithoutTrailingSlash(path);
        return true;
    }
    // The install folder is the folder of the running program.
    m_installPath = m_programFolder;
    return !m_installPath.empty();
}

IBoardDocument* CMainApp::OpenDeviceDocument(TQ8_HANDLE device, uint32_t docFlags)
{
    if (!device || !m_mainFrame || !m_documentFactory)
        return nullptr;
    std::unique_ptr<IBoardDocument> doc = m_documentFactory(device, docFlags & docstate::kHandOver);
    if (!doc)
        return nullptr;
    IBoardDocument* raw = doc.get();
    m_workspace->SetDocument(device, raw);
    m_mainFrame->CreateChildFrame(std::move(doc));
    m_mainFrame->OnSyncDevicesChanged();
    return raw;
}

void CMainApp::NotifyAllDocuments(IBoardDocument* sender, int type, void* object)
{
    if (!m_mainFrame)
        return;
    for (IBoardDocument* doc : m_mainFrame->GetDocuments())
        if (doc != sender)
            doc->OnAppNotify(sender, type, object);
    // The sync manager's window lists the boards and the sync devices.
    if (type == appnotify::kDeviceList || type == appnotify::kAfterWorkspaceLoad)
        m_mainFrame->OnSyncDevicesChanged();
}

bool CMainApp::PromptSaveWorkspace(bool loading)
{
    if (m_workspace->IsModified() && !m_saveDeclined) {
        std::wstring text = L"Current workspace has been modified. Save changes before ";
        text += loading ? L"loading" : L"creating";
        text += L" new workspace?";
        switch (vlt::ShowMessageBox(text, MB_YESNOCANCEL | MB_ICONQUESTION, m_mainFrame.get())) {
        case IDCANCEL:
            return false;
        case IDYES:
            // A save that failed or was cancelled must not let the
            // workspace be replaced: its changes would be lost.
            if (!OnFileSaveWorkspace())
                return false;
            break;
        default:
            m_saveDeclined = true;
            break;
        }
    }
    if (m_mainFrame && !m_mainFrame->CloseRecordingWindow(loading)) {
        m_saveDeclined = false;
        return false;
    }
    return true;
}

bool CMainApp::BeforeWorkspaceSave()
{
    NotifyAllDocuments(nullptr, appnotify::kBeforeWorkspaceSave, nullptr);
    return true;
}

void CMainApp::AfterWorkspaceLoad()
{
    m_saveDeclined = false;
    NotifyAllDocuments(nullptr, appnotify::kAfterWorkspaceLoad, nullptr);
}

bool CMainApp::SaveModifiedWorkspace()
{
    NotifyAllDocuments(nullptr, appnotify::kBeforeWorkspaceSave, nullptr);
    if (!m_workspace->IsModified())
        return true;
    if (m_workspace->GetPath().empty() && (m_appFlags & opts::kAppFlagNoPromptUnnamedWs))
        return true;
    switch (vlt::ShowMessageBox(L"Workspace has been modified. Save now?", MB_YESNOCANCEL | MB_ICONQUESTION,
                                m_mainFrame.get())) {
    case IDCANCEL:
        return false;
    case IDYES:
        // Exiting after a failed or cancelled save would lose the changes.
        return OnFileSaveWorkspace();
    default:
        return true;
    }
}

void CMainApp::ShowStatus(const std::wstring& text)
{
    if (m_mainFrame)
        m_mainFrame->ShowStatusText(text, kStatusTimeout);
}

void CMainApp::OnFileNewWorkspace()
{
    m_workspace->Create(5, std::wstring());
}

void CMainApp::OnFileOpenWorkspace()
{
    vlt::FileDialogRequest req;
    req.open = true;
    req.defaultExt = L"tq8ws";
    req.filter = kWorkspaceFilter;
    req.overwritePrompt = true;
    req.title = L"Open TQ3300 Workspace";
    req.parent = m_mainFrame.get();
    std::optional<std::wstring> path = vlt::ShowFileDialog(req);
    if (!path || !PromptSaveWorkspace(true))
        return;
    CWaitCursor wait;
    ShowStatus(L"Loading workspace...");
    const bool locked = m_mainFrame && m_mainFrame->updatesEnabled();
    // Drawn once before the lock, over what the closed file dialog left.
    if (locked) {
        m_mainFrame->repaint();
        m_mainFrame->setUpdatesEnabled(false);
    }
    if (m_workspace->Load(*path)) {
        AfterWorkspaceLoad();
        // Told once every box of the load and of the documents is answered.
        const bool errors = !m_workspace->GetLoadedWithErrorsPath().empty();
        ShowStatus((errors ? L"Workspace data loaded with errors from: " : L"Workspace data loaded from: ") + *path);
    }
    if (locked)
        m_mainFrame->setUpdatesEnabled(true);
}

bool CMainApp::OnFileSaveWorkspaceAs()
{
    vlt::FileDialogRequest req;
    req.open = false;
    req.defaultExt = L"tq8ws";
    req.fileName = L"TQ3300 Workspace";
    // A workspace loaded with errors offers the file it came from.
    const std::wstring loaded = m_workspace->GetLoadedWithErrorsPath();
    if (!loaded.empty())
        vlt::SplitStartPath(loaded, std::wstring(), req.folder, req.fileName);
    req.filter = kWorkspaceFilter;
    req.overwritePrompt = true;
    req.title = L"Save TQ3300 Workspace As";
    req.parent = m_mainFrame.get();
    std::optional<std::wstring> path = vlt::ShowFileDialog(req);
    if (!path)
        return false;
    ShowStatus(L"Saving workspace data...");
    BeforeWorkspaceSave();
    if (!m_workspace->Save(*path))
        return false;
    ShowStatus(L"Workspace data saved to: " + *path);
    return true;
}

bool CMainApp::OnFileSaveWorkspace()
{
    const std::wstring path = m_workspace->GetPath();
    if (path.empty())
        return OnFileSaveWorkspaceAs();
    ShowStatus(L"Saving workspace data...");
    BeforeWorkspaceSave();
    if (!m_workspace->Save(path))
        return false;
    ShowStatus(L"Workspace data saved to: " + path);
    return true;
}

bool CMainApp::CanNewLocalDevice() const
{
    return m_workspace->GetDeviceCountWithoutDocument() > 0;
}

void CMainApp::OnFileNewLocalDevice()
{
    TQ8_HANDLE device = m_workspace->PickDeviceForNewDocument();
    if (device)
        OpenDeviceDocument(device, docstate::kLimitPlotData);
}

void CMainApp::OnAppAbout()
{
    vlt::ShowMessageBox(L"TQ3300 Scope Application\n\nHost software of the TQ3300 digitizer.", MB_ICONINFORMATION,
                        m_mainFrame.get());
}
