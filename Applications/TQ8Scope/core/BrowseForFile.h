#pragma once
// Asking for a file to open or save, starting from the path in an edit field.
#include <functional>
#include <optional>
#include <string>

#include "FileDialog.h"
#include "TQ8_64.h"

class QLineEdit;
class QWidget;

// filter null: all files; filterIndex -1: the dialog's own. With a board on
// another computer the dialog browses that computer, and the path is valid
// there. true when a file was chosen: it is written to the edit field and
// pathOut.
bool BrowseForFile(QWidget* parent, QLineEdit* edit, const wchar_t* filter, const wchar_t* defaultExt, bool open,
                   bool overwritePrompt, const std::wstring& defaultFolder, int filterIndex, TQ8_HANDLE device,
                   std::wstring* pathOut, const wchar_t* title);

bool BrowseForRd8File(QWidget* parent, QLineEdit* edit, bool open, bool overwritePrompt,
                      const std::wstring& defaultFolder, TQ8_HANDLE device, std::wstring* pathOut,
                      const wchar_t* title);

// The file dialog for a board's computer: the chosen path, or nothing.
using BoardFileDialog =
    std::function<std::optional<std::wstring>(TQ8_HANDLE device, const vlt::FileDialogRequest& request)>;
// The tools install the remote-capable dialog here at start-up (core cannot
// link them). Without it a board on another computer gets no dialog.
BoardFileDialog& BoardFileDialogFactory();
std::optional<std::wstring> ShowBoardFileDialog(TQ8_HANDLE device, const vlt::FileDialogRequest& request);

// Edit-browse controls in file mode browse with BrowseForFile (the program
// calls this once at start-up).
void UseBrowseForFileInEditBrowseControls();
