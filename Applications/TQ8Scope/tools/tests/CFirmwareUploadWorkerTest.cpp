#include "CFirmwareUploadWorker.h"

#include <algorithm>

#include <QObject>

#include "AppMessages.h"
#include "UploadTestSupport.h"

using upload_test::PumpUntil;

namespace {

// Records the worker's messages; answers stages only while told to.
class Recorder : public QObject, public vlt::IAppMessageTarget {
public:
    intptr_t OnAppMessage(unsigned msg, uintptr_t, intptr_t) override
    {
        messages.push_back(msg);
        if (msg == WM_APP + 11 && answerStages && worker)
            worker->StageShown();
        return 0;
    }
    size_t Count(unsigned msg) const
    {
        return static_cast<size_t>(std::count(messages.begin(), messages.end(), msg));
    }
    std::vector<unsigned> messages;
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
    EXPECT_FALSE(worker.Start(board, path, error)); // one upload at a time
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
