#pragma once
// The file dialog of every file choice for a board: the system's dialog for
// no board or a board on this computer, the remote file dialog for a board
// on another computer, whose path is then valid there.
#include <cstdint>
#include <string>

#include "FileDialog.h"
#include "TQ8_64.h"

class QWidget;

class CFileDialog_Remote {
public:
    static constexpr uint32_t kOverwritePrompt = 0x2;
    static constexpr uint32_t kHideReadOnly = 0x4;

    CFileDialog_Remote(TQ8_HANDLE device, bool open, const wchar_t* defaultExt = nullptr,
                       const wchar_t* fileName = nullptr, uint32_t flags = kHideReadOnly,
                       const wchar_t* filter = nullptr, QWidget* parent = nullptr);

    // The settings, to be adjusted before the dialog is shown (initial
    // folder, title, filter index).
    vlt::FileDialogRequest& Settings() { return m_settings; }

    // IDOK when a file was chosen, else IDCANCEL.
    int DoModal();
    const std::wstring& GetPathName() const { return m_path; }

    // Lets BrowseForFile and the documents' file choices use this dialog.
    static void Register();

private:
    TQ8_HANDLE m_device;
    vlt::FileDialogRequest m_settings;
    std::wstring m_path;
};
