#pragma once
// File helpers shared by the generator's tests.
#include <string>

// A fresh folder under $VLT_TEST_TMP (or the system's temp folder), unique
// to this process and tag.
std::string MakeTestDir(const std::string& tag);
void WriteTestFile(const std::string& path, const std::string& bytes);
std::string ReadTestFile(const std::string& path);
bool TestFileExists(const std::string& path);
// Runs a shell command; its standard output, and its exit status in status.
std::string RunCommand(const std::string& command, int& status);
bool HaveProgram(const std::string& name);
