#include "CFirmwareState.h"

namespace tq8 {

CFirmwareState::CFirmwareState(uint32_t version)
{
    for (Part& p : m_parts)
        p.running = FirmwareVersion{version, 0};
}

std::optional<FirmwareVersion> CFirmwareState::Running(FirmwarePart part) const
{
    std::lock_guard lock(m_mutex);
    return m_parts[Index(part)].running;
}

bool CFirmwareState::ImageMatches(FirmwarePart part, const std::string& image) const
{
    std::lock_guard lock(m_mutex);
    const Part& p = m_parts[Index(part)];
    return (p.running || p.pending) && p.image == image;
}

void CFirmwareState::BeginLoad(FirmwarePart part)
{
    std::lock_guard lock(m_mutex);
    Part& p = m_parts[Index(part)];
    p.beforeLoad = p.running;
    p.running.reset();
    p.pending.reset();
    p.image.clear();
}

FirmwareActivation CFirmwareState::EndLoad(FirmwarePart part, const FirmwareVersion& version, std::string image)
{
    std::lock_guard lock(m_mutex);
    Part& p = m_parts[Index(part)];
    p.image = std::move(image);
    if (p.activation == FirmwareActivation::Immediate) {
        p.running = version;
    } else {
        // The old firmware keeps running until the power cycle.
        p.running = p.beforeLoad;
        p.pending = version;
    }
    return p.activation;
}

void CFirmwareState::PowerCycle()
{
    std::lock_guard lock(m_mutex);
    for (Part& p : m_parts)
        if (p.pending) {
            p.running = p.pending;
            p.pending.reset();
        }
}

void CFirmwareState::SetActivation(FirmwarePart part, FirmwareActivation activation)
{
    std::lock_guard lock(m_mutex);
    m_parts[Index(part)].activation = activation;
}

FirmwareActivation CFirmwareState::Activation(FirmwarePart part) const
{
    std::lock_guard lock(m_mutex);
    return m_parts[Index(part)].activation;
}

void CFirmwareState::SetJtagJumper(bool set)
{
    std::lock_guard lock(m_mutex);
    m_jtagJumper = set;
}

bool CFirmwareState::JtagJumper() const
{
    std::lock_guard lock(m_mutex);
    return m_jtagJumper;
}

uint64_t WidenVersion(uint32_t version)
{
    uint64_t wide = 0;
    for (int i = 3; i >= 0; --i)
        wide = (wide << 16) | ((version >> (8 * i)) & 0xFF);
    return wide;
}

} // namespace tq8
