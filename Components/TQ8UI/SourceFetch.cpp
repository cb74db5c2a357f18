#include "SourceFetch.h"

#include "CComBSTR.h"
#include "CComPtr.h"
#include "SafeArray.h"

#include <algorithm>
#include <cwchar>

namespace sourcefetch {

bool MayReadSource(IScopeTQ8ChannelArbiter* arbiter, uint32_t srcId)
{
    if (!arbiter || arbiter->SafeToObtainChannelData(srcId) == S_OK)
        return true;
    arbiter->OnScopeNeedsDataWhenAvailable(srcId);
    return false;
}

HRESULT ReadSourceChunks(IScopeTQ8ChannelSource* source, IScopeTQ8ChannelArbiter* arbiter, uint32_t srcId,
                         uint64_t offset, uint64_t frames, uint32_t chunk, VARIANT* buffer, ChunkSink sink)
{
    if (!source || !buffer || !(buffer->vt & VT_ARRAY) || !buffer->parray)
        return E_POINTER;
    if (chunk == 0)
        return E_INVALIDARG;
    if (!MayReadSource(arbiter, srcId))
        return S_FALSE;
    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(buffer->parray, &data);
    if (FAILED(hr))
        return hr;
    Chunk c;
    c.data = data;
    c.first = offset;
    uint64_t requested = 0;
    while (requested < frames) {
        const uint64_t remaining = frames - requested;
        const auto ask = static_cast<uint32_t>(std::min<uint64_t>(chunk, remaining));
        uint32_t copied = 0;
        hr = source->GetChannelData(0, c.first, ask, buffer, &copied);
        if (FAILED(hr) || copied == 0)
            break;
        // A source that claims more than it was asked for has written no more
        // than the buffer was sized for: only what was asked is used.
        c.frames = std::min(copied, ask);
        c.last = c.frames == remaining;
        hr = sink(c);
        c.done += c.frames;
        c.first += c.frames;
        requested += ask;
    }
    SafeArrayUnaccessData(buffer->parray);
    return hr;
}

std::wstring SourceFailureReason(IScopeTQ8ChannelSource* source, uint32_t srcId, HRESULT hr)
{
    CComPtr<IChanSrcErrorInfo> info;
    if (source && SUCCEEDED(source->QueryInterface(IChanSrcErrorInfo::iid, reinterpret_cast<void**>(&info)))) {
        CComBSTR text;
        if (SUCCEEDED(info->GetChanSrcErrorInfo(&text)) && text.Length() != 0)
            return std::wstring(text.View());
    }
    wchar_t buf[96];
    std::swprintf(buf, std::size(buf), L"Failed to obtain data for data source %u (HRESULT=0x%08X)", srcId,
                  static_cast<uint32_t>(hr));
    return buf;
}

} // namespace sourcefetch
