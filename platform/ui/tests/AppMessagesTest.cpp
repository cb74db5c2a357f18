#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "TestApp.h"
#include <QTest>
#include <QThread>

#include "AppMessages.h"

namespace {

class Receiver : public QObject, public vlt::IAppMessageTarget {
public:
    struct Msg {
        unsigned msg;
        uintptr_t w;
        intptr_t l;
        bool onOwnThread;
    };
    std::vector<Msg> got;

    intptr_t OnAppMessage(unsigned msg, uintptr_t w, intptr_t l) override
    {
        got.push_back({msg, w, l, QThread::currentThread() == thread()});
        return static_cast<intptr_t>(w) + l;
    }
};

} // namespace

TEST(AppMessages, PostedFromWorkersArriveOnTheUiThreadInOrderPerSender)
{
    App();
    Receiver receiver;
    constexpr int kPerThread = 200;
    std::vector<std::thread> workers;
    for (int t = 0; t < 3; ++t)
        workers.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i)
                vlt::PostAppMessage(&receiver, WM_APP + 11, static_cast<uintptr_t>(i), t);
        });
    for (auto& w : workers)
        w.join();
    QTRY_COMPARE_WITH_TIMEOUT(receiver.got.size(), size_t(3 * kPerThread), 10000);
    int next[3] = {0, 0, 0};
    for (const auto& m : receiver.got) {
        EXPECT_TRUE(m.onOwnThread);
        EXPECT_EQ(m.msg, WM_APP + 11);
        ASSERT_GE(m.l, 0);
        ASSERT_LT(m.l, 3);
        EXPECT_EQ(m.w, static_cast<uintptr_t>(next[m.l]++));
    }
}

TEST(AppMessages, SendFromWorkerWaitsForTheResult)
{
    App();
    Receiver receiver;
    std::atomic<intptr_t> result{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = vlt::SendAppMessage(&receiver, WM_APP + 11, 40, 2);
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 10000);
    worker.join();
    EXPECT_EQ(result.load(), 42);
    ASSERT_EQ(receiver.got.size(), 1u);
    EXPECT_TRUE(receiver.got[0].onOwnThread);
}

TEST(AppMessages, SendOnOwnThreadIsDirect)
{
    App();
    Receiver receiver;
    EXPECT_EQ(vlt::SendAppMessage(&receiver, WM_APP, 1, 1), 2);
    EXPECT_EQ(receiver.got.size(), 1u);
}

TEST(AppMessages, PostedCommandCarriesTheId)
{
    App();
    Receiver receiver;
    EXPECT_TRUE(vlt::PostCommand(&receiver, 32804));
    EXPECT_TRUE(receiver.got.empty()); // posted, not sent
    QTRY_COMPARE_WITH_TIMEOUT(receiver.got.size(), size_t(1), 10000);
    EXPECT_EQ(receiver.got[0].msg, WM_COMMAND);
    EXPECT_EQ(receiver.got[0].w, 32804u);
}

TEST(AppMessages, TargetsThatTakeNoMessagesAndDeadTargets)
{
    App();
    QObject plain;
    EXPECT_FALSE(vlt::PostAppMessage(&plain, WM_APP));
    EXPECT_FALSE(vlt::PostAppMessage(nullptr, WM_APP));
    EXPECT_EQ(vlt::SendAppMessage(&plain, WM_APP, 1, 1), 0);
    // A message queued for a window that is destroyed before it runs is dropped.
    auto* doomed = new Receiver;
    EXPECT_TRUE(vlt::PostAppMessage(doomed, WM_APP + 2));
    delete doomed;
    QCoreApplication::processEvents();
    SUCCEED();
}
