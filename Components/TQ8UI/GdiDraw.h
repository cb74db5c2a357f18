#pragma once
// The drawing primitives the plot is built from, on QPainter: lines that
// leave out their end pixel, ellipses and pies given by a bounding box whose
// right and bottom are exclusive, inverted rectangles, constant-alpha images,
// the etched edge, and the pens of the line styles.
#include "PixRect.h"
#include "TQ8UI.h"

#include <QColor>
#include <QPen>
#include <QPoint>
#include <cstdint>

class QImage;
class QPainter;

namespace gdidraw {

// A 1-pixel pen in one of the six line styles (null draws nothing). Broken
// styles get their gaps filled when the painter's background mode is opaque.
QPen CosmeticPen(const QColor& colour, TQ8GridLineStyle style = LineSolid);
// A pen of `width` pixels with round ends.
QPen GeometricPen(const QColor& colour, int width);

// From `from` to `to`, the pixel at `to` left out; nothing when they are equal.
void Line(QPainter& painter, QPoint from, QPoint to);
// Outlined with the pen and filled with the brush.
void Ellipse(QPainter& painter, const PixRect& box);
// The part of the box's ellipse from the radial through `start`
// counter-clockwise to the radial through `end`, filled with the brush and
// outlined one pixel wide in the pen's colour.
void Pie(QPainter& painter, const PixRect& box, QPoint start, QPoint end);
// Every colour in rect turned into its complement.
void InvertRect(QImage& image, const PixRect& rect);
// The low byte of trunc(alpha x 255), as a constant source alpha.
uint8_t ConstantAlpha(double alpha);
// image over the painter's device at `at`, with constant alpha and no
// per-pixel alpha.
void AlphaBlend(QPainter& painter, QPoint at, const QImage& image, uint8_t alpha);
// The etched frame of rect: a sunken outer and a raised inner line.
void EtchedEdge(QPainter& painter, const PixRect& rect);

} // namespace gdidraw
