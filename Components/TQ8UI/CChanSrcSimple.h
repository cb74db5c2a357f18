#pragma once
// Channel source over a caller's safe array of interleaved samples
// ("TQ8UI.SimpleChannelSrc"). The array is kept by reference, not copied.
#include "CComObjectRoot.h"
#include "SafeArray.h"
#include "TQ8UI.h"

#include <cstdint>
#include <string>

class CChanSrcSimple : public IScopeTQ8ChannelSource, public IChanSrcSimpleInit, public vlt::CComObjectRoot {
public:
    CChanSrcSimple() = default;
    virtual ~CChanSrcSimple();
    CChanSrcSimple(const CChanSrcSimple&) = delete;
    CChanSrcSimple& operator=(const CChanSrcSimple&) = delete;

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);

    // IScopeTQ8ChannelSource
    HRESULT GetChannelSourceName(BSTR* pbstrName) override;
    HRESULT GetChannelCount(uint32_t* valp) override;
    HRESULT GetChannelSampleType(uint32_t chan, VARTYPE* pvt) override;
    HRESULT GetTotalSampleCount(uint32_t chan, uint64_t* valp) override;
    HRESULT IsSampleInterleavedData(VARIANT_BOOL* pVal) override;
    HRESULT RefreshTotalSampleCount(uint32_t newTotalSampCount) override;
    HRESULT GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav,
                           uint32_t* pSampsCopied) override;
    HRESULT GetSampleValue(uint32_t chan, uint64_t offset, VARIANT* argp) override;
    HRESULT ResizeSourceSampleCount(uint32_t newCount) override;

    // IChanSrcSimpleInit
    HRESULT SetChannelSourceBuffer(BSTR bstrName, VARIANT var, uint32_t totalSamples, uint32_t nChannels,
                                   VARIANT_BOOL bFreeWhenDone) override;

private:
    uint32_t ChannelCount() const { return m_array ? m_channelCount : 0; }
    // Frames per channel; 0 when the count cannot be had.
    uint64_t TotalFrames();
    void DropArray();

    std::wstring m_name;
    SAFEARRAY* m_array = nullptr;
    VARTYPE m_sampleType = 0;
    uint32_t m_sampleSize = 0;
    uint32_t m_channelCount = 0;
    uint32_t m_givenTotal = 0; // samples of all channels; 0: from the array bounds
    bool m_freeWhenDone = false;
};
