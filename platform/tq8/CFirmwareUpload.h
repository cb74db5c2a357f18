#pragma once
// One firmware upload (or verification) to a card, on the caller's thread:
// a stage per bitstream file with progress as its bytes go to (or come back
// from) the card, the wait while the new firmware starts, all in simulated
// time.
#include <cstdint>

#include "CFirmwarePackage.h"
#include "IFirmwareTarget.h"
#include "TQ8_64.h"

namespace tq8 {

class CFirmwareUpload {
public:
    CFirmwareUpload(IFirmwareTarget& target, TQ8_HANDLE handle, TQ8_FW_PROGRESS_CALLBACK callback, void* context);

    // fpgaType: EEPROM word 93 of the card. Result code; out: TQ8_FW_OUT_*.
    int32_t Run(const CFirmwarePackage& package, uint32_t fpgaType, uint32_t& out);

private:
    int32_t Verify(const CFirmwarePackage& package, const std::vector<FirmwareImage>& images, uint32_t& out);
    // holds: the part's memory already holds the image (read back by Run).
    int32_t Load(const CFirmwarePackage& package, const FirmwareImage& image, bool holds, uint32_t& out);
    // Whether the part's memory holds the image, read back without progress.
    int32_t Holds(const FirmwareImage& image, const std::string& joined, bool& holds);
    // Stage of one file: its bytes in pieces to (or from) the target, with
    // paced progress; at rate 0 nothing moves and the stage passes at once;
    // writes: a failure injected for file writes ends it.
    int32_t Stage(const std::string& bytes, double bytesPerSecond, bool writes);
    void Report(uint32_t position, uint32_t range, int32_t index, uint32_t countOrWait) const;

    IFirmwareTarget& m_target;
    TQ8_HANDLE m_handle;
    TQ8_FW_PROGRESS_CALLBACK m_callback;
    void* m_context;
    int32_t m_fileIndex = 0;
    uint32_t m_fileCount = 0;
};

} // namespace tq8
