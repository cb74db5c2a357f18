#pragma once
// The firmware of a board model in this process (virtual boards): the
// images go straight into its state.
#include "CFirmwareState.h"
#include "IFirmwareTarget.h"

namespace tq8 {

class CStateFirmwareTarget : public IFirmwareTarget {
public:
    explicit CStateFirmwareTarget(CFirmwareState& state) : m_state(state) {}

    int32_t Begin(FirmwarePart part, const ConfigImage& image, bool load) override;
    int32_t Piece(const std::string&) override;
    int32_t End(bool& holds, FirmwareActivation& activation) override;

private:
    CFirmwareState& m_state;
    FirmwarePart m_part = FirmwarePart::System;
    ConfigImage m_image;
    bool m_load = false;
};

} // namespace tq8
