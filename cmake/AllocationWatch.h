#pragma once
// For test programs that watch their allocations: linking this replaces
// every form of the global operator new and delete (malloc and free
// underneath, so that the two always pair), and each operator new calls the
// hook, when one is set, on the allocating thread, with the size asked for.
#include <cstddef>

namespace allocwatch {

using Hook = void (*)(std::size_t size);
void SetHook(Hook hook);

} // namespace allocwatch
