// Single words of the configuration EEPROM.
#include <thread>

#include "ApiCommon.h"
#include "CSimClock.h"

using namespace tq8;

namespace {
// A word write takes the serial EEPROM this long to program.
constexpr double kWordWriteSeconds = 0.005;
} // namespace

extern "C" {

int32_t InternReadConfigEepromTQ8(TQ8_HANDLE h, uint32_t word, uint16_t* value)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (value == nullptr)
            return TQ8_ERR_INVALID_ARG;
        return b.ReadEeprom(word, value, 1);
    });
}

int32_t InternWriteConfigEepromTQ8(TQ8_HANDLE h, uint32_t word, uint16_t value)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        const int32_t rc = b.WriteEeprom(word, &value, 1);
        if (rc == TQ8_OK)
            std::this_thread::sleep_for(CSimClock::ToWall(kWordWriteSeconds));
        return rc;
    });
}

} // extern "C"
