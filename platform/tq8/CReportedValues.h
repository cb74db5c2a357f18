#pragma once
// Values the library reports for a board in place of the board's own, set
// through the simulator's control, so that callers' handling of other
// drivers and board variants can be tested. The simulated board itself is
// not changed by them.
// Threads: the simulator's control and every library call; the mutex guards the values.
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>

namespace tq8 {

class CReportedValues {
public:
    enum class Item { DriverVersion, RamSize, ActiveChannels, MaxSampleCount };

    void Set(uint32_t serial, Item item, int64_t value);
    std::optional<int64_t> Get(uint32_t serial, Item item) const;
    void Clear();

private:
    mutable std::mutex m_mutex;
    std::map<std::pair<uint32_t, Item>, int64_t> m_values;
};

} // namespace tq8
