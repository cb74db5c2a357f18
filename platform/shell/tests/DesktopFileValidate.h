#pragma once
// desktop-file-validate's verdict on a file: empty when it passes.
#include <cstdio>
#include <string>

inline std::string ValidateDesktopFile(const std::string& file)
{
    std::string out;
    FILE* pipe = popen(("desktop-file-validate '" + file + "' 2>&1").c_str(), "r");
    char buf[512];
    while (pipe && fgets(buf, sizeof buf, pipe))
        out += buf;
    const int status = pipe ? pclose(pipe) : -1;
    return status == 0 ? std::string() : out.empty() ? "failed" : out;
}
