#pragma once
// The control panel's tabs: as narrow as the window framework's tabs, a
// little room either side of the caption, so that every page's tab fits the
// strip of the board window the program opens with.
#include <QProxyStyle>

class CCompactTabStyle : public QProxyStyle {
public:
    // Draws with a style of its own made by the key (a style's name).
    explicit CCompactTabStyle(const QString& baseStyleKey);
    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};
