#pragma once
// The spectrum window's host on a board document: the document's main plot
// (through its scope panel), its board, options and continuous mode.
#include "IFreqDomainHost.h"

class CMainDoc;

class CFreqDomainDocHost : public IFreqDomainHost {
public:
    explicit CFreqDomainDocHost(CMainDoc& doc) : m_doc(doc) {}

    IScopeTQ8* GetMainPlot() override;
    TQ8_HANDLE GetSourceBoardHandle(uint32_t srcId) override;
    IScopeTQ8ChannelArbiter* GetSourceArbiter(uint32_t srcId) override;
    bool GetSourceDataInfo(uint32_t srcId, TQ8_RECORDED_DATA_INFO& info) override;
    std::wstring GetDeviceDisplayName() override;
    CPersistentOpts* GetOptions() override;
    bool IsUnsafeMode() override;
    double GetMinSnrThreshold() override;
    bool IsContinuousMode() override;
    void EndContinuousMode() override;

private:
    CMainDoc& m_doc;
};
