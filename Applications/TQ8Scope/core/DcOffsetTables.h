#pragma once
// The per-channel DC-offset functions of the device library, by channel
// index 0..3, so that the DC offset form treats the four channels alike.
#include <array>
#include <cstdint>

#include "TQ8_64.h"

using DcOffsetSetter = int32_t (*)(TQ8_HANDLE, int32_t);
using DcOffsetGetter = int32_t (*)(TQ8_HANDLE, int32_t);

inline constexpr std::array<DcOffsetSetter, 4> kSetDcOffsetFuncs = {SetDcOffsetCh1TQ8, SetDcOffsetCh2TQ8,
                                                                    SetDcOffsetCh3TQ8, SetDcOffsetCh4TQ8};
inline constexpr std::array<DcOffsetGetter, 4> kGetDcOffsetFuncs = {GetDcOffsetCh1TQ8, GetDcOffsetCh2TQ8,
                                                                    GetDcOffsetCh3TQ8, GetDcOffsetCh4TQ8};
