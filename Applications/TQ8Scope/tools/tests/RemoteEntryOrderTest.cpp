#include <algorithm>
#include <vector>

#include <gtest/gtest.h>

#include "RemoteEntryOrder.h"
#include "RemoteFileTypes.h"

namespace {

CRemoteFileEntry File(const wchar_t* name, uint64_t size, uint64_t time = 0)
{
    CRemoteFileEntry e;
    e.name = name;
    e.size = size;
    e.time = time;
    return e;
}

CRemoteFileEntry Dir(const wchar_t* name, uint64_t time = 0)
{
    CRemoteFileEntry e = File(name, 0, time);
    e.attributes = CRemoteFileEntry::kDirectoryAttribute;
    return e;
}

std::vector<std::wstring> Sorted(std::vector<CRemoteFileEntry> rows, int column, bool descending)
{
    std::stable_sort(rows.begin(), rows.end(),
                     RemoteEntryOrder(column, descending, false, RemoteFileTypes::Instance()));
    std::vector<std::wstring> names;
    for (const auto& r : rows)
        names.push_back(r.name);
    return names;
}

} // namespace

TEST(RemoteEntryOrder, SizePutsDirectoriesFirstAscendingAndLastDescending)
{
    const std::vector<CRemoteFileEntry> rows = {File(L"big.dat", 5000), Dir(L"sub"), File(L"small.dat", 10)};
    EXPECT_EQ(Sorted(rows, RemoteEntryOrder::kSize, false),
              (std::vector<std::wstring>{L"sub", L"small.dat", L"big.dat"}));
    EXPECT_EQ(Sorted(rows, RemoteEntryOrder::kSize, true),
              (std::vector<std::wstring>{L"big.dat", L"small.dat", L"sub"}));
}

TEST(RemoteEntryOrder, NamesIgnoreCaseAndDatesMixDirectories)
{
    const std::vector<CRemoteFileEntry> rows = {File(L"b.txt", 1, 30), Dir(L"A", 20), File(L"c.txt", 1, 10)};
    EXPECT_EQ(Sorted(rows, RemoteEntryOrder::kName, false), (std::vector<std::wstring>{L"A", L"b.txt", L"c.txt"}));
    EXPECT_EQ(Sorted(rows, RemoteEntryOrder::kDate, false), (std::vector<std::wstring>{L"c.txt", L"A", L"b.txt"}));
}

TEST(RemoteEntryOrder, UnknownTypesComeAfterKnownOnes)
{
    RemoteFileTypes::Instance().Lookup(L"x.txt");
    const std::vector<CRemoteFileEntry> rows = {File(L"a.neverlookedup", 1), File(L"b.txt", 1)};
    EXPECT_EQ(Sorted(rows, RemoteEntryOrder::kType, false),
              (std::vector<std::wstring>{L"b.txt", L"a.neverlookedup"}));
}

TEST(RemoteEntryOrder, HeaderClicks)
{
    int column = 0;
    bool descending = false;
    RemoteEntryOrder::OnHeaderClick(0, column, descending);
    EXPECT_TRUE(descending);
    RemoteEntryOrder::OnHeaderClick(1, column, descending);
    EXPECT_EQ(column, 1);
    EXPECT_FALSE(descending);
}

TEST(RemoteFileTypes, LooksUpByNameAndCaches)
{
    auto& types = RemoteFileTypes::Instance();
    EXPECT_EQ(RemoteFileTypes::ExtensionOf(L"Run.TQ8SET"), L".tq8set");
    EXPECT_EQ(RemoteFileTypes::ExtensionOf(L"noext"), L"");
    const RemoteFileTypes::Type unknown = types.Lookup(L"/no/such/dir/run.qqzz");
    EXPECT_EQ(unknown.text, L"qqzz File");
    std::wstring cached;
    ASSERT_TRUE(types.CachedText(L".qqzz", cached));
    EXPECT_EQ(cached, L"qqzz File");
    EXPECT_FALSE(types.CachedText(L".zzqq", cached));
    EXPECT_FALSE(types.Lookup(L"notes.txt").text.empty());
}
