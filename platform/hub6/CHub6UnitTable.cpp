#include "CHub6UnitTable.h"

#include "NumberParse.h"
#include "VltHUB6.h"

#include <cstdlib>
#include <string_view>

CHub6Unit::CHub6Unit() : clockRate(kHub6DefaultClockRate) {}

namespace {

// "7001,7002" -> serials; a malformed list declares nothing.
std::vector<uint32_t> SerialsFromEnvironment()
{
    const char* text = std::getenv("HUB6_SIM_LOCAL");
    std::vector<uint32_t> serials;
    if (!text)
        return serials;
    std::string_view rest(text);
    while (!rest.empty()) {
        const size_t comma = rest.find(',');
        uint32_t serial = 0;
        if (!vlt::ParseNumberExact(rest.substr(0, comma), serial) || serial == 0)
            return {};
        serials.push_back(serial);
        rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    }
    return serials;
}

} // namespace

CHub6UnitTable::CHub6UnitTable() : m_localSerials(SerialsFromEnvironment()) {}

CHub6UnitTable& CHub6UnitTable::Instance()
{
    static CHub6UnitTable table;
    return table;
}

void CHub6UnitTable::Reset()
{
    std::lock_guard lock(m_mutex);
    m_localSerials.clear();
    m_units.clear();
    m_injections.clear();
}

void CHub6UnitTable::SetLocalSerials(std::vector<uint32_t> serials)
{
    std::lock_guard lock(m_mutex);
    m_localSerials = std::move(serials);
}

bool CHub6UnitTable::GetLocalSerial(uint32_t index, uint32_t& serial) const
{
    std::lock_guard lock(m_mutex);
    if (index == 0 || index > m_localSerials.size())
        return false;
    serial = m_localSerials[index - 1];
    return true;
}

std::shared_ptr<CHub6Unit> CHub6UnitTable::Open(Kind kind, uint32_t serial)
{
    std::lock_guard lock(m_mutex);
    auto& unit = m_units[{static_cast<int>(kind), serial}];
    if (!unit)
        unit = std::make_shared<CHub6Unit>();
    return unit;
}

void CHub6UnitTable::Inject(const std::string& method, HRESULT hr, uint32_t calls)
{
    std::lock_guard lock(m_mutex);
    if (calls == 0)
        m_injections.erase(method);
    else
        m_injections[method] = {hr, calls};
}

HRESULT CHub6UnitTable::TakeInjection(const std::string& method)
{
    std::lock_guard lock(m_mutex);
    auto it = m_injections.find(method);
    if (it == m_injections.end())
        return S_OK;
    const HRESULT hr = it->second.hr;
    if (--it->second.calls == 0)
        m_injections.erase(it);
    return hr;
}

uint32_t CHub6UnitTable::GetSyncCount(uint32_t serial) const
{
    std::lock_guard lock(m_mutex);
    uint32_t n = 0;
    for (const auto& [key, unit] : m_units)
        if (key.second == serial)
            n += unit->syncs;
    return n;
}

uint32_t CHub6UnitTable::GetTriggerCount(uint32_t serial) const
{
    std::lock_guard lock(m_mutex);
    uint32_t n = 0;
    for (const auto& [key, unit] : m_units)
        if (key.second == serial)
            n += unit->triggers;
    return n;
}
