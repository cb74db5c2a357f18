#pragma once
// Channel source over a board's sample RAM, read through the device library
// ("TQ8UI.CChanSrcBrd"). The device handle is borrowed: the caller keeps it
// open for the source's life. Samples are unsigned 8-bit, interleaved over
// the active channels.
#include "CComObjectRoot.h"
#include "TQ8UI.h"
#include "TQ8_64.h"

#include <cstdint>
#include <string>

class CChanSrcBrd : public IScopeTQ8ChannelSource,
                    public IChanSrcErrorInfo,
                    public IChanSrcTQ8Init,
                    public vlt::CComObjectRoot {
public:
    // Drivers from 1.12.4.0 on transfer asynchronously.
    static constexpr uint64_t kAsyncDriverVersion = 0x0001000C00040000ull;
    static constexpr uint32_t kTransferTimeoutMs = 2500;

    CChanSrcBrd() = default;
    virtual ~CChanSrcBrd() = default;
    CChanSrcBrd(const CChanSrcBrd&) = delete;
    CChanSrcBrd& operator=(const CChanSrcBrd&) = delete;

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

    // IChanSrcErrorInfo
    HRESULT GetChanSrcErrorInfo(BSTR* pbstrError) override;

    // IChanSrcTQ8Init
    HRESULT SetChanSrcTQ8(void* hBrd, uint32_t total_samples, BSTR bstrName) override;

private:
    // Frames per channel.
    HRESULT TotalFrames(uint32_t* frames) const;
    static std::wstring BoardName(TQ8_HANDLE handle);
    static uint32_t RamFactor(int32_t selection);
    // Sample positions [start, start + count) clipped to the library's maximum
    // for the selection and to whole frames.
    void ClipToBoardMaximum(uint32_t start, uint32_t* count) const;
    HRESULT Transfer(uint32_t start, uint32_t count, uint8_t* data);
    void StoreError(const wchar_t* prefix, int32_t code);

    TQ8_HANDLE m_handle = nullptr;
    std::wstring m_name;
    uint32_t m_channelCount = 1;
    uint32_t m_ramFactor = 1;
    int32_t m_activeChannels = 0;
    uint32_t m_sampleLimit = 0; // samples of all channels; 0: the whole sample RAM
    uint64_t m_driverVersion = 0;
    std::wstring m_lastError;
};
