#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "TestApp.h"
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "CSingleInstance.h"

namespace {

std::wstring UniqueTitle(const char* what)
{
    return L"TQ3300 test window " + std::to_wstring(getpid()) + L" " + std::wstring(what, what + strlen(what));
}

// Raising must not run on the holder's thread (the holder answers from its
// event loop), so the asking side runs on a thread of its own.
bool RaiseFromOtherThread(const std::wstring& title)
{
    std::atomic<bool> done{false};
    std::atomic<bool> raised{false};
    std::thread asker([&] {
        raised = CSingleInstance::RaiseRunning(title);
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    asker.join();
    return raised;
}

} // namespace

TEST(CSingleInstance, SecondClaimOfTheSameTitleFails)
{
    App();
    const std::wstring title = UniqueTitle("claim");
    CSingleInstance first(title);
    ASSERT_TRUE(first.Claim());
    CSingleInstance second(title);
    EXPECT_FALSE(second.Claim());
    EXPECT_TRUE(CSingleInstance::IsRunning(title));
    // Titles differ in case only: another program.
    CSingleInstance other(title + L"X");
    EXPECT_TRUE(other.Claim());
}

TEST(CSingleInstance, RaiseReachesTheHolderAndItsWindow)
{
    App();
    const std::wstring title = UniqueTitle("raise");
    QWidget window;
    window.showMinimized();
    CSingleInstance holder(title);
    ASSERT_TRUE(holder.Claim());
    holder.SetWindow(&window);
    QSignalSpy spy(&holder, &CSingleInstance::raiseRequested);
    EXPECT_TRUE(RaiseFromOtherThread(title));
    EXPECT_EQ(spy.count(), 1);
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(window.isVisible());
}

TEST(CSingleInstance, NobodyToRaiseOnceTheHolderHasGone)
{
    App();
    const std::wstring title = UniqueTitle("gone");
    {
        CSingleInstance holder(title);
        ASSERT_TRUE(holder.Claim());
    }
    EXPECT_FALSE(CSingleInstance::IsRunning(title));
    EXPECT_FALSE(RaiseFromOtherThread(title));
    CSingleInstance next(title);
    EXPECT_TRUE(next.Claim());
}

TEST(CSingleInstance, StaleSocketFileIsTakenOver)
{
    App();
    const std::wstring title = UniqueTitle("stale");
    // A listener that vanished without removing its socket file.
    const QString path = QDir::tempPath() + QLatin1Char('/') + CSingleInstance::ServerName(title);
    const std::string native = path.toStdString();
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(native.size(), sizeof(addr.sun_path));
    std::memcpy(addr.sun_path, native.c_str(), native.size() + 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_FALSE(CSingleInstance::IsRunning(title));
    CSingleInstance holder(title);
    EXPECT_TRUE(holder.Claim());
}
