#pragma once
// One QApplication for the whole test program, on the offscreen platform
// unless the environment names another; and a private scratch folder.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <unistd.h>

#include <QApplication>
#include <gtest/gtest.h>

inline QApplication& App()
{
    static QApplication* app = [] {
        if (!std::getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        static int argc = 1;
        static char arg0[] = "tq8scope_core_tests";
        static char* argv[] = {arg0, nullptr};
        return new QApplication(argc, argv);
    }();
    return *app;
}

// An empty folder of the test's own, removed afterwards.
class ScratchDir {
public:
    ScratchDir()
    {
        const char* base = std::getenv("VLT_TEST_TMP");
        std::filesystem::path dir = base ? base : std::filesystem::temp_directory_path().string();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir /= std::string("shell_") + std::to_string(getpid()) + "_" + info->test_suite_name() + "_" + info->name();
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        m_path = dir;
    }
    ~ScratchDir() { std::filesystem::remove_all(m_path); }
    const std::filesystem::path& Path() const { return m_path; }
    std::string Str() const { return m_path.string(); }

private:
    std::filesystem::path m_path;
};
