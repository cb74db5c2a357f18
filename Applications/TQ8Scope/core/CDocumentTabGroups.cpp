#include "CDocumentTabGroups.h"

#include <algorithm>

#include <QApplication>
#include <QContextMenuEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QTabBar>

#include "Mnemonic.h"

namespace {

Qt::Orientation SplitFor(bool vertical)
{
    // Vertical groups are divided by a vertical line: they lie side by side.
    return vertical ? Qt::Horizontal : Qt::Vertical;
}

QMdiSubWindow* CurrentOf(const QMdiArea* area)
{
    if (!area)
        return nullptr;
    if (QMdiSubWindow* sub = area->currentSubWindow())
        return sub;
    const QList<QMdiSubWindow*> order = area->subWindowList(QMdiArea::ActivationHistoryOrder);
    return order.isEmpty() ? nullptr : order.last();
}

} // namespace

CDocumentTabGroups::CDocumentTabGroups(QWidget* parent) : QSplitter(parent)
{
    setChildrenCollapsible(false);
    AddGroup(0);
    connect(this, &QSplitter::splitterMoved, this, &CDocumentTabGroups::KeepGroupsUsable);
    // The active group follows the focus, also when it comes back to a
    // window that its own group still holds as active.
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) {
        for (QWidget* w = now; w && w != this; w = w->parentWidget()) {
            auto* sub = qobject_cast<QMdiSubWindow*>(w);
            if (sub && GroupOf(sub) >= 0 && sub != m_lastActive) {
                m_lastActive = sub;
                emit subWindowActivated(sub);
                return;
            }
        }
    });
}

QMdiArea* CDocumentTabGroups::AddGroup(int index)
{
    auto* area = new QMdiArea;
    area->setViewMode(QMdiArea::TabbedView);
    area->setTabsClosable(true);
    area->setTabsMovable(true);
    // A group narrower than its window scrolls, rather than widening the main window.
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    insertWidget(index, area);
    m_groups.insert(index, area);
    connect(area, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* sub) {
        if (sub)
            m_lastActive = sub;
        emit subWindowActivated(sub);
    });
    if (QTabBar* bar = area->findChild<QTabBar*>(QString(), Qt::FindDirectChildrenOnly))
        bar->installEventFilter(this);
    return area;
}

QTabBar* CDocumentTabGroups::TabBar(int group) const
{
    QMdiArea* area = m_groups.value(group);
    return area ? area->findChild<QTabBar*>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
}

QMdiSubWindow* CDocumentTabGroups::AddSubWindow(QWidget* widget)
{
    QMdiArea* area = m_groups.value(std::max(ActiveGroup(), 0));
    QMdiSubWindow* sub = area->addSubWindow(widget);
    connect(sub, &QObject::destroyed, this, &CDocumentTabGroups::RemoveEmptyGroups,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::UniqueConnection));
    sub->installEventFilter(this);
    // Emitted after the area has put the new title on the tab.
    connect(sub, &QWidget::windowTitleChanged, this, [this, sub] { ShowTitleOnTab(sub); });
    ShowTitleOnTab(sub);
    sub->showMaximized();
    SetActiveSubWindow(sub);
    return sub;
}

QList<QMdiSubWindow*> CDocumentTabGroups::SubWindows() const
{
    QList<QMdiSubWindow*> all;
    for (const QMdiArea* area : m_groups)
        all += area->subWindowList(QMdiArea::CreationOrder);
    return all;
}

int CDocumentTabGroups::GroupOf(const QMdiSubWindow* sub) const
{
    return sub ? int(m_groups.indexOf(sub->mdiArea())) : -1;
}

int CDocumentTabGroups::ActiveGroup() const
{
    const int last = GroupOf(m_lastActive);
    if (last >= 0)
        return last;
    for (int i = 0; i < GroupCount(); ++i)
        if (!m_groups[i]->subWindowList().isEmpty())
            return i;
    return m_groups.isEmpty() ? -1 : 0;
}

QMdiSubWindow* CDocumentTabGroups::CurrentSubWindow() const
{
    return CurrentOf(m_groups.value(ActiveGroup()));
}

void CDocumentTabGroups::SetActiveSubWindow(QMdiSubWindow* sub)
{
    if (GroupOf(sub) < 0)
        return;
    sub->mdiArea()->setActiveSubWindow(sub);
    m_lastActive = sub;
    emit subWindowActivated(sub);
}

bool CDocumentTabGroups::CanCreateGroup(bool vertical) const
{
    const QMdiArea* area = m_groups.value(ActiveGroup());
    if (!area || area->subWindowList().size() < 2)
        return false;
    return GroupCount() == 1 || orientation() == SplitFor(vertical);
}

bool CDocumentTabGroups::CanMoveToGroup(bool next) const
{
    const int group = GroupOf(CurrentSubWindow());
    if (group < 0)
        return false;
    return next ? group + 1 < GroupCount() : group > 0;
}

bool CDocumentTabGroups::NewGroup(bool vertical)
{
    if (!CanCreateGroup(vertical))
        return false;
    QMdiSubWindow* sub = CurrentSubWindow();
    setOrientation(SplitFor(vertical));
    QMdiArea* area = AddGroup(GroupOf(sub) + 1);
    area->show();
    // The groups share the area evenly.
    const int total = orientation() == Qt::Horizontal ? width() : height();
    setSizes(QList<int>(GroupCount(), std::max(1, total / GroupCount())));
    MoveSubWindow(sub, area);
    KeepGroupsUsable();
    return true;
}

bool CDocumentTabGroups::MoveToGroup(bool next)
{
    if (!CanMoveToGroup(next))
        return false;
    QMdiSubWindow* sub = CurrentSubWindow();
    MoveSubWindow(sub, m_groups[GroupOf(sub) + (next ? 1 : -1)]);
    RemoveEmptyGroups();
    KeepGroupsUsable();
    return true;
}

void CDocumentTabGroups::MoveSubWindow(QMdiSubWindow* sub, QMdiArea* to)
{
    QMdiArea* from = sub->mdiArea();
    from->removeSubWindow(sub);
    // The tab that comes to the front fills its group, as every tab does.
    if (QMdiSubWindow* next = CurrentOf(from))
        next->showMaximized();
    // Maximised anew in its new group: a state kept from the old one
    // would not be applied again.
    sub->setWindowState(Qt::WindowNoState);
    to->addSubWindow(sub);
    ShowTitleOnTab(sub);
    sub->showMaximized();
    SetActiveSubWindow(sub);
}

// The area puts a window's title on its tab as a text with mnemonics; a
// title holding a file name is shown as it is instead.
void CDocumentTabGroups::ShowTitleOnTab(QMdiSubWindow* sub)
{
    const int group = GroupOf(sub);
    QTabBar* bar = TabBar(group);
    if (!bar)
        return;
    const int index = int(m_groups[group]->subWindowList(QMdiArea::CreationOrder).indexOf(sub));
    if (index >= 0 && index < bar->count())
        bar->setTabText(index, vlt::NoPrefixText(sub->windowTitle()));
}

void CDocumentTabGroups::RemoveEmptyGroups()
{
    for (int i = GroupCount() - 1; i >= 0 && GroupCount() > 1; --i) {
        if (m_groups[i]->subWindowList().isEmpty())
            delete m_groups.takeAt(i);
    }
}

int CDocumentTabGroups::GroupLeastSize(int group) const
{
    const QMdiArea* area = m_groups.value(group);
    if (!area)
        return 0;
    const bool sideBySide = orientation() == Qt::Horizontal;
    int window = 0;
    for (const QMdiSubWindow* sub : area->subWindowList()) {
        const QSize least = sub->minimumSizeHint().expandedTo(sub->minimumSize());
        window = std::max(window, sideBySide ? least.width() : least.height());
    }
    int chrome = 2 * area->frameWidth();
    if (const QTabBar* bar = TabBar(group); bar && !sideBySide)
        chrome += bar->sizeHint().height();
    return window + chrome;
}

// Each group below its least size takes what it lacks from the others'
// room above theirs, the nearest groups first. A least size is capped at an
// even share, so that the room always suffices.
void CDocumentTabGroups::KeepGroupsUsable()
{
    QList<int> sizes = this->sizes();
    const int count = int(sizes.size());
    if (count < 2 || count != GroupCount())
        return;
    int total = 0;
    for (int size : sizes)
        total += size;
    QList<int> least(count);
    for (int i = 0; i < count; ++i)
        least[i] = std::min(GroupLeastSize(i), total / count);
    bool changed = false;
    for (int i = 0; i < count; ++i) {
        for (int step = 1; step < count && sizes[i] < least[i]; ++step) {
            for (int j : {i + step, i - step}) {
                if (j < 0 || j >= count || sizes[j] <= least[j])
                    continue;
                const int take = std::min(least[i] - sizes[i], sizes[j] - least[j]);
                if (take <= 0)
                    continue;
                sizes[j] -= take;
                sizes[i] += take;
                changed = true;
            }
        }
    }
    if (changed)
        setSizes(sizes);
}

void CDocumentTabGroups::resizeEvent(QResizeEvent* event)
{
    QSplitter::resizeEvent(event);
    KeepGroupsUsable();
}

QMdiSubWindow* CDocumentTabGroups::SubWindowAtTab(const QTabBar* bar, const QPoint& pos) const
{
    // The area keeps its windows in the order of their tabs.
    for (const QMdiArea* area : m_groups)
        if (area->isAncestorOf(bar))
            return area->subWindowList(QMdiArea::CreationOrder).value(bar->tabAt(pos));
    return nullptr;
}

void CDocumentTabGroups::FitToLeastSize(QMdiSubWindow* sub)
{
    const QSize least = sub->minimumSizeHint();
    if (least.width() <= sub->width() && least.height() <= sub->height())
        return;
    sub->resize(sub->size().expandedTo(least));
    KeepGroupsUsable();
}

bool CDocumentTabGroups::eventFilter(QObject* watched, QEvent* event)
{
    // A window whose least size grew (its plot got a caption or a scroll
    // bar) is made that large: its group scrolls rather than squeezing it.
    if (auto* sub = qobject_cast<QMdiSubWindow*>(watched)) {
        if (event->type() == QEvent::LayoutRequest && GroupOf(sub) >= 0)
            FitToLeastSize(sub);
        return false;
    }
    auto* bar = qobject_cast<QTabBar*>(watched);
    if (!bar)
        return QSplitter::eventFilter(watched, event);
    // The menus are shown once the tab row has finished with the event:
    // their commands may remove the row's group.
    if (event->type() == QEvent::ContextMenu) {
        auto* menuEvent = static_cast<QContextMenuEvent*>(event);
        QMdiSubWindow* sub = SubWindowAtTab(bar, menuEvent->pos());
        if (!sub)
            return false;
        SetActiveSubWindow(sub);
        const QPoint at = menuEvent->globalPos();
        QMetaObject::invokeMethod(this, [this, at] { emit tabContextMenuRequested(at); }, Qt::QueuedConnection);
        return true; // not the window's own system menu
    }
    if (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() != Qt::LeftButton)
            return false;
        const QPoint pos = mouse->position().toPoint();
        if (event->type() == QEvent::MouseButtonPress) {
            m_dragBar = bar;
            m_dragStart = pos;
            // Also the current tab of another group: its group becomes the active one.
            if (QMdiSubWindow* sub = SubWindowAtTab(bar, pos))
                SetActiveSubWindow(sub);
            return false;
        }
        const bool dragged = m_dragBar == bar && (pos - m_dragStart).manhattanLength() >= QApplication::startDragDistance();
        m_dragBar = nullptr;
        const QPoint at = mouse->globalPosition().toPoint();
        if (!dragged || bar->rect().contains(pos) || !rect().contains(mapFromGlobal(at)))
            return false;
        // The dragged tab is its row's current one.
        QMdiSubWindow* sub = SubWindowAtTab(bar, bar->tabRect(bar->currentIndex()).center());
        SetActiveSubWindow(sub);
        QMetaObject::invokeMethod(this, [this, at] { emit tabDropped(at); }, Qt::QueuedConnection);
    }
    return false;
}
