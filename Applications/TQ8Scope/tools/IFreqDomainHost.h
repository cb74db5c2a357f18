#pragma once
// What the spectrum window asks of its board document and of the document's
// main plot. The document's adapter implements it; tests use a fake.
#include <cstdint>
#include <string>

#include "TQ8UI.h"
#include "TQ8_64.h"

class CPersistentOpts;

class IFreqDomainHost {
public:
    virtual ~IFreqDomainHost() = default;

    // The main plot's control without a reference of the caller's; null
    // while the plot does not exist.
    virtual IScopeTQ8* GetMainPlot() = 0;
    // The board behind a source of the main plot; null for files and buffers.
    virtual TQ8_HANDLE GetSourceBoardHandle(uint32_t srcId) = 0;
    // The arbiter that guards a source's data: the board document's for the
    // board's memory, which is not read while the board acquires or records;
    // null for a source that may always be read.
    virtual IScopeTQ8ChannelArbiter* GetSourceArbiter(uint32_t srcId) = 0;
    // The recorded-data information of a source, when it has one.
    virtual bool GetSourceDataInfo(uint32_t srcId, TQ8_RECORDED_DATA_INFO& info) = 0;
    virtual std::wstring GetDeviceDisplayName() = 0;
    // The application's options; null when there are none.
    virtual CPersistentOpts* GetOptions() = 0;
    virtual bool IsUnsafeMode() = 0;
    virtual double GetMinSnrThreshold() = 0;
    virtual bool IsContinuousMode() = 0;
    virtual void EndContinuousMode() = 0;
};
