#include "RemoteFolderHistory.h"

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
