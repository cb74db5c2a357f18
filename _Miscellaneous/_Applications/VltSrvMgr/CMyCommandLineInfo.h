#pragma once
// The service host's command line: the switch "-BootTime" (or "/BootTime",
// any letter case), which its log-on entry passes. Everything else is
// accepted and ignored: the program opens no files.
#include <string>
#include <vector>

class CMyCommandLineInfo {
public:
    // One parameter; flag: it began with '-' or '/', which param no longer holds.
    void ParseParam(const std::string& param, bool flag);
    // The program's arguments without the program's own name.
    void ParseArguments(const std::vector<std::string>& arguments);

    bool m_bBootTime = false;
};
