#include "ChanSrcCreate.h"

#include "ComCreate.h"

namespace chansrc {
namespace {

// Creates progId's source and hands its Init interface to init.
template <class Init, class F>
HRESULT Create(const wchar_t* progId, F&& init, IScopeTQ8ChannelSource** out)
{
    *out = nullptr;
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(hr))
        return hr;
    CComPtr<IScopeTQ8ChannelSource> source;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IScopeTQ8ChannelSource::iid,
                          reinterpret_cast<void**>(&source));
    if (FAILED(hr))
        return hr;
    CComPtr<Init> initIf;
    hr = source->QueryInterface(Init::iid, reinterpret_cast<void**>(&initIf));
    if (FAILED(hr))
        return hr;
    hr = init(initIf.p);
    if (FAILED(hr))
        return hr;
    *out = source.Detach();
    return S_OK;
}

} // namespace

HRESULT CreateFileSource(BSTR path, BSTR name, VARTYPE vt, uint32_t channels, uint32_t headerBytes,
                         IScopeTQ8ChannelSource** out)
{
    return Create<IChanSrcSimpleFileInit>(
        L"TQ8UI.CChanSrcSimpleFile",
        [&](IChanSrcSimpleFileInit* init) { return init->SetChannelSourceFile(name, path, vt, channels, headerBytes); },
        out);
}

HRESULT CreateBufferSource(BSTR name, const VARIANT& buffer, uint32_t channels, uint32_t totalSamples,
                           VARIANT_BOOL freeWhenDone, IScopeTQ8ChannelSource** out)
{
    return Create<IChanSrcSimpleInit>(
        L"TQ8UI.SimpleChannelSrc",
        [&](IChanSrcSimpleInit* init) {
            return init->SetChannelSourceBuffer(name, buffer, totalSamples, channels, freeWhenDone);
        },
        out);
}

HRESULT CreateBoardSource(void* board, uint32_t totalSamples, BSTR name, IScopeTQ8ChannelSource** out)
{
    return Create<IChanSrcTQ8Init>(
        L"TQ8UI.CChanSrcBrd", [&](IChanSrcTQ8Init* init) { return init->SetChanSrcTQ8(board, totalSamples, name); },
        out);
}

} // namespace chansrc
