#pragma once
// Pool allocation with tags. Every allocation is counted under its tag, so a
// test can check that a driver gave back everything it took; freeing with
// another tag stops the system.
#include <cstddef>
#include <cstdint>
#include <map>

#include "KernelTypes.h"

namespace kern {

enum class PoolType { NonPaged, Paged };

// Nullptr when there is no memory (or a failure was injected).
void* ExAllocatePoolWithTag(PoolType type, size_t bytes, uint32_t tag);
void ExFreePoolWithTag(void* block, uint32_t tag);

struct PoolUsage {
    int64_t blocks = 0;
    int64_t bytes = 0;
};
// Outstanding allocations per tag; tags with nothing outstanding are left out.
std::map<uint32_t, PoolUsage> SimPoolOutstanding();

// Kernel services a test can make fail: the next `count` calls fail.
enum class SimFault {
    Pool,
    CreateDevice,
    CreateSymbolicLink,
    AttachDevice,
    RegisterInterface,
    ConnectInterrupt,
    MapIoSpace,
    DmaAdapter,
    CommonBuffer,
    ErrorLogEntry,
    Count
};
void SimFailNext(SimFault fault, uint32_t count = 1);
void SimClearFaults();
// True (and one failure used up) when the service is to fail now.
bool SimShouldFail(SimFault fault);

} // namespace kern
