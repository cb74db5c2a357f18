#pragma once
// Stand-in for the device selection dialog (CDeviceSelDlg) until that is
// built: a plain list of the candidate boards that takes the same arguments
// and gives the same result.
#include <cstdint>
#include <set>
#include <string>

#include <QDialog>

#include "TQ8_64.h"

class CDeviceManagerTQ8;
class QDialogButtonBox;
class QLabel;
class QTreeWidget;

class CDeviceSelStandInDlg : public QDialog {
public:
    // kind: CDeviceManagerTQ8::GetDevices kind; flags: 0x1 single selection,
    // 0x4 a "<No device>" row (handle value 0).
    CDeviceSelStandInDlg(CDeviceManagerTQ8* devices, QWidget* parent, int kind, uint32_t flags);

    void ExcludeDevice(TQ8_HANDLE handle);
    void SetDeviceSelected(TQ8_HANDLE handle, bool selected);
    void SetPrompt(const std::wstring& text);
    void SetFileName(const std::wstring& text);

    // Ends at once with Rejected (and the error beep) when no board is listed.
    int exec() override;
    void accept() override;

    // The boards chosen at OK, ascending by handle value.
    const std::set<TQ8_HANDLE>& GetSelection() const { return m_selection; }

private:
    // Fills the list; false when the manager listed no board.
    bool Populate();
    void AddRow(const QString& device, const QString& type, TQ8_HANDLE handle);
    void UpdateOkButton();

    CDeviceManagerTQ8* m_devices;
    int m_kind;
    uint32_t m_flags;
    std::set<TQ8_HANDLE> m_exclude;
    std::set<TQ8_HANDLE> m_preselect;
    std::set<TQ8_HANDLE> m_selection;

    QLabel* m_prompt;
    QTreeWidget* m_list;
    QLabel* m_fileLabel;
    QLabel* m_fileName;
    QDialogButtonBox* m_buttons;
};
