#pragma once
// What a save of board memory needs besides the board: the stretch of
// samples, where they come from and the destination files.
#include <cstdint>

#include "CDestFileOpts.h"

class CSaveBrdDataCtx {
public:
    static constexpr uint32_t kSourceBoardMemory = 0;
    static constexpr uint32_t kSourceSnapshot = 1;
    // Flag bit that is never kept in the options.
    static constexpr uint32_t kFlagNotStored = 0x40;

    CSaveBrdDataCtx() = default;
    virtual ~CSaveBrdDataCtx() = default;

    // The destination flags as the options keep them, and back.
    uint32_t GetStoredFlags() const;
    void SetStoredFlags(uint32_t flags);

    uint32_t FirstSample = 0;
    uint32_t SampleCount = 1048576;
    uint32_t Source = kSourceBoardMemory;
    CDestFileOpts DestFileOpts;
};
