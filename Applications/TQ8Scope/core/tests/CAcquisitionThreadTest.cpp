#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>
#include <vector>

#include <QObject>

#include "AppMessages.h"
#include "CAcquisitionThread.h"
#include "DocTestSupport.h"

namespace {

class Receiver : public QObject, public vlt::IAppMessageTarget {
public:
    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override
    {
        if (msg == WM_APP)
            completions.push_back({wParam, lParam});
        return 0;
    }
    std::vector<std::pair<uintptr_t, intptr_t>> completions;
};

class AcquisitionThreadTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        App();
        TQ8Sim_Reset();
        TQ8Sim_SetTimeFactor(doc_test::kFastTime);
        ASSERT_EQ(ConnectToVirtualDeviceTQ8(&device, 1600, 0), 0);
    }
    void TearDown() override { TQ8Sim_Reset(); }

    CAcquisitionThread::Request Request(uint64_t sequence, uint32_t count = 32768)
    {
        CAcquisitionThread::Request r;
        r.sequence = sequence;
        r.operation = CAcquisitionThread::kOpAcquireToBoardRam;
        r.sampleCount = count;
        return r;
    }

    TQ8_HANDLE device = nullptr;
    Receiver receiver;
};

} // namespace

TEST(AcquisitionThreadCodes, CompletionCarriesSequenceAndSuccess)
{
    const uintptr_t ok = CAcquisitionThread::EncodeCompletion(41, 0);
    const uintptr_t cancelled = CAcquisitionThread::EncodeCompletion(42, TQ8_ERR_CANCELLED);
    const uintptr_t failed = CAcquisitionThread::EncodeCompletion(43, TQ8_ERR_GENERAL);
    EXPECT_TRUE(CAcquisitionThread::IsSuccess(ok));
    EXPECT_TRUE(CAcquisitionThread::IsSuccess(cancelled));
    EXPECT_FALSE(CAcquisitionThread::IsSuccess(failed));
    EXPECT_EQ(CAcquisitionThread::SequenceOf(ok), 41u);
    EXPECT_EQ(CAcquisitionThread::SequenceOf(cancelled), 42u);
    EXPECT_EQ(CAcquisitionThread::SequenceOf(failed), 43u);
}

TEST_F(AcquisitionThreadTest, UnknownOperationAndEmptyCount)
{
    CAcquisitionThread::Request r = Request(1);
    r.operation = CAcquisitionThread::kOpRecording;
    EXPECT_EQ(CAcquisitionThread::RunOperation(device, r), TQ8_ERR_UNSUPPORTED_ACQ);
    r.operation = 99;
    EXPECT_EQ(CAcquisitionThread::RunOperation(device, r), TQ8_ERR_UNSUPPORTED_ACQ);
    // A count of 0 calls nothing: the injected failure stays unused.
    TQ8Sim_InjectResult("AcquireToBoardRamTQ8", TQ8_ERR_GENERAL, 1);
    EXPECT_EQ(CAcquisitionThread::RunOperation(device, Request(2, 0)), 0);
    EXPECT_EQ(AcquireToBoardRamTQ8(device, 0, 32768, 0, 0), TQ8_ERR_GENERAL);
}

TEST_F(AcquisitionThreadTest, OneCompletionPerOperation)
{
    CAcquisitionThread thread(&receiver);
    ASSERT_EQ(thread.Start(device), 0);
    for (uint64_t seq = 1; seq <= 3; ++seq) {
        thread.Run(Request(seq));
        ASSERT_TRUE(doc_test::PumpUntil([&] { return receiver.completions.size() == seq; }));
    }
    doc_test::Drain();
    ASSERT_EQ(receiver.completions.size(), 3u);
    for (uint64_t seq = 1; seq <= 3; ++seq) {
        EXPECT_EQ(CAcquisitionThread::SequenceOf(receiver.completions[seq - 1].first), seq);
        EXPECT_EQ(receiver.completions[seq - 1].second, 0);
    }
    thread.Stop();
    EXPECT_FALSE(thread.IsRunning());
}

TEST_F(AcquisitionThreadTest, FailurePostsItsCode)
{
    CAcquisitionThread thread(&receiver);
    ASSERT_EQ(thread.Start(device), 0);
    TQ8Sim_InjectResult("AcquireToBoardRamTQ8", TQ8_ERR_BUSY, 1);
    thread.Run(Request(1));
    ASSERT_TRUE(doc_test::PumpUntil([&] { return receiver.completions.size() == 1; }));
    EXPECT_FALSE(CAcquisitionThread::IsSuccess(receiver.completions[0].first));
    EXPECT_EQ(receiver.completions[0].second, TQ8_ERR_BUSY);
}

TEST_F(AcquisitionThreadTest, StandbyOnTheDocumentHandleEndsABlockingCall)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    CAcquisitionThread thread(&receiver);
    ASSERT_EQ(thread.Start(device), 0);
    thread.Run(Request(1, doc_test::kSlowSamples));
    ASSERT_TRUE(doc_test::WaitUntilAcquiring(device));
    ASSERT_EQ(SetOperatingModeTQ8(device, TQ8_MODE_STANDBY), 0);
    ASSERT_TRUE(doc_test::PumpUntil([&] { return receiver.completions.size() == 1; }));
    EXPECT_TRUE(CAcquisitionThread::IsSuccess(receiver.completions[0].first));
    EXPECT_EQ(receiver.completions[0].second, TQ8_ERR_CANCELLED);
}

TEST_F(AcquisitionThreadTest, StopAfterStandbyJoinsDuringAcquisition)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    {
        CAcquisitionThread thread(&receiver);
        ASSERT_EQ(thread.Start(device), 0);
        thread.Run(Request(1, doc_test::kSlowSamples));
        ASSERT_TRUE(doc_test::WaitUntilAcquiring(device));
        SetOperatingModeTQ8(device, TQ8_MODE_STANDBY);
        thread.Stop();
        EXPECT_FALSE(thread.IsRunning());
    }
    // The completion posted before the join may still arrive; nothing else does.
    doc_test::Drain();
    EXPECT_LE(receiver.completions.size(), 1u);
}

TEST_F(AcquisitionThreadTest, FailedDuplicateLeavesNoThreadAndALaterStartWorks)
{
    CAcquisitionThread thread(&receiver);
    TQ8Sim_InjectResult("DuplicateHandleTQ8", TQ8_ERR_NO_MEMORY, 1);
    EXPECT_EQ(thread.Start(device), TQ8_ERR_NO_MEMORY);
    EXPECT_FALSE(thread.IsRunning());
    ASSERT_EQ(thread.Start(device), 0);
    EXPECT_TRUE(thread.IsRunning());
    thread.Run(Request(7));
    ASSERT_TRUE(doc_test::PumpUntil([&] { return receiver.completions.size() == 1; }));
    EXPECT_EQ(CAcquisitionThread::SequenceOf(receiver.completions[0].first), 7u);
}

TEST_F(AcquisitionThreadTest, RefusedEventOrThreadLeavesNoThreadAndALaterStartWorks)
{
    struct Restore {
        ~Restore() { CAcquisitionThread::Creation() = {}; }
    } restore;
    CAcquisitionThread::Makers& makers = CAcquisitionThread::Creation();
    makers.event = []() -> std::unique_ptr<CAutoResetEvent> {
        throw std::system_error(ENOMEM, std::generic_category());
    };
    CAcquisitionThread thread(&receiver);
    EXPECT_EQ(thread.Start(device), CAcquisitionThread::kEventNotCreated);
    EXPECT_EQ(thread.GetLastError(), ENOMEM);
    makers.event = nullptr;
    makers.thread = [](std::function<void()>) -> std::thread {
        throw std::system_error(EAGAIN, std::generic_category());
    };
    EXPECT_EQ(thread.Start(device), CAcquisitionThread::kThreadNotCreated);
    EXPECT_EQ(thread.GetLastError(), EAGAIN);
    EXPECT_FALSE(thread.IsRunning());
    thread.Stop(device); // nothing to join
    makers.thread = nullptr;
    ASSERT_EQ(thread.Start(device), 0);
    thread.Run(Request(4));
    ASSERT_TRUE(doc_test::PumpUntil([&] { return receiver.completions.size() == 1; }));
    EXPECT_EQ(CAcquisitionThread::SequenceOf(receiver.completions[0].first), 4u);
}

TEST_F(AcquisitionThreadTest, ASecondSignalForTheSameOperationRunsNothing)
{
    CAcquisitionThread thread(&receiver);
    ASSERT_EQ(thread.Start(device), 0);
    thread.Run(Request(1));
    thread.Run(Request(1));
    ASSERT_TRUE(doc_test::PumpUntil([&] { return receiver.completions.size() == 1; }));
    thread.Stop();
    doc_test::Drain();
    EXPECT_EQ(receiver.completions.size(), 1u);
}

TEST_F(AcquisitionThreadTest, StopWithTheDeviceEndsAnOperationThatHasJustBegun)
{
    TQ8Sim_SetTimeFactor(doc_test::kSlowTime);
    {
        CAcquisitionThread thread(&receiver);
        ASSERT_EQ(thread.Start(device), 0);
        thread.Run(Request(1, doc_test::kSlowSamples));
        EXPECT_TRUE(thread.IsBusy());
        // No wait for the call to start: the stop keeps ending it until it has.
        thread.Stop(device);
        EXPECT_FALSE(thread.IsRunning());
        EXPECT_FALSE(thread.IsBusy());
    }
    doc_test::Drain();
    EXPECT_LE(receiver.completions.size(), 1u);
}
