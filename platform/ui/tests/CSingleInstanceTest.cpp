#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <memory>
#include <thread>
#include <vector>

#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>

#include "TestApp.h"
#include <QSignalSpy>
#include <QTest>
#include <QThread>
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
    const QString path = CSingleInstance::ServerName(title);
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

TEST(CSingleInstance, OnlyOneOfSimultaneousClaimsWins)
{
    App();
    const std::wstring title = UniqueTitle("race");
    constexpr int kClaimers = 8;
    std::barrier start(kClaimers);
    std::barrier done(kClaimers);
    std::atomic<int> winners{0};
    // Qt threads: the claim's socket needs one.
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < kClaimers; ++i) {
        threads.emplace_back(QThread::create([&] {
            CSingleInstance instance(title);
            start.arrive_and_wait();
            if (instance.Claim())
                ++winners;
            // Held until every claim has been tried.
            done.arrive_and_wait();
        }));
        threads.back()->start();
    }
    for (auto& t : threads)
        t->wait();
    EXPECT_EQ(winners, 1);
}

TEST(CSingleInstance, SocketLivesInAFolderOnlyTheUserCanEnter)
{
    App();
    // A runtime folder that others may enter is not used.
    char shared[] = "/tmp/vlt-shared-XXXXXX";
    ASSERT_NE(::mkdtemp(shared), nullptr);
    ::chmod(shared, 0755);
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", shared, 1);
    const QString dir = CSingleInstance::RuntimeDir();
    const QString name = CSingleInstance::ServerName(UniqueTitle("private"));
    if (old)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    ::rmdir(shared);
    EXPECT_NE(dir.toStdString(), shared);
    EXPECT_TRUE(name.startsWith(dir + QLatin1Char('/')));
    struct stat info {};
    ASSERT_EQ(::lstat(dir.toStdString().c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_uid, ::getuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST(CSingleInstance, RuntimeFolderTooLongForASocketStillGuards)
{
    App();
    char base[] = "/tmp/vlt-long-XXXXXX";
    ASSERT_NE(::mkdtemp(base), nullptr);
    const std::string longDir = std::string(base) + "/" + std::string(100, 'r');
    ASSERT_EQ(::mkdir(longDir.c_str(), 0700), 0);
    const char* old = std::getenv("XDG_RUNTIME_DIR");
    const std::string saved = old ? old : "";
    setenv("XDG_RUNTIME_DIR", longDir.c_str(), 1);
    const std::wstring title = UniqueTitle("long");
    bool firstClaimed = false;
    bool secondClaimed = true;
    std::string error;
    {
        CSingleInstance first(title);
        firstClaimed = first.Claim();
        error = first.LastError();
        CSingleInstance second(title);
        secondClaimed = second.Claim();
    }
    if (old)
        setenv("XDG_RUNTIME_DIR", saved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    QDir(QString::fromStdString(base)).removeRecursively();
    EXPECT_TRUE(firstClaimed) << error;
    EXPECT_FALSE(secondClaimed);
}

TEST(CSingleInstance, RaiseWaitsForAHolderThatIsStillStarting)
{
    App();
    const std::wstring title = UniqueTitle("starting");
    const QString name = CSingleInstance::ServerName(title);
    // A holder that has its lock but listens only a little later.
    const int lock = ::open((name.toStdString() + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_GE(lock, 0);
    ASSERT_EQ(::flock(lock, LOCK_EX), 0);
    std::atomic<bool> done{false};
    std::atomic<bool> raised{false};
    std::thread asker([&] {
        raised = CSingleInstance::RaiseRunning(title, 20000);
        done = true;
    });
    QTest::qWait(200);
    QLocalServer server;
    ASSERT_TRUE(server.listen(name));
    QObject::connect(&server, &QLocalServer::newConnection, [&server] {
        QLocalSocket* socket = server.nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, [socket] {
            if (socket->readLine(64) == "activate\n")
                socket->write("ok\n");
        });
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    asker.join();
    ::close(lock);
    EXPECT_TRUE(raised);
}

TEST(CSingleInstance, HiddenMinimisedWindowComesBackNormal)
{
    App();
    QWidget window;
    window.showMinimized();
    window.hide();
    CSingleInstance::BringToFront(&window);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
}

TEST(CSingleInstance, WaitingClaimTakesTheTitleWhenTheHolderGoes)
{
    App();
    const std::wstring title = UniqueTitle("waiting");
    auto holder = std::make_unique<CSingleInstance>(title);
    EXPECT_TRUE(holder->ClaimWhenFree(20)) << "nobody holds it: claimed at once";
    CSingleInstance later(title);
    EXPECT_FALSE(later.ClaimWhenFree(20));
    QTest::qWait(100);
    EXPECT_FALSE(later.IsClaimed());
    holder.reset();
    QTRY_VERIFY_WITH_TIMEOUT(later.IsClaimed(), 10000);
    QWidget window;
    later.SetWindow(&window);
    EXPECT_TRUE(RaiseFromOtherThread(title));
}
