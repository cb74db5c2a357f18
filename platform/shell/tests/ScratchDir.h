#pragma once
// A fresh scratch folder per test under VLT_TEST_TMP.
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

inline std::string ShellScratchDir()
{
    const char* base = std::getenv("VLT_TEST_TMP");
    const std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    std::filesystem::path dir = std::filesystem::path(base ? base : "/tmp")
        / ("shell-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return std::filesystem::canonical(dir).string();
}
