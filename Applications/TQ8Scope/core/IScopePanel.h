#pragma once
// What the board document asks of its scope panel (the plot sources of the
// board, of files and of snapshots). The scope panel implements it.
#include <cstdint>
#include <string>

#include "TQ8_64.h"

class CMainDoc;
struct IScopeTQ8;
struct IScopeTQ8ChannelArbiter;

class IScopePanel {
public:
    virtual ~IScopePanel() = default;

    // Plots the board's memory; the source id, or -1 when nothing was added.
    virtual int32_t AddBoardSource(TQ8_HANDLE device, CMainDoc* doc) = 0;
    // Removes the board's source; whether there was one.
    virtual bool RemoveBoardSource() = 0;
    // Shows samples (interleaved over channels) as the snapshot source.
    virtual bool ShowSnapshot(const uint8_t* samples, uint32_t count, int32_t channels, uint32_t flags,
                              TQ8_HANDLE device) = 0;
    virtual void RemoveSnapshotSource() = 0;
    // The snapshot source's id, -1 when there is none.
    virtual int32_t GetSnapshotSourceId() const = 0;
    // Limits the board source to count samples (0: no limit).
    virtual void ApplySampleLimit(uint32_t count) = 0;
    // Asks for a data file and plots it.
    virtual void OnOpenFileForPlotting() = 0;
    // Plots a data file in its automatic format.
    virtual void AddFileSource(const std::wstring& path) = 0;

    // The main plot's control, without a reference of the caller's; null
    // while the plot does not exist.
    virtual IScopeTQ8* GetScopeControl() const { return nullptr; }
    // The board behind a source: the snapshot source's is the document's
    // board; null for files, buffers and unknown ids.
    virtual TQ8_HANDLE GetSourceBoardHandle(uint32_t /*srcId*/) const { return nullptr; }
    // The arbiter the plot was given with a source: the board document's
    // for a board's memory; null for files, snapshots and unknown ids.
    virtual IScopeTQ8ChannelArbiter* GetSourceArbiter(uint32_t /*srcId*/) const { return nullptr; }
    // The recorded-data information of a source; false when it has none.
    virtual bool GetSourceDataInfo(uint32_t /*srcId*/, const TQ8_RECORDED_DATA_INFO** /*info*/) const { return false; }
};
