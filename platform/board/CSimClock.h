#pragma once
// Simulated time: board durations are computed in simulated seconds and
// stretched or shrunk by one process-wide factor, so tests run fast.
#include <chrono>

namespace tq8 {

class CSimClock {
public:
    using Clock = std::chrono::steady_clock;

    // Refuses factors outside [0, 1000]; returns whether it was applied.
    // 0: as fast as possible, nothing waits.
    static bool SetFactor(double factor);
    static double Factor();
    // Wall-clock time that the given simulated duration takes.
    static Clock::duration ToWall(double simSeconds);
    // Simulated seconds that the given wall-clock duration represents.
    static double ToSim(Clock::duration wall);
};

} // namespace tq8
