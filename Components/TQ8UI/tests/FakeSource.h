#pragma once
// A channel source whose answers the test sets, and which records what it is
// asked. Its data: the sample of channel c in frame f is uint8(f x channels + c).
#include "CComObject.h"
#include "CComPtr.h"
#include "TQ8UI.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct FakeSource : IScopeTQ8ChannelSource, IChanSrcErrorInfo, vlt::CComObjectRoot {
    uint32_t channels = 1;
    uint64_t total = 1000;
    VARTYPE type = VT_UI1;
    HRESULT countResult = S_OK; // of GetChannelCount
    int failAtCall = -1;        // the GetChannelData call (from 0) that fails with failWith
    HRESULT failWith = E_FAIL;
    uint32_t overclaim = 0;     // added to the frames it reports copied
    bool offersErrorInfo = false;
    std::wstring errorText;
    std::vector<std::pair<uint64_t, uint32_t>> requests; // offset, samples of each GetChannelData
    std::vector<uint32_t> locksSeen;                     // the buffer's lock count at each call

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT GetChannelSourceName(BSTR*) override { return E_NOTIMPL; }
    HRESULT GetChannelCount(uint32_t* valp) override;
    HRESULT GetChannelSampleType(uint32_t, VARTYPE* pvt) override;
    HRESULT GetTotalSampleCount(uint32_t chan, uint64_t* valp) override;
    HRESULT IsSampleInterleavedData(VARIANT_BOOL* pVal) override;
    HRESULT RefreshTotalSampleCount(uint32_t) override { return E_NOTIMPL; }
    HRESULT ResizeSourceSampleCount(uint32_t) override { return E_NOTIMPL; }
    HRESULT GetSampleValue(uint32_t, uint64_t, VARIANT*) override { return E_NOTIMPL; }
    HRESULT GetChannelData(uint32_t, uint64_t offset, uint32_t samples, VARIANT* psav, uint32_t* copied) override;
    HRESULT GetChanSrcErrorInfo(BSTR* pbstrError) override;
};

// Held as the most derived class, whose reference counting is unambiguous.
using FakeSourcePtr = CComPtr<vlt::CComObject<FakeSource>>;
FakeSourcePtr MakeFakeSource(uint32_t channels = 1, uint64_t total = 1000);
