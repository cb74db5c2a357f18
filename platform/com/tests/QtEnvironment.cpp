// A GUI application for the tests that read the palette.
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace {
class QtEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        static int argc = 1;
        static char name[] = "vlt_com_tests";
        static char* argv[] = {name, nullptr};
        // No display in test runs, whatever the caller's environment says.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        m_app = new QGuiApplication(argc, argv);
    }
    void TearDown() override { delete m_app; }

private:
    QGuiApplication* m_app = nullptr;
};

[[maybe_unused]] ::testing::Environment* const g_env = ::testing::AddGlobalTestEnvironment(new QtEnvironment);
} // namespace
