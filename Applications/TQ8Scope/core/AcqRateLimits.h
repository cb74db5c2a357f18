#pragma once
// The ADC rates a board runs at, in MHz: what the rate fields say in their
// hints and error texts, and what every clock given to a board must keep to.
namespace acqrate {

inline constexpr double kMinMHz = 200.0;
// With ADC interleaving two converters share the clock.
inline constexpr double kMinInterleavedMHz = 500.0;
inline constexpr double kMaxMHz = 1500.0;

} // namespace acqrate
