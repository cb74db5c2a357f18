#pragma once
// The control's built-in pictures.
#include <QImage>

// Default trigger-mark image: 24 x 15 pixels, few colours.
QImage MakeTrigMarkImage();
// Picture shown while no source is attached: 354 x 129 pixels, opaque. Its
// top-left pixel has the background colour that the control repaints in the
// scope back colour.
QImage MakeEmptyPlotImage();
// Every pixel of the colour at the top-left of original, repainted in colour.
QImage RecolourBackground(const QImage& original, QRgb colour);
