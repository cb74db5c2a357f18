#include "ServiceIcons.h"

#include <QPainter>
#include <QPixmap>

namespace {

// A server box with a status lamp, at the sizes a tray or title bar asks for.
QIcon ServerIcon(const QColor& lamp)
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal unit = size / 16.0;
        painter.setPen(QPen(QColor(40, 48, 60), unit));
        painter.setBrush(QColor(96, 110, 130));
        painter.drawRoundedRect(QRectF(2 * unit, 1.5 * unit, 12 * unit, 13 * unit), 1.5 * unit, 1.5 * unit);
        painter.setPen(QPen(QColor(200, 210, 220), unit));
        for (qreal y : {4.5, 7.5})
            painter.drawLine(QPointF(4 * unit, y * unit), QPointF(12 * unit, y * unit));
        painter.setPen(QPen(QColor(20, 20, 20), unit * 0.7));
        painter.setBrush(lamp);
        painter.drawEllipse(QPointF(11 * unit, 11.5 * unit), 2.2 * unit, 2.2 * unit);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

} // namespace

QIcon ProgramIcon()
{
    return ServerIcon(QColor(80, 150, 230));
}

QIcon ServicesStoppedIcon()
{
    return ServerIcon(QColor(210, 50, 40));
}

QIcon ServicesRunningIcon()
{
    return ServerIcon(QColor(60, 200, 70));
}
