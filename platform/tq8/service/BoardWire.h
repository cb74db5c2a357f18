#pragma once
// What the board service and the library's remote boards say to each other
// over the service host's framing: one table of call methods with their
// parameters and return items. The service builds its dispatch from it.
#include <cstddef>
#include <cstdint>
#include <iterator>

namespace tq8wire {

enum class Method { List, Open, Count };

struct MethodRow {
    Method method;
    const char* name;
    const char* parameters; // in order, ";"-separated
    const char* returns;
};

// List: this computer's local boards. Open: binds the connection to a board
// (Virtual 1 creates or opens that virtual board; otherwise Serial is a
// serial or a 1-based ordinal, a serial winning) and answers Result.
inline constexpr MethodRow kMethods[] = {
    {Method::List, "TQ8_LIST", "", "Count;Device"},
    {Method::Open, "TQ8_OPEN", "Serial;Virtual", "Result;Serial"},
};
static_assert(std::size(kMethods) == static_cast<size_t>(Method::Count), "one row per method");

constexpr const char* Name(Method m)
{
    return kMethods[static_cast<size_t>(m)].name;
}

inline constexpr char kSerial[] = "Serial";
inline constexpr char kVirtual[] = "Virtual";
inline constexpr char kResult[] = "Result";
inline constexpr char kCount[] = "Count";
inline constexpr char kDevice[] = "Device";

} // namespace tq8wire
