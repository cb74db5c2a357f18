#pragma once
// A pixel rectangle as the layout and drawing code reckon it: right and
// bottom lie one past the last column and row, so the width is right - left.
#include <QRect>
#include <cstdint>

struct PixRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Intersects(const PixRect& o) const
    {
        return left < o.right && o.left < right && top < o.bottom && o.top < bottom;
    }
    QRect ToQRect() const { return QRect(left, top, Width(), Height()); }
    static PixRect FromQRect(const QRect& r) { return {r.x(), r.y(), r.x() + r.width(), r.y() + r.height()}; }
    bool operator==(const PixRect&) const = default;
};
