#include "CLocalChanState.h"

CLocalChanState::CLocalChanState(const CLocalChanState& other)
    : arbiter(other.arbiter),
      source(other.source),
      sourceId(other.sourceId),
      sampleType(other.sampleType),
      totalSamples(other.totalSamples),
      channelIndex(other.channelIndex),
      interleaved(other.interleaved),
      colour(other.colour),
      flags(other.flags),
      column(other.column),
      columnMin(other.columnMin),
      columnMax(other.columnMax),
      points(other.points)
{
}

CLocalChanState& CLocalChanState::operator=(const CLocalChanState& other)
{
    if (this != &other) {
        arbiter = other.arbiter;
        source = other.source;
        sourceId = other.sourceId;
        sampleType = other.sampleType;
        totalSamples = other.totalSamples;
        channelIndex = other.channelIndex;
        interleaved = other.interleaved;
        colour = other.colour;
        flags = other.flags;
        column = other.column;
        columnMin = other.columnMin;
        columnMax = other.columnMax;
        points = other.points;
        DropDrawingObjects();
    }
    return *this;
}

void CLocalChanState::DropDrawingObjects()
{
    pen.reset();
    brush.reset();
}
