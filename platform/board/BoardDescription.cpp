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
    for (const auto& [word, value] : desc.eepromWords)
        if (word >= kEepromChecksumWord)
            return false;
    return true;
}

uint16_t EepromChecksum(const EepromImage& image)
{
    uint16_t sum = 0;
    for (uint32_t i = 0; i < kEepromChecksumWord; ++i)
        sum = static_cast<uint16_t>(sum + image[i]);
    return sum;
}

bool IsEepromValid(const EepromImage& image)
{
    return image[kEepromCheckWord] == kEepromSignature && image[kEepromChecksumWord] == EepromChecksum(image);
}

EepromImage MakeEepromImage(const BoardDescription& desc)
{
    EepromImage image{};
    image[kEepromSdramDelayWord] = 0x1010;
    image[kEepromOptionWord] = 0x000C;
    image[kEepromPresetWord] = 1;
    image[kEepromChannelFlags34Word] = static_cast<uint16_t>((desc.channelFlags[2] & 0xFF) | (desc.channelFlags[3] & 0xFF) << 8);
    image[kEepromPackagesWord] = static_cast<uint16_t>(desc.packages);
    image[kEepromFeaturesWord] = static_cast<uint16_t>(desc.features);
    image[kEepromRamLowWord] = static_cast<uint16_t>(desc.ramSize / 4096);
    image[kEepromRamHighWord] = static_cast<uint16_t>((desc.ramSize / 4096) >> 16);
    image[kEepromZabFpgaWord] = static_cast<uint16_t>(desc.zabFpgaType);
    image[kEepromConfigWord] = static_cast<uint16_t>((desc.masterSlave & 0xF) | (desc.syncConfig & 0xF) << 4
                                                     | (desc.extTriggerConfig & 0xF) << 8
                                                     | (desc.inputFilterConfig & 0xF) << 12);
    image[kEepromChannelFlags12Word] = static_cast<uint16_t>((desc.channelFlags[0] & 0xFF) | (desc.channelFlags[1] & 0xFF) << 8);
    image[kEepromFpgaTypeWord] = static_cast<uint16_t>(desc.fpgaType);
    image[kEepromRevisionWord] = static_cast<uint16_t>(desc.revision);
    image[kEepromBoardTypeWord] = 1;
    image[kEepromSerialLowWord] = static_cast<uint16_t>(desc.serial & 0xFFFF);
    image[kEepromSerialHighWord] = static_cast<uint16_t>(desc.serial >> 16);
    image[kEepromVariantWord] = static_cast<uint16_t>(desc.revision);
    image[kEepromDateWord] = 0x2601;
    image[kEepromCheckWord] = kEepromSignature;
    image[kEepromCapabilityWord] = desc.timestampOverflowFlag ? 1 : 0;
    for (const auto& [word, value] : desc.eepromWords)
        if (word < kEepromChecksumWord)
            image[word] = value;
    image[kEepromChecksumWord] = EepromChecksum(image);
    return image;
}

} // namespace tq8
