#pragma once
// One trigger mark of the plot: its picture, style, line colour, image alpha,
// level (a fraction of the plot height), where its image was last drawn and
// the pen made for its line.
#include "CComPtr.h"
#include "TQ8UI.h"

#include <QPen>
#include <QRect>
#include <optional>

struct TrigMarkSettings {
    CComPtr<IPictureDisp> picture;
    TQ8ScopeTrigMark style = TrigMarkNone;
    OLE_COLOR lineColor = 0xFFFFFF;
    double imageAlpha = 0.5;
    float level = 0.5f;
    QRect imageRect;
    std::optional<QPen> linePen;
};
