#include "FakeSource.h"

#include "CComBSTR.h"
#include "SafeArray.h"

#include <algorithm>

HRESULT FakeSource::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, IScopeTQ8ChannelSource>(this, riid, ppv)
        || vlt::QiEntry<IScopeTQ8ChannelSource>(this, riid, ppv))
        return S_OK;
    if (offersErrorInfo && vlt::QiEntry<IChanSrcErrorInfo>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT FakeSource::GetChannelCount(uint32_t* valp)
{
    *valp = channels;
    return countResult;
}

HRESULT FakeSource::GetChannelSampleType(uint32_t, VARTYPE* pvt)
{
    *pvt = type;
    return S_OK;
}

HRESULT FakeSource::GetTotalSampleCount(uint32_t chan, uint64_t* valp)
{
    if (chan >= channels)
        return E_INVALIDARG;
    *valp = total;
    return S_OK;
}

HRESULT FakeSource::IsSampleInterleavedData(VARIANT_BOOL* pVal)
{
    *pVal = channels > 1 ? 1 : 0;
    return S_OK;
}

HRESULT FakeSource::GetChannelData(uint32_t, uint64_t offset, uint32_t samples, VARIANT* psav, uint32_t* copied)
{
    requests.emplace_back(offset, samples);
    locksSeen.push_back(psav->parray->cLocks);
    *copied = 0;
    if (static_cast<int>(requests.size()) - 1 == failAtCall)
        return failWith;
    const auto n = offset >= total ? 0u : static_cast<uint32_t>(std::min<uint64_t>(samples, total - offset));
    if (psav->parray->cbElements == 1) {
        auto* out = static_cast<uint8_t*>(psav->parray->pvData);
        for (uint64_t i = 0; i < uint64_t(n) * channels; ++i)
            out[i] = static_cast<uint8_t>(offset * channels + i);
    }
    *copied = n ? n + overclaim : 0;
    return n ? S_OK : S_FALSE;
}

HRESULT FakeSource::GetChanSrcErrorInfo(BSTR* pbstrError)
{
    *pbstrError = errorText.empty() ? nullptr : SysAllocString(errorText.c_str());
    return S_OK;
}

FakeSourcePtr MakeFakeSource(uint32_t channels, uint64_t total)
{
    vlt::CComObject<FakeSource>* p = nullptr;
    vlt::CComObject<FakeSource>::CreateInstance(&p);
    p->channels = channels;
    p->total = total;
    return FakeSourcePtr(p);
}
