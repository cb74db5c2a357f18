// The board source against virtual boards of the simulated device library.
#include "CComBSTR.h"
#include "CComObject.h"
#include "ChanSrcTestSupport.h"
#include "TQ8Sim.h"
#include "TQ8_64.h"

#include <algorithm>

namespace {

constexpr uint32_t kSerial = 1600;

class BoardSource : public ChanSrcTest {
protected:
    void SetUp() override
    {
        ChanSrcTest::SetUp();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(0.001);
        ASSERT_EQ(ConnectToVirtualDeviceTQ8(&m_board, kSerial, 1), TQ8_OK);
        ASSERT_EQ(GetSampleRamSizeTQ8(m_board, &m_ramSize), TQ8_OK);
    }
    void TearDown() override
    {
        TQ8Sim_Reset();
        ChanSrcTest::TearDown();
    }

    // Acquires `positions` samples holding a known tone on every channel.
    void Acquire(int32_t selection, uint32_t positions)
    {
        ASSERT_EQ(SetActiveChannelsTQ8(m_board, selection), TQ8_OK);
        for (int32_t chan = 0; chan < 4; ++chan) {
            TQ8SIM_SIGNAL sig{sizeof(TQ8SIM_SIGNAL), 0, 10.0 + 7.0 * chan, 60.0 + 10.0 * chan, 1.0, 0.0, -60.0};
            ASSERT_EQ(TQ8Sim_SetSignal(kSerial, chan, &sig), TQ8_OK);
        }
        ASSERT_EQ(AcquireToBoardRamTQ8(m_board, 0, positions, 0, 0), TQ8_OK);
    }
    std::vector<uint8_t> BoardMemory(uint32_t first, uint32_t count)
    {
        std::vector<uint8_t> x(count);
        EXPECT_EQ(ReadSampleRamBufTQ8(m_board, first, count, x.data(), 0), TQ8_OK);
        return x;
    }
    CComPtr<IScopeTQ8ChannelSource> Make(uint32_t totalSamples, const wchar_t* name = L"Board", HRESULT expected = S_OK)
    {
        auto src = Create(L"TQ8UI.CChanSrcBrd");
        CComBSTR bname(name);
        EXPECT_EQ(As<IChanSrcTQ8Init>(src)->SetChanSrcTQ8(m_board, totalSamples, bname), expected);
        return src;
    }
    static uint64_t Total(IScopeTQ8ChannelSource* src)
    {
        uint64_t total = UINT64_MAX;
        EXPECT_EQ(src->GetTotalSampleCount(0, &total), S_OK);
        return total;
    }
    std::wstring ErrorInfo(IScopeTQ8ChannelSource* src)
    {
        CComBSTR text;
        EXPECT_EQ(As<IChanSrcErrorInfo>(src)->GetChanSrcErrorInfo(&text), S_OK);
        return std::wstring(text.View());
    }
    static std::wstring LibraryText(int32_t code)
    {
        wchar_t* text = nullptr;
        EXPECT_EQ(GetErrorTextWTQ8(code, &text, 0, nullptr), TQ8_OK);
        std::wstring s = text ? text : L"";
        FreeMemoryTQ8(text);
        return s;
    }

    TQ8_HANDLE m_board = nullptr;
    uint32_t m_ramSize = 0;
};

TEST_F(BoardSource, AcquiredToneReadsBackAsTheLibraryGivesIt)
{
    constexpr uint32_t kPositions = 1 << 18;
    for (int32_t selection : {0, 1, 5}) {
        SCOPED_TRACE(selection);
        Acquire(selection, kPositions);
        const uint32_t channels = static_cast<uint32_t>(GetChannelCountFromChanSelTQ8(selection));
        auto src = Make(kPositions);
        uint32_t count = 0;
        ASSERT_EQ(src->GetChannelCount(&count), S_OK);
        EXPECT_EQ(count, channels);
        EXPECT_EQ(Total(src), kPositions / channels);
        // Chunks that do not divide the total, as a paint walks the page.
        const auto read = ReadAll<uint8_t>(src, channels, 0, kPositions / channels, 3000);
        EXPECT_EQ(read, BoardMemory(0, kPositions));
        // The tone is there: the last channel swings by far more than its noise.
        uint8_t lo = 255, hi = 0;
        for (size_t i = channels - 1; i < read.size(); i += channels) {
            lo = std::min(lo, read[i]);
            hi = std::max(hi, read[i]);
        }
        EXPECT_GT(hi - lo, 100);
        EXPECT_EQ(ReadAll<uint8_t>(src, channels, 1000, 5000, 65536), BoardMemory(1000 * channels, 5000 * channels));
        EXPECT_EQ(ErrorInfo(src), L"");
        // The transfer ends with the board back in standby.
        EXPECT_EQ(GetOperatingModeTQ8(m_board, 1), TQ8_MODE_STANDBY);
    }
}

TEST_F(BoardSource, TheDriverVersionChoosesSynchronousOrAsynchronousReads)
{
    Acquire(1, 1 << 16);
    // A failing wait shows whether the read waited for its transfer.
    for (auto [version, waits] : {std::pair{0x0001000C0003FFFFull, false}, std::pair{0x0001000C00040000ull, true},
                                  std::pair{0ull, false}}) {
        SCOPED_TRACE(version);
        if (version != 0)
            ASSERT_EQ(TQ8Sim_ReportDriverVersion(kSerial, version), TQ8_OK);
        else // a driver that cannot tell its version
            ASSERT_EQ(TQ8Sim_InjectResult("GetDriverVersionTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
        auto src = Make(1 << 16);
        EXPECT_EQ(ReadAll<uint8_t>(src, 2, 0, 1 << 15, 4096), BoardMemory(0, 1 << 16));
        ASSERT_EQ(TQ8Sim_InjectResult("WaitForTransferCompleteTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
        ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 200));
        VARIANT v = ArrayVariant(dest.get(), VT_UI1);
        uint32_t copied = 0;
        EXPECT_EQ(src->GetChannelData(0, 0, 100, &v, &copied), waits ? E_ABORT : S_OK);
        ASSERT_EQ(TQ8Sim_InjectResult("WaitForTransferCompleteTQ8", 0, 0), TQ8_OK);
    }
}

TEST_F(BoardSource, FailedTransfersReportNothingCopiedAndKeepTheirText)
{
    Acquire(5, 1 << 16);
    constexpr int32_t kUnknownCode = -31999; // the library has no text for it
    constexpr uint64_t kSync = 0x0001000C00030000ull, kAsync = 0x0001000C00040000ull;
    struct Case {
        uint64_t driver;
        const char* function;
        int32_t code;
        HRESULT result;
        const wchar_t* prefix;
    };
    const Case cases[] = {
        {kSync, "ReadSampleRamBufTQ8", TQ8_ERR_OUT_OF_BOUNDS, E_FAIL, L"Synchronous data transfer failed: "},
        {kSync, "ReadSampleRamBufTQ8", kUnknownCode, E_FAIL, L"Synchronous data transfer failed: "},
        {kAsync, "ReadSampleRamBufTQ8", TQ8_ERR_BUSY, E_FAIL, L"Asynchronous data transfer failed to start: "},
        {kAsync, "ReadSampleRamBufTQ8", kUnknownCode, E_FAIL, L"Asynchronous data transfer failed to start: "},
        {kAsync, "WaitForTransferCompleteTQ8", TQ8_ERR_TIMEOUT, E_ABORT, L"Asynchronous data transfer failed: "},
        {kAsync, "WaitForTransferCompleteTQ8", kUnknownCode, E_ABORT, L"Asynchronous data transfer failed: "},
    };
    ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 100));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function + std::string(" ") + std::to_string(c.code));
        ASSERT_EQ(TQ8Sim_ReportDriverVersion(kSerial, c.driver), TQ8_OK);
        auto src = Make(1 << 16);
        ASSERT_EQ(TQ8Sim_InjectResult(c.function, c.code, 1), TQ8_OK);
        uint32_t copied = 9;
        EXPECT_EQ(src->GetChannelData(0, 0, 100, &v, &copied), c.result);
        EXPECT_EQ(copied, 0u);
        const std::wstring expected = std::wstring(c.prefix) + (c.code == kUnknownCode ? L"" : LibraryText(c.code));
        EXPECT_EQ(ErrorInfo(src), expected);
        // A later success leaves the text for whoever asks.
        EXPECT_EQ(src->GetChannelData(0, 0, 100, &v, &copied), S_OK);
        EXPECT_EQ(copied, 100u);
        EXPECT_EQ(ErrorInfo(src), expected);
    }
}

TEST_F(BoardSource, ATimedOutTransferWritesNothingAfterwards)
{
    constexpr uint32_t kBytes = 1 << 20;
    Acquire(5, kBytes);
    auto src = Make(kBytes);
    ASSERT_EQ(TQ8Sim_SetTimeFactor(1000.0), TQ8_OK); // the transfer now takes about a second
    ASSERT_EQ(TQ8Sim_InjectResult("WaitForTransferCompleteTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    ArrayHolder dest(MakeArray(std::vector<uint8_t>(kBytes, 0xEE)));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 9;
    EXPECT_EQ(src->GetChannelData(0, 0, kBytes, &v, &copied), E_ABORT);
    EXPECT_EQ(copied, 0u);
    // The next wait on the board finds no transfer left that could still land in the array.
    EXPECT_EQ(WaitForTransferCompleteTQ8(m_board, 5000), TQ8_OK);
    const uint8_t* out = ArrayAt<uint8_t>(dest.get());
    EXPECT_TRUE(std::all_of(out, out + kBytes, [](uint8_t b) { return b == 0xEE; }));
}

TEST_F(BoardSource, AStaleHandleFailsCleanly)
{
    Acquire(5, 1 << 16);
    auto src = Make(1 << 16);
    ASSERT_EQ(DisconnectFromDeviceTQ8(m_board), TQ8_OK);
    ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 100));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 9;
    // Neither the start nor the wait reaches the board; the wait's failure is the one reported.
    EXPECT_EQ(src->GetChannelData(0, 0, 100, &v, &copied), E_ABORT);
    EXPECT_EQ(copied, 0u);
    EXPECT_EQ(ErrorInfo(src), L"Asynchronous data transfer failed: " + LibraryText(TQ8_ERR_INVALID_HANDLE));
    // Without a limit the total needs the board, which is gone.
    ASSERT_EQ(src->ResizeSourceSampleCount(0), S_OK);
    uint64_t total = 0;
    EXPECT_EQ(src->GetTotalSampleCount(0, &total), E_FAIL);
}

TEST_F(BoardSource, TotalsFollowRamSizeSelectionAndLimit)
{
    ASSERT_EQ(TQ8Sim_ReportRamSize(kSerial, 1u << 29), TQ8_OK);
    ASSERT_EQ(SetActiveChannelsTQ8(m_board, 0), TQ8_OK);
    EXPECT_EQ(Total(Make(0)), 134217728u); // 2^29 / 2 x 2 / 4
    ASSERT_EQ(SetActiveChannelsTQ8(m_board, 5), TQ8_OK);
    EXPECT_EQ(Total(Make(0)), 1u << 28);
    ASSERT_EQ(GetSampleRamSizeTQ8(m_board, &m_ramSize), TQ8_OK);

    for (int32_t selection : {0, 1, 3, 5, 9, 10}) {
        SCOPED_TRACE(selection);
        ASSERT_EQ(SetActiveChannelsTQ8(m_board, selection), TQ8_OK);
        const uint32_t channels = static_cast<uint32_t>(GetChannelCountFromChanSelTQ8(selection));
        const uint32_t factor = (selection == 0 || selection == 3 || selection == 4 || selection == 9) ? 2 : 1;
        auto src = Make(0);
        EXPECT_EQ(Total(src), uint64_t(m_ramSize / 2 * factor / channels));
        ASSERT_EQ(src->ResizeSourceSampleCount(4000), S_OK);
        EXPECT_EQ(Total(src), 4000u / channels);
        ASSERT_EQ(src->RefreshTotalSampleCount(0xFFFFFFFFu), S_OK);
        EXPECT_EQ(Total(src), uint64_t(m_ramSize / channels)); // the limit stops at the RAM size
        VARIANT_BOOL interleaved = 0;
        ASSERT_EQ(src->IsSampleInterleavedData(&interleaved), S_OK);
        EXPECT_EQ(interleaved, channels > 1 ? 1 : 0);
    }
}

TEST_F(BoardSource, ReadsStopAtTheTotalAndAtTheLibraryMaximum)
{
    Acquire(5, 1 << 16);
    auto src = Make(1000);
    ArrayHolder dest(MakeArray(std::vector<uint8_t>(100, 0xEE)));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 0;
    ASSERT_EQ(src->GetChannelData(0, 990, 100, &v, &copied), S_OK);
    EXPECT_EQ(copied, 10u);
    EXPECT_EQ(std::vector<uint8_t>(ArrayAt<uint8_t>(dest.get()), ArrayAt<uint8_t>(dest.get()) + 10),
              BoardMemory(990, 10));
    EXPECT_EQ(ArrayAt<uint8_t>(dest.get())[10], 0xEE);
    EXPECT_EQ(src->GetChannelData(0, 1000, 100, &v, &copied), S_FALSE);
    EXPECT_EQ(copied, 0u);

    // A limit of the whole RAM reaches past what one channel may read.
    uint32_t maximum = 0;
    ASSERT_EQ(GetMaxSampleCountForActiveChanSelTQ8(m_board, 5, &maximum), TQ8_OK);
    ASSERT_EQ(src->ResizeSourceSampleCount(m_ramSize), S_OK);
    ASSERT_GT(Total(src), uint64_t(maximum));
    ASSERT_EQ(src->GetChannelData(0, maximum - 30, 100, &v, &copied), S_OK);
    EXPECT_EQ(copied, 30u);
    EXPECT_EQ(src->GetChannelData(0, maximum, 100, &v, &copied), S_FALSE);
    EXPECT_EQ(copied, 0u);
}

TEST_F(BoardSource, BadRequestsAreRefused)
{
    Acquire(1, 1 << 16);
    auto src = Make(0);
    ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 100));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 0;
    EXPECT_EQ(src->GetChannelData(0, uint64_t(1) << 32, 1, &v, &copied), E_INVALIDARG);
    EXPECT_EQ(src->GetChannelData(0, 0, 51, &v, &copied), E_INVALIDARG); // 51 frames need 102 bytes
    EXPECT_EQ(src->GetChannelData(2, 0, 1, &v, &copied), E_INVALIDARG);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, nullptr, &copied), E_POINTER);
    ArrayHolder words(SafeArrayCreateVector(VT_UI2, 0, 100));
    VARIANT wrong = ArrayVariant(words.get(), VT_UI2);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, &wrong, &copied), E_INVALIDARG);
    VARIANT signedBytes = ArrayVariant(dest.get(), VT_I1);
    EXPECT_EQ(src->GetChannelData(0, 0, 1, &signedBytes, &copied), E_INVALIDARG);
    // A count whose positions would pass 32 bits is cut at the total, not wrapped.
    ASSERT_EQ(src->ResizeSourceSampleCount(0xFFFFFFFFu), S_OK);
    EXPECT_EQ(src->GetChannelData(0, 0xFFFFFFF0u, 50, &v, &copied), S_FALSE);

    VARTYPE vt = 0;
    ASSERT_EQ(src->GetChannelSampleType(1, &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    ASSERT_EQ(src->GetChannelSampleType(7, &vt), S_OK);
    EXPECT_EQ(vt, VT_UI1);
    EXPECT_EQ(src->GetChannelSampleType(0, nullptr), E_POINTER);
    CComVariant value;
    EXPECT_EQ(src->GetSampleValue(0, 0, &value), E_NOTIMPL);
    EXPECT_EQ(src->GetSampleValue(2, 0, &value), E_INVALIDARG);
    EXPECT_EQ(src->GetSampleValue(0, 0, nullptr), E_INVALIDARG);
    uint64_t total = 0;
    EXPECT_EQ(src->GetTotalSampleCount(2, &total), E_INVALIDARG);
    EXPECT_EQ(src->GetTotalSampleCount(0, nullptr), E_POINTER);
    EXPECT_EQ(src->GetChannelCount(nullptr), E_POINTER);
    EXPECT_EQ(As<IChanSrcErrorInfo>(src)->GetChanSrcErrorInfo(nullptr), E_POINTER);
}

TEST_F(BoardSource, NamesComeFromTheCallerOrTheLibrary)
{
    CComBSTR name;
    ASSERT_EQ(Make(0, L"Scope A")->GetChannelSourceName(&name), S_OK);
    EXPECT_EQ(name.View(), L"Scope A");

    wchar_t* libraryName = nullptr;
    ASSERT_EQ(GetBoardNameWTQ8(m_board, &libraryName, TQ8_NAME_SET_PLOT_SOURCE), TQ8_OK);
    const std::wstring expected = libraryName;
    FreeMemoryTQ8(libraryName);
    name.Empty();
    ASSERT_EQ(Make(0, nullptr)->GetChannelSourceName(&name), S_OK);
    EXPECT_EQ(name.View(), expected);

    ASSERT_EQ(TQ8Sim_InjectResult("GetBoardNameWTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    name.Empty();
    ASSERT_EQ(Make(0, L"")->GetChannelSourceName(&name), S_OK);
    EXPECT_EQ(name.View(), L"Virtual TQ3300-4");
}

TEST_F(BoardSource, AnInvalidHandleChangesNothing)
{
    auto src = Create(L"TQ8UI.CChanSrcBrd");
    CComBSTR name(L"x");
    EXPECT_EQ(As<IChanSrcTQ8Init>(src)->SetChanSrcTQ8(nullptr, 0, name), E_FAIL);
    TQ8_HANDLE stale = m_board;
    ASSERT_EQ(DisconnectFromDeviceTQ8(m_board), TQ8_OK);
    EXPECT_EQ(As<IChanSrcTQ8Init>(src)->SetChanSrcTQ8(stale, 0, name), E_FAIL);
    uint32_t channels = 0;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, 1u);
    CComBSTR got;
    ASSERT_EQ(src->GetChannelSourceName(&got), S_OK);
    EXPECT_EQ(got.Length(), 0u);
    CComBSTR error;
    ASSERT_EQ(As<IChanSrcErrorInfo>(src)->GetChanSrcErrorInfo(&error), S_OK);
    EXPECT_TRUE(error.IsNull());
    ArrayHolder dest(SafeArrayCreateVector(VT_UI1, 0, 10));
    VARIANT v = ArrayVariant(dest.get(), VT_UI1);
    uint32_t copied = 0;
    EXPECT_EQ(src->GetChannelData(0, 0, 10, &v, &copied), E_FAIL);
}

TEST_F(BoardSource, ASelectionWithoutChannelsIsRefusedAndChangesNothing)
{
    ASSERT_EQ(SetActiveChannelsTQ8(m_board, 1), TQ8_OK);
    auto src = Make(1000, L"Two channels");
    ASSERT_EQ(TQ8Sim_ReportActiveChannels(kSerial, 77), TQ8_OK); // a code the library cannot count
    CComBSTR name(L"None");
    EXPECT_EQ(As<IChanSrcTQ8Init>(src)->SetChanSrcTQ8(m_board, 0, name), E_FAIL);
    uint32_t channels = 0;
    ASSERT_EQ(src->GetChannelCount(&channels), S_OK);
    EXPECT_EQ(channels, 2u);
    EXPECT_EQ(Total(src), 500u);
    CComBSTR got;
    ASSERT_EQ(src->GetChannelSourceName(&got), S_OK);
    EXPECT_EQ(got.View(), L"Two channels");
}

TEST_F(BoardSource, TheArbiterGatesEveryRead)
{
    Acquire(1, 1 << 16);
    auto src = Make(1 << 16);
    auto arbiter = MakeArbiter();
    arbiter->answer = S_FALSE;
    // Had the board been read, the injected failure would have left a text.
    ASSERT_EQ(TQ8Sim_InjectResult("ReadSampleRamBufTQ8", TQ8_ERR_BUSY, 1), TQ8_OK);
    HRESULT hr = S_OK;
    EXPECT_TRUE(ReadAll<uint8_t>(src, 2, 0, 1000, 100, &hr, arbiter).empty());
    EXPECT_EQ(hr, S_FALSE);
    EXPECT_EQ(arbiter->asked, std::vector<uint32_t>{0});
    EXPECT_EQ(arbiter->needed, std::vector<uint32_t>{0});
    EXPECT_EQ(ErrorInfo(src), L"");
    ASSERT_EQ(TQ8Sim_InjectResult("ReadSampleRamBufTQ8", 0, 0), TQ8_OK);

    arbiter->answer = E_FAIL;
    EXPECT_TRUE(ReadAll<uint8_t>(src, 2, 0, 1000, 100, &hr, arbiter).empty());
    EXPECT_EQ(arbiter->needed.size(), 2u);

    arbiter->answer = S_OK;
    EXPECT_EQ(ReadAll<uint8_t>(src, 2, 0, 1000, 100, &hr, arbiter), BoardMemory(0, 2000));
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(arbiter->asked.size(), 3u);
    EXPECT_EQ(arbiter->needed.size(), 2u);
}

TEST_F(BoardSource, FailureReasonsForTheDataErrorEvent)
{
    Acquire(5, 1 << 16);
    auto src = Make(1 << 16);
    ASSERT_EQ(TQ8Sim_InjectResult("ReadSampleRamBufTQ8", TQ8_ERR_BUSY, 1), TQ8_OK);
    HRESULT hr = S_OK;
    ReadAll<uint8_t>(src, 1, 0, 100, 100, &hr);
    EXPECT_EQ(hr, E_FAIL);
    EXPECT_EQ(sourcefetch::SourceFailureReason(src, 0, hr),
              L"Asynchronous data transfer failed to start: " + LibraryText(TQ8_ERR_BUSY));

    // A source without its own text gets the general one; so does a board source with none yet.
    EXPECT_EQ(sourcefetch::SourceFailureReason(Make(0), 3, E_FAIL),
              L"Failed to obtain data for data source 3 (HRESULT=0x80004005)");
    EXPECT_EQ(sourcefetch::SourceFailureReason(Create(L"TQ8UI.SimpleChannelSrc"), 12, E_INVALIDARG),
              L"Failed to obtain data for data source 12 (HRESULT=0x80070057)");
}

} // namespace
