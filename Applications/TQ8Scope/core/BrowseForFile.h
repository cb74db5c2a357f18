#pragma once
// Asking for a file to open or save, starting from the path in an edit field.
#include <string>

#include "TQ8_64.h"

class QLineEdit;
class QWidget;

// filter null: all files; filterIndex -1: the dialog's own. A device on
// another computer needs the remote file dialog, which is not available
// yet: for such a device nothing is shown and the result is false.
// true when a file was chosen: it is written to the edit field and pathOut.
bool BrowseForFile(QWidget* parent, QLineEdit* edit, const wchar_t* filter, const wchar_t* defaultExt, bool open,
                   bool overwritePrompt, const std::wstring& defaultFolder, int filterIndex, TQ8_HANDLE device,
                   std::wstring* pathOut, const wchar_t* title);

bool BrowseForRd8File(QWidget* parent, QLineEdit* edit, bool open, bool overwritePrompt,
                      const std::wstring& defaultFolder, TQ8_HANDLE device, std::wstring* pathOut,
                      const wchar_t* title);

// Edit-browse controls in file mode browse with BrowseForFile (the program
// calls this once at start-up).
void UseBrowseForFileInEditBrowseControls();
