#include "CSimCard.h"

#include <chrono>

namespace tq8 {

namespace {

uint32_t VariantOf(const CSimBoard& board)
{
    uint16_t variant = 0;
    board.ReadEeprom(kEepromVariantWord, &variant, 1);
    return variant;
}

} // namespace

std::vector<uint32_t> CSimCard::DefaultWindowLengths() { return {0x1000, 0x1000, 0x1000, 0x1000}; }

uint32_t CSimCard::Identification(const BoardDescription& desc)
{
    return 0x33000000u | (desc.revision & 0xFFu) << 8 | (desc.features & 0xFFu);
}

CSimCard::CSimCard(const BoardDescription& desc, const std::vector<uint32_t>& windowLengths)
    : m_board(desc), m_control(m_board, VariantOf(m_board), [this] { return Now(); }),
      m_eeprom(m_board, [this] { return Now(); }), m_scanPort(Identification(desc))
{
    for (uint32_t length : windowLengths)
        m_windows.push_back(std::make_unique<CRegisterWindow>(length));
    AttachModels();
}

int64_t CSimCard::Now() const
{
    if (m_now)
        return m_now();
    using namespace std::chrono;
    return duration_cast<nanoseconds>(steady_clock::now().time_since_epoch()).count() / 100;
}

void CSimCard::AttachModels()
{
    if (m_windows.size() > kControlWindow)
        m_windows[kControlWindow]->SetHooks(
            [this](uint32_t index, uint32_t stored) {
                std::lock_guard lock(m_lock);
                return m_control.Read(index, stored);
            },
            [this](uint32_t index, uint32_t value) {
                std::lock_guard lock(m_lock);
                m_control.Write(index, value);
            });
    if (m_windows.size() <= kSerialWindow)
        return;
    const uint32_t id = Identification(m_board.Desc());
    m_windows[kSerialWindow]->SetHooks(
        [this, id](uint32_t index, uint32_t stored) {
            std::lock_guard lock(m_lock);
            // The identification register is read-only.
            if (index == kIdentificationOffset / 4)
                return id;
            if (index == 0)
                return m_eeprom.Read(stored);
            return index == 1 ? m_scanPort.Read(stored) : stored;
        },
        [this](uint32_t index, uint32_t value) {
            std::lock_guard lock(m_lock);
            if (index == 0)
                m_eeprom.Write(value);
            else if (index == 1)
                m_scanPort.Write(value);
        });
}

std::vector<CControlRegisters::Access> CSimCard::ControlTrace() const
{
    std::lock_guard lock(m_lock);
    return m_control.Trace();
}

void CSimCard::ClearControlTrace()
{
    std::lock_guard lock(m_lock);
    m_control.ClearTrace();
}

} // namespace tq8
