// Simulator control of the maintenance state: input delays, firmware and
// JTAG access of a board.
#include "ApiCommon.h"
#include "TQ8Sim.h"

using namespace tq8;

extern "C" {

int32_t TQ8Sim_GetInputDelays(uint32_t serial, uint32_t* sdram1, uint32_t* sdram2, uint32_t* extTrigger)
{
    return WithModel(serial, [&](CSimBoard& board) {
        if (sdram1)
            *sdram1 = board.SdramDelay(0);
        if (sdram2)
            *sdram2 = board.SdramDelay(1);
        if (extTrigger)
            *extTrigger = board.ExtTriggerDelay();
        return TQ8_OK;
    });
}

int32_t TQ8Sim_SetFirmwareActivation(uint32_t serial, int32_t part, int32_t activation)
{
    if ((part != 0 && part != 1) || activation < 0 || activation > 2)
        return TQ8_ERR_INVALID_ARG;
    return WithModel(serial, [&](CSimBoard& board) {
        board.Firmware().SetActivation(static_cast<FirmwarePart>(part), static_cast<FirmwareActivation>(activation));
        return TQ8_OK;
    });
}

int32_t TQ8Sim_PowerCycle(uint32_t serial)
{
    return WithModel(serial, [&](CSimBoard& board) {
        board.Firmware().PowerCycle();
        return TQ8_OK;
    });
}

int32_t TQ8Sim_SetJtagJumper(uint32_t serial, int32_t set)
{
    return WithModel(serial, [&](CSimBoard& board) {
        board.Firmware().SetJtagJumper(set != 0);
        return TQ8_OK;
    });
}

} // extern "C"
