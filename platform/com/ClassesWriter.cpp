#include "ClassesWriter.h"

#include "ComCreate.h"
#include "RegistryStore.h"

namespace vlt {
namespace {
constexpr RegHive kHive = RegHive::CurrentUser;
} // namespace

void ClassesWriter::Named(const std::wstring& key, const std::wstring& name, const std::wstring& value)
{
    if (m_ok)
        m_ok = RegistryStore::SetString(kHive, ClassesKey(key), name, value);
}

void ClassesWriter::Key(const std::wstring& key)
{
    if (m_ok)
        m_ok = RegistryStore::CreateKey(kHive, ClassesKey(key));
}

void ClassesWriter::Remove(const std::wstring& key)
{
    if (m_ok)
        m_ok = RegistryStore::DeleteKey(kHive, ClassesKey(key));
}

} // namespace vlt
