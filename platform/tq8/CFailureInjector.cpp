#include "CFailureInjector.h"

namespace tq8 {

void CFailureInjector::Inject(const std::string& function, int32_t code, uint32_t calls, uint32_t passing)
{
    std::lock_guard lock(m_mutex);
    if (calls == 0)
        m_entries.erase(function);
    else
        m_entries[function] = Entry{code, calls, passing};
}

bool CFailureInjector::Take(const char* function, int32_t& code)
{
    std::lock_guard lock(m_mutex);
    if (m_entries.empty())
        return false;
    auto it = m_entries.find(function);
    if (it == m_entries.end())
        return false;
    if (it->second.passing > 0) {
        --it->second.passing;
        return false;
    }
    code = it->second.code;
    if (--it->second.remaining == 0)
        m_entries.erase(it);
    return true;
}

void CFailureInjector::Clear()
{
    std::lock_guard lock(m_mutex);
    m_entries.clear();
}

} // namespace tq8
