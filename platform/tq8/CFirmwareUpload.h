#pragma once
// One firmware upload (or verification) to a card, on the caller's thread:
// a stage per bitstream file with progress, the wait while the new firmware
// starts, all in simulated time.
#include <cstdint>

#include "CFirmwarePackage.h"
#include "TQ8_64.h"

namespace tq8 {

class CFirmwareUpload {
public:
    CFirmwareUpload(CFirmwareState& state, TQ8_HANDLE handle, TQ8_FW_PROGRESS_CALLBACK callback, void* context);

    // fpgaType: EEPROM word 93 of the card. Result code; out: TQ8_FW_OUT_*.
    int32_t Run(const CFirmwarePackage& package, uint32_t fpgaType, uint32_t& out);

private:
    int32_t Verify(const CFirmwarePackage& package, const std::vector<FirmwareImage>& images, uint32_t& out);
    int32_t Load(const CFirmwarePackage& package, const FirmwareImage& image, uint32_t& out);
    // Stage of one file: paced progress over its bytes; writes: a failure
    // injected for file writes ends it.
    int32_t Stage(const std::string& bytes, double bytesPerSecond, bool writes);
    void Report(uint32_t position, uint32_t range, int32_t index, uint32_t countOrWait) const;

    CFirmwareState& m_state;
    TQ8_HANDLE m_handle;
    TQ8_FW_PROGRESS_CALLBACK m_callback;
    void* m_context;
    int32_t m_fileIndex = 0;
    uint32_t m_fileCount = 0;
};

} // namespace tq8
