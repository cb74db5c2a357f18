#include <gtest/gtest.h>

#include "RemoteFileFilter.h"
#include "RemoteFolderHistory.h"

TEST(RemoteFolderHistory, BackNeedsTwoFolders)
{
    RemoteFolderHistory history;
    EXPECT_FALSE(history.CanGoBack());
    history.Add(L"C:\\Data");
    EXPECT_EQ(history.Back(), L"");
    EXPECT_EQ(history.Size(), 1u);
    history.Add(L"C:\\Data\\run");
    ASSERT_TRUE(history.CanGoBack());
    EXPECT_EQ(history.Back(), L"C:\\Data");
    EXPECT_EQ(history.Size(), 1u);
}

TEST(RemoteFolderHistory, UpAndLookIn)
{
    std::wstring up;
    EXPECT_FALSE(RemoteFolderHistory::UpTarget(L"C:", up));
    EXPECT_FALSE(RemoteFolderHistory::CanGoUp(L"C:"));
    EXPECT_TRUE(RemoteFolderHistory::CanGoUp(L"/home"));
    ASSERT_TRUE(RemoteFolderHistory::UpTarget(L"C:\\Data\\run", up));
    EXPECT_EQ(up, L"C:\\Data");
    const auto items = RemoteFolderHistory::LookInItems(L"C:\\Data//run\\");
    ASSERT_EQ(items, (std::vector<std::wstring>{L"C:", L"Data", L"run"}));
    EXPECT_EQ(RemoteFolderHistory::LookInPath(items, 2), L"C:\\Data\\");
    EXPECT_EQ(RemoteFolderHistory::LookInPath(items, 9), L"C:\\Data\\run\\");
    EXPECT_TRUE(RemoteFolderHistory::LookInItems(L"").empty());
}

TEST(RemoteFileFilter, ParsesPairsAndMatches)
{
    RemoteFileFilter filter;
    filter.Parse(L" Settings Files | *.tq8set ; *.XML |All Files (*.*)|*.*|Everything||");
    ASSERT_EQ(filter.Entries().size(), 3u);
    EXPECT_EQ(filter.Entries()[0].description, L"Settings Files");
    EXPECT_EQ(filter.Entries()[0].patterns, (std::vector<std::wstring>{L"*.tq8set", L"*.XML"}));
    EXPECT_TRUE(filter.Entries()[2].patterns.empty());
    EXPECT_TRUE(filter.Matches(L"a.TQ8SET", 0));
    EXPECT_TRUE(filter.Matches(L"b.xml", 0));
    EXPECT_FALSE(filter.Matches(L"c.dat", 0));
    EXPECT_TRUE(filter.Matches(L"link.LNK", 0));
    EXPECT_TRUE(filter.Matches(L"app.desktop", 0));
    EXPECT_TRUE(filter.Matches(L"c.dat", -1));
    EXPECT_TRUE(filter.Matches(L"c.dat", 2));
    EXPECT_TRUE(filter.Matches(L"noext", 1));
    EXPECT_EQ(filter.InitialIndex(2), 1);
    EXPECT_EQ(filter.InitialIndex(0), 0);
    EXPECT_EQ(filter.InitialIndex(4), 0);
}

TEST(RemoteFileFilter, Wildcards)
{
    EXPECT_TRUE(RemoteFileFilter::MatchPattern(L"run01.dat", L"run??.dat"));
    EXPECT_FALSE(RemoteFileFilter::MatchPattern(L"run1.dat", L"run??.dat"));
    EXPECT_TRUE(RemoteFileFilter::MatchPattern(L"", L"*"));
    EXPECT_FALSE(RemoteFileFilter::MatchPattern(L"a", L""));
    EXPECT_TRUE(RemoteFileFilter::MatchPattern(L"a.b.c", L"*.c"));
}

TEST(RemoteFolderHistory, JoinCompareAndRelativePaths)
{
    EXPECT_EQ(RemoteFolderHistory::Join(L"C:\\", L"a"), L"C:\\a");
    EXPECT_EQ(RemoteFolderHistory::Join(L"C:\\Data", L"a"), L"C:\\Data\\a");
    EXPECT_TRUE(RemoteFolderHistory::SameFolder(L"c:\\data\\", L"C:\\Data"));
    EXPECT_FALSE(RemoteFolderHistory::SameFolder(L"C:\\Data2", L"C:\\Data"));
    EXPECT_TRUE(RemoteFolderHistory::SameFolder(L"", L""));
    EXPECT_TRUE(RemoteFolderHistory::IsRelative(L"sub\\file.dat"));
    EXPECT_FALSE(RemoteFolderHistory::IsRelative(L"D:\\file.dat"));
    EXPECT_FALSE(RemoteFolderHistory::IsRelative(L"\\file.dat"));
}
