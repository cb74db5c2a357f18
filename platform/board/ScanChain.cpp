#include "ScanChain.h"

namespace tq8 {

namespace {
constexpr uint32_t kSystemFpgaId = 0x02AD6093;               // XC5VLX50T
constexpr uint32_t kPromIds[] = {0x05059093, 0x05058093};    // XCF32P, XCF16P
constexpr uint32_t kZabFpgaIds[] = {0x02AD6093, 0x02ECE093}; // LX50T, SX95T
} // namespace

std::vector<uint32_t> ScanChainIdCodes(uint32_t fpgaType)
{
    std::vector<uint32_t> ids = {kSystemFpgaId, kPromIds[0], kPromIds[1]};
    if (fpgaType < 2)
        ids.push_back(kZabFpgaIds[fpgaType]);
    return ids;
}

size_t PromOf(FirmwarePart part)
{
    return part == FirmwarePart::System ? 1 : 2;
}

std::optional<FirmwarePart> FirmwarePartOfProm(size_t chainPart)
{
    if (chainPart == 1)
        return FirmwarePart::System;
    if (chainPart == 2)
        return FirmwarePart::Zab;
    return std::nullopt;
}

} // namespace tq8
