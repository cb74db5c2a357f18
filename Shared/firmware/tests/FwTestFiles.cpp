#include "FwTestFiles.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

std::string MakeTestDir(const std::string& tag)
{
    const char* base = std::getenv("VLT_TEST_TMP");
    fs::path dir = base && *base ? fs::path(base) : fs::temp_directory_path();
    static int counter = 0;
    dir /= "fwgen-" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(++counter);
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir.string();
}

void WriteTestFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadTestFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool TestFileExists(const std::string& path)
{
    std::error_code ec;
    return fs::exists(path, ec);
}

std::string RunCommand(const std::string& command, int& status)
{
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) {
        status = -1;
        return output;
    }
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, n);
    const int raw = pclose(pipe);
    status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

bool HaveProgram(const std::string& name)
{
    int status = 0;
    RunCommand("command -v " + name + " >/dev/null 2>&1", status);
    return status == 0;
}

#include "FwGenTestEnv.h"

void FwGenTestEnv::MakeTestDirAt(const std::string& path)
{
    fs::create_directories(path);
}
