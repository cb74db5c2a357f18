#pragma once
// How simulated boards stream to a recording, set by the simulator control:
// the size of the board memory used as the ring between board and files,
// and whether a full ring makes the board wait (back-pressure, nothing is
// lost) or loses samples as a real board streaming in real time would.
// Sessions take the values when they are armed.
#include <cstdint>

namespace tq8 {

struct RecordingSimSettings {
    static constexpr uint64_t kDefaultRingBytes = 16u << 20;

    uint64_t ringBytes = kDefaultRingBytes;
    bool realTime = false;

    static RecordingSimSettings Get();
    static void Set(const RecordingSimSettings& settings);
};

} // namespace tq8
