#pragma once
// What the control keeps about one channel of an attached source.
#include "CComPtr.h"
#include "CPlottedPointCache.h"
#include "TQ8UI.h"

#include <QBrush>
#include <QPen>
#include <cstdint>
#include <optional>

class CLocalChanState {
public:
    static constexpr uint32_t Hidden = 0x1;

    CLocalChanState() = default;
    // Copies share source and arbiter; the drawing objects are not copied but
    // remade from the colour.
    CLocalChanState(const CLocalChanState& other);
    CLocalChanState& operator=(const CLocalChanState& other);
    virtual ~CLocalChanState() = default;

    bool IsHidden() const { return (flags & Hidden) != 0; }
    // Forgets the pen and brush made from the colour.
    void DropDrawingObjects();

    CComPtr<IScopeTQ8ChannelArbiter> arbiter;
    CComPtr<IScopeTQ8ChannelSource> source;
    uint32_t sourceId = 0xFFFFFFFF;
    VARTYPE sampleType = 0;
    uint64_t totalSamples = 0;
    uint32_t channelIndex = 0xFFFFFFFF;
    bool interleaved = false;
    std::optional<QPen> pen;
    std::optional<QBrush> brush;
    OLE_COLOR colour = 0xFFFFFF;
    uint32_t flags = 0;
    // The pixel column the min/max decimation is collecting (-1: none) and
    // that column's extremes.
    int32_t column = -1;
    double columnMin = 0.0;
    double columnMax = 0.0;
    CPlottedPointCache points;
};
