#include "BrowseForFile.h"

#include "CVltEditBrowseCtrl.h"
#include "FileDialog.h"
#include "TextConv.h"

bool BrowseForFile(QWidget* parent, QLineEdit* edit, const wchar_t* filter, const wchar_t* defaultExt, bool open,
                   bool overwritePrompt, const std::wstring& defaultFolder, int filterIndex, TQ8_HANDLE device,
                   std::wstring* pathOut, const wchar_t* title)
{
    if (device && IsDeviceRemoteTQ8(device) > 0)
        return false;
    CVltEditBrowseCtrl::BrowseRequest request;
    request.parent = parent;
    request.edit = edit;
    request.filter = filter ? filter : L"";
    request.defaultExt = defaultExt ? defaultExt : L"";
    request.open = open;
    request.overwritePrompt = overwritePrompt;
    request.defaultDir = defaultFolder;
    request.filterIndex = filterIndex;
    request.title = title ? title : L"";
    return CVltEditBrowseCtrl::BrowseLocally(request, pathOut);
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
        auto device = static_cast<TQ8_HANDLE>(r.device);
        // The remote file dialog is not built yet; until it is, a board on
        // another computer gets the local dialog rather than none.
        if (device && IsDeviceRemoteTQ8(device) > 0)
            device = nullptr;
        return BrowseForFile(r.parent, r.edit, r.filter.c_str(), r.defaultExt.c_str(), r.open, true, r.defaultDir,
                             r.filterIndex, device, nullptr, r.title.empty() ? nullptr : r.title.c_str());
    });
}
