#pragma once
// Copies bytes into a buffer that only a device or the kernel reads next
// (a direct-I/O stage): on x86-64 with stores that go around the caches, so
// the copy neither fetches the target's lines first nor evicts the data the
// caller works on. The stores are ordered before the call returns, so the
// buffer may be handed to another thread at once.
#include <cstddef>
#include <cstdint>

namespace tq8 {

void StreamCopy(uint8_t* target, const uint8_t* source, size_t bytes);

} // namespace tq8
