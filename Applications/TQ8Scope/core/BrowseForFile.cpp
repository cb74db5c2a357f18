#include "BrowseForFile.h"

#include <QLineEdit>

#include "FileDialog.h"
#include "TextConv.h"

void SplitStartPath(const std::wstring& text, std::wstring& folder, std::wstring& fileName)
{
    size_t slash = text.rfind(L'/');
    if (slash == std::wstring::npos) {
        folder = text;
        fileName.clear();
        return;
    }
    folder = text.substr(0, slash == 0 ? 1 : slash);
    fileName = text.substr(slash + 1);
}

bool BrowseForFile(QWidget* parent, QLineEdit* edit, const wchar_t* filter, const wchar_t* defaultExt, bool open,
                   bool overwritePrompt, const std::wstring& defaultFolder, int filterIndex, TQ8_HANDLE device,
                   std::wstring* pathOut, const wchar_t* title)
{
    if (device && IsDeviceRemoteTQ8(device) > 0)
        return false;
    vlt::FileDialogRequest req;
    req.open = open;
    req.overwritePrompt = overwritePrompt;
    req.filter = filter ? filter : L"All Files (*.*)|*.*||";
    req.defaultExt = defaultExt ? defaultExt : L"";
    req.parent = parent;
    if (title)
        req.title = title;
    if (filterIndex != -1)
        req.filterIndex = filterIndex;
    if (edit && !edit->text().isEmpty())
        SplitStartPath(vlt::Utf8ToWide(edit->text().toStdString()), req.folder, req.fileName);
    if (req.folder.empty())
        req.folder = defaultFolder;
    std::optional<std::wstring> chosen = vlt::ShowFileDialog(req);
    if (!chosen)
        return false;
    if (edit)
        edit->setText(QString::fromStdString(vlt::WideToUtf8(*chosen)));
    if (pathOut)
        *pathOut = *chosen;
    return true;
}

bool BrowseForRd8File(QWidget* parent, QLineEdit* edit, bool open, bool overwritePrompt,
                      const std::wstring& defaultFolder, TQ8_HANDLE device, std::wstring* pathOut,
                      const wchar_t* title)
{
    return BrowseForFile(parent, edit, L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||", L"rd8", open,
                         overwritePrompt, defaultFolder, -1, device, pathOut, title);
}
