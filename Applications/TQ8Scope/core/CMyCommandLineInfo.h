#pragma once
// The scope application's command line: a workspace file, a settings,
// firmware or sample-data file to apply, and the switches "virtual",
// "unsafe" and "virtual_sync".
#include <string>
#include <vector>

class CMyCommandLineInfo {
public:
    // The framework's shell commands that matter here.
    enum ShellCommand { FileNew, FileOpen, FileNothing };

    // Arguments without the program name.
    void Parse(const std::vector<std::wstring>& args);

    // One argument: a switch (its leading '-' or '/' removed) or a plain one.
    void ParseParam(const std::wstring& param, bool isSwitch);

    // '-' starts a switch; so does '/' when the rest holds no further '/'
    // and the argument names nothing on disk (so that "/virtual" is a
    // switch and "/data/run.tq8set" a file).
    static bool IsSwitch(const std::wstring& arg);

    ShellCommand m_nShellCommand = FileNew;
    std::wstring m_strFileName;      // the framework's file (open-file command)
    std::wstring m_strWorkspaceFile; // an existing ".tq8ws", of whatever kind
    bool m_bVirtual = false;
    bool m_bUnsafe = false;
    bool m_bVirtualSync = false;
};
