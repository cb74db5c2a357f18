#pragma once
// Pop-up menus that return the chosen command, as a tracked pop-up menu
// does. Every pop-up goes through TrackPopupMenu, so that a test can choose
// an item and read what the menu offered.
#include <QPoint>
#include <QString>
#include <functional>
#include <vector>

class QAction;
class QMenu;

namespace vlt {

// A command item: its id is kept in the action's data.
QAction* AddMenuCommand(QMenu& menu, int id, const QString& text);
int MenuCommandId(const QAction* action); // 0 for an item without one
// The command item with this id in the menu or any of its sub-menus.
QAction* FindMenuCommand(const QMenu& menu, int id);

// One item of a shown menu as a test reads it; sub-menu items follow their
// sub-menu's entry with depth one more.
struct MenuItemInfo {
    QString text;
    int id = 0;
    int depth = 0;
    bool enabled = true;
    bool checked = false;
    bool separator = false;
    bool submenu = false;
};
std::vector<MenuItemInfo> DescribeMenu(const QMenu& menu);

using PopupMenuHandler = std::function<int(QMenu& menu, const QPoint& globalPos)>;

// Installs a handler that answers instead of the screen; empty restores the
// real menu. Returns the previous handler.
PopupMenuHandler SetPopupMenuHandler(PopupMenuHandler handler);

// Shows the menu at the point (screen coordinates) until an item is chosen
// or the menu is dismissed; the chosen item's command id, 0 for none.
int TrackPopupMenu(QMenu& menu, const QPoint& globalPos);

// For tests: while it lives, menus are recorded and answered from a queue
// of command ids; when the queue is empty the menu is dismissed (0).
class PopupMenuRecorder {
public:
    PopupMenuRecorder();
    ~PopupMenuRecorder();
    PopupMenuRecorder(const PopupMenuRecorder&) = delete;
    PopupMenuRecorder& operator=(const PopupMenuRecorder&) = delete;

    void QueueChoice(int id) { m_choices.push_back(id); }
    size_t Count() const { return m_menus.size(); }
    const std::vector<MenuItemInfo>& Last() const { return m_menus.back(); }
    QPoint LastPosition() const { return m_position; }

private:
    std::vector<std::vector<MenuItemInfo>> m_menus;
    std::vector<int> m_choices;
    QPoint m_position;
    PopupMenuHandler m_previous;
};

} // namespace vlt
