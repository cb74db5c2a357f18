#include <gtest/gtest.h>

#include "RemoteFileFilter.h"
#include "RemoteFileRow.h"
#include "RemoteFileTypes.h"

namespace {

CRemoteFileEntry Entry(const wchar_t* name, const wchar_t* link = L"", uint32_t flags = 0)
{
    CRemoteFileEntry entry;
    entry.name = name;
    entry.secondText = link;
    entry.flags = flags;
    return entry;
}

} // namespace

TEST(RemoteFileRow, ShortcutsFoldersAndTheFilter)
{
    RemoteFileFilter filter;
    filter.Parse(L"Data (*.dat)|*.dat||");
    RemoteFileTypes& types = RemoteFileTypes::Instance();

    const CRemoteFileEntry link = Entry(L"run.desktop", L"C:\\Data\\run.dat");
    const RemoteFileRow row = RemoteFileRow::ForFile(link, types);
    EXPECT_EQ(row.name, L"run");
    EXPECT_EQ(row.cutExtension, L".desktop");
    EXPECT_EQ(row.type, L"Shortcut");
    EXPECT_TRUE(row.shortcut);
    EXPECT_TRUE(RemoteFileRow::Shows(link, filter, 0));
    EXPECT_FALSE(RemoteFileRow::Shows(Entry(L"x.txt.lnk", L"C:\\x.txt"), filter, 0));
    const CRemoteFileEntry toFolder = Entry(L"data", L"C:\\Data", CRemoteFileEntry::kLinkIsDirFlag);
    EXPECT_TRUE(RemoteFileRow::Shows(toFolder, filter, 0));
    EXPECT_EQ(RemoteFileRow::ForFile(toFolder, types).image, RemoteFileRow::Image::Folder);

    CRemoteFileEntry folder = Entry(L"sub.d");
    folder.attributes = CRemoteFileEntry::kDirectoryAttribute;
    EXPECT_TRUE(RemoteFileRow::Shows(folder, filter, 0));
    EXPECT_EQ(RemoteFileRow::ForFile(folder, types).size, L"");
    EXPECT_FALSE(RemoteFileRow::Shows(Entry(L"a.txt"), filter, 0));

    CRemoteFileEntry drive = Entry(L"C:\\", L"Data");
    drive.attributes = 3;
    EXPECT_EQ(RemoteFileRow::ForDrive(drive).name, L"Data (C:\\)");
    EXPECT_EQ(RemoteFileRow::ForDrive(drive).size, L"");
}
