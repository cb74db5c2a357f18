#include "CRecentServerList.h"

#include <cwctype>

namespace {

bool EqualNoCase(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::towlower(a[i]) != std::towlower(b[i]))
            return false;
    }
    return true;
}

} // namespace

CRecentServerList::CRecentServerList(std::wstring section) : CRecentFileList(std::move(section), L"Server", kSize) {}

void CRecentServerList::AddServer(const std::wstring& entry)
{
    for (size_t i = 0; i < GetSize(); ++i) {
        if (EqualNoCase((*this)[i], entry)) {
            Remove(i);
            break;
        }
    }
    Add(entry);
}

std::wstring CRecentServerList::MakeEntry(const std::wstring& server, uint16_t port)
{
    return server + L"|" + std::to_wstring(port);
}

void CRecentServerList::SplitEntry(const std::wstring& entry, std::wstring& server, std::wstring& port)
{
    const size_t bar = entry.find(L'|');
    server = entry.substr(0, bar);
    port = bar == std::wstring::npos ? std::wstring() : entry.substr(bar + 1);
}
