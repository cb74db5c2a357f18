#pragma once
// The folders the remote file dialog visited (the last is the current one)
// and the paths its look-in list, Back and Up lead to.
#include <string>
#include <vector>

class RemoteFolderHistory {
public:
    void Add(const std::wstring& folder) { m_folders.push_back(folder); }
    bool CanGoBack() const { return m_folders.size() >= 2; }
    // Drops the current folder; the folder to go back to, or empty when
    // fewer than two were visited (nothing changes then).
    std::wstring Back();
    size_t Size() const { return m_folders.size(); }
    const std::wstring& Last() const { return m_folders.back(); }

    // "Up One Level" is offered for a folder with a separator.
    static bool CanGoUp(const std::wstring& folder);
    // The text before the last "\"; false without one.
    static bool UpTarget(const std::wstring& folder, std::wstring& target);
    // The non-empty components of the folder split at "\" and "/".
    static std::vector<std::wstring> LookInItems(const std::wstring& folder);
    // Items 1..k of the look-in list, each followed by "\".
    static std::wstring LookInPath(const std::vector<std::wstring>& items, size_t k);

    // The folder, "\" and the name; a folder that ends in a separator gets
    // no second one.
    static std::wstring Join(const std::wstring& folder, const std::wstring& name);
    // Letter case and trailing separators ignored.
    static bool SameFolder(const std::wstring& a, const std::wstring& b);
    // Neither from a drive ("C:") nor from the top ("\").
    static bool IsRelative(const std::wstring& path);

private:
    std::vector<std::wstring> m_folders;
};
