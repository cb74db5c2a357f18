#include "CFileDialog_Remote.h"

#include <QApplication>

#include "BrowseForFile.h"
#include "CMyRemoteFileDialog.h"
#include "MessageBox.h"

CFileDialog_Remote::CFileDialog_Remote(TQ8_HANDLE device, bool open, const wchar_t* defaultExt,
                                       const wchar_t* fileName, uint32_t flags, const wchar_t* filter,
                                       QWidget* parent)
    : m_device(device)
{
    m_settings.open = open;
    m_settings.defaultExt = defaultExt ? defaultExt : L"";
    m_settings.fileName = fileName ? fileName : L"";
    m_settings.overwritePrompt = (flags & kOverwritePrompt) != 0;
    m_settings.filter = filter ? filter : L"";
    m_settings.parent = parent;
}

int CFileDialog_Remote::DoModal()
{
    // Any answer but "on this computer", an error included, means the board
    // cannot be browsed here.
    if (!m_device || IsDeviceRemoteTQ8(m_device) == 0) {
        const std::optional<std::wstring> chosen = vlt::ShowFileDialog(m_settings);
        if (!chosen)
            return IDCANCEL;
        m_path = *chosen;
        return IDOK;
    }
    QWidget* owner = m_settings.parent ? m_settings.parent : QApplication::activeWindow();
    CMyRemoteFileDialog dlg(owner, m_settings.open, m_device, m_settings);
    if (dlg.exec() != QDialog::Accepted)
        return IDCANCEL;
    m_path = dlg.GetChosenPath();
    return IDOK;
}

void CFileDialog_Remote::Register()
{
    BoardFileDialogFactory() = [](TQ8_HANDLE device,
                                  const vlt::FileDialogRequest& request) -> std::optional<std::wstring> {
        CFileDialog_Remote dlg(device, request.open);
        dlg.Settings() = request;
        if (dlg.DoModal() != IDOK)
            return std::nullopt;
        return dlg.GetPathName();
    };
}
