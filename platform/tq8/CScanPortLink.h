#pragma once
// The driver's scan-port requests for one handle: claim and release, the
// mode-select line stepped one clock at a time, and shifts of bit strings.
// A port still claimed when this ends is reset and released.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "CDriverLink.h"

namespace tq8 {

class CScanPortLink {
public:
    explicit CScanPortLink(CDriverLink& link) : m_link(link) {}
    ~CScanPortLink();
    CScanPortLink(const CScanPortLink&) = delete;
    CScanPortLink& operator=(const CScanPortLink&) = delete;

    // TQ8_ERR_BUSY while another handle holds the port.
    int32_t Claim();
    // Resets the chain, then lets go; nothing while not claimed.
    int32_t Release();
    bool Claimed() const { return m_claimed; }

    int32_t Steps(std::initializer_list<bool> tms);
    // From any state to Test-Logic-Reset, then Run-Test/Idle.
    int32_t ResetPort();
    // Bits in shift order; leave: mode select high with the last one;
    // captured gets what came out when not null.
    int32_t Shift(const std::vector<bool>& bits, bool leave, std::vector<bool>* captured);

private:
    int32_t Control(uint32_t flags, uint32_t lines, uint32_t mask, uint32_t* result = nullptr);

    CDriverLink& m_link;
    bool m_claimed = false;
};

} // namespace tq8
