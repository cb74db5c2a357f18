#include "CChanSrcSimple.h"

#include "ChanSrcHelpers.h"

#include <algorithm>
#include <cstring>

CChanSrcSimple::~CChanSrcSimple()
{
    DropArray();
}

HRESULT CChanSrcSimple::InternalQueryInterface(const IID& riid, void** ppv)
{
    using vlt::QiEntry;
    if (QiEntry<IUnknown, IScopeTQ8ChannelSource>(this, riid, ppv) || QiEntry<IScopeTQ8ChannelSource>(this, riid, ppv)
        || QiEntry<IChanSrcSimpleInit>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

void CChanSrcSimple::DropArray()
{
    if (m_array && m_freeWhenDone)
        SafeArrayDestroy(m_array);
    m_array = nullptr;
}

HRESULT CChanSrcSimple::SetChannelSourceBuffer(BSTR bstrName, VARIANT var, uint32_t totalSamples, uint32_t nChannels,
                                               VARIANT_BOOL bFreeWhenDone)
{
    m_name.assign(vlt::BstrView(bstrName));
    if (!(var.vt & VT_ARRAY) || (var.vt & VT_BYREF) || !var.parray || SafeArrayGetDim(var.parray) != 1)
        return E_INVALIDARG;
    const VARTYPE vt = var.vt & ~VT_ARRAY;
    const uint32_t size = vlt::SampleTypeSize(vt);
    if (size == 0)
        return E_NOTIMPL;
    // A mislabelled array or a total beyond its end would make reads run past it.
    if (SafeArrayGetElemsize(var.parray) != size || nChannels == 0)
        return E_INVALIDARG;
    if (totalSamples > chansrc::ElementCount(var.parray))
        return E_INVALIDARG;

    if (m_array != var.parray) // the same array again must survive its replacement
        DropArray();
    m_array = var.parray;
    m_channelCount = nChannels;
    m_sampleType = vt;
    m_sampleSize = size;
    m_givenTotal = totalSamples;
    m_freeWhenDone = bFreeWhenDone != 0;
    return S_OK;
}

HRESULT CChanSrcSimple::GetChannelSourceName(BSTR* pbstrName)
{
    return chansrc::CopyText(m_name, pbstrName);
}

HRESULT CChanSrcSimple::GetChannelCount(uint32_t* valp)
{
    if (!valp)
        return E_POINTER;
    *valp = ChannelCount();
    return S_OK;
}

HRESULT CChanSrcSimple::GetChannelSampleType(uint32_t chan, VARTYPE* pvt)
{
    if (!pvt)
        return E_POINTER;
    if (chan != 0)
        return E_INVALIDARG;
    *pvt = m_array ? m_sampleType : 0;
    return S_OK;
}

HRESULT CChanSrcSimple::GetTotalSampleCount(uint32_t chan, uint64_t* valp)
{
    if (!valp)
        return E_POINTER;
    if (chan >= ChannelCount())
        return E_INVALIDARG;
    if (m_givenTotal != 0) {
        *valp = m_givenTotal / m_channelCount;
        return S_OK;
    }
    int32_t lower = 0;
    int32_t upper = 0;
    HRESULT hr = SafeArrayGetLBound(m_array, 1, &lower);
    if (SUCCEEDED(hr))
        hr = SafeArrayGetUBound(m_array, 1, &upper);
    if (FAILED(hr))
        return hr;
    *valp = static_cast<uint64_t>(int64_t(upper) - lower + 1) / m_channelCount;
    return S_OK;
}

uint64_t CChanSrcSimple::TotalFrames()
{
    uint64_t total = 0;
    return SUCCEEDED(GetTotalSampleCount(0, &total)) ? total : 0;
}

HRESULT CChanSrcSimple::IsSampleInterleavedData(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = ChannelCount() > 1 ? 1 : 0;
    return S_OK;
}

HRESULT CChanSrcSimple::RefreshTotalSampleCount(uint32_t)
{
    return E_NOTIMPL;
}

HRESULT CChanSrcSimple::ResizeSourceSampleCount(uint32_t)
{
    return E_NOTIMPL;
}

HRESULT CChanSrcSimple::GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav,
                                       uint32_t* pSampsCopied)
{
    if (pSampsCopied)
        *pSampsCopied = 0;
    if (!psav)
        return E_POINTER;
    if (chan >= ChannelCount() || psav->vt != (VT_ARRAY | m_sampleType))
        return E_INVALIDARG;
    if (!m_array)
        return E_FAIL;
    SAFEARRAY* dest = nullptr;
    HRESULT hr = chansrc::CallerArray(*psav, m_sampleType, uint64_t(samples) * m_channelCount, &dest);
    if (FAILED(hr))
        return hr;

    const uint64_t total = TotalFrames();
    if (offset >= total)
        return S_FALSE;
    if (m_sampleSize == 0)
        return E_UNEXPECTED;
    chansrc::ArrayData from(m_array);
    chansrc::ArrayData to(dest);
    if (FAILED(from.Result()) || FAILED(to.Result()))
        return E_FAIL;

    const uint64_t count = std::min<uint64_t>(samples, total - offset);
    const uint64_t frameBytes = uint64_t(m_channelCount) * m_sampleSize;
    // The caller may hand in the source's own array.
    std::memmove(to.Bytes(), from.Bytes() + offset * frameBytes, count * frameBytes);
    if (pSampsCopied)
        *pSampsCopied = static_cast<uint32_t>(count);
    return S_OK;
}

HRESULT CChanSrcSimple::GetSampleValue(uint32_t chan, uint64_t offset, VARIANT* argp)
{
    if (!argp)
        return E_POINTER;
    if (chan >= ChannelCount())
        return E_INVALIDARG;
    if (offset >= TotalFrames())
        return S_FALSE;
    if (m_sampleSize == 0)
        return E_UNEXPECTED;
    HRESULT hr = VariantClear(argp);
    if (FAILED(hr))
        return hr;
    chansrc::ArrayData data(m_array);
    if (FAILED(data.Result()))
        return E_FAIL;
    const uint64_t index = offset * m_channelCount + chan;
    chansrc::StoreSample(argp, m_sampleType, data.Bytes() + index * m_sampleSize);
    return S_OK;
}
