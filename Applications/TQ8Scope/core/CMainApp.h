#pragma once
// The scope application object: start-up and shutdown, the command line,
// the install folder, the options, the application flags, the workspace
// commands of the File menu and the documents' notifications.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <QObject>

#include "CMyCommandLineInfo.h"
#include "CPersistentOpts.h"
#include "CRecentFileList.h"
#include "IBoardDocument.h"
#include "IWorkspaceTQ8.h"

class CDeviceManagerTQ8;
class CMainFrame;

inline constexpr wchar_t kAppTitle[] = L"TQ3300 Scope";
inline constexpr wchar_t kOptionsFileName[] = L"DefWsOpts.xml";

class CMainApp : public QObject {
    Q_OBJECT
public:
    using DocumentFactory = std::function<std::unique_ptr<IBoardDocument>(TQ8_HANDLE device, uint32_t docFlags)>;

    CMainApp();
    ~CMainApp() override;
    static CMainApp* Instance();

    // Before StartUp: the workspace and the board documents (tests give
    // fakes), and the program's folder (default: the folder of the running
    // program).
    void SetWorkspace(std::unique_ptr<IWorkspaceTQ8> workspace);
    void SetDocumentFactory(DocumentFactory factory);
    void SetProgramFolder(const std::wstring& folder);

    // args: without the program name. false ends the program.
    bool StartUp(const std::vector<std::wstring>& args);
    // After the main window has closed all documents.
    void ShutDown();

    CPersistentOpts& GetPersistentOpts() { return m_options; }
    IWorkspaceTQ8& GetWorkspace() { return *m_workspace; }
    // The workspace's device manager; null while the workspace has none.
    CDeviceManagerTQ8* GetDeviceManager() const;
    CMainFrame* GetMainFrame() const { return m_mainFrame.get(); }
    const CMyCommandLineInfo& GetCommandLineInfo() const { return m_cmdInfo; }
    bool IsUnsafeMode() const { return m_unsafe; }
    uint32_t GetAppFlags() const { return m_appFlags; }
    // mask 0xFFFFFFFF replaces all bits; returns the new flags.
    uint32_t SetAppFlags(uint32_t value, uint32_t mask);
    const std::wstring& GetInstallPath() const { return m_installPath; }
    std::wstring GetCommandLineFile() const { return m_commandLineFile; }
    std::wstring GetOptionsFilePath() const;
    std::wstring GetLastWorkspacePath();
    void SetLastWorkspacePath(const std::wstring& path);
    CRecentFileList& GetRecentFileList() { return m_recentFiles; }

    // Opens a document for a connected board in a new child frame; none
    // without a board.
    IBoardDocument* OpenDeviceDocument(TQ8_HANDLE device, uint32_t docFlags);
    // type: appnotify::...; every document but the sender is told.
    void NotifyAllDocuments(IBoardDocument* sender, int type, void* object);

    bool PromptSaveWorkspace(bool loading);
    bool BeforeWorkspaceSave();
    void AfterWorkspaceLoad();
    // The exit prompt: false keeps the program running.
    bool SaveModifiedWorkspace();
    void PersistAppFlags(bool load);
    bool FindInstallPath();

    // Commands. The save commands return whether the workspace was written.
    void OnFileNewWorkspace();
    void OnFileOpenWorkspace();
    bool OnFileSaveWorkspace();
    bool OnFileSaveWorkspaceAs();
    void OnFileNewLocalDevice();
    bool CanNewLocalDevice() const;
    void OnAppAbout();

private:
    void ShowStatus(const std::wstring& text);
    // Once at start-up: the options file could not be read; it is set aside.
    void ReportDamagedOptions();
    // A start that ends says so on standard error, with what failed.
    static void ReportEndedStart(const std::wstring& why);

    CPersistentOpts m_options;
    std::unique_ptr<IWorkspaceTQ8> m_workspace;
    DocumentFactory m_documentFactory;
    std::unique_ptr<CMainFrame> m_mainFrame;
    CMyCommandLineInfo m_cmdInfo;
    CRecentFileList m_recentFiles{L"Recent File List", L"File", 5};
    std::wstring m_programFolder;
    std::wstring m_installPath;
    std::wstring m_commandLineFile;
    bool m_unsafe = false;
    bool m_saveDeclined = false;
    uint32_t m_appFlags = 1;
};
