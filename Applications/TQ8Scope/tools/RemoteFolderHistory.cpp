#include "RemoteFolderHistory.h"

#include <cwctype>

namespace {

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

std::wstring WithoutTrailingSeparators(const std::wstring& folder)
{
    size_t end = folder.size();
    while (end > 0 && IsSeparator(folder[end - 1]))
        --end;
    return folder.substr(0, end);
}

} // namespace

std::wstring RemoteFolderHistory::Back()
{
    if (!CanGoBack())
        return {};
    m_folders.pop_back();
    return m_folders.back();
}

bool RemoteFolderHistory::CanGoUp(const std::wstring& folder)
{
    return folder.find_first_of(L"\\/") != std::wstring::npos;
}

bool RemoteFolderHistory::UpTarget(const std::wstring& folder, std::wstring& target)
{
    const size_t slash = folder.rfind(L'\\');
    if (slash == std::wstring::npos)
        return false;
    target = folder.substr(0, slash);
    return true;
}

std::vector<std::wstring> RemoteFolderHistory::LookInItems(const std::wstring& folder)
{
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start <= folder.size()) {
        size_t end = folder.find_first_of(L"\\/", start);
        if (end == std::wstring::npos)
            end = folder.size();
        if (end > start)
            items.push_back(folder.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::wstring RemoteFolderHistory::LookInPath(const std::vector<std::wstring>& items, size_t k)
{
    std::wstring path;
    for (size_t i = 0; i < k && i < items.size(); ++i)
        path += items[i] + L"\\";
    return path;
}

std::wstring RemoteFolderHistory::Join(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && IsSeparator(folder.back()))
        return folder + name;
    return folder + L"\\" + name;
}

bool RemoteFolderHistory::SameFolder(const std::wstring& a, const std::wstring& b)
{
    const std::wstring x = WithoutTrailingSeparators(a);
    const std::wstring y = WithoutTrailingSeparators(b);
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (std::towlower(x[i]) != std::towlower(y[i]))
            return false;
    }
    return true;
}

bool RemoteFolderHistory::IsRelative(const std::wstring& path)
{
    if (!path.empty() && IsSeparator(path[0]))
        return false;
    return !(path.size() >= 2 && path[1] == L':');
}
