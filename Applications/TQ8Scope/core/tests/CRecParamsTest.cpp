#include <cmath>
#include <cstring>
#include <limits>
#include <memory>

#include <gtest/gtest.h>

#include "CRecParams.h"
#include "CRecParamsManager.h"
#include "DevMgrTestSupport.h"
#include "MessageBox.h"

namespace {

template <class T>
T At(const TQ8_REC_SESSION_PARAMS& record, size_t offset)
{
    T value;
    std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
    return value;
}

bool AllZero(const TQ8_REC_SESSION_PARAMS& record, size_t from, size_t to)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&record);
    for (size_t i = from; i < to; ++i)
        if (bytes[i] != 0)
            return false;
    return true;
}

} // namespace

TEST(CRecParamsTest, Defaults)
{
    CRecParams p;
    EXPECT_EQ(p.RecType, 0);
    EXPECT_EQ(p.RecDurType, 0);
    EXPECT_EQ(p.DurSamples, 104857600u);
    EXPECT_EQ(p.DurMs, 60000u);
    EXPECT_EQ(p.AcqSamples, 1048576u);
    EXPECT_EQ(p.GetFileWriteParams().Fwp_ss, 104u);
    EXPECT_EQ(p.GetFileWriteParams().Fwp_path1, nullptr);
}

TEST(CRecParamsTest, TimeDurationOfHalfASecondAt250MHzOnTwoChannels)
{
    uint64_t samples = 0;
    ASSERT_TRUE(CRecParams::SamplesForTime(250.0, 500, 2, samples));
    EXPECT_EQ(samples, 250000000u);
    ASSERT_TRUE(CRecParams::SamplesForTime(0.0015, 1, 3, samples));
    EXPECT_EQ(samples, 3u) << "whole samples per channel, truncated";
}

TEST(CRecParamsTest, TimeDurationRefusesWhatDoesNotFit)
{
    uint64_t samples = 7;
    EXPECT_FALSE(CRecParams::SamplesForTime(1500.0, std::numeric_limits<uint64_t>::max(), 1, samples));
    EXPECT_FALSE(CRecParams::SamplesForTime(std::nan(""), 10, 1, samples));
    EXPECT_FALSE(CRecParams::SamplesForTime(std::numeric_limits<double>::infinity(), 10, 1, samples));
    EXPECT_FALSE(CRecParams::SamplesForTime(-250.0, 10, 1, samples));
    EXPECT_FALSE(CRecParams::SamplesForTime(250.0, 10, 0, samples));
    EXPECT_FALSE(CRecParams::SamplesForTime(250.0, 10, -2, samples));
    // Fits per channel, overflows times four channels.
    EXPECT_FALSE(CRecParams::SamplesForTime(1000.0, 10000000000000ULL, 4, samples));
    EXPECT_EQ(samples, 7u);
}

TEST(CRecParamsTest, DurationTypesWithoutABoard)
{
    CRecParams p;
    uint64_t samples = 1;
    p.RecDurType = 0;
    ASSERT_TRUE(p.GetDurationSamples(nullptr, samples));
    EXPECT_EQ(samples, 0u);
    p.RecDurType = 1;
    p.DurSamples = 123456789012ULL;
    ASSERT_TRUE(p.GetDurationSamples(nullptr, samples));
    EXPECT_EQ(samples, 123456789012ULL);
    p.RecDurType = 7;
    ASSERT_TRUE(p.GetDurationSamples(nullptr, samples));
    EXPECT_EQ(samples, 0u);
}

TEST(CRecParamsTest, TimeDurationFailsWhenTheRateCannotBeRead)
{
    CRecParams p;
    p.RecDurType = 2;
    uint64_t samples = 5;
    EXPECT_FALSE(p.GetDurationSamples(nullptr, samples));
    EXPECT_EQ(samples, 5u);
    CRecParamsManager m;
    TQ8_REC_SESSION_PARAMS r{};
    EXPECT_FALSE(p.BuildSessionParams(nullptr, m, r, nullptr));
}

TEST(CRecParamsTest, SessionRecordHoldsEachFieldAtItsOffset)
{
    CRecParamsManager m;
    m.TransferSamples = 65536;
    CRecParams p;
    p.RecType = 1;
    p.RecDurType = 1;
    p.DurSamples = 0x1122334455ULL;
    p.AcqSamples = 262144;
    p.DestFileOpts.Pathname1 = L"rec.rd8";
    TQ8_REC_SESSION_PARAMS r;
    std::memset(&r, 0xCD, sizeof r);
    ASSERT_TRUE(p.BuildSessionParams(nullptr, m, r, L"/base"));
    EXPECT_EQ(At<uint32_t>(r, 0), 72u);
    EXPECT_EQ(At<uint32_t>(r, 4), 0x52u);
    EXPECT_EQ(At<uint64_t>(r, 8), 0x1122334455ULL);
    EXPECT_EQ(At<uint32_t>(r, 16), 262144u);
    EXPECT_EQ(At<uint32_t>(r, 20), 65536u);
    const auto* fwp = At<const TQ8_FILE_WRITE_PARAMS*>(r, 24);
    ASSERT_EQ(fwp, &p.GetFileWriteParams());
    EXPECT_STREQ(fwp->Fwp_path1, "/base/rec.rd8");
    EXPECT_TRUE(AllZero(r, 32, 72));

    p.RecType = 0;
    ASSERT_TRUE(p.BuildSessionParams(nullptr, m, r, nullptr));
    EXPECT_EQ(r.Rsp_flags, 0x51u);
    EXPECT_STREQ(r.Rsp_fileWrite->Fwp_path1, "rec.rd8");
}

TEST(CRecParamsTest, UnknownRecordingTypeFails)
{
    CRecParamsManager m;
    CRecParams p;
    p.RecType = 2;
    TQ8_REC_SESSION_PARAMS r{};
    EXPECT_FALSE(p.BuildSessionParams(nullptr, m, r, nullptr));
    p.RecType = -1;
    EXPECT_FALSE(p.BuildSessionParams(nullptr, m, r, nullptr));
}

TEST(CRecParamsTest, CancelledNamedStreamQuestionFailsTheSession)
{
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDCANCEL);
    CRecParamsManager m;
    CRecParams p;
    p.DestFileOpts.Template.Fwp_flags = 0x300;
    p.DestFileOpts.Pathname1 = L"/tmp/x.rd8";
    TQ8_REC_SESSION_PARAMS r{};
    EXPECT_FALSE(p.BuildSessionParams(nullptr, m, r, nullptr));
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST(CRecParamsTest, CopyDoesNotPointIntoItsSource)
{
    CRecParamsManager m;
    auto source = std::make_unique<CRecParams>();
    source->DestFileOpts.Pathname1 = L"/data/one.rd8";
    source->DestFileOpts.OpNotes = L"notes";
    source->RecDurType = 1;
    source->DurSamples = 42;
    TQ8_REC_SESSION_PARAMS r{};
    ASSERT_TRUE(source->BuildSessionParams(nullptr, m, r, nullptr));
    ASSERT_NE(source->GetFileWriteParams().Fwp_path1, nullptr);

    CRecParams copy(*source);
    CRecParams assigned;
    assigned = *source;
    source.reset(); // the source's texts are gone now
    for (const CRecParams* p : {&copy, &assigned}) {
        const TQ8_FILE_WRITE_PARAMS& f = p->GetFileWriteParams();
        EXPECT_EQ(f.Fwp_path1, nullptr);
        EXPECT_EQ(f.Fwp_opNotes, nullptr);
        EXPECT_EQ(p->DurSamples, 42u);
        EXPECT_EQ(p->DestFileOpts.Pathname1, L"/data/one.rd8");
    }
    // A rebuild points into the copy itself.
    ASSERT_TRUE(copy.BuildSessionParams(nullptr, m, r, nullptr));
    EXPECT_STREQ(r.Rsp_fileWrite->Fwp_path1, "/data/one.rd8");
    EXPECT_STREQ(r.Rsp_fileWrite->Fwp_opNotes, "notes");
}

class CRecParamsBoardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        DEVMGR_REQUIRE_SIMULATOR();
        TQ8Sim_Reset();
    }
    void TearDown() override
    {
        if (devmgr_test::SimulatorAvailable())
            TQ8Sim_Reset();
    }
};

TEST_F(CRecParamsBoardTest, TimeDurationFromTheBoardsRateAndChannels)
{
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&h, 1600, 1), TQ8_OK);
    ASSERT_EQ(SetAdcClockSourceTQ8(h, 0), TQ8_OK);
    ASSERT_EQ(SetInternalAdcClockRateTQ8(h, 250.0), TQ8_OK);
    ASSERT_EQ(SetActiveChannelsTQ8(h, 1), TQ8_OK); // Ch12
    double rate = 0;
    ASSERT_EQ(GetEffectiveAcqRateTQ8(h, &rate), TQ8_OK);
    ASSERT_EQ(rate, 250.0);
    CRecParams p;
    p.RecDurType = 2;
    p.DurMs = 500;
    uint64_t samples = 0;
    ASSERT_TRUE(p.GetDurationSamples(h, samples));
    EXPECT_EQ(samples, 250000000u);
    DisconnectFromDeviceTQ8(h);
}

TEST_F(CRecParamsBoardTest, FailedRateQueryFailsTheSession)
{
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&h, 1600, 1), TQ8_OK);
    ASSERT_EQ(TQ8Sim_InjectResult("GetEffectiveAcqRateTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    CRecParams p;
    p.RecDurType = 2;
    CRecParamsManager m;
    TQ8_REC_SESSION_PARAMS r{};
    EXPECT_FALSE(p.BuildSessionParams(h, m, r, nullptr));
    EXPECT_TRUE(p.BuildSessionParams(h, m, r, nullptr)) << "the next query answers again";
    DisconnectFromDeviceTQ8(h);
}

// To the library a length of 0 samples means no limit: a limit that comes to
// no samples (0 samples, 0 ms) is refused, never recorded without end.
TEST_F(CRecParamsBoardTest, ALimitOfNoSamplesIsRefused)
{
    TQ8_HANDLE h = nullptr;
    ASSERT_EQ(ConnectToVirtualDeviceTQ8(&h, 1600, 1), TQ8_OK);
    CRecParamsManager m;
    CRecParams p;
    p.DestFileOpts.Pathname1 = L"rec.rd8";
    TQ8_REC_SESSION_PARAMS r{};
    p.RecDurType = CRecParams::kDurSamples;
    p.DurSamples = 0;
    EXPECT_FALSE(p.BuildSessionParams(h, m, r, nullptr));
    p.RecDurType = CRecParams::kDurTime;
    p.DurMs = 0;
    EXPECT_FALSE(p.BuildSessionParams(h, m, r, nullptr));
    p.DurMs = 1;
    ASSERT_TRUE(p.BuildSessionParams(h, m, r, nullptr));
    EXPECT_NE(r.Rsp_samplesToRecord, 0u);
    p.RecDurType = CRecParams::kDurNoLimit;
    ASSERT_TRUE(p.BuildSessionParams(h, m, r, nullptr));
    EXPECT_EQ(r.Rsp_samplesToRecord, 0u);
    DisconnectFromDeviceTQ8(h);
}
