#include "CSimCard.h"

namespace tq8 {

std::vector<uint32_t> CSimCard::DefaultWindowLengths() { return {0x1000, 0x1000, 0x1000, 0x1000}; }

uint32_t CSimCard::Identification(const BoardDescription& desc)
{
    return 0x33000000u | (desc.revision & 0xFFu) << 8 | (desc.features & 0xFFu);
}

CSimCard::CSimCard(const BoardDescription& desc, const std::vector<uint32_t>& windowLengths) : m_board(desc)
{
    for (uint32_t length : windowLengths)
        m_windows.push_back(std::make_unique<CRegisterWindow>(length));
    if (m_windows.size() > kSerialWindow) {
        const uint32_t id = Identification(desc);
        // Read-only: writes do not change what it answers.
        m_windows[kSerialWindow]->SetHooks(
            [id](uint32_t index, uint32_t stored) { return index == kIdentificationOffset / 4 ? id : stored; }, nullptr);
    }
}

} // namespace tq8
