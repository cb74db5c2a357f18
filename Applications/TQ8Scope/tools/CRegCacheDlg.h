#pragma once
// The modeless "TQ3300 Register Cache" window of a board: the library's
// cached register images as a tree of decoded fields, refreshed from the
// driver or the hardware, exportable as text. OK and Escape hide it; only OK
// keeps the "Read from hardware registers" box for the next window.
#include <cstdint>
#include <functional>
#include <set>
#include <string>

#include <QDialog>

#include "CRegisterLines.h"
#include "TQ8_64.h"

class QCheckBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CRegCacheDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kValueRole = Qt::UserRole;

    // RefreshLocalRegisterCacheTQ8; tests put their own in its place.
    using Refresher = std::function<int32_t(TQ8_HANDLE, int32_t fromHardware)>;

    // Shows the cache as it is (no refresh).
    CRegCacheDlg(QWidget* parent, TQ8_HANDLE device);
    void SetRefresher(Refresher refresher) { m_refreshCache = std::move(refresher); }

    // The box's state that new windows start with (false at program start).
    static bool RememberedFromHardware() { return s_fromHardware; }
    static void SetRememberedFromHardware(bool on) { s_fromHardware = on; }

    // Refreshes with the box's current state; the tree is rebuilt on success.
    bool Refresh();
    // Asks for a file and writes the whole tree; false when not written.
    bool Export();
    void Rebuild();

    const CRegisterLines& Lines() const { return m_lines; }
    const std::set<int32_t>& ExpandedLines() const { return m_expanded; }
    static std::wstring LastUpdateText();

public slots:
    void accept() override;

private:
    void BuildControls();
    void FillTree();
    void RestoreExpansion(QTreeWidgetItem* item);
    void OnExpansion(QTreeWidgetItem* item, bool expanded);

    static bool s_fromHardware;

    TQ8_HANDLE m_device;
    Refresher m_refreshCache;
    CRegisterLines m_lines;
    std::set<int32_t> m_expanded;
    bool m_rebuilding = false;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_export = nullptr;
    QPushButton* m_ok = nullptr;
    QCheckBox* m_fromHardwareBox = nullptr;
    QLabel* m_lastUpdate = nullptr;
};
