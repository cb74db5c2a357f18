// Sample memory, DMA buffers, errors and handed-out memory.
#include <algorithm>
#include <cstring>

#include "ApiCommon.h"
#include "ChannelSelection.h"
#include "ErrorTexts.h"
#include "RecordedDataInfo.h"

using namespace tq8;

extern "C" {

int32_t GetSampleRamSizeTQ8(TQ8_HANDLE h, uint32_t* samples)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (samples == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *samples = Reported(b, CReportedValues::Item::RamSize, b.RamSize());
        return TQ8_OK;
    });
}

int32_t ReadSampleRamBufTQ8(TQ8_HANDLE h, uint32_t first, uint32_t count, uint8_t* buffer, int32_t async)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) {
        return async != 0 ? b.StartReadRam(first, count, buffer) : b.ReadRam(first, count, buffer);
    });
}

int32_t ReadSampleRamFastTQ8(TQ8_HANDLE h, uint32_t first, uint32_t bytes, uint8_t* dmaBuffer, int32_t async)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (!Lib().Memory().Owns(dmaBuffer, HandleId(h), bytes))
            return TQ8_ERR_DMA_BUFFER;
        return async != 0 ? b.StartReadRam(first, bytes, dmaBuffer) : b.ReadRam(first, bytes, dmaBuffer);
    });
}

int32_t GetPciAcquisitionDataFastTQ8(TQ8_HANDLE h, uint32_t bytes, uint8_t* dmaBuffer, int32_t async)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (!Lib().Memory().Owns(dmaBuffer, HandleId(h), bytes))
            return TQ8_ERR_DMA_BUFFER;
        if (IsRecording(b))
            return TQ8_ERR_BUSY;
        int32_t rc = b.StartPciAcquisition(bytes, dmaBuffer);
        return rc == TQ8_OK && async == 0 ? b.WaitTransfer(UINT32_MAX) : rc;
    });
}

int32_t WaitForTransferCompleteTQ8(TQ8_HANDLE h, uint32_t timeoutMs)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) { return b.WaitTransfer(timeoutMs); });
}

int32_t AllocateDmaBufferTQ8(TQ8_HANDLE h, uint32_t bytes, uint8_t** buffer)
{
    return WithBoard(__func__, h, [&](IBoardBackend&) -> int32_t {
        if (buffer == nullptr || bytes == 0)
            return TQ8_ERR_INVALID_ARG;
        *buffer = static_cast<uint8_t*>(Lib().Memory().Allocate(bytes, HandleId(h)));
        return *buffer != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
    });
}

int32_t FreeDmaBufferTQ8(TQ8_HANDLE h, uint8_t* buffer)
{
    return WithBoard(__func__, h, [&](IBoardBackend&) -> int32_t {
        return Lib().Memory().Free(buffer, HandleId(h)) ? TQ8_OK : TQ8_ERR_DMA_BUFFER;
    });
}

int32_t InitRecordedDataInfoTQ8(TQ8_HANDLE h, TQ8_RECORDED_DATA_INFO* info)
{
    return WithBoard(__func__, h, [&](IBoardBackend& b) -> int32_t {
        if (info == nullptr || info->size < sizeof(TQ8_RECORDED_DATA_INFO))
            return TQ8_ERR_INVALID_ARG;
        FillRecordedDataInfo(b.Desc(), b.Settings(), *info);
        return TQ8_OK;
    });
}

int32_t GetErrorTextWTQ8(int32_t code, wchar_t** text, uint32_t, TQ8_HANDLE)
{
    return Guard(__func__, [&]() -> int32_t {
        if (text == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *text = nullptr;
        const wchar_t* known = ErrorText(code);
        if (known == nullptr)
            return TQ8_ERR_INVALID_ARG;
        *text = Lib().Memory().CopyWide(known);
        return *text != nullptr ? TQ8_OK : TQ8_ERR_NO_MEMORY;
    });
}

int32_t FreeMemoryTQ8(void* memory)
{
    try {
        if (memory == nullptr)
            return TQ8_OK;
        return Lib().Memory().Free(memory) ? TQ8_OK : TQ8_ERR_INVALID_ARG;
    } catch (...) {
        return TQ8_ERR_GENERAL;
    }
}

} // extern "C"
