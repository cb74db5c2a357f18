#include "ScopeImages.h"

#include <cmath>
#include <numbers>

QImage MakeTrigMarkImage()
{
    // A right-pointing arrow head on black, in the default mark line colour.
    constexpr int kW = 24, kH = 15;
    QImage img(kW, kH, QImage::Format_RGB32);
    img.fill(qRgb(0, 0, 0));
    const QRgb arrow = qRgb(0x00, 0xBF, 0xFF);
    for (int x = 0; x < kW; ++x) {
        const int half = (kH / 2) * (kW - 1 - x) / (kW - 1);
        for (int y = kH / 2 - half; y <= kH / 2 + half; ++y)
            img.setPixel(x, y, arrow);
    }
    return img;
}

QImage MakeEmptyPlotImage()
{
    // A faint sine trace over a dashed base line on a key background.
    constexpr int kW = 354, kH = 129;
    QImage img(kW, kH, QImage::Format_RGB32);
    const QRgb key = qRgb(0xFF, 0x00, 0xFF);
    const QRgb trace = qRgb(0xC0, 0xC0, 0xC0);
    const QRgb base = qRgb(0x80, 0x80, 0x80);
    img.fill(key);
    const int mid = kH / 2;
    for (int x = 8; x < kW - 8; ++x)
        if ((x / 6) % 2 == 0)
            img.setPixel(x, mid, base);
    int lastY = mid;
    for (int x = 8; x < kW - 8; ++x) {
        const double phase = 2.0 * std::numbers::pi * (x - 8) / 112.0;
        const int y = mid - static_cast<int>(std::lround(std::sin(phase) * (kH / 2 - 12)));
        for (int yy = std::min(y, lastY); yy <= std::max(y, lastY); ++yy) {
            img.setPixel(x, yy, trace);
            img.setPixel(x, std::min(yy + 1, kH - 1), trace);
        }
        lastY = y;
    }
    return img;
}

QImage RecolourBackground(const QImage& original, QRgb colour)
{
    if (original.isNull())
        return original;
    QImage img = original.convertToFormat(QImage::Format_RGB32);
    const QRgb key = img.pixel(0, 0);
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if (line[x] == key)
                line[x] = colour;
    }
    return img;
}
