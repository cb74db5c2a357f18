#include "CStateFirmwareTarget.h"

#include "TQ8_64.h"

namespace tq8 {

int32_t CStateFirmwareTarget::Begin(FirmwarePart part, const ConfigImage& image, bool load)
{
    m_part = part;
    m_image = image;
    m_load = load;
    if (load)
        m_state.BeginLoad(part);
    return TQ8_OK;
}

int32_t CStateFirmwareTarget::Piece(const std::string&)
{
    return TQ8_OK;
}

int32_t CStateFirmwareTarget::End(bool& holds, FirmwareActivation& activation)
{
    activation = FirmwareActivation::Immediate;
    if (m_load)
        activation = m_state.EndLoad(m_part, m_image.version, m_image.bytes);
    holds = m_state.ImageMatches(m_part, m_image.bytes);
    return TQ8_OK;
}

} // namespace tq8
