#include "BrowseForFile.h"

#include <QLineEdit>

#include "CVltEditBrowseCtrl.h"
#include "TextConv.h"

namespace {

bool IsOnAnotherComputer(TQ8_HANDLE device)
{
    return device && IsDeviceRemoteTQ8(device) != 0;
}

// A remote path is split at its last "\" (or "/"); a local one at its last "/".
void SplitRemoteStartPath(const std::wstring& text, const std::wstring& defaultFolder, std::wstring& folder,
                          std::wstring& fileName)
{
    const size_t slash = text.find_last_of(L"\\/");
    folder = slash == std::wstring::npos ? text : text.substr(0, slash);
    fileName = slash == std::wstring::npos ? std::wstring() : text.substr(slash + 1);
    if (folder.empty())
        folder = defaultFolder;
}

} // namespace

BoardFileDialog& BoardFileDialogFactory()
{
    static BoardFileDialog factory;
    return factory;
}

std::optional<std::wstring> ShowBoardFileDialog(TQ8_HANDLE device, const vlt::FileDialogRequest& request)
{
    if (BoardFileDialogFactory())
        return BoardFileDialogFactory()(device, request);
    if (IsOnAnotherComputer(device))
        return std::nullopt;
    return vlt::ShowFileDialog(request);
}

bool BrowseForFile(QWidget* parent, QLineEdit* edit, const wchar_t* filter, const wchar_t* defaultExt, bool open,
                   bool overwritePrompt, const std::wstring& defaultFolder, int filterIndex, TQ8_HANDLE device,
                   std::wstring* pathOut, const wchar_t* title)
{
    vlt::FileDialogRequest request;
    request.open = open;
    request.title = title ? title : L"";
    const std::wstring text = edit ? vlt::Utf8ToWide(edit->text().toStdString()) : std::wstring();
    if (IsOnAnotherComputer(device))
        SplitRemoteStartPath(text, defaultFolder, request.folder, request.fileName);
    else
        vlt::SplitStartPath(text, defaultFolder, request.folder, request.fileName);
    request.defaultExt = defaultExt ? defaultExt : L"";
    request.filter = filter && *filter ? filter : L"All Files (*.*)|*.*||";
    if (filterIndex != -1)
        request.filterIndex = filterIndex;
    request.overwritePrompt = overwritePrompt;
    request.parent = parent;
    const std::optional<std::wstring> chosen = ShowBoardFileDialog(device, request);
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

void UseBrowseForFileInEditBrowseControls()
{
    CVltEditBrowseCtrl::SetFileBrowser([](const CVltEditBrowseCtrl::BrowseRequest& r) {
        return BrowseForFile(r.parent, r.edit, r.filter.c_str(), r.defaultExt.c_str(), r.open, true,
                             r.defaultDir, r.filterIndex, static_cast<TQ8_HANDLE>(r.device), nullptr,
                             r.title.empty() ? nullptr : r.title.c_str());
    });
}
