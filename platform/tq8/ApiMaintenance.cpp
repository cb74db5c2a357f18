// ADC calibration and the driver's statistics.
#include "ApiCommon.h"

using namespace tq8;

extern "C" {

int32_t CalibrateAdcTQ8(TQ8_HANDLE h, int32_t adcIndex)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (adcIndex != 0 && adcIndex != 1)
            return TQ8_ERR_INVALID_ARG;
        if (IsRecording(b))
            return TQ8_ERR_BUSY;
        return b.CalibrateAdc(adcIndex);
    });
}

int32_t GetDriverStatsTQ8(TQ8_HANDLE h, TQ8_DRIVER_STATS* stats, int32_t reset)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        // A larger record keeps its size and whatever follows the 40 bytes.
        if (stats == nullptr || stats->size < sizeof(TQ8_DRIVER_STATS))
            return TQ8_ERR_INVALID_ARG;
        const DriverCounters c = b.ReadDriverStats(reset != 0);
        stats->activeConnections =
            c.openHandles >= 0 ? c.openHandles : static_cast<int32_t>(Lib().Handles().CountFor(&b));
        stats->interrupts = c.interrupts;
        stats->dmaTransfersCompleted = c.dmaCompleted;
        stats->dmaTransfersStarted = c.dmaStarted;
        stats->acquisitionsStarted = c.acquisitionsStarted;
        stats->acquisitionsCompleted = c.acquisitionsCompleted;
        stats->clockModuleResets = c.clockModuleResets;
        stats->bytesTransferred = c.bytesTransferred;
        return TQ8_OK;
    });
}

} // extern "C"
