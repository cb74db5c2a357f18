#include "RegistryStore.h"

#include "AtomicFile.h"
#include "HiveLock.h"
#include "HiveXml.h"
#include "RegKeyNode.h"
#include "RegNames.h"
#include "SystemErrorText.h"
#include "TextConv.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <pwd.h>
#include <shared_mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace vlt {
namespace {

thread_local std::string t_lastError;

// Far above any hive the programs write; a larger file is refused unread.
constexpr uint64_t kMaxHiveBytes = uint64_t(64) << 20;

bool Fail(std::string reason)
{
    t_lastError = std::move(reason);
    return false;
}

// flock already keeps threads apart (each call opens its own descriptor);
// the mutex also covers file systems where flock is not enforced.
std::shared_mutex& StoreMutex()
{
    static std::shared_mutex mutex;
    return mutex;
}

std::string EnvValue(const char* name)
{
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder()
{
    std::string home = EnvValue("HOME");
    if (!home.empty())
        return home;
    passwd entry {};
    passwd* found = nullptr;
    char buf[4096];
    if (getpwuid_r(getuid(), &entry, buf, sizeof buf, &found) == 0 && found && found->pw_dir)
        return found->pw_dir;
    return ".";
}

std::string WithoutTrailingSlash(std::string path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string FolderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

bool MakeFolders(const std::string& folder)
{
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/')
            continue;
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), 0777) != 0 && errno != EEXIST)
            return Fail("Cannot create the folder '" + part + "': " + SystemErrorText(errno));
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return Fail("'" + folder + "' is not a folder");
    return true;
}

// A missing file is an empty hive; a file we cannot parse is an error.
bool LoadHive(const std::string& file, RegKeyNode& root)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return true;
        return Fail("Cannot read the registry file '" + file + "': " + SystemErrorText(errno));
    }
    std::string data, error;
    if (!ReadWholeFile(file, data, &error, kMaxHiveBytes))
        return Fail(error);
    if (data.empty())
        return true;
    if (!ParseHiveXml(data, root, error))
        return Fail("The registry file '" + file + "' is damaged (" + error + ")");
    return true;
}

// Writers replace the file by a rename, so a reader always sees a whole file;
// when the lock file cannot be opened (a user reading the machine hive
// before anyone wrote it) the read goes ahead without the lock.
bool ReadHive(RegHive hive, RegKeyNode& root)
{
    const std::string file = RegistryStore::HiveFile(hive);
    std::shared_lock guard(StoreMutex());
    HiveLock lock;
    std::string reason;
    // Without the lock the read still sees a whole file; a wait that gave up
    // is said where it was announced.
    if (!lock.Acquire(file + ".lock", HiveLock::Mode::Shared, reason) && errno == ETIMEDOUT)
        std::fprintf(stderr, "%s; read without it\n", reason.c_str());
    return LoadHive(file, root);
}

bool FileMissing(const std::string& file)
{
    struct stat st {};
    return ::stat(file.c_str(), &st) != 0 && (errno == ENOENT || errno == ENOTDIR);
}

// change returns whether it changed anything; nothing changed, nothing written.
// A deletion from a hive that has no file yet touches nothing, not even its
// folder.
enum class Missing { Create, Skip };

bool ChangeHive(RegHive hive, Missing missing, const std::function<bool(RegKeyNode&)>& change)
{
    const std::string file = RegistryStore::HiveFile(hive);
    std::unique_lock guard(StoreMutex());
    if (missing == Missing::Skip && FileMissing(file))
        return true;
    if (!MakeFolders(FolderOf(file)))
        return false;
    HiveLock lock;
    std::string error;
    if (!lock.Acquire(file + ".lock", HiveLock::Mode::Exclusive, error))
        return Fail(error);
    RegKeyNode root;
    if (!LoadHive(file, root))
        return false;
    if (!change(root))
        return true;
    std::string xml;
    if (!FormatHiveXml(root, xml, error) || !AtomicWriteFile(file, xml, &error))
        return Fail(error);
    return true;
}

bool CheckKeyPath(const std::vector<std::wstring>& parts, const std::wstring& key)
{
    for (const auto& part : parts)
        if (!IsXmlText(part))
            return Fail("The key name '" + WideToUtf8(key) + "' holds characters that cannot be stored");
    return true;
}

bool CheckValueName(const std::wstring& name)
{
    if (!IsXmlText(name))
        return Fail("The value name '" + WideToUtf8(name) + "' holds characters that cannot be stored");
    return true;
}

// Only the field that belongs to the type is kept.
bool Normalized(const RegValue& value, RegValue& out)
{
    out = RegValue{};
    out.type = value.type;
    switch (value.type) {
    case RegType::String:
        out.text = value.text;
        return true;
    case RegType::DWord:
        out.number = value.number & 0xFFFFFFFFu;
        return true;
    case RegType::QWord:
        out.number = value.number;
        return true;
    case RegType::Binary:
        out.bytes = value.bytes;
        return true;
    }
    return Fail("Unknown value type");
}

const char* TypeText(RegType type)
{
    switch (type) {
    case RegType::String: return "a string";
    case RegType::DWord: return "a 32-bit value";
    case RegType::QWord: return "a 64-bit value";
    case RegType::Binary: return "binary data";
    }
    return "of unknown type";
}

std::optional<RegValue> GetTyped(RegHive hive, const std::wstring& key, const std::wstring& name, RegType type)
{
    auto value = RegistryStore::GetValue(hive, key, name);
    if (value && value->type != type) {
        Fail("The value '" + WideToUtf8(name) + "' of '" + WideToUtf8(key) + "' is not " + TypeText(type));
        return std::nullopt;
    }
    return value;
}

} // namespace

std::string RegistryStore::HiveFile(RegHive hive)
{
    const std::string moved = WithoutTrailingSlash(EnvValue("VLT_REGISTRY_DIR"));
    if (!moved.empty())
        return moved + (hive == RegHive::CurrentUser ? "/user" : "/machine") + "/registry.xml";
    if (hive == RegHive::LocalMachine)
        return "/etc/veltrane/registry.xml";
    // Only an absolute XDG_CONFIG_HOME counts; a relative one is ignored.
    std::string config = WithoutTrailingSlash(EnvValue("XDG_CONFIG_HOME"));
    if (config.empty() || config[0] != '/')
        config = WithoutTrailingSlash(HomeFolder()) + "/.config";
    return config + "/Veltrane/registry.xml";
}

bool RegistryStore::KeyExists(RegHive hive, const std::wstring& key)
{
    t_lastError.clear();
    RegKeyNode root;
    return ReadHive(hive, root) && root.Find(SplitKeyPath(key)) != nullptr;
}

std::optional<RegValue> RegistryStore::GetValue(RegHive hive, const std::wstring& key, const std::wstring& name)
{
    t_lastError.clear();
    RegKeyNode root;
    if (!ReadHive(hive, root))
        return std::nullopt;
    const RegKeyNode* node = root.Find(SplitKeyPath(key));
    const RegValue* value = node ? node->FindValue(name) : nullptr;
    if (!value)
        return std::nullopt;
    return *value;
}

bool RegistryStore::GetString(RegHive hive, const std::wstring& key, const std::wstring& name, std::wstring& out)
{
    const auto value = GetTyped(hive, key, name, RegType::String);
    if (value)
        out = value->text;
    return value.has_value();
}

bool RegistryStore::GetDWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint32_t& out)
{
    const auto value = GetTyped(hive, key, name, RegType::DWord);
    if (value)
        out = static_cast<uint32_t>(value->number);
    return value.has_value();
}

bool RegistryStore::GetQWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint64_t& out)
{
    const auto value = GetTyped(hive, key, name, RegType::QWord);
    if (value)
        out = value->number;
    return value.has_value();
}

bool RegistryStore::GetBinary(RegHive hive, const std::wstring& key, const std::wstring& name,
    std::vector<uint8_t>& out)
{
    const auto value = GetTyped(hive, key, name, RegType::Binary);
    if (value)
        out = value->bytes;
    return value.has_value();
}

std::vector<std::wstring> RegistryStore::EnumSubKeys(RegHive hive, const std::wstring& key)
{
    t_lastError.clear();
    std::vector<std::wstring> names;
    RegKeyNode root;
    const RegKeyNode* node = ReadHive(hive, root) ? root.Find(SplitKeyPath(key)) : nullptr;
    if (node)
        for (const auto& sub : node->SubKeys())
            names.push_back(sub->Name());
    return names;
}

std::vector<std::wstring> RegistryStore::EnumValueNames(RegHive hive, const std::wstring& key)
{
    t_lastError.clear();
    std::vector<std::wstring> names;
    RegKeyNode root;
    const RegKeyNode* node = ReadHive(hive, root) ? root.Find(SplitKeyPath(key)) : nullptr;
    if (node)
        for (const auto& entry : node->Values())
            names.push_back(entry.name);
    return names;
}

bool RegistryStore::CreateKey(RegHive hive, const std::wstring& key)
{
    t_lastError.clear();
    const auto path = SplitKeyPath(key);
    if (!CheckKeyPath(path, key))
        return false;
    return ChangeHive(hive, Missing::Create, [&](RegKeyNode& root) {
        if (root.Find(path))
            return false;
        root.Create(path);
        return true;
    });
}

bool RegistryStore::SetValue(RegHive hive, const std::wstring& key, const std::wstring& name, const RegValue& value)
{
    t_lastError.clear();
    const auto path = SplitKeyPath(key);
    RegValue stored;
    if (!CheckKeyPath(path, key) || !CheckValueName(name) || !Normalized(value, stored))
        return false;
    return ChangeHive(hive, Missing::Create, [&](RegKeyNode& root) { return root.Create(path).PutValue(name, stored); });
}

bool RegistryStore::SetString(RegHive hive, const std::wstring& key, const std::wstring& name, const std::wstring& value)
{
    RegValue v;
    v.type = RegType::String;
    v.text = value;
    return SetValue(hive, key, name, v);
}

bool RegistryStore::SetDWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint32_t value)
{
    RegValue v;
    v.type = RegType::DWord;
    v.number = value;
    return SetValue(hive, key, name, v);
}

bool RegistryStore::SetQWord(RegHive hive, const std::wstring& key, const std::wstring& name, uint64_t value)
{
    RegValue v;
    v.type = RegType::QWord;
    v.number = value;
    return SetValue(hive, key, name, v);
}

bool RegistryStore::SetBinary(RegHive hive, const std::wstring& key, const std::wstring& name,
    const std::vector<uint8_t>& value)
{
    RegValue v;
    v.type = RegType::Binary;
    v.bytes = value;
    return SetValue(hive, key, name, v);
}

bool RegistryStore::DeleteValue(RegHive hive, const std::wstring& key, const std::wstring& name)
{
    t_lastError.clear();
    const auto path = SplitKeyPath(key);
    return ChangeHive(hive, Missing::Skip, [&](RegKeyNode& root) {
        RegKeyNode* node = root.Find(path);
        return node && node->RemoveValue(name);
    });
}

bool RegistryStore::DeleteKey(RegHive hive, const std::wstring& key)
{
    t_lastError.clear();
    auto path = SplitKeyPath(key);
    if (path.empty())
        return Fail("The root of a hive cannot be deleted");
    const std::wstring last = path.back();
    path.pop_back();
    return ChangeHive(hive, Missing::Skip, [&](RegKeyNode& root) {
        RegKeyNode* parent = root.Find(path);
        return parent && parent->RemoveSubKey(last);
    });
}

std::string RegistryStore::LastError()
{
    return t_lastError;
}

} // namespace vlt
