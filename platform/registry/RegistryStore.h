#pragma once
// Our registry: keys (paths separated by '\\', compared without regard to
// case) holding named, typed values, kept in one XML file per hive.
//
//   current user: $XDG_CONFIG_HOME/Veltrane/registry.xml (~/.config when unset)
//   machine:      /etc/veltrane/registry.xml
//   VLT_REGISTRY_DIR moves both: <dir>/user/registry.xml, <dir>/machine/registry.xml
//
// Every change reads the hive under an exclusive file lock, applies the change
// and writes the file atomically, so writers in several processes lose
// nothing. A hive file that cannot be parsed is an error and is never
// overwritten: the change fails with a reason.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vlt {

enum class RegHive { CurrentUser, LocalMachine };
enum class RegType { String, DWord, QWord, Binary };

struct RegValue {
    RegType type = RegType::String;
    std::wstring text;             // String
    uint64_t number = 0;           // DWord (low 32 bits) and QWord
    std::vector<uint8_t> bytes;    // Binary
};

class RegistryStore {
public:
    // Path of a hive's file, as the rules above give it.
    static std::string HiveFile(RegHive hive);

    // Reads. A missing hive file, key or value gives false without an error;
    // a corrupt file gives false with a reason in the last error.
    static bool KeyExists(RegHive hive, const std::wstring& key);
    static std::optional<RegValue> GetValue(RegHive hive, const std::wstring& key, const std::wstring& name);
    static bool GetString(RegHive hive, const std::wstring& key, const std::wstring& name, std::wstring& out);
    static bool GetDWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint32_t& out);
    static bool GetQWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint64_t& out);
    static bool GetBinary(RegHive hive, const std::wstring& key, const std::wstring& name, std::vector<uint8_t>& out);
    // Names of the direct sub-keys and of the values of a key, in stored order.
    static std::vector<std::wstring> EnumSubKeys(RegHive hive, const std::wstring& key);
    static std::vector<std::wstring> EnumValueNames(RegHive hive, const std::wstring& key);

    // Writes create missing keys. false with a reason in the last error.
    static bool CreateKey(RegHive hive, const std::wstring& key);
    static bool SetValue(RegHive hive, const std::wstring& key, const std::wstring& name, const RegValue& value);
    static bool SetString(RegHive hive, const std::wstring& key, const std::wstring& name, const std::wstring& value);
    static bool SetDWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint32_t value);
    static bool SetQWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint64_t value);
    static bool SetBinary(RegHive hive, const std::wstring& key, const std::wstring& name, const std::vector<uint8_t>& value);
    // Deleting what does not exist succeeds.
    static bool DeleteValue(RegHive hive, const std::wstring& key, const std::wstring& name);
    static bool DeleteKey(RegHive hive, const std::wstring& key); // with all its sub-keys

    // The reason for the last failure on this thread. Every call above clears
    // it first, so after a read that found nothing it is empty, while a
    // damaged hive file leaves its reason here.
    static std::string LastError();
};

} // namespace vlt
