#include "RemoteFileRow.h"

#include "RemoteFileFilter.h"
#include "RemoteFileTexts.h"
#include "RemoteFileTypes.h"

RemoteFileRow RemoteFileRow::ForFile(const CRemoteFileEntry& entry, RemoteFileTypes& types)
{
    RemoteFileRow row;
    row.name = entry.name;
    row.date = remote_files::FormatFileTime(entry.time);
    if (entry.IsDirectory()) {
        row.image = Image::Folder;
        row.type = L"File Folder";
        return row;
    }
    row.size = remote_files::FormatFileSize(entry.size);
    if (!IsShortcut(entry)) {
        const RemoteFileTypes::Type type = types.Lookup(entry.name);
        row.iconName = type.iconName;
        row.type = type.text;
        return row;
    }
    row.shortcut = true;
    row.type = L"Shortcut";
    const size_t dot = entry.name.rfind(L'.');
    if (dot != std::wstring::npos) {
        row.cutExtension = entry.name.substr(dot);
        row.name = entry.name.substr(0, dot);
    }
    if (entry.flags & CRemoteFileEntry::kLinkIsDirFlag)
        row.image = Image::Folder;
    else
        row.iconName = types.Lookup(entry.secondText).iconName;
    return row;
}

RemoteFileRow RemoteFileRow::ForDrive(const CRemoteFileEntry& entry)
{
    RemoteFileRow row;
    row.name = entry.secondText.empty() ? entry.name : entry.secondText + L" (" + entry.name + L")";
    row.image = Image::Drive;
    row.driveType = entry.attributes;
    row.size = remote_files::FormatDriveSize(entry.size, entry.time);
    row.type = remote_files::DriveTypeText(entry.attributes);
    return row;
}

bool RemoteFileRow::Shows(const CRemoteFileEntry& entry, const RemoteFileFilter& filter, int selectedFilter)
{
    if (IsShortcut(entry))
        return (entry.flags & CRemoteFileEntry::kLinkIsDirFlag) || filter.Matches(entry.secondText, selectedFilter);
    return entry.IsDirectory() || filter.Matches(entry.name, selectedFilter);
}
