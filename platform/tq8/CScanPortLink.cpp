#include "CScanPortLink.h"

#include <cstring>

#include "CScanPort.h"
#include "TQ8Ioctl.h"

namespace tq8 {

namespace {
// Scan-port control flags: one clock after setting the lines; only clocks,
// as many as the lines field says. Shift flag: TMS high with the last bit.
constexpr uint32_t kClockOnce = 1u << 0;
constexpr uint32_t kClocksOnly = 1u << 2;
constexpr uint32_t kTmsAtEnd = 1u << 2;
constexpr uint32_t kResetClocks = 5;
} // namespace

CScanPortLink::~CScanPortLink()
{
    Release();
}

int32_t CScanPortLink::Control(uint32_t flags, uint32_t lines, uint32_t mask, uint32_t* result)
{
    wdm::TQ8_JTAG_CONTROL_REQUEST q{sizeof q, lines, mask, 0, flags};
    const int32_t rc = m_link.Control(wdm::IOCTL_TQ8_JTAG_CONTROL, q);
    if (result != nullptr)
        *result = q.result;
    return rc;
}

int32_t CScanPortLink::Claim()
{
    uint32_t granted = 0;
    if (const int32_t rc = Control(wdm::TQ8_JTAG_CLAIM, 0, 0, &granted); rc != TQ8_OK)
        return rc;
    m_claimed = granted == 1;
    return m_claimed ? TQ8_OK : TQ8_ERR_BUSY;
}

int32_t CScanPortLink::Release()
{
    if (!m_claimed)
        return TQ8_OK;
    m_claimed = false;
    const int32_t rc = ResetPort();
    const int32_t released = Control(wdm::TQ8_JTAG_RELEASE, 0, 0);
    return rc != TQ8_OK ? rc : released;
}

int32_t CScanPortLink::Steps(std::initializer_list<bool> tms)
{
    int32_t rc = TQ8_OK;
    for (bool high : tms)
        if (rc == TQ8_OK)
            rc = Control(kClockOnce, high ? CScanPort::kTms : 0, CScanPort::kTms);
    return rc;
}

int32_t CScanPortLink::ResetPort()
{
    int32_t rc = Control(0, CScanPort::kTms, CScanPort::kTms);
    if (rc == TQ8_OK)
        rc = Control(kClocksOnly, kResetClocks, 0);
    return rc == TQ8_OK ? Steps({false}) : rc;
}

// The driver sends bit i from byte (count - 1 - i / 8), least significant
// first, and puts what it captures in the same place.
int32_t CScanPortLink::Shift(const std::vector<bool>& bits, bool leave, std::vector<bool>* captured)
{
    const size_t bytes = (bits.size() + 7) / 8;
    std::vector<uint8_t> q(sizeof(wdm::TQ8_JTAG_SHIFT_REQUEST) + bytes);
    uint8_t* data = q.data() + sizeof(wdm::TQ8_JTAG_SHIFT_REQUEST);
    for (size_t i = 0; i < bits.size(); ++i)
        if (bits[i])
            data[bytes - 1 - i / 8] = static_cast<uint8_t>(data[bytes - 1 - i / 8] | 1u << (i % 8));
    const uint32_t flags = wdm::TQ8_JTAG_SHIFT_OUT | (captured ? wdm::TQ8_JTAG_SHIFT_IN : 0) | (leave ? kTmsAtEnd : 0);
    const wdm::TQ8_JTAG_SHIFT_REQUEST head{static_cast<uint32_t>(q.size()), flags, static_cast<uint32_t>(bits.size())};
    std::memcpy(q.data(), &head, sizeof head);
    const auto length = static_cast<uint32_t>(q.size());
    const int32_t rc = m_link.Control(wdm::IOCTL_TQ8_JTAG_SHIFT, q.data(), length, q.data(), captured ? length : 0);
    if (rc == TQ8_OK && captured)
        for (size_t i = 0; i < bits.size(); ++i)
            captured->push_back(((data[bytes - 1 - i / 8] >> (i % 8)) & 1) != 0);
    return rc;
}

} // namespace tq8
