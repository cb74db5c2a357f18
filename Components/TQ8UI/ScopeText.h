#pragma once
// Text of the plot: how large a text is in a font, and writing it at a point
// with the alignments the layout reckons with. Every extent the control
// uses comes from TextExtent, which tests may replace to get fixed extents.
#include <QFont>
#include <QSize>
#include <QString>

class QPainter;

namespace scopetext {

// Anchor of a written text: horizontal and vertical parts are or-ed.
enum : int {
    AlignLeft = 0,
    AlignRight = 2,
    AlignCenter = 6,
    AlignTop = 0,
    AlignBottom = 8,
    AlignBaseline = 24,
};

using MeasureFn = QSize (*)(const QFont& font, const QString& text);

// Width and height of text on one line in font.
QSize TextExtent(const QFont& font, const QString& text);
// Replaces the measuring function; null restores the font metrics.
void SetMeasureFunction(MeasureFn fn);

// The left edge of a text `width` wide wanted at `left`, moved so that the
// text lies within the columns [low, high), as every label under the plot
// is kept; a text wider than that starts at low.
int LeftWithin(int left, int width, int low, int high);

// Writes text with its anchor at (x, y), filling its box with background
// first, as an opaque text cell does. Gives the box.
QRect TextOut(QPainter& painter, int x, int y, const QString& text, int align, const QColor& background);

} // namespace scopetext
