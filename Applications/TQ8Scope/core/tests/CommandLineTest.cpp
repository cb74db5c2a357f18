#include <gtest/gtest.h>

#include <fstream>

#include "CMyCommandLineInfo.h"
#include "TestApp.h"
#include "TextConv.h"

namespace {
std::wstring Touch(const ScratchDir& dir, const std::string& name)
{
    std::string path = dir.Str() + "/" + name;
    std::ofstream(path) << "<TQ8Scope_Workspace/>";
    return vlt::Utf8ToWide(path);
}
} // namespace

TEST(CommandLine, ExistingWorkspaceInCapitalsIsTheWorkspaceFile)
{
    ScratchDir dir;
    const std::wstring ws = Touch(dir, "Lab.TQ8WS");
    CMyCommandLineInfo info;
    info.Parse({ws});
    EXPECT_EQ(info.m_strWorkspaceFile, ws);
    EXPECT_TRUE(info.m_strFileName.empty());
    EXPECT_EQ(info.m_nShellCommand, CMyCommandLineInfo::FileNew);
}

TEST(CommandLine, MissingWorkspaceBecomesThePlainFile)
{
    ScratchDir dir;
    const std::wstring ws = vlt::Utf8ToWide(dir.Str() + "/gone.tq8ws");
    CMyCommandLineInfo info;
    info.Parse({ws});
    EXPECT_TRUE(info.m_strWorkspaceFile.empty());
    EXPECT_EQ(info.m_strFileName, ws);
    EXPECT_EQ(info.m_nShellCommand, CMyCommandLineInfo::FileOpen);
}

TEST(CommandLine, SwitchesWithSlashOrDashInAnyCase)
{
    for (const wchar_t* arg : {L"/virtual", L"-virtual", L"-VIRTUAL", L"/Virtual"}) {
        CMyCommandLineInfo info;
        info.Parse({arg});
        EXPECT_TRUE(info.m_bVirtual) << vlt::WideToUtf8(arg);
        EXPECT_FALSE(info.m_bVirtualSync);
        EXPECT_TRUE(info.m_strFileName.empty());
    }
    CMyCommandLineInfo sync;
    sync.Parse({L"-virtual_sync"});
    EXPECT_TRUE(sync.m_bVirtualSync);
    EXPECT_FALSE(sync.m_bVirtual);
    CMyCommandLineInfo unsafe;
    unsafe.Parse({L"/UNSAFE", L"-whatever"});
    EXPECT_TRUE(unsafe.m_bUnsafe);
    EXPECT_FALSE(unsafe.m_bVirtual);
    EXPECT_EQ(unsafe.m_nShellCommand, CMyCommandLineInfo::FileNew);
}

TEST(CommandLine, AbsolutePathsAreNotSwitches)
{
    ScratchDir dir;
    const std::wstring set = Touch(dir, "board.tq8set");
    EXPECT_FALSE(CMyCommandLineInfo::IsSwitch(set));
    EXPECT_TRUE(CMyCommandLineInfo::IsSwitch(L"/virtual"));
    EXPECT_FALSE(CMyCommandLineInfo::IsSwitch(L"/"));
    EXPECT_FALSE(CMyCommandLineInfo::IsSwitch(L"/tmp"));
    CMyCommandLineInfo info;
    info.Parse({L"-virtual", set, L"second.tq8set"});
    EXPECT_TRUE(info.m_bVirtual);
    EXPECT_EQ(info.m_strFileName, set);
    EXPECT_EQ(info.m_nShellCommand, CMyCommandLineInfo::FileOpen);
}
