#include "StreamCopy.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tq8 {

void StreamCopy(uint8_t* target, const uint8_t* source, size_t bytes)
{
#if defined(__SSE2__)
    // Short copies gain nothing from going around the caches.
    constexpr size_t kMinStreamed = 4096;
    if (bytes >= kMinStreamed) {
        const size_t head = (16 - reinterpret_cast<uintptr_t>(target) % 16) % 16;
        std::memcpy(target, source, head);
        target += head;
        source += head;
        bytes -= head;
        for (; bytes >= 64; bytes -= 64, target += 64, source += 64) {
            const auto* from = reinterpret_cast<const __m128i*>(source);
            auto* to = reinterpret_cast<__m128i*>(target);
            const __m128i a = _mm_loadu_si128(from);
            const __m128i b = _mm_loadu_si128(from + 1);
            const __m128i c = _mm_loadu_si128(from + 2);
            const __m128i d = _mm_loadu_si128(from + 3);
            _mm_stream_si128(to, a);
            _mm_stream_si128(to + 1, b);
            _mm_stream_si128(to + 2, c);
            _mm_stream_si128(to + 3, d);
        }
        _mm_sfence();
    }
#endif
    std::memcpy(target, source, bytes);
}

} // namespace tq8
