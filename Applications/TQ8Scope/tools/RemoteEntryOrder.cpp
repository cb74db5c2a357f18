#include "RemoteEntryOrder.h"

#include <algorithm>
#include <cwctype>
#include <string>

#include "RemoteFileTypes.h"

namespace {

int CompareNoCase(const std::wstring& a, const std::wstring& b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        const wint_t x = std::towlower(a[i]);
        const wint_t y = std::towlower(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

int CompareUnsigned(uint64_t a, uint64_t b)
{
    return a == b ? 0 : (a < b ? -1 : 1);
}

} // namespace

RemoteEntryOrder::RemoteEntryOrder(int column, bool descending, bool computerLevel, const RemoteFileTypes& types)
    : m_column(column), m_descending(descending), m_computerLevel(computerLevel), m_types(types)
{
}

int RemoteEntryOrder::Compare(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const
{
    const int result = CompareAscending(a, b);
    return m_descending ? -result : result;
}

int RemoteEntryOrder::CompareAscending(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const
{
    if (m_computerLevel)
        return CompareNoCase(a.name, b.name);
    if (a.IsDirectory() != b.IsDirectory() && m_column != kDate)
        return a.IsDirectory() ? -1 : 1;
    switch (m_column) {
    case kSize: return CompareUnsigned(a.size, b.size);
    case kType: return CompareTypes(a, b);
    case kDate: return CompareUnsigned(a.time, b.time);
    default: return CompareNoCase(a.name, b.name);
    }
}

int RemoteEntryOrder::CompareTypes(const CRemoteFileEntry& a, const CRemoteFileEntry& b) const
{
    if (a.IsDirectory())
        return CompareNoCase(a.name, b.name);
    std::wstring ta, tb;
    const bool ha = m_types.CachedText(RemoteFileTypes::ExtensionOf(a.name), ta);
    const bool hb = m_types.CachedText(RemoteFileTypes::ExtensionOf(b.name), tb);
    if (ha != hb)
        return ha ? -1 : 1;
    const int byType = ha ? CompareNoCase(ta, tb) : 0;
    return byType != 0 ? byType : CompareNoCase(a.name, b.name);
}

void RemoteEntryOrder::OnHeaderClick(int clicked, int& column, bool& descending)
{
    if (clicked == column) {
        descending = !descending;
        return;
    }
    column = clicked;
    descending = false;
}
