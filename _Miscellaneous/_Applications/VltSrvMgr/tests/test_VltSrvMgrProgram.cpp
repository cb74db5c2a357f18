// The real program, started as its own process on the offscreen platform.
#include <filesystem>
#include <unistd.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QThread>

#include "AppProfile.h"
#include "AppTestEnv.h"
#include "RegistryStore.h"
#include "ServiceProtocol.h"
#include "TestSupport.h"

using namespace srvtest;

namespace {

// Connected once the program listens on the port, or -1 after a while.
int ConnectWhenListening(uint16_t port)
{
    for (int attempt = 0; attempt < 400; ++attempt) {
        const int fd = ConnectLoopback(port);
        if (fd >= 0)
            return fd;
        QThread::msleep(50);
    }
    return -1;
}

} // namespace

TEST(VltSrvMgrProgram, StartsItsServicesServesAClientAndStopsOnTermination)
{
    AppTestEnv env;
    // Installed in a folder with a blank, its configuration beside it.
    const std::string folder = env.Dir() + "/bin dir";
    std::filesystem::create_directories(folder);
    const std::string program = folder + "/VltSrvMgr";
    std::filesystem::copy_file(VLTSRVMGR_EXE, program);
    // Held until the end: a port merely found free could be taken by another
    // test's client or listener before the program binds it.
    uint16_t port = 0;
    const int reservation = ReservePort(port);
    ASSERT_GE(reservation, 0);
    ASSERT_TRUE(WriteTextFile(folder + "/VltSvcCfg.xml", "<VltServiceCfg><Service Port=\"" + std::to_string(port) +
                                                             "\" Index=\"0\">" PLUGIN_GOOD "</Service></VltServiceCfg>"));
    vlt::AppProfile::WriteInt(L"Settings", L"ProgOptFlags", 0x2);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    QProcess first;
    first.setProcessEnvironment(environment);
    first.start(QString::fromStdString(program), {});
    ASSERT_TRUE(first.waitForStarted(10000));

    const int fd = ConnectWhenListening(port);
    ASSERT_GE(fd, 0) << first.readAllStandardError().toStdString();
    SetClientTimeout(fd, 20);
    std::string reply;
    ASSERT_TRUE(WriteAll(fd, Frame(ConnectRequest("", "ViaC"))));
    ASSERT_TRUE(ReadFrame(fd, reply));
    EXPECT_EQ(reply, kReplySuccess);

    // A second copy ends at once and leaves the first running.
    QProcess second;
    second.setProcessEnvironment(environment);
    second.start(QString::fromStdString(program), {QStringLiteral("-BootTime")});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0) << second.readAllStandardError().toStdString();
    EXPECT_EQ(first.state(), QProcess::Running);

    // The end of the session: the services stop and the options are kept.
    first.terminate();
    ASSERT_TRUE(first.waitForFinished(20000));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0) << first.readAllStandardError().toStdString();
    EXPECT_TRUE(PeerClosed(fd));
    close(fd);
    EXPECT_LT(ConnectLoopback(port), 0);
    close(reservation);
    uint32_t flags = 0;
    ASSERT_TRUE(vlt::RegistryStore::GetDWord(vlt::RegHive::CurrentUser, L"Software\\Veltrane\\VltSrvMgr\\Settings",
                                             L"ProgOptFlags", flags));
    EXPECT_EQ(flags, 0x2u);
}
