#pragma once
// What the sync-device service and the component say to each other over the
// service host's framing: the service's name and port, its call methods and
// their parameters and return items.
#include <cstdint>

inline constexpr char kHub6ServiceName[] = "VltHUB6";
inline constexpr uint16_t kHub6ServicePort = 3496;
// Each reply is awaited this long, as the application's other service calls are.
inline constexpr int32_t kHub6ReplyTimeoutMs = 3000;
// A reply longer than this is not a sync device's.
inline constexpr uint32_t kHub6MaxReplyBytes = 1u << 20;

namespace hub6wire {
// ReturnData: Count, then one Device per served unit.
inline constexpr char kList[] = "HUB6_LIST";
// Parameters: Serial, Virtual (0 or 1). Binds the connection to that unit.
inline constexpr char kOpen[] = "HUB6_OPEN";
// ReturnData: Rate (MHz).
inline constexpr char kGetClock[] = "HUB6_GET_CLOCK";
// Parameters: Rate (MHz).
inline constexpr char kSetClock[] = "HUB6_SET_CLOCK";
inline constexpr char kSync[] = "HUB6_SYNC";
inline constexpr char kTrigger[] = "HUB6_TRIGGER";

inline constexpr char kSerial[] = "Serial";
inline constexpr char kVirtual[] = "Virtual";
inline constexpr char kRate[] = "Rate";
inline constexpr char kCount[] = "Count";
inline constexpr char kDevice[] = "Device";
} // namespace hub6wire
