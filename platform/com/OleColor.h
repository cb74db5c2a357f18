#pragma once
// Colours in the OLE_COLOR form: 0x00BBGGRR, or 0x800000nn for system colour
// nn, which is taken from the application's Qt palette.
#include "ComTypes.h"

#include <QColor>

constexpr int COLOR_BTNFACE = 15;
constexpr int COLOR_WINDOW = 5;
constexpr int COLOR_WINDOWTEXT = 8;

constexpr OLE_COLOR OleSysColor(int index) { return 0x80000000u | static_cast<OLE_COLOR>(index); }
constexpr COLORREF RGB(uint8_t r, uint8_t g, uint8_t b) { return r | (uint32_t(g) << 8) | (uint32_t(b) << 16); }

// The palette's colour for a system colour index (0 for an unknown index).
COLORREF GetSysColor(int index);
// E_INVALIDARG for an unknown system colour or a palette-index colour.
HRESULT OleTranslateColor(OLE_COLOR clr, COLORREF* pColorRef);

namespace vlt {
QColor ColorRefToQColor(COLORREF c);
COLORREF QColorToColorRef(const QColor& c);
// A colour that cannot be translated gives white, as everywhere in the plot.
QColor OleColorToQColor(OLE_COLOR clr);
} // namespace vlt
