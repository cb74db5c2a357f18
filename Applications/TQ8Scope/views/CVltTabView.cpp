#include "CVltTabView.h"

#include <QEvent>
#include <QFrame>
#include <QResizeEvent>
#include <QStyle>
#include <QTabBar>

#include "AppMessages.h"
#include "CCompactTabStyle.h"
#include "DisableWindowTheme.h"
#include "TextConv.h"

namespace {

constexpr char kPageIdProperty[] = "vltPageId";

// Child ids of pages, counted over every tab view of the program.
int g_nextPageId = 0;

} // namespace

CVltTabView::CVltTabView(QWidget* parent) : QTabWidget(parent)
{
    setTabPosition(QTabWidget::South);
    // The tabs never take the keyboard focus.
    tabBar()->setFocusPolicy(Qt::NoFocus);
    (void)DisableWindowTheme(tabBar());
    // Every page's tab is shown: compact tabs of the style chosen above, no
    // scroll arrows.
    auto* tabStyle = new CCompactTabStyle(tabBar()->style()->name());
    tabStyle->setParent(this); // goes after the tab bar, its first child
    tabBar()->setStyle(tabStyle);
    tabBar()->setUsesScrollButtons(false);
    connect(this, &QTabWidget::currentChanged, this, &CVltTabView::OnCurrentChanged);
}

CVltTabView::~CVltTabView() = default;

int CVltTabView::AddPage(int index, const std::wstring& caption, const PageFactory& factory, IBoardDocument& doc)
{
    QWidget* page = factory ? factory(doc) : nullptr;
    if (!page)
        return -1;
    page->setProperty(kPageIdProperty, g_nextPageId++);
    // Pages sit flat in the tab control.
    if (auto* frame = qobject_cast<QFrame*>(page))
        frame->setFrameShape(QFrame::NoFrame);
    const int inserted = insertTab(index, page, QString::fromStdString(vlt::WideToUtf8(caption)));
    if (inserted == -1) {
        delete page;
        return -1;
    }
    if (count() == 1)
        RecalcLayout();
    return inserted;
}

int CVltTabView::SelectPage(int index)
{
    if (index == currentIndex())
        return index;
    QWidget* page = widget(index);
    if (!page)
        return -1;
    setCurrentIndex(index);
    page->setFocus(Qt::OtherFocusReason);
    return index;
}

void CVltTabView::OnCurrentChanged(int index)
{
    QWidget* oldPage = m_shownPage;
    QWidget* newPage = widget(index);
    m_shownPage = newPage;
    if (oldPage && newPage && oldPage != newPage)
        SwitchPages(oldPage, newPage);
}

void CVltTabView::SwitchPages(QWidget* oldPage, QWidget* newPage)
{
    const uintptr_t minimized = IsFrameMinimized() ? kActivateMinimized : 0;
    vlt::PostAppMessage(oldPage, WM_ACTIVATE, WA_INACTIVE | minimized, reinterpret_cast<intptr_t>(newPage));
    vlt::PostAppMessage(newPage, WM_ACTIVATE, WA_ACTIVE | minimized, reinterpret_cast<intptr_t>(oldPage));
    oldPage->lower();
    newPage->raise();
}

void CVltTabView::RecalcLayout()
{
    m_layoutPending = false;
    QResizeEvent event(size(), size());
    QTabWidget::resizeEvent(&event);
    if (QWidget* page = widget(0))
        m_displayRect = page->parentWidget()->geometry();
}

void CVltTabView::resizeEvent(QResizeEvent* event)
{
    WatchFrame();
    if (IsFrameMinimized()) {
        QWidget::resizeEvent(event);
        m_layoutPending = true;
        return;
    }
    RecalcLayout();
}

bool CVltTabView::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange && m_layoutPending && !IsFrameMinimized())
        RecalcLayout();
    return QTabWidget::eventFilter(watched, event);
}

bool CVltTabView::IsFrameMinimized() const
{
    for (const QWidget* w = this; w; w = w->parentWidget())
        if (w->isMinimized())
            return true;
    return false;
}

void CVltTabView::WatchFrame()
{
    // A frame may be minimised at any level (the board window, the main
    // window); installing again keeps one filter per widget.
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        w->installEventFilter(this);
}

int CVltTabView::GetPageId(const QWidget* page)
{
    const QVariant id = page ? page->property(kPageIdProperty) : QVariant();
    return id.isValid() ? id.toInt() : -1;
}

int CVltTabView::PeekNextPageId()
{
    return g_nextPageId;
}
