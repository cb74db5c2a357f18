#pragma once
// What a board is, as opposed to how it is set: fixed at manufacture or by
// the simulator's configuration.
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tq8 {

enum class BoardKind { Local, Virtual };

struct BoardDescription {
    BoardKind kind = BoardKind::Virtual;
    uint32_t serial = 0;
    uint32_t revision = 2;          // 1 = two-channel model
    uint32_t features = 0x9;        // ZAB and FPGA processing
    uint32_t packages = 0x74;       // bit n = fixed logic package n present
    std::array<uint32_t, 4> channelFlags{};
    int32_t masterSlave = 0;
    int32_t syncConfig = 0;
    int32_t extTriggerConfig = 0;
    int32_t inputFilterConfig = 0;
    int32_t zabFpgaType = 0;
    uint32_t fpgaType = 0;          // EEPROM word 93
    uint32_t ramSize = 0x80000000u; // sample positions over both SDRAMs
    uint64_t driverVersion = 0x000200080006001Bull;
    uint64_t firmwareVersion = 0x0001000200030004ull;
    bool timestampOverflowFlag = true; // older firmware cannot report it
    // Configuration EEPROM words declared in place of the defaults (word
    // 0..126, value); the checksum word is written after them.
    std::vector<std::pair<uint32_t, uint16_t>> eepromWords;

    bool IsTwoChannelModel() const { return revision == 1; }
    int InputChannels() const { return IsTwoChannelModel() ? 2 : 4; }
    // Offset of the analog front end in codes: makes centring meaningful.
    int InherentOffset(int channel) const;
};

constexpr uint32_t kMaxRamSize = 0x80000000u;
// Configuration EEPROM: 128 16-bit words. The words the driver copies into
// its configuration block, and what this board model keeps in them:
//   0x3D (61) SDRAM input delays: low byte SDRAM1, high byte SDRAM2 (taps)
//   0x42..0x45 signed ADC offset adjustments (option bit 0), default 0
//   0x46 option flags: bit 0 offset words, bit 1 gain defaults, bits 2/3
//        SDRAM1/SDRAM2 delay calibration at start; default 0x000C
//   0x47, 0x48 reserved, 0
//   0x49 clock presets: 0 the alternative ones; default 1
//   0x4A input channel flags of channels 3 (low byte) and 4 (high byte)
//   0x4C fixed logic packages (bit n = package n)
//   0x4D feature bits
//   0x4E, 0x4F sample memory size / 4096, low and high half
//   0x5A ZAB FPGA type (0 LX50T, 1 SX95T)
//   0x5B configuration: master/slave (bits 0-3), sync (4-7), external
//        trigger (8-11), input filter (12-15)
//   0x5C input channel flags of channels 1 (low byte) and 2 (high byte)
//   0x5D (93) FPGA type: 0 LX50T, 1 SX95T
//   0x5E clock-manager phase steps with bit 15 set; default 0 (28 steps)
//   0x70 hardware revision (board revision; 1 = two-channel model)
//   0x71 board type code, 1
//   0x72, 0x73 serial number, low and high half
//   0x74 board variant: the board revision
//   0x77 manufacture date code (0xYYMM in BCD)
//   0x78 reserved, 0
//   0x7A check word, always 0x5A5A
//   0x7B firmware capabilities: bit 0 the time-stamp FIFO reports overflows
//   0x7F (127) checksum: 16-bit wrapping sum of words 0..126
constexpr uint32_t kEepromWords = 128;
constexpr uint32_t kEepromSdramDelayWord = 61;
constexpr uint32_t kEepromOptionWord = 0x46;
constexpr uint32_t kEepromPresetWord = 0x49;
constexpr uint32_t kEepromChannelFlags34Word = 0x4A;
constexpr uint32_t kEepromPackagesWord = 0x4C;
constexpr uint32_t kEepromFeaturesWord = 0x4D;
constexpr uint32_t kEepromRamLowWord = 0x4E;
constexpr uint32_t kEepromRamHighWord = 0x4F;
constexpr uint32_t kEepromZabFpgaWord = 0x5A;
constexpr uint32_t kEepromConfigWord = 0x5B;
constexpr uint32_t kEepromChannelFlags12Word = 0x5C;
constexpr uint32_t kEepromFpgaTypeWord = 93;
constexpr uint32_t kEepromRevisionWord = 0x70;
constexpr uint32_t kEepromBoardTypeWord = 0x71;
constexpr uint32_t kEepromSerialLowWord = 0x72;
constexpr uint32_t kEepromSerialHighWord = 0x73;
constexpr uint32_t kEepromVariantWord = 0x74;
constexpr uint32_t kEepromDateWord = 0x77;
constexpr uint32_t kEepromCheckWord = 0x7A;
constexpr uint32_t kEepromCapabilityWord = 0x7B;
constexpr uint16_t kEepromSignature = 0x5A5A; // in the check word of every programmed image
constexpr uint32_t kEepromChecksumWord = 127;

using EepromImage = std::array<uint16_t, kEepromWords>;

// Checks what the simulator configuration may declare; false names no reason.
bool IsPlausible(const BoardDescription& desc);
EepromImage MakeEepromImage(const BoardDescription& desc);
// The checksum word's value: the 16-bit wrapping sum of words 0..126, as the
// application writes it after changing a word.
uint16_t EepromChecksum(const EepromImage& image);
// Consistent: the check word holds the signature and word 127 the checksum.
bool IsEepromValid(const EepromImage& image);

} // namespace tq8
