// The file source over raw sample files in the scratch folder.
#include "CComBSTR.h"
#include "ChanSrcTestSupport.h"
#include "TextConv.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSource : public ChanSrcTest {
protected:
    // Initialises a new file source; returns the source and stores the result.
    CComPtr<IScopeTQ8ChannelSource> Open(const std::filesystem::path& path, VARTYPE vt, uint32_t channels,
                                         uint32_t header, HRESULT expected = S_OK)
    {
        return OpenText(vlt::Utf8ToWide(path.string()), vt, channels, header, expected);
    }
    CComPtr<IScopeTQ8ChannelSource> OpenText(const std::wstring& path, VARTYPE vt, uint32_t channels,
                                             uint32_t header, HRESULT expected = S_OK)
    {
        auto src = Create(L"TQ8UI.CChanSrcSimpleFile");
        CComBSTR name(L"Recorded");
        CComBSTR bpath(path);
        EXPECT_EQ(As<IChanSrcSimpleFileInit>(src)->SetChannelSourceFile(name, bpath, vt, channels, header), expected);
        return src;
    }
    static uint64_t Total(IScopeTQ8ChannelSource* src)
    {
        uint64_t total = UINT64_MAX;
        EXPECT_EQ(src->GetTotalSampleCount(0, &total), S_OK);
        return total;
    }
    static std::vector<uint8_t> Header(size_t size)
    {
        std::vector<uint8_t> h(size);
        for (size_t i = 0; i < size; ++i)
            h[i] = static_cast<uint8_t>(0xA0 + i);
        return h;
    }
    static void Append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes)
    {
        to.insert(to.end(), bytes.begin(), bytes.end());
    }
};

template <class T>
class FileSourceTyped : public FileSource {};
TYPED_TEST_SUITE(FileSourceTyped, SampleTypes);

TYPED_TEST(FileSourceTyped, InterleavedFramesAfterTheHeaderReadBack)
{
    constexpr uint32_t kChannels = 3;
    constexpr uint64_t kFrames = 20000; // more than one block of the sample cache
    const std::vector<TypeParam> written = Samples<TypeParam>(kFrames * kChannels);
    std::vector<uint8_t> file = this->Header(13);
    this->Append(file, Bytes(written));
    auto src = this->Open(this->WriteFile("typed.bin", file), SampleTraits<TypeParam>::vt, kChannels, 13);

    EXPECT_EQ(this->Total(src), kFrames);
    uint32_t channels = 0;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, kChannels);
    VARTYPE vt = 0;
    ASSERT_EQ(src->GetChannelSampleType(2, &vt), S_OK);
    EXPECT_EQ(vt, SampleTraits<TypeParam>::vt);
    for (uint32_t chunk : {4093u, 16384u, 65536u}) {
        SCOPED_TRACE(chunk);
        EXPECT_EQ(ReadAll<TypeParam>(src, kChannels, 0, kFrames, chunk), written);
    }
    for (uint64_t frame : {uint64_t(0), uint64_t(16383), uint64_t(16384), kFrames - 1}) {
        for (uint32_t chan = 0; chan < kChannels; ++chan) {
            CComVariant value;
            ASSERT_EQ(src->GetSampleValue(chan, frame, &value), S_OK);
            EXPECT_EQ(VariantValue<TypeParam>(value), written[frame * kChannels + chan]);
        }
    }
}

TEST_F(FileSource, OnlyWholeFramesCountAndAreRead)
{
    // 100 header bytes, then 1001 bytes of two-channel 8-bit frames.
    std::vector<uint8_t> file = Header(100);
    const auto data = Samples<uint8_t>(1001);
    Append(file, data);
    auto src = Open(WriteFile("odd.bin", file), VT_UI1, 2, 100);
    EXPECT_EQ(Total(src), 500u);

    ArrayHolder dest(MakeArray(std::vector<uint8_t>(40, 0xEE)));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 0;
    ASSERT_EQ(src->GetChannelData(0, 490, 20, &v, &copied), S_OK);
    EXPECT_EQ(copied, 10u);
    const uint8_t* out = ArrayAt<uint8_t>(dest.get());
    EXPECT_EQ(std::vector<uint8_t>(out, out + 20), std::vector<uint8_t>(data.begin() + 980, data.begin() + 1000));
    EXPECT_EQ(out[20], 0xEE); // the truncated last frame is not copied
    // At and past the end: no frames, no failure.
    ASSERT_EQ(src->GetChannelData(1, 500, 20, &v, &copied), S_OK);
    EXPECT_EQ(copied, 0u);
    ASSERT_EQ(src->GetChannelData(0, UINT64_MAX / 2, 20, &v, &copied), S_OK);
    EXPECT_EQ(copied, 0u);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(1, 500, &value), S_FALSE);
    EXPECT_EQ(src->GetSampleValue(1, UINT64_MAX, &value), S_FALSE);
}

TEST_F(FileSource, AHeaderLongerThanTheFileIsRefused)
{
    const auto path = WriteFile("short.bin", Header(50));
    auto src = Open(path, VT_UI1, 1, 51, E_INVALIDARG);
    uint32_t channels = 9;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, 0u);
    // A header that is the whole file leaves no frame.
    src = Open(path, VT_UI1, 1, 50);
    EXPECT_EQ(Total(src), 0u);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(0, 0, &value), S_FALSE);
}

TEST_F(FileSource, SampleValueBlockThenChunkAtTheBlockStart)
{
    const auto written = Samples<uint16_t>(2 * 40000);
    auto src = Open(WriteFile("blocks.bin", Bytes(written)), VT_UI2, 2, 0);
    CComVariant value;
    ASSERT_EQ(src->GetSampleValue(1, 20000, &value), S_OK);
    EXPECT_EQ(VariantValue<uint16_t>(value), written[2 * 20000 + 1]);
    EXPECT_EQ(ReadAll<uint16_t>(src, 2, 16384, 100, 100),
              std::vector<uint16_t>(written.begin() + 2 * 16384, written.begin() + 2 * 16484));
    // Values before the cached block come from the file again.
    ASSERT_EQ(src->GetSampleValue(0, 3, &value), S_OK);
    EXPECT_EQ(VariantValue<uint16_t>(value), written[6]);
}

TEST_F(FileSource, AFileThatChangesSizeIsReadAsItStands)
{
    const auto first = Samples<int32_t>(3 * 100);
    std::vector<uint8_t> file = Header(8);
    Append(file, Bytes(first));
    const auto path = WriteFile("growing.bin", file);
    auto src = Open(path, VT_I4, 3, 8);
    EXPECT_EQ(Total(src), 100u);
    CComVariant value;
    ASSERT_EQ(src->GetSampleValue(2, 99, &value), S_OK); // caches the block

    // Grows by 50 frames and a partial one.
    const auto more = Samples<int32_t>(3 * 50 + 2, 3 * 100);
    Append(file, Bytes(more));
    WriteFile("growing.bin", file);
    EXPECT_EQ(Total(src), 150u);
    auto all = first;
    all.insert(all.end(), more.begin(), more.end() - 2);
    EXPECT_EQ(ReadAll<int32_t>(src, 3, 0, 1000, 64), all);
    ASSERT_EQ(src->GetSampleValue(0, 149, &value), S_OK);
    EXPECT_EQ(VariantValue<int32_t>(value), all[3 * 149]);

    // Shrinks below the cached frames, then below its header.
    ASSERT_EQ(::truncate(path.c_str(), 8 + 3 * 4 * 10), 0);
    EXPECT_EQ(Total(src), 10u);
    EXPECT_EQ(src->GetSampleValue(0, 99, &value), S_FALSE);
    EXPECT_EQ(ReadAll<int32_t>(src, 3, 0, 1000, 64), std::vector<int32_t>(first.begin(), first.begin() + 30));
    ASSERT_EQ(::truncate(path.c_str(), 4), 0);
    EXPECT_EQ(Total(src), 0u);
    EXPECT_EQ(ReadAll<int32_t>(src, 3, 0, 10, 10), std::vector<int32_t>());
}

TEST_F(FileSource, OffsetsBeyondFourGigabytes)
{
    // A sparse file of a little more than 4 GiB: nothing of it is read whole.
    const auto path = WriteFile("sparse.bin", {});
    const uint64_t size = (uint64_t(1) << 32) + 64;
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(size)), 0);
    const std::vector<int16_t> tail = {-1, 2, -3, 4, -5, 6};
    int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, tail.data(), 12, static_cast<off_t>(size - 12)), 12);
    ::close(fd);

    // The header is larger than the size's low 32 bits, yet inside the file.
    auto src = Open(path, VT_I2, 2, 100);
    const uint64_t frames = (size - 100) / 4;
    EXPECT_EQ(Total(src), frames);
    EXPECT_EQ(ReadAll<int16_t>(src, 2, frames - 3, 10, 2), tail);
    CComVariant value;
    ASSERT_EQ(src->GetSampleValue(1, frames - 1, &value), S_OK);
    EXPECT_EQ(VariantValue<int16_t>(value), 6);
}

TEST_F(FileSource, PathsAreTrimmedAndMayHoldAnyCharacter)
{
    const auto data = Samples<float>(10);
    const auto path = WriteFile("Messdaten \xC3\xA4\xE2\x82\xAC.bin", Bytes(data));
    auto src = OpenText(L"  \t" + vlt::Utf8ToWide(path.string()) + L" \n", VT_R4, 1, 0);
    EXPECT_EQ(ReadAll<float>(src, 1, 0, 10, 3), data);
    CComBSTR name;
    ASSERT_EQ(src->GetChannelSourceName(&name), S_OK);
    EXPECT_EQ(name.View(), L"Recorded");
}

TEST_F(FileSource, WhatCannotBeOpenedIsRefused)
{
    Open(Dir() / "missing.bin", VT_UI1, 1, 0, E_FAIL);
    Open(Dir(), VT_UI1, 1, 0, E_FAIL);
    const auto fifo = Dir() / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    Open(fifo, VT_UI1, 1, 0, E_FAIL); // refused, not waited on
    const auto path = WriteFile("data.bin", Samples<uint8_t>(10));
    Open(path, VT_I8, 1, 0, E_NOTIMPL);
    Open(path, VT_BSTR, 1, 0, E_NOTIMPL);
    Open(path, VT_UI1, 0, 0, E_INVALIDARG);
}

TEST_F(FileSource, AFailedInitialisationLeavesNoFile)
{
    auto src = Create(L"TQ8UI.CChanSrcSimpleFile");
    auto init = As<IChanSrcSimpleFileInit>(src);
    const auto data = Samples<uint8_t>(10);
    CComBSTR good(vlt::Utf8ToWide(WriteFile("a.bin", data).string()));
    ASSERT_EQ(init->SetChannelSourceFile(nullptr, good, VT_UI1, 1, 0), S_OK);
    CComBSTR missing(vlt::Utf8ToWide((Dir() / "nothing").string()));
    ASSERT_EQ(init->SetChannelSourceFile(nullptr, missing, VT_UI1, 1, 0), E_FAIL);

    uint32_t channels = 9;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, 0u);
    uint64_t total = 0;
    EXPECT_EQ(src->GetTotalSampleCount(0, &total), E_INVALIDARG);
    ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 10));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 3;
    EXPECT_EQ(src->GetChannelData(0, 0, 10, &v, &copied), E_INVALIDARG);
    EXPECT_EQ(copied, 0u);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(0, 0, &value), E_INVALIDARG);
    VARIANT_BOOL interleaved = 1;
    ASSERT_EQ(src->IsSampleInterleavedData(&interleaved), S_OK);
    EXPECT_EQ(interleaved, 0);
}

TEST_F(FileSource, ReinitialisingSwitchesToTheNewFile)
{
    const auto a = Samples<uint8_t>(8);
    const auto b = Samples<uint8_t>(12, 1000);
    auto src = Open(WriteFile("a.bin", a), VT_UI1, 2, 0);
    CComVariant value;
    ASSERT_EQ(src->GetSampleValue(0, 1, &value), S_OK);
    CComBSTR path(vlt::Utf8ToWide(WriteFile("b.bin", b).string()));
    ASSERT_EQ(As<IChanSrcSimpleFileInit>(src)->SetChannelSourceFile(nullptr, path, VT_UI1, 1, 0), S_OK);
    EXPECT_EQ(Total(src), 12u);
    ASSERT_EQ(src->GetSampleValue(0, 1, &value), S_OK);
    EXPECT_EQ(VariantValue<uint8_t>(value), b[1]);
    EXPECT_EQ(ReadAll<uint8_t>(src, 1, 0, 12, 5), b);
}

TEST_F(FileSource, BadArgumentsAreRefused)
{
    auto src = Open(WriteFile("d.bin", Bytes(Samples<uint16_t>(40))), VT_UI2, 2, 0);
    ArrayHolder small(MakeArray(std::vector<uint16_t>(5, 0x1234)));
    VARIANT v = ArrayVariant(small.get(), VT_UI2);
    uint32_t copied = 0;
    EXPECT_EQ(src->GetChannelData(0, 0, 3, &v, &copied), E_INVALIDARG); // 3 frames need 6 elements
    EXPECT_EQ(ArrayAt<uint16_t>(small.get())[4], 0x1234);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, nullptr, &copied), E_POINTER);
    EXPECT_EQ(src->GetChannelData(2, 0, 1, &v, &copied), E_INVALIDARG);
    VARIANT wrong = ArrayVariant(small.get(), VT_I4);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, &wrong, &copied), E_INVALIDARG);
    VARTYPE vt = 0;
    EXPECT_EQ(src->GetChannelSampleType(2, &vt), E_INVALIDARG);
    EXPECT_EQ(src->GetChannelSampleType(1, nullptr), E_POINTER);
    EXPECT_EQ(src->GetTotalSampleCount(0, nullptr), E_POINTER);
    EXPECT_EQ(src->GetSampleValue(0, 0, nullptr), E_POINTER);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(2, 0, &value), E_INVALIDARG);
    EXPECT_EQ(src->RefreshTotalSampleCount(1), E_NOTIMPL);
    EXPECT_EQ(src->ResizeSourceSampleCount(1), E_NOTIMPL);
    VARIANT_BOOL interleaved = 0;
    ASSERT_EQ(src->IsSampleInterleavedData(&interleaved), S_OK);
    EXPECT_EQ(interleaved, 1);
}

} // namespace
