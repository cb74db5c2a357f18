// The sources are made through the component runtime by their ProgIDs and
// answer exactly their interfaces.
#include "ChanSrcTestSupport.h"
#include "ComCreate.h"

namespace {

class SourceCreation : public ChanSrcTest {
protected:
    static bool Answers(IUnknown* p, const IID& iid)
    {
        IUnknown* q = nullptr;
        HRESULT hr = p->QueryInterface(iid, reinterpret_cast<void**>(&q));
        if (q)
            q->Release();
        return hr == S_OK;
    }
};

TEST_F(SourceCreation, EachProgIdMakesItsSource)
{
    struct Case {
        const wchar_t* progId;
        CLSID clsid;
        bool simpleInit, fileInit, boardInit, errorInfo;
    };
    const Case cases[] = {
        {L"TQ8UI.SimpleChannelSrc", CLSID_CChanSrcSimple, true, false, false, false},
        {L"TQ8UI.CChanSrcSimpleFile", CLSID_CChanSrcSimpleFile, false, true, false, false},
        {L"TQ8UI.CChanSrcBrd", CLSID_CChanSrcBrd, false, false, true, true},
    };
    for (const Case& c : cases) {
        for (const std::wstring& progId : {std::wstring(c.progId), std::wstring(c.progId) + L".1"}) {
            SCOPED_TRACE(std::string(progId.begin(), progId.end()));
            CLSID clsid;
            ASSERT_EQ(CLSIDFromProgID(progId.c_str(), &clsid), S_OK);
            EXPECT_EQ(clsid, c.clsid);
            auto src = Create(progId.c_str());
            ASSERT_TRUE(src);
            EXPECT_TRUE(Answers(src, IUnknown::iid));
            EXPECT_EQ(Answers(src, IChanSrcSimpleInit::iid), c.simpleInit);
            EXPECT_EQ(Answers(src, IChanSrcSimpleFileInit::iid), c.fileInit);
            EXPECT_EQ(Answers(src, IChanSrcTQ8Init::iid), c.boardInit);
            EXPECT_EQ(Answers(src, IChanSrcErrorInfo::iid), c.errorInfo);
            EXPECT_FALSE(Answers(src, IScopeTQ8::iid));
            EXPECT_FALSE(Answers(src, IDispatch::iid));
            // Every interface leads back to the same object.
            CComPtr<IUnknown> a, b;
            ASSERT_EQ(src->QueryInterface(IUnknown::iid, reinterpret_cast<void**>(&a)), S_OK);
            ASSERT_EQ(src->QueryInterface(IUnknown::iid, reinterpret_cast<void**>(&b)), S_OK);
            EXPECT_EQ(a.p, b.p);
        }
    }
}

TEST_F(SourceCreation, LiveSourcesKeepTheLibraryLoaded)
{
    for (const wchar_t* progId : {L"TQ8UI.SimpleChannelSrc", L"TQ8UI.CChanSrcSimpleFile", L"TQ8UI.CChanSrcBrd"}) {
        auto src = Create(progId);
        EXPECT_EQ(CanUnloadNow(), S_FALSE);
        src.Release();
        EXPECT_EQ(CanUnloadNow(), S_OK);
    }
}

TEST_F(SourceCreation, AnInitInterfaceCanBeAskedForDirectly)
{
    CComPtr<IChanSrcTQ8Init> init;
    ASSERT_EQ(CoCreateInstance(CLSID_CChanSrcBrd, nullptr, CLSCTX_INPROC_SERVER, IChanSrcTQ8Init::iid,
                               reinterpret_cast<void**>(&init)),
              S_OK);
    CComPtr<IScopeTQ8ChannelSource> src;
    ASSERT_EQ(init->QueryInterface(IScopeTQ8ChannelSource::iid, reinterpret_cast<void**>(&src)), S_OK);
    uint32_t channels = 0;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, 1u);
}

TEST_F(SourceCreation, FreshSourcesAreEmpty)
{
    auto buffer = Create(L"TQ8UI.SimpleChannelSrc");
    auto file = Create(L"TQ8UI.CChanSrcSimpleFile");
    for (IScopeTQ8ChannelSource* src : {buffer.p, file.p}) {
        uint32_t channels = 9;
        ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
        EXPECT_EQ(channels, 0u);
        EXPECT_EQ(src->GetChannelCount(nullptr), E_POINTER);
        EXPECT_EQ(src->IsSampleInterleavedData(nullptr), E_POINTER);
        ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 4));
        VARIANT v = ArrayVariant(dest.get(), VT_UI1);
        uint32_t copied = 1;
        EXPECT_EQ(src->GetChannelData(0, 0, 4, &v, &copied), E_INVALIDARG);
        EXPECT_EQ(copied, 0u);
    }
}

} // namespace
