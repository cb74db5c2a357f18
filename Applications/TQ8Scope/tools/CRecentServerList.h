#pragma once
// The recent servers of a connect dialog: ten "Server%d" entries of
// "server|port" in one profile section. Entries are plain texts compared
// without regard to letter case.
#include <cstdint>
#include <string>

#include "CRecentFileList.h"

class CRecentServerList : public CRecentFileList {
public:
    static constexpr size_t kSize = 10;

    explicit CRecentServerList(std::wstring section);

    // Puts the entry first; an entry equal but for letter case moves up
    // instead of being duplicated, and the oldest drops out of a full list.
    void AddServer(const std::wstring& entry);

    static std::wstring MakeEntry(const std::wstring& server, uint16_t port);
    // The texts before and after the first "|"; the port text is empty
    // when there is no "|".
    static void SplitEntry(const std::wstring& entry, std::wstring& server, std::wstring& port);
};
