// Register sets, chip registers behind the serial ports and raw register
// windows.
#include <thread>

#include "ApiCommon.h"
#include "CSimClock.h"

using namespace tq8;

namespace {
constexpr uint32_t kMaxDelayUs = 1000000;

bool DelaysValid(uint32_t before, uint32_t after)
{
    return before <= kMaxDelayUs && after <= kMaxDelayUs;
}

void Delay(uint32_t us)
{
    if (us != 0)
        std::this_thread::sleep_for(CSimClock::ToWall(us * 1e-6));
}

// The settle delays around a register access, in simulated time.
template <class F>
int32_t Delayed(uint32_t before, uint32_t after, F&& access)
{
    if (!DelaysValid(before, after))
        return TQ8_ERR_INVALID_ARG;
    Delay(before);
    const int32_t rc = access();
    if (rc == TQ8_OK)
        Delay(after);
    return rc;
}
} // namespace

extern "C" {

int32_t GetRegSetTQ8(TQ8_HANDLE h, int32_t set, const uint32_t** words)
{
    return Guard(__func__, [&]() -> int32_t {
        auto connection = Lib().Find(HandleId(h));
        if (!connection)
            return TQ8_ERR_INVALID_HANDLE;
        const uint32_t count = CBoardRegisters::SetWords(set);
        if (count == 0 || words == nullptr)
            return TQ8_ERR_INVALID_ARG;
        std::vector<uint32_t> copy(count);
        if (int32_t rc = connection->backend->ReadRegisterSet(set, copy.data()); rc != TQ8_OK)
            return rc;
        auto& slot = connection->registerSets[static_cast<size_t>(set)];
        slot = std::move(copy);
        *words = slot.data();
        return TQ8_OK;
    });
}

int32_t WriteAdcRegTQ8(TQ8_HANDLE h, int32_t adc, uint32_t reg, uint32_t mask, uint16_t value, uint32_t logIdx,
                       uint32_t subIdx, uint32_t delayBeforeUs, uint32_t delayAfterUs)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) {
        return Delayed(delayBeforeUs, delayAfterUs,
                       [&] { return b.WriteAdcReg(adc, reg, mask, value, Placement{logIdx, subIdx}); });
    });
}

int32_t ReadClockGenRegTQ8(TQ8_HANDLE h, int32_t cg, uint32_t reg, uint32_t logIdx, uint32_t byteIdx, uint8_t* value,
                           uint32_t)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (value == nullptr)
            return TQ8_ERR_INVALID_ARG;
        return b.ReadClockGenReg(cg, reg, Placement{logIdx, byteIdx}, *value);
    });
}

int32_t WriteClockGenRegTQ8(TQ8_HANDLE h, int32_t cg, uint32_t reg, uint32_t mask, uint8_t value, uint32_t logIdx,
                            uint32_t byteIdx, uint32_t delayBeforeUs, uint32_t delayAfterUs, uint32_t)
{
    // The update command only latches what was written; the model applies
    // every write at once.
    return WithBoard(__func__, h, [&](IBoardBackend& b) {
        return Delayed(delayBeforeUs, delayAfterUs, [&] {
            return b.WriteClockGenReg(cg, reg, static_cast<uint8_t>(mask), value, Placement{logIdx, byteIdx});
        });
    });
}

int32_t ReadDeviceRegTQ8(TQ8_HANDLE h, uint32_t reg, uint32_t* value, uint32_t, uint32_t)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (value == nullptr)
            return TQ8_ERR_INVALID_ARG;
        return b.ReadDeviceReg(reg, *value);
    });
}

int32_t WriteDeviceRegTQ8(TQ8_HANDLE h, uint32_t reg, uint32_t mask, uint32_t value, uint32_t delayBeforeUs,
                          uint32_t delayAfterUs, uint32_t)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) {
        return Delayed(delayBeforeUs, delayAfterUs, [&] { return b.WriteDeviceReg(reg, mask, value); });
    });
}

int32_t _RawRegReadTQ8(TQ8_HANDLE h, int32_t bar, uint32_t reg, uint32_t* value)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (value == nullptr)
            return TQ8_ERR_INVALID_ARG;
        return b.RawRegRead(bar, reg, *value);
    });
}

int32_t _RawRegWriteTQ8(TQ8_HANDLE h, int32_t bar, uint32_t reg, uint32_t value)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.RawRegWrite(bar, reg, value); });
}

int32_t _SetAdcChanOffsetAdjTQ8(TQ8_HANDLE h, int32_t channel, int32_t value)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.SetAdcOffsetAdjust(channel, value); });
}

int32_t WriteRegExternalTriggerClockIDelay(TQ8_HANDLE h, uint32_t taps)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.SetExtTriggerDelay(taps); });
}

} // extern "C"
