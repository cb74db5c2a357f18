#pragma once
// What a configuration PROM holds after an upload: a sync word, the
// version and custom id the image carries, its length, then the bitstream
// bytes; bytes go in one after the other, each least significant bit first.
// The parts in bypass between the port and the PROM shift a few stray bits
// in ahead of it, so a reader looks for the sync word near the start.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "CFirmwareState.h"

namespace tq8 {

constexpr size_t kConfigHeadBytes = 16;

struct ConfigImage {
    FirmwareVersion version;
    std::string bytes;
};

// The head that goes in ahead of an image of that many bytes.
std::string ConfigImageHead(const FirmwareVersion& version, size_t length);
// The image in the bits, its sync word within the first maxOffset bits;
// none when there is no sync word or fewer bits than the length asks for.
std::optional<ConfigImage> ParseConfigImage(const std::vector<bool>& bits, size_t maxOffset);
// The bytes as bits in the order they are shifted.
std::vector<bool> BytesToBits(const std::string& bytes);

} // namespace tq8
