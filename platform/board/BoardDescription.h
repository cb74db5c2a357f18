#pragma once
// What a board is, as opposed to how it is set: fixed at manufacture or by
// the simulator's configuration.
#include <array>
#include <cstdint>

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

    bool IsTwoChannelModel() const { return revision == 1; }
    int InputChannels() const { return IsTwoChannelModel() ? 2 : 4; }
    // Offset of the analog front end in codes: makes centring meaningful.
    int InherentOffset(int channel) const;
};

constexpr uint32_t kMaxRamSize = 0x80000000u;
constexpr uint32_t kEepromWords = 128;
constexpr uint32_t kEepromFpgaTypeWord = 93;
constexpr uint32_t kEepromSdramDelayWord = 61;
constexpr uint32_t kEepromSerialLowWord = 0x72;
constexpr uint32_t kEepromSerialHighWord = 0x73;
constexpr uint32_t kEepromBoardTypeWord = 0x71;
constexpr uint32_t kEepromVariantWord = 0x74;
constexpr uint32_t kEepromCheckWord = 0x7A;
constexpr uint16_t kEepromSignature = 0x5A5A; // in the check word of every programmed image
constexpr uint32_t kEepromChecksumWord = 127;

using EepromImage = std::array<uint16_t, kEepromWords>;

// Checks what the simulator configuration may declare; false names no reason.
bool IsPlausible(const BoardDescription& desc);
EepromImage MakeEepromImage(const BoardDescription& desc);
// The value of the checksum word that makes the sum of all 128 words 0
// (mod 2^16).
uint16_t EepromChecksum(const EepromImage& image);
// Consistent: the check word holds the signature and all words sum to 0.
bool IsEepromValid(const EepromImage& image);

} // namespace tq8
