#pragma once
// The images of the remote file dialog, made once for the whole process:
// theme icons where the desktop has them, else the style's own, and the
// shortcut arrow drawn over an image.
#include <cstdint>

#include <QIcon>
#include <QString>
#include <QStyle>

struct RemoteFileRow;

class RemoteFileIcons {
public:
    static QIcon Named(const QString& themeName, QStyle::StandardPixmap fallback);
    static QIcon ForRow(const RemoteFileRow& row);

private:
    static QIcon Drive(uint32_t driveType);
    static QIcon WithShortcutArrow(const QIcon& base, const QString& key);
};
