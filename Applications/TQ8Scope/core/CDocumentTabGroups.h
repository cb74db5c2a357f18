#pragma once
// The main frame's document area: the board windows as tabs in one or more
// tab groups, side by side or one above the other, as the first split
// chose. A new group takes the active tab from its group; moving the last
// tab out of a group removes the group. A right click on a tab, and a tab
// dragged out of its tab row and dropped in the area, are handed to the
// frame, which shows its menus.
//
// Every group keeps its board windows usable: a group smaller than its
// window scrolls it (also when the window's least size grows), and the groups' sizes (when split, resized or when the
// divider is dragged) give each group at least its window's least size, or
// an even share of the area when the area is too small for all of them.
#include <QList>
#include <QPointer>
#include <QSplitter>

class QMdiArea;
class QMdiSubWindow;
class QTabBar;

class CDocumentTabGroups : public QSplitter {
    Q_OBJECT
public:
    explicit CDocumentTabGroups(QWidget* parent = nullptr);

    // Adds a window as a tab of the active group and activates it.
    QMdiSubWindow* AddSubWindow(QWidget* widget);
    // Every window, group by group, each group in its tab order.
    QList<QMdiSubWindow*> SubWindows() const;
    // The active window: the one activated last, else the first group's
    // current one; null when there is none.
    QMdiSubWindow* CurrentSubWindow() const;
    void SetActiveSubWindow(QMdiSubWindow* sub);

    int GroupCount() const { return int(m_groups.size()); }
    QMdiArea* Group(int index) const { return m_groups.value(index); }
    // The group that holds the window, or -1.
    int GroupOf(const QMdiSubWindow* sub) const;
    QTabBar* TabBar(int group) const;

    // A new group can take the active tab when its group keeps another tab
    // and the groups lie the asked way (or there is one group yet).
    // Vertical groups lie side by side, horizontal ones one above the other.
    bool CanCreateGroup(bool vertical) const;
    bool CanMoveToGroup(bool next) const;
    // Both act on the active tab; false when they cannot.
    bool NewGroup(bool vertical);
    bool MoveToGroup(bool next);
    // The size along the split that shows the group's largest least window
    // whole, tab row included.
    int GroupLeastSize(int group) const;

signals:
    void subWindowActivated(QMdiSubWindow* sub);
    // The tab under the point has been activated first.
    void tabContextMenuRequested(const QPoint& globalPos);
    void tabDropped(const QPoint& globalPos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QMdiArea* AddGroup(int index);
    int ActiveGroup() const;
    void MoveSubWindow(QMdiSubWindow* sub, QMdiArea* to);
    void ShowTitleOnTab(QMdiSubWindow* sub);
    void RemoveEmptyGroups();
    void KeepGroupsUsable();
    void FitToLeastSize(QMdiSubWindow* sub);
    QMdiSubWindow* SubWindowAtTab(const QTabBar* bar, const QPoint& pos) const;

    QList<QMdiArea*> m_groups;
    QPointer<QMdiSubWindow> m_lastActive;
    QPointer<QTabBar> m_dragBar;
    QPoint m_dragStart;
};
