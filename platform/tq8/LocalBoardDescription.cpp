#include "LocalBoardDescription.h"

namespace tq8 {

namespace {
constexpr uint32_t kIdentificationModel = 0x3300;
constexpr uint32_t kRamUnit = 4096;
} // namespace

BoardDescription LocalBoardDescription(const wdm::TQ8_CONFIG_CACHE& cache, uint32_t serial, uint64_t driverVersion)
{
    BoardDescription d;
    d.kind = BoardKind::Local;
    d.serial = serial;
    // The identification register carries the revision where the EEPROM
    // word is blank; the EEPROM word wins otherwise.
    const uint32_t idRevision = (cache.identification >> 16) == kIdentificationModel ? (cache.identification >> 8) & 0xFF : 0;
    d.revision = cache.word70 != 0 ? cache.word70 : idRevision;
    d.features = cache.word4D;
    d.packages = cache.word4C;
    d.channelFlags = {uint32_t{cache.word5C} & 0xFF, uint32_t{cache.word5C} >> 8, uint32_t{cache.word4A} & 0xFF,
                      uint32_t{cache.word4A} >> 8};
    d.masterSlave = cache.word5B & 0xF;
    d.syncConfig = (cache.word5B >> 4) & 0xF;
    d.extTriggerConfig = (cache.word5B >> 8) & 0xF;
    d.inputFilterConfig = (cache.word5B >> 12) & 0xF;
    d.zabFpgaType = cache.word5A;
    d.fpgaType = cache.word5D;
    const uint64_t ram = (uint64_t{cache.word4F} << 16 | cache.word4E) * kRamUnit;
    d.ramSize = ram > kMaxRamSize ? kMaxRamSize : static_cast<uint32_t>(ram);
    d.driverVersion = driverVersion;
    d.timestampOverflowFlag = (cache.word7B & 1) != 0;
    return d;
}

} // namespace tq8
