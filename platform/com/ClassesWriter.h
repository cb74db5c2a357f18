#pragma once
// Writes an in-process server's registration into the user's classes root
// (Software\Classes); remembers the first failure, after which it writes
// nothing more.
#include <string>

namespace vlt {

class ClassesWriter {
public:
    // The key's default value.
    void Default(const std::wstring& key, const std::wstring& value) { Named(key, L"", value); }
    void Named(const std::wstring& key, const std::wstring& name, const std::wstring& value);
    void Key(const std::wstring& key);
    void Remove(const std::wstring& key);
    bool Ok() const { return m_ok; }

private:
    bool m_ok = true;
};

} // namespace vlt
