#include "CTimestampFifo.h"

namespace tq8 {

void CTimestampFifo::Push(uint64_t value)
{
    if (m_entries.size() >= m_depth) {
        m_overflow = true;
        ++m_dropped;
        return;
    }
    m_entries.push_back(value);
}

uint32_t CTimestampFifo::Pop(uint64_t* dst, uint32_t max)
{
    uint32_t n = 0;
    while (n < max && !m_entries.empty()) {
        dst[n++] = m_entries.front();
        m_entries.pop_front();
    }
    return n;
}

void CTimestampFifo::Reset()
{
    m_entries.clear();
    m_overflow = false;
    m_dropped = 0;
}

} // namespace tq8
