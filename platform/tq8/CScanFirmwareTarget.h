#pragma once
// The firmware of a local board, through the driver's scan port: a pass
// claims the port, puts the PROM of the part under the configuration (or
// read) instruction with every other part in bypass, shifts the image in
// (or out) piece by piece and releases the port. The versions that run and
// what a new image needs before it runs are in the card's status registers.
#include <optional>
#include <vector>

#include "CDriverLink.h"
#include "CScanPortLink.h"
#include "IFirmwareTarget.h"

namespace tq8 {

class CScanFirmwareTarget : public IFirmwareTarget {
public:
    // chainParts: how many parts the card's scan chain holds.
    CScanFirmwareTarget(CDriverLink& link, size_t chainParts);
    // A pass that did not end leaves the port through a reset (CScanPortLink):
    // a load cut off there leaves its part's version unknown.

    int32_t Begin(FirmwarePart part, const ConfigImage& image, bool load) override;
    int32_t Piece(const std::string& bytes) override;
    int32_t End(bool& holds, FirmwareActivation& activation) override;

    static int32_t Running(CDriverLink& link, FirmwarePart part, std::optional<FirmwareVersion>& version);

private:
    int32_t LoadInstruction(size_t prom, uint32_t instruction);

    CDriverLink& m_link;
    CScanPortLink m_port;
    size_t m_chainParts;
    bool m_load = false;
    FirmwarePart m_part = FirmwarePart::System;
    ConfigImage m_image;
    std::vector<bool> m_read;
};

} // namespace tq8
