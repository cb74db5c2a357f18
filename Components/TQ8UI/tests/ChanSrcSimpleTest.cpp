// The buffer source over a caller's safe array.
#include "CComBSTR.h"
#include "ChanSrcTestSupport.h"

namespace {

class BufferSource : public ChanSrcTest {
protected:
    CComPtr<IScopeTQ8ChannelSource> Make(SAFEARRAY* psa, VARTYPE vt, uint32_t channels, uint32_t total = 0,
                                         bool freeWhenDone = false, const wchar_t* name = L"Snapshot")
    {
        CComPtr<IScopeTQ8ChannelSource> src = Create(L"TQ8UI.SimpleChannelSrc");
        CComBSTR bname(name);
        EXPECT_EQ(As<IChanSrcSimpleInit>(src)->SetChannelSourceBuffer(bname, ArrayVariant(psa, vt), total, channels,
                                                                      freeWhenDone ? VARIANT_TRUE : VARIANT_FALSE),
                  S_OK);
        return src;
    }
};

template <class T>
class BufferSourceTyped : public BufferSource {};
TYPED_TEST_SUITE(BufferSourceTyped, SampleTypes);

TYPED_TEST(BufferSourceTyped, InterleavedChannelsReadBackInChunks)
{
    constexpr uint32_t kChannels = 3;
    constexpr uint64_t kFrames = 1001;
    const std::vector<TypeParam> written = Samples<TypeParam>(kFrames * kChannels);
    ArrayHolder array(MakeArray(written));
    auto src = this->Make(array.get(), SampleTraits<TypeParam>::vt, kChannels);

    uint64_t total = 0;
    ASSERT_EQ(src->GetTotalSampleCount(2, &total), S_OK);
    EXPECT_EQ(total, kFrames);
    VARTYPE vt = 0;
    ASSERT_EQ(src->GetChannelSampleType(0, &vt), S_OK);
    EXPECT_EQ(vt, SampleTraits<TypeParam>::vt);
    VARIANT_BOOL interleaved = 0;
    ASSERT_EQ(src->IsSampleInterleavedData(&interleaved), S_OK);
    EXPECT_EQ(interleaved, 1);

    for (uint32_t chunk : {1u, 7u, 1000u, 1001u, 65536u}) {
        SCOPED_TRACE(chunk);
        EXPECT_EQ(ReadAll<TypeParam>(src, kChannels, 0, kFrames, chunk), written);
    }
    // From the middle, across the end.
    const auto tail = ReadAll<TypeParam>(src, kChannels, 990, 100, 4);
    EXPECT_EQ(tail, std::vector<TypeParam>(written.begin() + 990 * kChannels, written.end()));

    for (uint64_t frame : {uint64_t(0), uint64_t(500), kFrames - 1}) {
        for (uint32_t chan = 0; chan < kChannels; ++chan) {
            CComVariant value;
            ASSERT_EQ(src->GetSampleValue(chan, frame, &value), S_OK);
            EXPECT_EQ(VariantValue<TypeParam>(value), written[frame * kChannels + chan]);
        }
    }
    CComVariant past;
    EXPECT_EQ(src->GetSampleValue(0, kFrames, &past), S_FALSE);
}

TEST_F(BufferSource, TotalFollowsTheArrayOrTheGivenCount)
{
    ArrayHolder array(MakeArray(Samples<uint8_t>(1000)));
    uint64_t total = 0;
    ASSERT_EQ(Make(array.get(), VT_UI1, 2)->GetTotalSampleCount(0, &total), S_OK);
    EXPECT_EQ(total, 500u);
    ASSERT_EQ(Make(array.get(), VT_UI1, 2, 600)->GetTotalSampleCount(1, &total), S_OK);
    EXPECT_EQ(total, 300u);
    ArrayHolder shifted(SafeArrayCreateVector(VT_I2, -5, 9));
    ASSERT_EQ(Make(shifted.get(), VT_I2, 3)->GetTotalSampleCount(0, &total), S_OK);
    EXPECT_EQ(total, 3u);
}

TEST_F(BufferSource, AGivenTotalBeyondTheArrayIsRefused)
{
    ArrayHolder array(MakeArray(Samples<int16_t>(1000)));
    auto src = Create(L"TQ8UI.SimpleChannelSrc");
    EXPECT_EQ(As<IChanSrcSimpleInit>(src)->SetChannelSourceBuffer(nullptr, ArrayVariant(array.get(), VT_I2), 1001, 2,
                                                                   VARIANT_FALSE),
              E_INVALIDARG);
    uint32_t channels = 9;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, 0u);
}

TEST_F(BufferSource, EmptyArrayAndTheEndGiveNoData)
{
    ArrayHolder empty(SafeArrayCreateVector(VT_R4, 0, 0));
    auto src = Make(empty.get(), VT_R4, 1);
    ArrayHolder dest(SafeArrayCreateVector(VT_R4, 0, 16));
    VARIANT v = ArrayVariant(dest.get(), VT_R4);
    uint32_t copied = 77;
    EXPECT_EQ(src->GetChannelData(0, 0, 16, &v, &copied), S_FALSE);
    EXPECT_EQ(copied, 0u);

    ArrayHolder array(MakeArray(Samples<float>(10)));
    src = Make(array.get(), VT_R4, 2);
    copied = 77;
    EXPECT_EQ(src->GetChannelData(0, 5, 1, &v, &copied), S_FALSE);
    EXPECT_EQ(copied, 0u);
    EXPECT_EQ(src->GetChannelData(0, UINT64_MAX, 1, &v, &copied), S_FALSE);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(1, UINT64_MAX, &value), S_FALSE);
}

TEST_F(BufferSource, ARequestBeyondTheEndCopiesWhatRemains)
{
    const auto written = Samples<int32_t>(20);
    ArrayHolder array(MakeArray(written));
    auto src = Make(array.get(), VT_I4, 2);
    ArrayHolder dest(MakeArray(std::vector<int32_t>(16, -1)));
    VARIANT v = ArrayVariant(dest.get(), VT_I4);
    uint32_t copied = 0;
    ASSERT_EQ(src->GetChannelData(1, 7, 8, &v, &copied), S_OK);
    EXPECT_EQ(copied, 3u);
    const int32_t* out = ArrayAt<int32_t>(dest.get());
    EXPECT_EQ(std::vector<int32_t>(out, out + 6), std::vector<int32_t>(written.begin() + 14, written.end()));
    EXPECT_EQ(out[6], -1); // nothing written past the frames copied
    // pSampsCopied may be null.
    EXPECT_EQ(src->GetChannelData(0, 0, 8, &v, nullptr), S_OK);
}

TEST_F(BufferSource, OnlyChannelZeroHasASampleType)
{
    ArrayHolder array(MakeArray(Samples<uint16_t>(8)));
    auto src = Make(array.get(), VT_UI2, 2);
    VARTYPE vt = 0;
    EXPECT_EQ(src->GetChannelSampleType(1, &vt), E_INVALIDARG);
    EXPECT_EQ(src->GetChannelSampleType(0, nullptr), E_POINTER);

    auto blank = Create(L"TQ8UI.SimpleChannelSrc");
    ASSERT_EQ(blank->GetChannelSampleType(0, &vt), S_OK);
    EXPECT_EQ(vt, 0);
    VARIANT_BOOL interleaved = 1;
    ASSERT_EQ(blank->IsSampleInterleavedData(&interleaved), S_OK);
    EXPECT_EQ(interleaved, 0);
}

TEST_F(BufferSource, BadCallerArraysAreRefusedAndLeftUntouched)
{
    ArrayHolder array(MakeArray(Samples<uint16_t>(100)));
    auto src = Make(array.get(), VT_UI2, 2);
    uint32_t copied = 5;
    EXPECT_EQ(src->GetChannelData(0, 0, 4, nullptr, &copied), E_POINTER);
    EXPECT_EQ(copied, 0u);

    ArrayHolder small(MakeArray(std::vector<uint16_t>(7, 0xABCD)));
    VARIANT v = ArrayVariant(small.get(), VT_UI2);
    EXPECT_EQ(src->GetChannelData(0, 0, 4, &v, &copied), E_INVALIDARG); // 4 frames need 8 elements
    EXPECT_EQ(std::vector<uint16_t>(ArrayAt<uint16_t>(small.get()), ArrayAt<uint16_t>(small.get()) + 7),
              std::vector<uint16_t>(7, 0xABCD));
    EXPECT_EQ(src->GetChannelData(2, 0, 1, &v, &copied), E_INVALIDARG); // no channel 2

    VARIANT wrongType = ArrayVariant(small.get(), VT_I4);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, &wrongType, &copied), E_INVALIDARG);
    VARIANT noArray = ArrayVariant(nullptr, VT_UI2);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, &noArray, &copied), E_INVALIDARG);
    VARIANT notArray;
    notArray.vt = VT_UI2;
    EXPECT_EQ(src->GetChannelData(0, 0, 1, &notArray, &copied), E_INVALIDARG);
    // Labelled with the right type but holding one-byte elements.
    ArrayHolder bytes(SafeArrayCreateVector(VT_UI1, 0, 64));
    VARIANT mislabelled = ArrayVariant(bytes.get(), VT_UI2);
    EXPECT_EQ(src->GetChannelData(0, 0, 4, &mislabelled, &copied), E_INVALIDARG);
    // A buffer of another type of the same size serves, as the control shares them.
    ArrayHolder shared(SafeArrayCreateVector(VT_I2, 0, 8));
    VARIANT relabelled = ArrayVariant(shared.get(), VT_UI2);
    EXPECT_EQ(src->GetChannelData(0, 0, 4, &relabelled, &copied), S_OK);
    EXPECT_EQ(copied, 4u);
}

TEST_F(BufferSource, BadInitialisationIsRefused)
{
    auto src = Create(L"TQ8UI.SimpleChannelSrc");
    auto init = As<IChanSrcSimpleInit>(src);
    ArrayHolder array(MakeArray(Samples<uint8_t>(10)));
    CComBSTR name(L"kept");
    VARIANT scalar;
    scalar.vt = VT_UI1;
    EXPECT_EQ(init->SetChannelSourceBuffer(name, scalar, 0, 1, VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(init->SetChannelSourceBuffer(name, ArrayVariant(nullptr, VT_UI1), 0, 1, VARIANT_FALSE), E_INVALIDARG);
    EXPECT_EQ(init->SetChannelSourceBuffer(name, ArrayVariant(array.get(), VT_I8), 0, 1, VARIANT_FALSE), E_NOTIMPL);
    EXPECT_EQ(init->SetChannelSourceBuffer(name, ArrayVariant(array.get(), VT_UI2), 0, 1, VARIANT_FALSE),
              E_INVALIDARG);
    EXPECT_EQ(init->SetChannelSourceBuffer(name, ArrayVariant(array.get(), VT_UI1), 0, 0, VARIANT_FALSE),
              E_INVALIDARG);
    SAFEARRAY* psa = array.get(); // a reference to an array is not the array
    VARIANT reference;
    reference.vt = VT_BYREF | VT_ARRAY | VT_UI1;
    reference.pparray = &psa;
    EXPECT_EQ(init->SetChannelSourceBuffer(name, reference, 0, 1, VARIANT_FALSE), E_INVALIDARG);
    // The name is taken even when the call then fails.
    CComBSTR got;
    ASSERT_EQ(src->GetChannelSourceName(&got), S_OK);
    EXPECT_EQ(got.View(), L"kept");
    uint64_t total = 0;
    EXPECT_EQ(src->GetTotalSampleCount(0, &total), E_INVALIDARG);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(0, 0, &value), E_INVALIDARG);
    EXPECT_EQ(src->GetSampleValue(0, 0, nullptr), E_POINTER);
}

TEST_F(BufferSource, NameAndOptionalOperations)
{
    ArrayHolder array(MakeArray(Samples<double>(4)));
    auto src = Make(array.get(), VT_R8, 1, 0, false, nullptr);
    CComBSTR name;
    ASSERT_EQ(src->GetChannelSourceName(&name), S_OK);
    EXPECT_FALSE(name.IsNull());
    EXPECT_EQ(name.Length(), 0u);
    EXPECT_EQ(src->GetChannelSourceName(nullptr), E_POINTER);
    EXPECT_EQ(src->RefreshTotalSampleCount(2), E_NOTIMPL);
    EXPECT_EQ(src->ResizeSourceSampleCount(2), E_NOTIMPL);
    VARIANT_BOOL interleaved = 1;
    ASSERT_EQ(src->IsSampleInterleavedData(&interleaved), S_OK);
    EXPECT_EQ(interleaved, 0);
    CComPtr<IChanSrcErrorInfo> info;
    EXPECT_EQ(src->QueryInterface(IChanSrcErrorInfo::iid, reinterpret_cast<void**>(&info)), E_NOINTERFACE);
}

TEST_F(BufferSource, FreeWhenDoneArraysAreDestroyedOnceAndNotWhileInUse)
{
    const auto first = Samples<int8_t>(6);
    auto src = Create(L"TQ8UI.SimpleChannelSrc");
    auto init = As<IChanSrcSimpleInit>(src);
    SAFEARRAY* owned = MakeArray(first);
    ASSERT_EQ(init->SetChannelSourceBuffer(nullptr, ArrayVariant(owned, VT_I1), 0, 2, VARIANT_TRUE), S_OK);
    // Handing the same array in again must not free it under the source.
    ASSERT_EQ(init->SetChannelSourceBuffer(nullptr, ArrayVariant(owned, VT_I1), 0, 2, 1), S_OK);
    EXPECT_EQ(ReadAll<int8_t>(src, 2, 0, 3, 2), first);
    // Replaced by a caller-owned array: the owned one goes (the sanitizer build
    // catches a leak or a second free), the caller's stays.
    const auto second = Samples<int8_t>(4, 100);
    ArrayHolder callers(MakeArray(second));
    ASSERT_EQ(init->SetChannelSourceBuffer(nullptr, ArrayVariant(callers.get(), VT_I1), 0, 1, VARIANT_FALSE), S_OK);
    src.Release();
    init.Release();
    EXPECT_EQ(std::vector<int8_t>(ArrayAt<int8_t>(callers.get()), ArrayAt<int8_t>(callers.get()) + 4), second);
}

TEST_F(BufferSource, TheSourceArrayMayBeTheDestination)
{
    const auto written = Samples<uint32_t>(8);
    ArrayHolder array(MakeArray(written));
    auto src = Make(array.get(), VT_UI4, 1);
    VARIANT v = ArrayVariant(array.get(), VT_UI4);
    uint32_t copied = 0;
    ASSERT_EQ(src->GetChannelData(0, 2, 6, &v, &copied), S_OK);
    EXPECT_EQ(copied, 6u);
    EXPECT_EQ(ArrayAt<uint32_t>(array.get())[0], written[2]);
    EXPECT_EQ(ArrayAt<uint32_t>(array.get())[5], written[7]);
}

} // namespace
