#pragma once
// Asks to which of the connected boards an action applies: lists the
// candidates with their kind and hands back the ones picked.
#include <cstdint>
#include <set>
#include <string>

#include <QDialog>

#include "TQ8_64.h"

class CDeviceManagerTQ8;
class QDialogButtonBox;
class QLabel;
class QTreeWidget;

class CDeviceSelDlg : public QDialog {
public:
    // kind: CDeviceManagerTQ8::GetDevices kind; flags: 0x1 single selection,
    // 0x4 a "<No device>" row (handle value 0).
    CDeviceSelDlg(CDeviceManagerTQ8* devices, QWidget* parent, int kind, uint32_t flags);

    void ExcludeDevice(TQ8_HANDLE handle);
    void SetDeviceSelected(TQ8_HANDLE handle, bool selected);
    void SetPrompt(const std::wstring& text);
    void SetFileName(const std::wstring& text);

    // Ends at once with Rejected (and the error beep) when no board is listed.
    int exec() override;
    void accept() override;

    // The boards chosen at OK, ascending by handle value.
    const std::set<TQ8_HANDLE>& GetSelection() const { return m_selection; }

    // Makes this the device manager's selection dialog; once at start-up.
    static void Register();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Fills the list; false when the manager listed no board.
    bool Populate();
    void AddRow(const QString& device, const QString& type, TQ8_HANDLE handle);
    void UpdateOkButton();
    void SelectPreselected();
    void FitColumns();

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
