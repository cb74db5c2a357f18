#include "CMyHotListControl.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QStyledItemDelegate>

namespace {

constexpr int kImageSize = 32;
constexpr int kItemHeight = 72;
constexpr int kInset = 2;
constexpr int kTextTop = 36;
constexpr int kImageLeftOfCentre = 17;
constexpr qreal kCorner = 5.0;

QColor Darker85(const QColor& c)
{
    return QColor(static_cast<int>(c.red() * 0.85), static_cast<int>(c.green() * 0.85),
                  static_cast<int>(c.blue() * 0.85));
}

} // namespace

class CMyHotListControl::PlaceDelegate : public QStyledItemDelegate {
public:
    explicit PlaceDelegate(CMyHotListControl* list) : QStyledItemDelegate(list), m_list(list) {}

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const override
    {
        return QSize(option.rect.width() > 0 ? option.rect.width() : 80, kItemHeight);
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        const QPalette& palette = m_list->palette();
        const QColor shade = Darker85(palette.color(QPalette::Button));
        const bool selected = option.state & QStyle::State_Selected;
        const bool hot = index.row() == m_list->HotItem();
        const QRectF bounds = QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        if (selected) {
            painter->setPen(palette.color(QPalette::WindowText));
            painter->setBrush(palette.color(QPalette::Base));
            painter->drawRoundedRect(bounds, kCorner, kCorner);
        } else if (hot) {
            painter->setPen(QPen(shade, 1));
            painter->setBrush(Qt::NoBrush);
            painter->drawRoundedRect(bounds, kCorner, kCorner);
        }
        const QRect inner = option.rect.adjusted(kInset, kInset, -kInset, -kInset);
        if (hot) {
            QLinearGradient gradient(inner.topLeft(), inner.bottomLeft());
            gradient.setColorAt(0, palette.color(QPalette::Window));
            gradient.setColorAt(1, shade);
            painter->fillRect(inner, gradient);
        }
        const QIcon icon = index.data(Qt::DecorationRole).value<QIcon>();
        const int left = option.rect.center().x() - kImageLeftOfCentre;
        icon.paint(painter, QRect(left, inner.top(), kImageSize, kImageSize));
        painter->setPen(palette.color(QPalette::ButtonText));
        painter->drawText(inner.adjusted(0, kTextTop, 0, 0), Qt::AlignHCenter | Qt::AlignBottom | Qt::TextWordWrap,
                          index.data(Qt::DisplayRole).toString());
        painter->restore();
    }

private:
    CMyHotListControl* m_list;
};

CMyHotListControl::CMyHotListControl(QWidget* parent) : QListWidget(parent)
{
    setItemDelegate(new PlaceDelegate(this));
    setMouseTracking(true);
    setIconSize(QSize(kImageSize, kImageSize));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette face = palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    face.setColor(QPalette::Text, face.color(QPalette::ButtonText));
    setPalette(face);
}

void CMyHotListControl::mouseMoveEvent(QMouseEvent* event)
{
    const QModelIndex index = indexAt(event->position().toPoint());
    SetHotItem(index.isValid() ? index.row() : -1);
    QListWidget::mouseMoveEvent(event);
}

void CMyHotListControl::leaveEvent(QEvent* event)
{
    SetHotItem(-1);
    QListWidget::leaveEvent(event);
}

void CMyHotListControl::SetHotItem(int row)
{
    if (row == m_hotItem)
        return;
    m_hotItem = row;
    viewport()->update();
}
