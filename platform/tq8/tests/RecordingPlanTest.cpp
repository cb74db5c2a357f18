#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "CTransferQueue.h"
#include "RecordingPlan.h"

using namespace tq8;

namespace {
struct Records {
    TQ8_FILE_WRITE_PARAMS fw{};
    TQ8_REC_SESSION_PARAMS rp{};
    Records()
    {
        fw.Fwp_ss = sizeof fw;
        fw.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
        fw.Fwp_path1 = "/tmp/a.rd8";
        rp.Rsp_ss = sizeof rp;
        rp.Rsp_flags = TQ8_RSP_FLAGS_VIA_BOARD | TQ8_RSP_FLAG_SNAPSHOTS;
        rp.Rsp_acqSamples = 4096;
        rp.Rsp_snapshotSamples = 512;
        rp.Rsp_snapshotIntervalMs = 250;
        rp.Rsp_fileWrite = &fw;
    }
};
} // namespace

TEST(RecordingPlan, CopiesEveryField)
{
    Records r;
    r.fw.Fwp_path2 = "/tmp/b.rd8";
    r.fw.Fwp_opNotes = "note";
    r.fw.Fwp_tsPath = "/tmp/a.tq8ts";
    r.fw.Fwp_hdrskp = 64;
    r.fw.Fwp_maxseg = 1 << 20;
    r.fw.Fwp_chanSel = 3;
    r.rp.Rsp_samplesToRecord = 123;
    r.rp.Rsp_transferSamples = 1024;
    RecordingPlan plan;
    ASSERT_EQ(CopyRecordingParams(&r.rp, plan), TQ8_OK);
    EXPECT_EQ(plan.flags, 0x72u);
    EXPECT_TRUE(plan.snapshots);
    EXPECT_EQ(plan.snapshotSamples, 512u);
    EXPECT_EQ(plan.snapshotIntervalMs, 250u);
    EXPECT_EQ(plan.samplesToRecord, 123u);
    EXPECT_EQ(plan.transferSamples, 1024u);
    EXPECT_EQ(plan.path, "/tmp/a.rd8");
    EXPECT_EQ(plan.otherPaths[0], "/tmp/b.rd8");
    EXPECT_EQ(plan.otherPaths[1], "");
    EXPECT_EQ(plan.notes, "note");
    EXPECT_EQ(plan.timestampPath, "/tmp/a.tq8ts");
    EXPECT_EQ(plan.headerBytes, 64u);
    EXPECT_EQ(plan.maxSegmentBytes, 1u << 20);
    EXPECT_EQ(plan.chanSel, 3);
    EXPECT_TRUE(plan.WantsContextFile());
}

TEST(RecordingPlan, SnapshotFieldsOnlyWithTheirFlag)
{
    Records r;
    r.rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
    r.rp.Rsp_snapshotSamples = 0;
    RecordingPlan plan;
    ASSERT_EQ(CopyRecordingParams(&r.rp, plan), TQ8_OK);
    EXPECT_FALSE(plan.snapshots);
    EXPECT_EQ(plan.snapshotIntervalMs, 0u);
}

TEST(RecordingPlan, RefusalLeavesTheOutputAlone)
{
    Records r;
    RecordingPlan plan;
    plan.path = "before";
    r.fw.Fwp_flags = TQ8_FWP_TEXT;
    r.fw.Fwp_maxseg = 4096; // text cannot span files
    EXPECT_EQ(CopyRecordingParams(&r.rp, plan), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(plan.path, "before");
}

TEST(RecordingPlan, SizesAgainstTheBoard)
{
    BoardDescription desc;
    desc.serial = 1;
    desc.ramSize = 0x100000;
    CBoardSettings settings(desc);
    RecordingPlan plan;
    plan.acqSamples = 0x100000;
    EXPECT_EQ(CheckRecordingSizes(plan, settings), TQ8_OK);
    plan.acqSamples = 0x100010;
    EXPECT_EQ(CheckRecordingSizes(plan, settings), TQ8_ERR_OUT_OF_BOUNDS);
    plan.acqSamples = 3; // less than a four-channel frame
    EXPECT_EQ(CheckRecordingSizes(plan, settings), TQ8_ERR_INVALID_ARG);
    plan.acqSamples = 4096;
    plan.headerBytes = 100;
    plan.maxSegmentBytes = 103;
    EXPECT_EQ(CheckRecordingSizes(plan, settings), TQ8_ERR_INVALID_ARG);
    plan.maxSegmentBytes = 104;
    EXPECT_EQ(CheckRecordingSizes(plan, settings), TQ8_OK);
}

// The queue between board and files maps no more than the ring, whatever
// the transfer size: a block takes whole pages, so a small transfer makes
// fewer blocks, not a larger mapping.
TEST(RecordingPlan, TransferBlocksStayWithinTheRing)
{
    constexpr uint64_t kRing = 16u << 20;
    for (uint32_t channels : {1u, 2u, 4u}) {
        for (uint32_t transfer : {0u, 1u, 3u, TQ8_REC_MIN_TRANSFER_SAMPLES, TQ8_REC_MIN_TRANSFER_SAMPLES + 1, 5000u, 65537u,
                                  uint32_t(kRing / 2 + 1), 0xFFFFFFFFu}) {
            SCOPED_TRACE(std::to_string(channels) + " channels, transfer " + std::to_string(transfer));
            RecordingPlan plan;
            plan.acqSamples = 1u << 26;
            plan.transferSamples = transfer;
            const TransferLayout layout = PlanTransfers(plan, channels, kRing);
            EXPECT_EQ(layout.transferSamples % channels, 0u);
            EXPECT_GE(layout.queueSlots, 2u);
            const uint64_t stride = CTransferQueue::BlockStride(layout.transferSamples);
            EXPECT_LE(layout.queueSlots * stride, std::max<uint64_t>(kRing, 2 * stride));
        }
    }
    // An acquisition smaller than a transfer is moved whole.
    RecordingPlan plan;
    plan.acqSamples = 1000;
    EXPECT_EQ(PlanTransfers(plan, 4, kRing).transferSamples, 1000u);
    EXPECT_EQ(PlanTransfers(plan, 4, kRing).acqSamples, 1000u);
}
