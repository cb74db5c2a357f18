#include "CFirmwareUploadWorker.h"

#include <QObject>

#include "AppMessages.h"
#include "UploadTestSupport.h"

using upload_test::PumpUntil;

namespace {

struct Message {
    unsigned msg;
    uintptr_t wParam;
    intptr_t lParam;
};

// Records the worker's messages; answers stages only while told to.
class Recorder : public QObject, public vlt::IAppMessageTarget {
public:
    intptr_t OnAppMessage(unsigned msg, uintptr_t wParam, intptr_t lParam) override
    {
        messages.push_back({msg, wParam, lParam});
        if (msg == WM_APP + 10 && lParam)
            finishText = reinterpret_cast<const wchar_t*>(lParam);
        if (msg == WM_APP + 11 && answerStages && worker)
            worker->StageShown();
        return 0;
    }
    size_t Count(unsigned msg) const
    {
        size_t n = 0;
        for (const Message& m : messages)
            n += m.msg == msg;
        return n;
    }
    std::vector<Message> messages;
    std::wstring finishText;
    bool answerStages = true;
    CFirmwareUploadWorker* worker = nullptr;
};

class UploadWorkerTest : public doc_tools_test::DocToolsTest {
protected:
    void SetUp() override
    {
        DocToolsTest::SetUp();
        board = devices->ConnectVirtualDevice(kSerial);
        ASSERT_NE(board, nullptr);
        path = upload_test::WritePackage(MakeTestDir("worker"), "two", {});
        recorder.worker = &worker;
    }
    bool Finished() const { return recorder.Count(WM_APP + 10) > 0; }

    TQ8_HANDLE board = nullptr;
    std::wstring path;
    Recorder recorder;
    CFirmwareUploadWorker worker{&recorder};
};

} // namespace

TEST_F(UploadWorkerTest, StagesProgressWaitAndFinishInOrder)
{
    int error = -1;
    ASSERT_TRUE(worker.Start(board, path, error));
    EXPECT_EQ(error, 0);
    int refused = 0;
    EXPECT_FALSE(worker.Start(board, path, refused)); // one upload at a time
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    worker.Join();
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_EQ(worker.OutFlags(), 0u);

    std::vector<unsigned> order;
    for (const Message& m : recorder.messages)
        if (order.empty() || order.back() != m.msg)
            order.push_back(m.msg);
    const std::vector<unsigned> expected = {WM_APP + 11, WM_APP + 12, WM_APP + 11, WM_APP + 12,
                                            WM_APP + 13, WM_APP + 10};
    EXPECT_EQ(order, expected);
    ASSERT_EQ(recorder.Count(WM_APP + 11), 2u);
    EXPECT_EQ(recorder.messages.front().wParam, 1u);
    EXPECT_EQ(recorder.messages.front().lParam, 2);
    const Message& last = recorder.messages.back();
    EXPECT_EQ(last.wParam, 0u);
    EXPECT_EQ(last.lParam, 0);
    const Message& waitOver = recorder.messages[recorder.messages.size() - 2];
    EXPECT_EQ(waitOver.msg, WM_APP + 13u);
    EXPECT_EQ(waitOver.lParam, 0);
}

TEST_F(UploadWorkerTest, WaitsUntilTheStageIsShown)
{
    recorder.answerStages = false;
    int error = 0;
    ASSERT_TRUE(worker.Start(board, path, error));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(WM_APP + 11) == 1; }));
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(recorder.messages.size(), 1u);
    EXPECT_TRUE(worker.IsRunning());
    recorder.answerStages = true;
    worker.StageShown();
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    EXPECT_EQ(recorder.Count(WM_APP + 11), 2u);
}

TEST_F(UploadWorkerTest, StopReleasesAPendingStageAndSilencesTheRest)
{
    recorder.answerStages = false;
    int error = 0;
    ASSERT_TRUE(worker.Start(board, path, error));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Count(WM_APP + 11) == 1; }));
    worker.Stop();
    EXPECT_FALSE(worker.IsRunning());
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(recorder.messages.size(), 1u);
    // The library's upload itself went on to its end.
    wchar_t* text = nullptr;
    ASSERT_EQ(GetVersionTextWTQ8(board, TQ8_VERSION_SYSTEM_FPGA, &text, 64), TQ8_OK);
    EXPECT_STREQ(text, L"1.2.0.0");
    FreeMemoryTQ8(text);
}

TEST_F(UploadWorkerTest, FinishCarriesTheCodeAndTheLibrarysText)
{
    ASSERT_EQ(TQ8Sim_InjectResult("UploadFirmwareWTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    int error = 0;
    ASSERT_TRUE(worker.Start(board, path, error));
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    worker.Join();
    const Message& finish = recorder.messages.back();
    EXPECT_EQ(static_cast<int32_t>(static_cast<intptr_t>(finish.wParam)), TQ8_ERR_TIMEOUT);
    wchar_t* expected = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_TIMEOUT, &expected, 0, board), TQ8_OK);
    EXPECT_EQ(recorder.finishText, expected);
    FreeMemoryTQ8(expected);

    // No text for an unknown code: the finish carries none.
    ASSERT_EQ(TQ8Sim_InjectResult("UploadFirmwareWTQ8", -12345, 1), TQ8_OK);
    recorder.messages.clear();
    ASSERT_TRUE(worker.Start(board, path, error));
    ASSERT_TRUE(PumpUntil([&] { return Finished(); }));
    EXPECT_EQ(recorder.messages.back().lParam, 0);
}
