#include "CVltEditBrowseCtrl.h"

#include <cwctype>

#include <QHBoxLayout>
#include <QLineEdit>
#include <QToolButton>

#include "FileDialog.h"
#include "TextConv.h"

namespace {

QString ToQ(const std::wstring& text)
{
    return QString::fromStdString(vlt::WideToUtf8(text));
}

std::wstring FromQ(const QString& text)
{
    return vlt::Utf8ToWide(text.toStdString());
}

CVltEditBrowseCtrl::FileBrowser& FileBrowserSlot()
{
    static CVltEditBrowseCtrl::FileBrowser browser;
    return browser;
}

std::wstring Trim(const std::wstring& text)
{
    size_t first = 0, last = text.size();
    while (first < last && std::iswspace(text[first]))
        ++first;
    while (last > first && std::iswspace(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

} // namespace

CVltEditBrowseCtrl::CVltEditBrowseCtrl(QWidget* parent)
    : QWidget(parent)
    , m_edit(new QLineEdit(this))
    , m_button(new QToolButton(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_edit);
    layout->addWidget(m_button);
    m_button->setText(QStringLiteral("..."));
    m_button->setFocusPolicy(Qt::NoFocus);
    m_button->setVisible(false);
    setFocusProxy(m_edit);
    connect(m_button, &QToolButton::clicked, this, [this] { OnBrowse(); });
}

void CVltEditBrowseCtrl::EnableFileBrowseButton(const std::wstring& defaultExt, const std::wstring& filter)
{
    m_mode = BrowseMode_File;
    m_defaultExt = defaultExt;
    m_filter = filter;
    m_button->setVisible(true);
}

void CVltEditBrowseCtrl::EnableFolderBrowseButton()
{
    m_mode = BrowseMode_Folder;
    m_button->setVisible(true);
}

void CVltEditBrowseCtrl::EnableBrowseButton(bool enable)
{
    m_mode = enable ? BrowseMode_Default : BrowseMode_None;
    m_button->setVisible(enable);
}

void CVltEditBrowseCtrl::SetDefaultDir(const std::wstring& folder)
{
    m_defaultDir = Trim(folder);
}

void CVltEditBrowseCtrl::SetBrowseCallback(BrowseCallback callback, intptr_t userData)
{
    m_callback = callback;
    m_userData = userData;
}

void CVltEditBrowseCtrl::SetDialogTitle(const wchar_t* title)
{
    m_title = title ? title : L"";
}

void CVltEditBrowseCtrl::SetRemoteDevice(void* deviceHandle)
{
    m_device = deviceHandle;
}

void CVltEditBrowseCtrl::SetFileBrowser(FileBrowser browser)
{
    FileBrowserSlot() = std::move(browser);
}

bool CVltEditBrowseCtrl::BrowseLocally(const BrowseRequest& r, std::wstring* path)
{
    vlt::FileDialogRequest request;
    request.open = r.open;
    request.title = r.title;
    vlt::SplitStartPath(r.edit ? FromQ(r.edit->text()) : std::wstring(), r.defaultDir, request.folder,
                        request.fileName);
    request.defaultExt = r.defaultExt;
    request.filter = r.filter.empty() ? std::wstring(L"All Files (*.*)|*.*||") : r.filter;
    if (r.filterIndex != -1)
        request.filterIndex = r.filterIndex;
    request.overwritePrompt = r.overwritePrompt;
    request.parent = r.parent;
    std::optional<std::wstring> chosen = vlt::ShowFileDialog(request);
    if (!chosen)
        return false;
    if (r.edit)
        r.edit->setText(ToQ(*chosen));
    if (path)
        *path = *chosen;
    return true;
}

void CVltEditBrowseCtrl::SetFilterIndex(int index)
{
    m_filterIndex = index;
}

void CVltEditBrowseCtrl::SetOpenMode(int open)
{
    m_openMode = open;
}

std::wstring CVltEditBrowseCtrl::GetText() const
{
    return FromQ(m_edit->text());
}

void CVltEditBrowseCtrl::SetText(const std::wstring& text)
{
    m_edit->setText(ToQ(text));
}

void CVltEditBrowseCtrl::SetCueBanner(const std::wstring& text)
{
    m_edit->setPlaceholderText(ToQ(text));
}

void CVltEditBrowseCtrl::OnBrowse()
{
    if (m_callback && m_callback(m_userData, this) == 0)
        return;
    if (m_mode == BrowseMode_File && parentWidget())
        BrowseForFile();
    else if (m_mode == BrowseMode_Folder)
        BrowseForFolder();
}

void CVltEditBrowseCtrl::BrowseForFile()
{
    BrowseRequest request;
    request.parent = parentWidget();
    request.edit = m_edit;
    request.filter = m_filter;
    request.defaultExt = m_defaultExt;
    request.open = m_openMode != 0;
    request.defaultDir = m_defaultDir;
    request.filterIndex = m_filterIndex;
    request.device = m_device;
    request.title = m_title;
    const FileBrowser& browser = FileBrowserSlot();
    if (browser ? browser(request) : BrowseLocally(request))
        emit pathChosen();
}

// The open mode, title and device do not apply to a folder.
void CVltEditBrowseCtrl::BrowseForFolder()
{
    vlt::FileDialogRequest request;
    request.chooseFolder = true;
    request.folder = GetText();
    request.parent = parentWidget();
    const std::optional<std::wstring> folder = vlt::ShowFileDialog(request);
    if (folder && !folder->empty()) {
        SetText(*folder);
        emit pathChosen();
    }
}
