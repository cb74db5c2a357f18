#include "RemoteFileIcons.h"

#include <algorithm>

#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPixmap>

#include "RemoteFileRow.h"

namespace {

QString Q(const std::wstring& text)
{
    return QString::fromStdWString(text);
}

} // namespace

QIcon RemoteFileIcons::Named(const QString& themeName, QStyle::StandardPixmap fallback)
{
    static QHash<QString, QIcon> cache;
    const QString key = themeName + QLatin1Char('#') + QString::number(fallback);
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QIcon icon = themeName.isEmpty() ? QIcon() : QIcon::fromTheme(themeName);
    if (icon.isNull())
        icon = QApplication::style()->standardIcon(fallback);
    return *cache.insert(key, icon);
}

QIcon RemoteFileIcons::Drive(uint32_t driveType)
{
    switch (driveType) {
    case 2: return Named(QStringLiteral("drive-removable-media"), QStyle::SP_DriveFDIcon);
    case 4: return Named(QStringLiteral("folder-remote"), QStyle::SP_DriveNetIcon);
    case 5: return Named(QStringLiteral("drive-optical"), QStyle::SP_DriveCDIcon);
    default: return Named(QStringLiteral("drive-harddisk"), QStyle::SP_DriveHDIcon);
    }
}

// The arrow sits in the lower left corner.
QIcon RemoteFileIcons::WithShortcutArrow(const QIcon& base, const QString& key)
{
    static QHash<QString, QIcon> cache;
    auto it = cache.find(key);
    if (it != cache.end())
        return *it;
    QIcon out;
    for (int size : {16, 32}) {
        QPixmap pixmap = base.pixmap(size, size);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        const int s = size / 2;
        const QRect box(0, size - s, s, s);
        painter.fillRect(box, Qt::white);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(box.adjusted(0, 0, -1, -1));
        painter.setPen(QPen(QColor(0, 0, 160), std::max(1, size / 16)));
        painter.drawLine(box.left() + s / 4, box.bottom() - s / 4, box.right() - s / 4, box.top() + s / 4);
        painter.drawLine(box.right() - s / 4, box.top() + s / 4, box.right() - s / 4, box.top() + s / 2);
        painter.drawLine(box.right() - s / 4, box.top() + s / 4, box.right() - s / 2, box.top() + s / 4);
        out.addPixmap(pixmap);
    }
    return *cache.insert(key, out);
}

QIcon RemoteFileIcons::ForRow(const RemoteFileRow& row)
{
    QIcon icon;
    switch (row.image) {
    case RemoteFileRow::Image::Folder: icon = Named(QStringLiteral("folder"), QStyle::SP_DirIcon); break;
    case RemoteFileRow::Image::Drive: icon = Drive(row.driveType); break;
    case RemoteFileRow::Image::Type: icon = Named(Q(row.iconName), QStyle::SP_FileIcon); break;
    }
    if (!row.shortcut)
        return icon;
    return WithShortcutArrow(icon, Q(row.iconName) + QString::number(static_cast<int>(row.image)));
}
