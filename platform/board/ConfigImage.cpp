#include "ConfigImage.h"

#include <cstdint>

namespace tq8 {

namespace {
constexpr uint32_t kSyncWord = 0xAA995566;

void PutWord(std::string& out, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>((word >> (8 * i)) & 0xFF));
}

uint8_t ByteAt(const std::vector<bool>& bits, size_t first)
{
    uint8_t b = 0;
    for (size_t k = 0; k < 8; ++k)
        b = static_cast<uint8_t>(b | (bits[first + k] ? 1u : 0u) << k);
    return b;
}

uint32_t WordAt(const std::vector<bool>& bits, size_t first)
{
    uint32_t w = 0;
    for (size_t i = 0; i < 4; ++i)
        w |= uint32_t{ByteAt(bits, first + 8 * i)} << (8 * i);
    return w;
}
} // namespace

std::string ConfigImageHead(const FirmwareVersion& version, size_t length)
{
    std::string out;
    PutWord(out, kSyncWord);
    PutWord(out, version.version);
    PutWord(out, version.custom);
    PutWord(out, static_cast<uint32_t>(length));
    return out;
}

std::optional<ConfigImage> ParseConfigImage(const std::vector<bool>& bits, size_t maxOffset)
{
    for (size_t offset = 0; offset < maxOffset && offset + 8 * kConfigHeadBytes <= bits.size(); ++offset) {
        if (WordAt(bits, offset) != kSyncWord)
            continue;
        const uint64_t length = WordAt(bits, offset + 96);
        const size_t first = offset + 8 * kConfigHeadBytes;
        if (first + 8 * length > bits.size())
            return std::nullopt;
        ConfigImage image;
        image.version = FirmwareVersion{WordAt(bits, offset + 32), WordAt(bits, offset + 64)};
        image.bytes.resize(static_cast<size_t>(length));
        for (size_t i = 0; i < image.bytes.size(); ++i)
            image.bytes[i] = static_cast<char>(ByteAt(bits, first + 8 * i));
        return image;
    }
    return std::nullopt;
}

std::vector<bool> BytesToBits(const std::string& bytes)
{
    std::vector<bool> bits;
    bits.reserve(bytes.size() * 8);
    for (char c : bytes)
        for (int k = 0; k < 8; ++k)
            bits.push_back(((static_cast<uint8_t>(c) >> k) & 1) != 0);
    return bits;
}

} // namespace tq8
