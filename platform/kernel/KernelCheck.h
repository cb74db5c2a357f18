#pragma once
// Rules of the kernel that a driver must keep. Checked in debug and
// sanitizer builds (VLT_KERNEL_CHECKED); a broken rule stops the process.
#include "KernelTypes.h"

namespace kern {

#ifdef VLT_KERNEL_CHECKED
inline constexpr bool kChecked = true;
#else
inline constexpr bool kChecked = false;
#endif

inline void KernelCheck(bool holds, const char* rule)
{
    if (kChecked && !holds)
        KeBugCheck(rule);
}

} // namespace kern
