// The real program, started as its own processes on the offscreen platform.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include <sys/stat.h>

#include <QApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>

#include "CMainFrame.h"
#include "CSingleInstance.h"
#include "FwGenTestEnv.h"

namespace {

// The other tests of the program may have made the application already.
void App()
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char arg0[] = "userfwgen_ui_tests";
    static char* argv[] = {arg0, nullptr};
    if (!qApp)
        new QApplication(argc, argv);
}

// A runtime folder of the test's own, for the programs and for this process,
// so that no generator of the user's or of another test answers.
class PrivateRuntimeDir {
public:
    explicit PrivateRuntimeDir(const std::string& path) : m_path(path)
    {
        if (const char* kept = std::getenv("XDG_RUNTIME_DIR"))
            m_kept = kept;
        ::mkdir(path.c_str(), 0700);
        setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
    }
    ~PrivateRuntimeDir()
    {
        if (m_kept)
            setenv("XDG_RUNTIME_DIR", m_kept->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::string m_path;
    std::optional<std::string> m_kept;
};

class Generator {
public:
    explicit Generator(const QProcessEnvironment& environment)
    {
        m_process.setProcessEnvironment(environment);
        m_process.setProgram(QStringLiteral(USERFWGEN_EXE));
    }
    ~Generator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    bool Start()
    {
        m_process.start();
        return m_process.waitForStarted(10000);
    }
    QProcess& Process() { return m_process; }

private:
    QProcess m_process;
};

} // namespace

TEST(GeneratorProgram, SecondStartKeepsBothWindowsAndTheLastOneStaysFindable)
{
    App();
    FwGenTestEnv env("program");
    PrivateRuntimeDir runtime(env.Path("run"));
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(env.Path("config")));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), QString::fromStdString(env.Path("data")));

    Generator first(environment);
    ASSERT_TRUE(first.Start());
    QTRY_VERIFY_WITH_TIMEOUT(CSingleInstance::IsRunning(kGeneratorTitle), 20000);

    Generator second(environment);
    ASSERT_TRUE(second.Start());
    // A copy that refused to run would have ended long before.
    EXPECT_FALSE(second.Process().waitForFinished(3000)) << second.Process().readAllStandardError().toStdString();
    // The scope application's look-up finds the first one meanwhile.
    EXPECT_TRUE(CSingleInstance::RaiseRunning(kGeneratorTitle, 10000));
    EXPECT_EQ(first.Process().state(), QProcess::Running);

    // With the first one gone, the second is found: it kept running with its
    // window and took the title over.
    first.Process().terminate();
    ASSERT_TRUE(first.Process().waitForFinished(20000));
    QTRY_VERIFY_WITH_TIMEOUT(CSingleInstance::IsRunning(kGeneratorTitle), 20000);
    EXPECT_TRUE(CSingleInstance::RaiseRunning(kGeneratorTitle, 10000));
    EXPECT_EQ(second.Process().state(), QProcess::Running)
        << second.Process().readAllStandardError().toStdString();
}
