#pragma once
// Type texts and icon names of remote files, found by name alone (the
// files are on another computer) and kept for the life of the process.
// Threads: any (the remote file dialogs on the UI thread); the mutex guards the cache.
#include <map>
#include <mutex>
#include <string>

class RemoteFileTypes {
public:
    struct Type {
        std::wstring text;
        std::wstring iconName; // the theme's icon name; empty for the generic file icon
    };

    static RemoteFileTypes& Instance();

    // The extension from the last ".", lower case; empty without one.
    static std::wstring ExtensionOf(const std::wstring& name);
    // Looks the name's extension up, asking the MIME database on a miss.
    Type Lookup(const std::wstring& name);
    // The type text of an extension already looked up; false when absent.
    bool CachedText(const std::wstring& extension, std::wstring& text) const;

private:
    static Type Resolve(const std::wstring& name, const std::wstring& extension);

    mutable std::mutex m_lock;
    std::map<std::wstring, Type> m_cache;
};
