#include "CLabel.h"

#include <QPainter>
#include <QPalette>

#include "Mnemonic.h"

CLabel::CLabel(QWidget* parent) : QWidget(parent)
{
    m_textColor = palette().color(QPalette::WindowText);
    m_bkColor = palette().color(QPalette::Base);
}

bool CLabel::Create(const QString& text, uint32_t style, const QRect& rect, QWidget* parent, int id)
{
    setParent(parent);
    m_text = text;
    m_style = style;
    m_alignment = style & 0x1F;
    m_id = id;
    setGeometry(rect);
    show();
    return true;
}

QColor CLabel::Swap(QColor& member, const QColor& color, bool redraw)
{
    QColor old = member;
    if (old != color) {
        member = color;
        if (redraw)
            repaint();
    }
    return old;
}

QColor CLabel::SetBkColor(const QColor& color, bool redraw)
{
    return Swap(m_bkColor, color, redraw);
}

QColor CLabel::SetTextColor(const QColor& color, bool redraw)
{
    return Swap(m_textColor, color, redraw);
}

void CLabel::SetText(const QString& text)
{
    if (text != m_text) {
        m_text = text;
        update();
    }
}

void CLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_bkColor);
    if (m_text.isEmpty())
        return;
    QRect r = rect().adjusted(4, 0, -4, 0);
    int flags = Qt::TextSingleLine;
    flags |= m_alignment == 1 ? Qt::AlignHCenter : m_alignment == 2 ? Qt::AlignRight : Qt::AlignLeft;
    flags |= (m_style & SS_CENTERIMAGE) ? Qt::AlignVCenter : Qt::AlignTop;
    QString text = m_text;
    if (m_style & SS_NOPREFIX)
        text = vlt::NoPrefixText(text);
    else
        flags |= Qt::TextShowMnemonic;
    if (m_style & (SS_ENDELLIPSIS | SS_PATHELLIPSIS))
        text = fontMetrics().elidedText(text, (m_style & SS_PATHELLIPSIS) ? Qt::ElideMiddle : Qt::ElideRight,
                                        r.width());
    p.setPen(m_textColor);
    p.drawText(r, flags, text);
}
