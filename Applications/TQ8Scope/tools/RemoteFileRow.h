#pragma once
// What one row of the remote file dialog's list shows for an entry, and
// which entries get a row, apart from the widgets.
#include <cstdint>
#include <string>

#include "CRemoteFileEntry.h"

class RemoteFileFilter;
class RemoteFileTypes;

struct RemoteFileRow {
    enum class Image { Folder, Type, Drive };

    std::wstring name;
    std::wstring size;
    std::wstring type;
    std::wstring date;
    Image image = Image::Type;
    std::wstring iconName;    // Image::Type: the theme's icon, empty for the generic file
    uint32_t driveType = 0;   // Image::Drive
    bool shortcut = false;    // drawn with the shortcut arrow
    std::wstring cutExtension; // what the Name column left off a shortcut's name

    // A folder's entry (file, folder or shortcut).
    static RemoteFileRow ForFile(const CRemoteFileEntry& entry, RemoteFileTypes& types);
    // A drive at the computer level.
    static RemoteFileRow ForDrive(const CRemoteFileEntry& entry);
    // A folder's entry gets a row when it is a folder or passes the filter;
    // a shortcut when its target is a folder or the target passes.
    static bool Shows(const CRemoteFileEntry& entry, const RemoteFileFilter& filter, int selectedFilter);
    static bool IsShortcut(const CRemoteFileEntry& entry) { return !entry.secondText.empty(); }
};
