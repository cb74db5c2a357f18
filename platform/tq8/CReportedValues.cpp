#include "CReportedValues.h"

namespace tq8 {

void CReportedValues::Set(uint32_t serial, Item item, int64_t value)
{
    std::lock_guard lock(m_mutex);
    m_values[{serial, item}] = value;
}

std::optional<int64_t> CReportedValues::Get(uint32_t serial, Item item) const
{
    std::lock_guard lock(m_mutex);
    if (m_values.empty())
        return std::nullopt;
    auto it = m_values.find({serial, item});
    if (it == m_values.end())
        return std::nullopt;
    return it->second;
}

void CReportedValues::Clear()
{
    std::lock_guard lock(m_mutex);
    m_values.clear();
}

} // namespace tq8
