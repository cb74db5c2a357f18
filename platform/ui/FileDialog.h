#pragma once
// Open, save and folder dialogs. Every file dialog goes through
// ShowFileDialog, so that a test can answer it and read how it was set up.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QWidget;

namespace vlt {

struct FileDialogRequest {
    bool open = true;
    std::wstring title;          // empty: the dialog's own
    std::wstring folder;         // start folder; empty: the current one
    std::wstring fileName;       // proposed file name
    std::wstring defaultExt;     // without the dot; added when the user types none
    std::wstring filter;         // "Text (*.txt)|*.txt|All Files (*.*)|*.*||"
    int filterIndex = 1;         // 1-based, as the framework counts
    bool overwritePrompt = false;
    bool pathMustExist = false;
    // A folder is chosen instead of a file; only title, folder and parent count.
    bool chooseFolder = false;
    QWidget* parent = nullptr;
};

using FileDialogHandler = std::function<std::optional<std::wstring>(const FileDialogRequest&)>;

// The chosen path, or nothing when cancelled.
std::optional<std::wstring> ShowFileDialog(const FileDialogRequest& request);

// Installs a handler that answers instead of the screen; empty restores the
// real dialog. Returns the previous handler.
FileDialogHandler SetFileDialogHandler(FileDialogHandler handler);

// "Name|pattern|Name|pattern||" as (name, patterns) pairs; "*.*" becomes "*"
// because on this system a file need not have an extension.
std::vector<std::pair<std::wstring, std::wstring>> SplitFileFilter(const std::wstring& filter);

// Start folder and proposed name for a path typed in an edit: split at the
// last '/'; a text without one is taken whole as the folder. An empty
// folder becomes defaultFolder.
void SplitStartPath(const std::wstring& text, const std::wstring& defaultFolder, std::wstring& folder,
                    std::wstring& fileName);

} // namespace vlt
