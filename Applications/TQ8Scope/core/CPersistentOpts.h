#pragma once
// The scope application's settings that outlive a workspace: a flat
// dictionary of named text items kept in the options file "DefWsOpts.xml"
// beside the program. Keys are trimmed and lower-cased; the typed getters
// and setters give the items their meaning.
#include <cstdint>
#include <map>
#include <string>

class CPersistentOpts {
public:
    CPersistentOpts() = default;
    virtual ~CPersistentOpts() = default;

    // true and the value when the key exists. A missing key (null or blank)
    // sets the last error text; an unknown key does not.
    virtual bool GetItem(const wchar_t* key, std::wstring* value = nullptr);
    // Reads the options file; items absent from it keep their values.
    virtual bool Load(const wchar_t* path);
    // Writes the options file atomically: on failure the previous file stays.
    // A file that the last Load could not read is first set aside.
    virtual bool Save(const wchar_t* path = nullptr);

    // The last Load found the file but could not read it (damaged, wrong root).
    bool IsDamaged() const { return m_damaged; }
    // "<options file>.bad": where SetAsideDamaged keeps the damaged file.
    std::wstring GetDamagedCopyPath() const;
    // Renames the damaged file to GetDamagedCopyPath(), replacing an older
    // copy; true at once when nothing is damaged.
    bool SetAsideDamaged();

    bool GetItemString(const wchar_t* key, std::wstring& out, const wchar_t* def = nullptr);
    bool GetItemInt(const wchar_t* key, int32_t& out, int32_t def);
    bool GetItemUInt(const wchar_t* key, uint32_t& out, uint32_t def);
    bool GetItemU64(const wchar_t* key, uint64_t& out, uint64_t def);

    // false, with the last error text, for a key that cannot be an element
    // name of the options file.
    bool SetItem(const wchar_t* key, const wchar_t* value);
    bool SetItemInt(const wchar_t* key, int32_t value);
    bool SetItemUInt(const wchar_t* key, uint32_t value);
    bool SetItemU64(const wchar_t* key, uint64_t value);

    const std::wstring& GetLastErrorText() const { return m_lastError; }
    const std::wstring& GetFilePath() const { return m_path; }

private:
    template <class T>
    bool GetItemNumber(const wchar_t* key, T& out, T def, const wchar_t* errorFormat);

    std::wstring m_lastError;
    std::wstring m_path;
    bool m_damaged = false;
    std::map<std::string, std::string> m_items;
};
