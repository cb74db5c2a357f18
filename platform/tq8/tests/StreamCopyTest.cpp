#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "StreamCopy.h"

namespace {

// Every target misalignment against lengths on both sides of the streamed
// path's limits; the bytes around the target must stay as they were.
TEST(StreamCopy, CopiesExactlyTheBytesAtAnyAlignment)
{
    constexpr size_t kGuard = 64;
    std::vector<uint8_t> source(70000);
    for (size_t i = 0; i < source.size(); ++i)
        source[i] = static_cast<uint8_t>(i * 131 + 7);
    for (const size_t bytes : {0, 1, 63, 4095, 4096, 4097, 4096 + 63, 65536 + 13}) {
        for (size_t offset = 0; offset < 17; ++offset) {
            std::vector<uint8_t> target(bytes + offset + 2 * kGuard, 0xEE);
            tq8::StreamCopy(target.data() + kGuard + offset, source.data() + 3, bytes);
            for (size_t i = 0; i < target.size(); ++i) {
                const bool inside = i >= kGuard + offset && i < kGuard + offset + bytes;
                const uint8_t expected = inside ? source[i - kGuard - offset + 3] : 0xEE;
                ASSERT_EQ(target[i], expected) << bytes << " bytes at offset " << offset << ", byte " << i;
            }
        }
    }
}

} // namespace
