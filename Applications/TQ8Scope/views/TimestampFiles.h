#pragma once
// Reading a board's time-stamp FIFO into the two time-stamp files, and
// draining it, apart from the form that starts them.
//
// Raw file: the values one after another, 8 bytes each, little-endian, no
// header. Text file: one unsigned decimal value per line, each line ended
// by CR LF. Either replaces an existing file only once it is complete.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "TQ8_64.h"

// The FIFO as the writers see it; the device's own in the program, a
// stand-in in tests.
struct TimestampFifo {
    // Entries waiting (0 empty) or a negative code.
    std::function<int32_t()> available;
    // Up to max values into values, how many in count; 0 or a negative code.
    std::function<int32_t(uint64_t* values, uint32_t max, uint32_t* count)> read;
};
TimestampFifo DeviceTimestampFifo(TQ8_HANDLE device);

// Values a save reads at once.
inline constexpr uint32_t kTimestampBlock = 2048;
// Extra values a drain takes beyond the FIFO's depth.
inline constexpr uint32_t kDrainMargin = 16;

// The path a save writes: the typed one, trimmed; a file name without an
// extension gets ".tq8ts", and ".txt" after it for a text file. Empty when
// nothing was typed.
std::wstring TimestampSavePath(std::wstring_view typed, bool asText);

void AppendRawTimestamps(std::string& out, std::span<const uint64_t> values);
void AppendTextTimestamps(std::string& out, std::span<const uint64_t> values);

struct TimestampSaveResult {
    enum Status { Saved, OpenFailed, ReadFailed, WriteFailed };
    Status status = Saved;
    uint32_t count = 0;    // values written
    int32_t readCode = 0;  // of a failed read
    int systemError = 0;   // errno of a failed open or write
};
// Reads the FIFO in blocks of at most buffer.size() values while it reports
// entries, and stops early at a read that delivers none. After a failed
// read the values read before it are kept in the file (the FIFO cannot give
// them back); after a failed write the previous file stays as it was.
TimestampSaveResult SaveTimestamps(const std::string& path, bool asText, const TimestampFifo& fifo,
                                   std::span<uint64_t> buffer);

struct TimestampDrainResult {
    uint32_t count = 0;
    int32_t readCode = 0; // of a failed read, else 0
};
// Reads and discards one value at a time until the FIFO is empty or
// depth + 16 values were taken, so that a FIFO that keeps filling ends too.
TimestampDrainResult DrainTimestamps(const TimestampFifo& fifo, uint32_t depth);
