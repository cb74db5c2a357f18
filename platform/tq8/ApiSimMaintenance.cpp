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

} // extern "C"
