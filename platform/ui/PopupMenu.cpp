#include "PopupMenu.h"

#include <QAction>
#include <QMenu>

namespace vlt {
namespace {

PopupMenuHandler g_handler; // UI thread only

void Describe(const QMenu& menu, int depth, std::vector<MenuItemInfo>& out)
{
    for (const QAction* action : menu.actions()) {
        MenuItemInfo item;
        item.text = action->text();
        item.id = MenuCommandId(action);
        item.depth = depth;
        item.enabled = action->isEnabled();
        item.checked = action->isChecked();
        item.separator = action->isSeparator();
        item.submenu = action->menu() != nullptr;
        out.push_back(item);
        if (const QMenu* sub = action->menu())
            Describe(*sub, depth + 1, out);
    }
}

} // namespace

QAction* AddMenuCommand(QMenu& menu, int id, const QString& text)
{
    QAction* action = menu.addAction(text);
    action->setData(id);
    return action;
}

int MenuCommandId(const QAction* action)
{
    bool ok = false;
    const int id = action ? action->data().toInt(&ok) : 0;
    return ok ? id : 0;
}

QAction* FindMenuCommand(const QMenu& menu, int id)
{
    for (QAction* action : menu.actions()) {
        if (MenuCommandId(action) == id && !action->menu())
            return action;
        if (const QMenu* sub = action->menu())
            if (QAction* found = FindMenuCommand(*sub, id))
                return found;
    }
    return nullptr;
}

std::vector<MenuItemInfo> DescribeMenu(const QMenu& menu)
{
    std::vector<MenuItemInfo> items;
    Describe(menu, 0, items);
    return items;
}

PopupMenuHandler SetPopupMenuHandler(PopupMenuHandler handler)
{
    PopupMenuHandler previous = std::move(g_handler);
    g_handler = std::move(handler);
    return previous;
}

int TrackPopupMenu(QMenu& menu, const QPoint& globalPos)
{
    if (g_handler)
        return g_handler(menu, globalPos);
    const QAction* chosen = menu.exec(globalPos);
    return chosen && chosen->isEnabled() ? MenuCommandId(chosen) : 0;
}

PopupMenuRecorder::PopupMenuRecorder()
{
    m_previous = SetPopupMenuHandler([this](QMenu& menu, const QPoint& pos) {
        m_menus.push_back(DescribeMenu(menu));
        m_position = pos;
        if (m_choices.empty())
            return 0;
        const int id = m_choices.front();
        m_choices.erase(m_choices.begin());
        // Only what the menu offers can be chosen.
        const QAction* action = FindMenuCommand(menu, id);
        return action && action->isEnabled() ? id : 0;
    });
}

PopupMenuRecorder::~PopupMenuRecorder() { SetPopupMenuHandler(std::move(m_previous)); }

} // namespace vlt
