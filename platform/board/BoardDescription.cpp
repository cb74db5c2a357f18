#include "BoardDescription.h"

namespace tq8 {

int BoardDescription::InherentOffset(int channel) const
{
    // A few codes either way, fixed per board and channel.
    uint32_t h = serial * 2654435761u + static_cast<uint32_t>(channel) * 40503u;
    return static_cast<int>((h >> 13) % 9) - 4;
}

bool IsPlausible(const BoardDescription& desc)
{
    if (desc.serial == 0 || desc.revision == 0)
        return false;
    if (desc.ramSize < 0x100000u || desc.ramSize > kMaxRamSize || desc.ramSize % 4096 != 0)
        return false;
    if (desc.masterSlave < 0 || desc.masterSlave > 3 || desc.syncConfig < 0 || desc.syncConfig > 3)
        return false;
    if (desc.extTriggerConfig < 0 || desc.extTriggerConfig > 1)
        return false;
    if (desc.inputFilterConfig < 0 || desc.inputFilterConfig > 2)
        return false;
    if (desc.zabFpgaType < 0 || desc.zabFpgaType > 1 || desc.fpgaType > 0xFFFF)
        return false;
    return true;
}

uint16_t EepromChecksum(const EepromImage& image)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i < kEepromChecksumWord; ++i)
        sum = static_cast<uint16_t>(sum + image[i]);
    return static_cast<uint16_t>(0u - sum);
}

bool IsEepromValid(const EepromImage& image)
{
    return image[kEepromCheckWord] == kEepromSignature && image[kEepromChecksumWord] == EepromChecksum(image);
}

EepromImage MakeEepromImage(const BoardDescription& desc)
{
    EepromImage image{};
    image.fill(0);
    image[kEepromSdramDelayWord] = 0x1010;
    image[kEepromFpgaTypeWord] = static_cast<uint16_t>(desc.fpgaType);
    image[0x71] = 1; // board type code
    image[kEepromSerialLowWord] = static_cast<uint16_t>(desc.serial & 0xFFFF);
    image[kEepromSerialHighWord] = static_cast<uint16_t>(desc.serial >> 16);
    image[kEepromVariantWord] = static_cast<uint16_t>(desc.revision);
    image[kEepromCheckWord] = kEepromSignature;
    image[kEepromChecksumWord] = EepromChecksum(image);
    return image;
}

} // namespace tq8
