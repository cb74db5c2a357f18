#include "CChanSrcBrd.h"

#include "ChanSrcHelpers.h"

#include <algorithm>
#include <cwchar>

namespace {
constexpr uint32_t kRamSizeUnknown = 0x80000000u;
} // namespace

HRESULT CChanSrcBrd::InternalQueryInterface(const IID& riid, void** ppv)
{
    using vlt::QiEntry;
    if (QiEntry<IUnknown, IScopeTQ8ChannelSource>(this, riid, ppv) || QiEntry<IScopeTQ8ChannelSource>(this, riid, ppv)
        || QiEntry<IChanSrcErrorInfo>(this, riid, ppv) || QiEntry<IChanSrcTQ8Init>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

std::wstring CChanSrcBrd::BoardName(TQ8_HANDLE handle)
{
    wchar_t* text = nullptr;
    if (GetBoardNameWTQ8(handle, &text, TQ8_NAME_SET_PLOT_SOURCE) == TQ8_OK && text) {
        std::wstring name(text);
        FreeMemoryTQ8(text);
        if (!name.empty())
            return name;
    }
    if (IsDeviceVirtualTQ8(handle) != 0)
        return L"Virtual TQ3300-4";
    uint32_t serial = 0;
    GetSerialNumberTQ8(handle, &serial);
    wchar_t buf[32];
    std::swprintf(buf, std::size(buf), L"TQ3300-4 #%u", serial);
    return buf;
}

uint32_t CChanSrcBrd::RamFactor(int32_t selection)
{
    switch (selection) {
    case 0:
    case 3:
    case 4:
    case 9:
        return 2;
    default:
        return 1;
    }
}

HRESULT CChanSrcBrd::SetChanSrcTQ8(void* hBrd, uint32_t total_samples, BSTR bstrName)
{
    auto handle = static_cast<TQ8_HANDLE>(hBrd);
    if (IsHandleValidTQ8(handle) == 0)
        return E_FAIL;
    // A selection the library cannot count would leave no channel to divide by.
    const int32_t selection = GetActiveChannelsTQ8(handle, 1);
    const int32_t channels = GetChannelCountFromChanSelTQ8(selection);
    if (channels < 1 || channels > 4)
        return E_FAIL;

    m_handle = handle;
    m_driverVersion = 0;
    if (GetDriverVersionTQ8(handle, &m_driverVersion) != TQ8_OK)
        m_driverVersion = 0;
    m_name = SysStringLen(bstrName) != 0 ? std::wstring(vlt::BstrView(bstrName)) : BoardName(handle);
    m_activeChannels = selection;
    m_channelCount = static_cast<uint32_t>(channels);
    m_ramFactor = RamFactor(selection);
    ResizeSourceSampleCount(total_samples);
    return S_OK;
}

HRESULT CChanSrcBrd::GetChannelSourceName(BSTR* pbstrName)
{
    return chansrc::CopyText(m_name, pbstrName);
}

HRESULT CChanSrcBrd::GetChannelCount(uint32_t* valp)
{
    if (!valp)
        return E_POINTER;
    *valp = m_channelCount;
    return S_OK;
}

HRESULT CChanSrcBrd::GetChannelSampleType(uint32_t, VARTYPE* pvt)
{
    if (!pvt)
        return E_POINTER;
    *pvt = VT_UI1;
    return S_OK;
}

HRESULT CChanSrcBrd::TotalFrames(uint32_t* frames) const
{
    if (m_sampleLimit != 0) {
        *frames = m_sampleLimit / m_channelCount;
        return S_OK;
    }
    uint32_t ramSize = 0;
    if (GetSampleRamSizeTQ8(m_handle, &ramSize) != TQ8_OK)
        return E_FAIL;
    *frames = (ramSize / 2) * m_ramFactor / m_channelCount;
    return S_OK;
}

HRESULT CChanSrcBrd::GetTotalSampleCount(uint32_t chan, uint64_t* valp)
{
    if (!valp)
        return E_POINTER;
    if (chan >= m_channelCount)
        return E_INVALIDARG;
    uint32_t frames = 0;
    HRESULT hr = TotalFrames(&frames);
    if (SUCCEEDED(hr))
        *valp = frames;
    return hr;
}

HRESULT CChanSrcBrd::IsSampleInterleavedData(VARIANT_BOOL* pVal)
{
    if (!pVal)
        return E_POINTER;
    *pVal = m_channelCount > 1 ? 1 : 0;
    return S_OK;
}

HRESULT CChanSrcBrd::ResizeSourceSampleCount(uint32_t newCount)
{
    uint32_t ramSize = 0;
    if (GetSampleRamSizeTQ8(m_handle, &ramSize) != TQ8_OK)
        ramSize = kRamSizeUnknown;
    m_sampleLimit = std::min(newCount, ramSize);
    return S_OK;
}

HRESULT CChanSrcBrd::RefreshTotalSampleCount(uint32_t newTotalSampCount)
{
    return ResizeSourceSampleCount(newTotalSampCount);
}

HRESULT CChanSrcBrd::GetSampleValue(uint32_t chan, uint64_t, VARIANT* argp)
{
    if (chan >= m_channelCount || !argp)
        return E_INVALIDARG;
    return E_NOTIMPL;
}

HRESULT CChanSrcBrd::GetChanSrcErrorInfo(BSTR* pbstrError)
{
    if (!pbstrError)
        return E_POINTER;
    *pbstrError = nullptr;
    if (m_lastError.empty())
        return S_OK;
    return chansrc::CopyText(m_lastError, pbstrError);
}

void CChanSrcBrd::StoreError(const wchar_t* prefix, int32_t code)
{
    m_lastError = prefix;
    wchar_t* text = nullptr;
    if (GetErrorTextWTQ8(code, &text, 0, m_handle) == TQ8_OK && text) {
        m_lastError += text;
        FreeMemoryTQ8(text);
    }
}

void CChanSrcBrd::ClipToBoardMaximum(uint32_t start, uint32_t* count) const
{
    uint32_t maximum = 0;
    if (GetMaxSampleCountForActiveChanSelTQ8(m_handle, m_activeChannels, &maximum) == TQ8_OK) {
        if (start >= maximum)
            *count = 0;
        else if (*count > maximum - start)
            *count = maximum - start;
    }
    *count -= *count % m_channelCount;
}

HRESULT CChanSrcBrd::Transfer(uint32_t start, uint32_t count, uint8_t* data)
{
    if (m_driverVersion < kAsyncDriverVersion) {
        int32_t rc = ReadSampleRamBufTQ8(m_handle, start, count, data, 0);
        if (rc == TQ8_OK)
            return S_OK;
        StoreError(L"Synchronous data transfer failed: ", rc);
        return E_FAIL;
    }
    HRESULT hr = S_OK;
    int32_t rc = ReadSampleRamBufTQ8(m_handle, start, count, data, 1);
    if (rc != TQ8_OK) {
        StoreError(L"Asynchronous data transfer failed to start: ", rc);
        hr = E_FAIL;
    }
    // Waited for and stopped whatever the start gave, so that nothing is
    // written into the caller's array once this returns.
    int32_t wait = WaitForTransferCompleteTQ8(m_handle, kTransferTimeoutMs);
    SetOperatingModeTQ8(m_handle, TQ8_MODE_STANDBY);
    if (wait != TQ8_OK) {
        StoreError(L"Asynchronous data transfer failed: ", wait);
        hr = E_ABORT;
    }
    return hr;
}

HRESULT CChanSrcBrd::GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav,
                                    uint32_t* pSampsCopied)
{
    if (pSampsCopied)
        *pSampsCopied = 0;
    if (!psav)
        return E_POINTER;
    if (psav->vt != (VT_ARRAY | VT_UI1) || offset > 0xFFFFFFFFu || chan >= m_channelCount)
        return E_INVALIDARG;
    SAFEARRAY* dest = nullptr;
    HRESULT hr = chansrc::CallerArray(*psav, VT_UI1, uint64_t(samples) * m_channelCount, &dest);
    if (FAILED(hr))
        return hr;

    // Nothing beyond the source's total is read, and positions are worked out
    // in 64 bits so that no product wraps.
    uint32_t total = 0;
    hr = TotalFrames(&total);
    if (FAILED(hr))
        return hr;
    if (offset >= total)
        return S_FALSE;
    const uint64_t frames = std::min<uint64_t>(samples, total - offset);
    const uint64_t start64 = offset * m_channelCount;
    const uint64_t count64 = frames * m_channelCount;
    if (start64 + count64 > 0xFFFFFFFFu)
        return E_INVALIDARG;
    const auto start = static_cast<uint32_t>(start64);
    auto count = static_cast<uint32_t>(count64);
    ClipToBoardMaximum(start, &count);
    if (count == 0)
        return S_FALSE;

    chansrc::ArrayData data(dest);
    if (FAILED(data.Result()))
        return data.Result();
    hr = Transfer(start, count, data.Bytes());
    if (SUCCEEDED(hr) && pSampsCopied)
        *pSampsCopied = count / m_channelCount;
    return hr;
}
