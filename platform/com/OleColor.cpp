#include "OleColor.h"

#include <QGuiApplication>
#include <QPalette>

namespace {

struct SysColorRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// Indexes 0..30 of the system colours, each taken from the nearest palette role.
constexpr SysColorRole kSysColors[] = {
    {QPalette::Active, QPalette::Button},          // 0 scroll bar
    {QPalette::Active, QPalette::Window},          // 1 desktop
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Inactive, QPalette::Highlight},     // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 window
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 window text
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Window},          // 10 active border
    {QPalette::Inactive, QPalette::Window},        // 11 inactive border
    {QPalette::Active, QPalette::Mid},             // 12 application workspace
    {QPalette::Active, QPalette::Highlight},       // 13 highlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 highlight text
    {QPalette::Active, QPalette::Button},          // 15 button face
    {QPalette::Active, QPalette::Mid},             // 16 button shadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Inactive, QPalette::HighlightedText}, // 19 inactive caption text
    {QPalette::Active, QPalette::Light},           // 20 button highlight
    {QPalette::Active, QPalette::Shadow},          // 21 3-D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3-D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 info text
    {QPalette::Active, QPalette::ToolTipBase},     // 24 info background
    {QPalette::Active, QPalette::NoRole},          // 25 unused
    {QPalette::Active, QPalette::Link},            // 26 hot light
    {QPalette::Active, QPalette::Highlight},       // 27 gradient active caption
    {QPalette::Inactive, QPalette::Highlight},     // 28 gradient inactive caption
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
};
constexpr int kSysColorCount = static_cast<int>(sizeof kSysColors / sizeof kSysColors[0]);

bool IsKnownSysColor(int index)
{
    return index >= 0 && index < kSysColorCount && kSysColors[index].role != QPalette::NoRole;
}

} // namespace

COLORREF GetSysColor(int index)
{
    if (!IsKnownSysColor(index))
        return 0;
    const QPalette pal = qGuiApp ? QGuiApplication::palette() : QPalette(Qt::lightGray);
    return vlt::QColorToColorRef(pal.color(kSysColors[index].group, kSysColors[index].role));
}

HRESULT OleTranslateColor(OLE_COLOR clr, COLORREF* pColorRef)
{
    const uint32_t kind = clr >> 24;
    COLORREF out = 0;
    if (kind == 0x00 || kind == 0x02) {
        out = clr & 0x00FFFFFFu;
    } else if (kind == 0x80) {
        if ((clr & 0x00FFFF00u) != 0 || !IsKnownSysColor(static_cast<int>(clr & 0xFF)))
            return E_INVALIDARG;
        out = GetSysColor(static_cast<int>(clr & 0xFF));
    } else {
        return E_INVALIDARG;
    }
    if (pColorRef)
        *pColorRef = out;
    return S_OK;
}

namespace vlt {

QColor ColorRefToQColor(COLORREF c)
{
    return QColor(static_cast<int>(c & 0xFF), static_cast<int>((c >> 8) & 0xFF), static_cast<int>((c >> 16) & 0xFF));
}

COLORREF QColorToColorRef(const QColor& c)
{
    return RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()), static_cast<uint8_t>(c.blue()));
}

QColor OleColorToQColor(OLE_COLOR clr)
{
    COLORREF c = 0;
    if (FAILED(OleTranslateColor(clr, &c)))
        return QColor(Qt::white);
    return ColorRefToQColor(c);
}

} // namespace vlt
