#pragma once
// The simulator's configuration text (format in TQ8Sim.h).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "BoardDescription.h"
#include "CSignalGenerator.h"

namespace tq8 {

struct SimSignalEntry {
    uint32_t serial = 0;
    int channel = 0;
    ChannelSignal signal;
};

struct SimBoardEntry {
    BoardDescription desc;
    std::optional<uint64_t> seed;
};

struct SimConfig {
    std::optional<double> timeFactor;
    std::vector<SimBoardEntry> boards;
    std::vector<SimSignalEntry> signals;
};

// Larger configurations are refused unread.
inline constexpr size_t kMaxSimConfigBytes = size_t(4) << 20;

// TQ8_OK, or TQ8_ERR_BAD_SETTINGS for text that is not a valid
// configuration (nothing is taken from it then; reason says why).
int32_t ParseSimConfig(std::string_view xml, SimConfig& out, std::string* reason = nullptr);

} // namespace tq8
