#include "LockKeyIndicators.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QStatusBar>

#include "LockKeyState.h"

namespace vlt {
namespace {

bool IsLockKey(const QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    const int key = static_cast<const QKeyEvent*>(event)->key();
    return key == Qt::Key_CapsLock || key == Qt::Key_NumLock || key == Qt::Key_ScrollLock;
}

} // namespace

LockKeyIndicators::LockKeyIndicators(QStatusBar* bar)
    : QObject(bar)
    , m_bar(bar)
    , m_caps(AddPane(bar, ID_INDICATOR_CAPS, QStringLiteral("CAP")))
    , m_num(AddPane(bar, ID_INDICATOR_NUM, QStringLiteral("NUM")))
    , m_scroll(AddPane(bar, ID_INDICATOR_SCRL, QStringLiteral("SCRL")))
{
    // A lock key goes to whichever window of the program has the focus.
    qApp->installEventFilter(this);
    Refresh();
}

QLabel* LockKeyIndicators::AddPane(QStatusBar* bar, unsigned id, const QString& text)
{
    auto* pane = new QLabel(text, bar);
    pane->setObjectName(QString::number(id));
    pane->setAlignment(Qt::AlignCenter);
    pane->setMinimumWidth(pane->fontMetrics().horizontalAdvance(text) + 2 * pane->fontMetrics().averageCharWidth());
    bar->addPermanentWidget(pane);
    return pane;
}

QLabel* LockKeyIndicators::Pane(unsigned id) const
{
    switch (id) {
    case ID_INDICATOR_CAPS: return m_caps;
    case ID_INDICATOR_NUM: return m_num;
    case ID_INDICATOR_SCRL: return m_scroll;
    default: return nullptr;
    }
}

void LockKeyIndicators::Refresh()
{
    const LockKeyState state = GetLockKeyState();
    // A disabled label is drawn in the dimmed colour of the style.
    m_caps->setEnabled(state.capsLock);
    m_num->setEnabled(state.numLock);
    m_scroll->setEnabled(state.scrollLock);
}

bool LockKeyIndicators::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::WindowActivate && watched == m_bar->window()) ||
        (IsLockKey(event) && watched->isWidgetType()))
        Refresh();
    return false;
}

} // namespace vlt
