#include "CProgramOptions.h"

#include "AppProfile.h"
#include "AutostartEntry.h"
#include "RegistryStore.h"

namespace {

const wchar_t* const kSection = L"Settings";
const wchar_t* const kFlagsEntry = L"ProgOptFlags";

} // namespace

void CProgramOptions::Set(uint32_t bits, bool on)
{
    m_flags = on ? (m_flags | bits) : (m_flags & ~bits);
}

bool CProgramOptions::Load(std::string* error)
{
    m_loaded = true;
    m_flags = vlt::AppProfile::GetInt(kSection, kFlagsEntry, 0);
    // A read that found nothing leaves no reason; a damaged store does.
    const std::string reason = vlt::RegistryStore::LastError();
    m_damaged = !reason.empty();
    if (m_damaged) {
        m_flags = 0;
        m_readError = reason;
        if (error)
            *error = reason;
    }
    return !m_damaged;
}

bool CProgramOptions::Save(std::string* error)
{
    // The reason only: the callers' own texts say that nothing was saved.
    if (m_damaged) {
        if (error)
            *error = "the stored options could not be read (" + m_readError + ")";
        return false;
    }
    if (vlt::AppProfile::WriteInt(kSection, kFlagsEntry, m_flags))
        return true;
    if (error)
        *error = vlt::RegistryStore::LastError();
    return false;
}

bool CProgramOptions::UpdateRunList(uint32_t flagsBefore, const std::string& programPath, std::string* error) const
{
    if (((flagsBefore ^ m_flags) & kRunAtLogOn) == 0)
        return true;
    return WriteRunListEntry(programPath, error);
}

bool CProgramOptions::WriteRunListEntry(const std::string& programPath, std::string* error) const
{
    if (Test(kRunAtLogOn))
        return vlt::WriteAutostartEntry(programPath, "Veltrane Service Manager", {"-BootTime"}, error);
    return vlt::RemoveAutostartEntry(programPath, error);
}
