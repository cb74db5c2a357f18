#pragma once
// The part of a board document's state that a workspace file keeps: what the
// views and forms show and how the plot is set up. Views store their values
// here before a workspace save and take them back after a load.
#include <cstdint>
#include <string>

#include <libxml/tree.h>

class CMainDocWsData {
public:
    // Restores every numeric field to its default; the time-stamp
    // destination file stays as it is.
    virtual void Reset();
    // Appends the DocState element (one line, no breaks) to out, so that a
    // workspace writer can build its whole text in one string.
    virtual void WriteXml(std::string& out) const;
    // Reads the DocState child of a device element. Missing or malformed
    // items keep their current values; a device element without DocState
    // (or none at all) changes nothing. Always true.
    virtual bool ReadXml(xmlNodePtr deviceElement);
    virtual ~CMainDocWsData() = default;

    uint32_t DataStartSample = 0;
    uint32_t DataSampleCount = 32768;
    int32_t LimitPlotData = 1;       // boolean: non-zero is on
    int32_t DcOffsetSyncIdx = 0;
    std::wstring TsDestFile;
    int32_t TsSaveAsText = 0;        // boolean
    uint64_t PlotOffset = 0;
    uint32_t PlotPageWidth = 32768;
    int32_t PlotMinSampleValue = 0;
    int32_t PlotMaxSampleValue = 255;
    int32_t PlotSyncController = 0;  // boolean
    int32_t ActionContinuous = 0;    // boolean
    int32_t DocActiveView = 0;
};
