#pragma once
// A fake plot control (serving as the main plot and as the spectrum
// window's own plot), fake channel sources and a fake host for the
// spectrum window's tests.
#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "CPersistentOpts.h"
#include "IFreqDomainHost.h"
#include "SafeArray.h"
#include "ScopeDecliner.h"
#include "Variant.h"

namespace fd_test {

// Interleaved frames of one sample type; optionally its own arbiter, and
// failing reads with or without a text of its own.
class FakeSource : public IScopeTQ8ChannelSource, public IScopeTQ8ChannelArbiter, public IChanSrcErrorInfo {
public:
    FakeSource(std::wstring sourceName, uint32_t channelCount, VARTYPE type)
        : name(std::move(sourceName)), channels(channelCount), vt(type)
    {
    }
    virtual ~FakeSource() = default;

    template <class T>
    void SetFrames(const std::vector<T>& interleaved)
    {
        const auto* bytes = reinterpret_cast<const uint8_t*>(interleaved.data());
        data.assign(bytes, bytes + interleaved.size() * sizeof(T));
    }
    uint64_t Frames() const { return data.size() / (channels * SampleTypeSize()); }
    uint32_t SampleTypeSize() const { return vt == VT_I8 || vt == VT_UI8 ? 8 : vlt::SampleTypeSize(vt); }

    HRESULT QueryInterface(const IID& iid, void** ppv) override
    {
        if (iid == IUnknown::iid || iid == IScopeTQ8ChannelSource::iid)
            *ppv = static_cast<IScopeTQ8ChannelSource*>(this);
        else if (iid == IScopeTQ8ChannelArbiter::iid && offerArbiter)
            *ppv = static_cast<IScopeTQ8ChannelArbiter*>(this);
        else if (iid == IChanSrcErrorInfo::iid && !errorText.empty())
            *ppv = static_cast<IChanSrcErrorInfo*>(this);
        else {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        ++refs;
        return S_OK;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }
    HRESULT GetChannelSourceName(BSTR* out) override
    {
        *out = SysAllocString(name.c_str());
        return S_OK;
    }
    HRESULT GetChannelCount(uint32_t* out) override
    {
        *out = channels;
        return S_OK;
    }
    HRESULT GetChannelSampleType(uint32_t, VARTYPE* out) override
    {
        *out = vt;
        return S_OK;
    }
    HRESULT GetTotalSampleCount(uint32_t, uint64_t* out) override
    {
        *out = Frames();
        return S_OK;
    }
    HRESULT IsSampleInterleavedData(VARIANT_BOOL* out) override
    {
        *out = channels > 1 ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    HRESULT RefreshTotalSampleCount(uint32_t) override { return E_NOTIMPL; }
    HRESULT GetChannelData(uint32_t chan, uint64_t offset, uint32_t samples, VARIANT* psav, uint32_t* copied) override
    {
        ++reads;
        lastOffset = offset;
        *copied = 0;
        if (FAILED(failWith))
            return failWith;
        if (chan >= channels || psav->vt != (VT_ARRAY | vt) || !psav->parray)
            return E_INVALIDARG;
        const uint64_t frame = uint64_t(channels) * SampleTypeSize();
        if (psav->parray->rgsabound[0].cElements < uint64_t(samples) * channels)
            return E_INVALIDARG;
        if (offset >= Frames())
            return S_FALSE;
        const uint64_t count = std::min<uint64_t>(samples, Frames() - offset);
        std::memcpy(psav->parray->pvData, data.data() + offset * frame, count * frame);
        *copied = static_cast<uint32_t>(count);
        return S_OK;
    }
    HRESULT GetSampleValue(uint32_t, uint64_t, VARIANT*) override { return E_NOTIMPL; }
    HRESULT ResizeSourceSampleCount(uint32_t) override { return E_NOTIMPL; }
    HRESULT SafeToObtainChannelData(uint32_t) override { return arbiterAnswer; }
    HRESULT OnScopeNeedsDataWhenAvailable(uint32_t) override { return S_OK; }
    HRESULT GetChanSrcErrorInfo(BSTR* out) override
    {
        *out = SysAllocString(errorText.c_str());
        return S_OK;
    }

    std::wstring name;
    uint32_t channels;
    VARTYPE vt;
    std::vector<uint8_t> data;
    bool offerArbiter = false;
    HRESULT arbiterAnswer = S_OK;
    HRESULT failWith = S_OK;
    std::wstring errorText;
    int reads = 0;
    uint64_t lastOffset = 0;
    uint32_t refs = 1;
};

// Buffer traces are read on every call, so that a trace array freed while
// the plot holds it shows at once under the address sanitizer.
class FakePlot : public ScopeDecliner {
public:
    struct Trace {
        std::wstring name;
        SAFEARRAY* array;
        uint32_t samples;
    };
    static constexpr uint32_t kChannelIdStep = 10; // channel id = source id x 10

    ~FakePlot() { Touch(); }

    // ---- The main plot's side
    void AddSource(uint32_t id, FakeSource* source, uint32_t firstChannel)
    {
        sources[id] = {source, firstChannel};
    }
    HRESULT GetChannelSource(uint32_t srcId, IScopeTQ8ChannelSource** out) override
    {
        auto it = sources.find(srcId);
        if (it == sources.end())
            return E_NOINTERFACE;
        *out = it->second.source;
        (*out)->AddRef();
        return S_OK;
    }
    HRESULT GetChannelSourceCount(uint32_t* out) override
    {
        *out = static_cast<uint32_t>(sources.size());
        return S_OK;
    }
    HRESULT EnumChannelSourceIds(uint32_t* size, uint32_t* ids) override
    {
        uint32_t n = 0;
        for (auto& [id, s] : sources)
            if (n < *size)
                ids[n++] = id;
        *size = n;
        return S_OK;
    }
    HRESULT GetSelection(uint64_t* start, uint64_t* end) override
    {
        *start = selStart;
        *end = selEnd;
        return S_OK;
    }

    // ---- Either side
    HRESULT GetFirstChannelIdForSource(uint32_t srcId, uint32_t* out) override
    {
        Touch();
        if (auto it = sources.find(srcId); it != sources.end()) {
            *out = it->second.firstChannel;
            return S_OK;
        }
        if (!traces.count(srcId))
            return E_INVALIDARG;
        *out = srcId * kChannelIdStep;
        return S_OK;
    }
    HRESULT get_ChannelColor(uint32_t chanId, OLE_COLOR* out) override
    {
        auto it = colours.find(chanId);
        *out = it == colours.end() ? 0x00FFFF : it->second;
        return S_OK;
    }
    HRESULT put_ChannelColor(uint32_t chanId, OLE_COLOR colour) override
    {
        colours[chanId] = colour;
        return S_OK;
    }
    HRESULT put_ChannelVisibility(uint32_t chanId, VARIANT_BOOL on) override
    {
        visible[chanId] = on != VARIANT_FALSE;
        return S_OK;
    }

    // ---- The window's own plot
    HRESULT AddBufferChannelSource(BSTR name, VARIANT buffer, uint32_t channels, uint32_t total, VARIANT_BOOL freeIt,
                                   uint32_t* id) override
    {
        Touch();
        if (channels != 1 || freeIt || buffer.vt != (VT_ARRAY | VT_UI1) || !buffer.parray ||
            buffer.parray->rgsabound[0].cElements < total || refuseAdds)
            return E_INVALIDARG;
        *id = nextId++;
        traces[*id] = {name ? name : L"", buffer.parray, total};
        return S_OK;
    }
    HRESULT RemoveChannelSource(uint32_t id) override
    {
        Touch();
        return traces.erase(id) ? S_OK : E_INVALIDARG;
    }
    HRESULT ResetScopeData() override
    {
        Touch();
        traces.clear();
        ++resets;
        return S_OK;
    }
    HRESULT SetCustomLabelProvider(IScopeTQ8CustomLabelProvider* p) override
    {
        provider = p;
        return S_OK;
    }
    HRESULT SetSelection(uint64_t start, uint64_t end) override
    {
        selStart = start;
        selEnd = end;
        return S_OK;
    }
    HRESULT get_StartSample(uint64_t* out) override
    {
        *out = startSample;
        return S_OK;
    }
    HRESULT put_StartSample(uint64_t v) override
    {
        startSample = v;
        return S_OK;
    }
    HRESULT get_ScopeBackColor(OLE_COLOR* out) override
    {
        *out = backColour;
        return S_OK;
    }
    HRESULT put_ScopeBackColor(OLE_COLOR v) override
    {
        backColour = v;
        return S_OK;
    }
    HRESULT put_MinSampleValue(int32_t v) override { return Int("MinSampleValue", v); }
    HRESULT put_MaxSampleValue(int32_t v) override { return Int("MaxSampleValue", v); }
    HRESULT put_PointRadius(int32_t v) override { return Int("PointRadius", v); }
    HRESULT put_PageWidth(uint32_t v) override { return Int("PageWidth", v); }
    HRESULT put_MaxPageWidth(uint32_t v) override { return Int("MaxPageWidth", v); }
    HRESULT put_AutoXLabels(VARIANT_BOOL v) override { return Int("AutoXLabels", v); }
    HRESULT put_AutoYLabels(VARIANT_BOOL v) override { return Int("AutoYLabels", v); }
    HRESULT put_Redraw(VARIANT_BOOL v) override { return Int("Redraw", v); }
    HRESULT put_LabelXL(BSTR v) override { return Text("LabelXL", v); }
    HRESULT put_LabelXR(BSTR v) override { return Text("LabelXR", v); }
    HRESULT put_LabelYT(BSTR v) override { return Text("LabelYT", v); }
    HRESULT put_LabelYM(BSTR v) override { return Text("LabelYM", v); }
    HRESULT put_LabelYB(BSTR v) override { return Text("LabelYB", v); }

    HRESULT QueryInterface(const IID& iid, void** ppv) override
    {
        if (iid == IUnknown::iid || iid == IDispatch::iid || iid == IScopeTQ8::iid) {
            *ppv = static_cast<IScopeTQ8*>(this);
            ++refs;
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; }

    // Reads every byte of every trace it holds.
    unsigned Touch() const
    {
        unsigned sum = 0;
        for (auto& [id, t] : traces)
            for (uint32_t i = 0; i < t.samples; ++i)
                sum += static_cast<const uint8_t*>(t.array->pvData)[i];
        return sum;
    }
    const Trace* FindTrace(const std::wstring& name) const
    {
        for (auto& [id, t] : traces)
            if (t.name == name)
                return &t;
        return nullptr;
    }

    struct SourceEntry {
        FakeSource* source;
        uint32_t firstChannel;
    };
    std::map<uint32_t, SourceEntry> sources;
    uint64_t selStart = ~uint64_t(0);
    uint64_t selEnd = ~uint64_t(0);
    std::map<uint32_t, Trace> traces;
    uint32_t nextId = 1;
    std::map<uint32_t, OLE_COLOR> colours;
    std::map<uint32_t, bool> visible;
    std::map<std::string, int64_t> ints;
    std::map<std::string, std::wstring> texts;
    IScopeTQ8CustomLabelProvider* provider = nullptr;
    OLE_COLOR backColour = 0;
    uint64_t startSample = 0;
    int resets = 0;
    bool refuseAdds = false;
    uint32_t refs = 1;

private:
    HRESULT Int(const char* name, int64_t v)
    {
        ints[name] = v;
        return S_OK;
    }
    HRESULT Text(const char* name, BSTR v)
    {
        texts[name] = v ? v : L"";
        return S_OK;
    }
};

class FakeHost : public IFreqDomainHost {
public:
    IScopeTQ8* GetMainPlot() override { return main; }
    TQ8_HANDLE GetSourceBoardHandle(uint32_t) override { return nullptr; }
    IScopeTQ8ChannelArbiter* GetSourceArbiter(uint32_t srcId) override
    {
        auto it = arbiters.find(srcId);
        return it == arbiters.end() ? nullptr : it->second;
    }
    bool GetSourceDataInfo(uint32_t srcId, TQ8_RECORDED_DATA_INFO& info) override
    {
        auto it = infos.find(srcId);
        if (it == infos.end())
            return false;
        info = it->second;
        return true;
    }
    std::wstring GetDeviceDisplayName() override { return L"TQ3300 #1600"; }
    CPersistentOpts* GetOptions() override { return &options; }
    bool IsUnsafeMode() override { return unsafe; }
    double GetMinSnrThreshold() override { return minSnr; }
    bool IsContinuousMode() override { return continuous; }
    void EndContinuousMode() override { continuous = false; }

    void SetRate(uint32_t srcId, double mhz, uint32_t bits = 0)
    {
        TQ8_RECORDED_DATA_INFO info{};
        info.size = sizeof(info);
        info.samplingRateMHz = mhz;
        info.bitsPerSample = bits;
        infos[srcId] = info;
    }

    IScopeTQ8* main = nullptr;
    std::map<uint32_t, IScopeTQ8ChannelArbiter*> arbiters;
    std::map<uint32_t, TQ8_RECORDED_DATA_INFO> infos;
    CPersistentOpts options;
    bool unsafe = false;
    double minSnr = -1000.0;
    bool continuous = false;
};

} // namespace fd_test
