#include "CSimClock.h"

#include <atomic>
#include <cmath>

namespace tq8 {

namespace {
std::atomic<double> g_factor{1.0};
}

bool CSimClock::SetFactor(double factor)
{
    if (!(factor > 0.0) || factor > 1000.0)
        return false;
    g_factor.store(factor);
    return true;
}

double CSimClock::Factor()
{
    return g_factor.load();
}

CSimClock::Clock::duration CSimClock::ToWall(double simSeconds)
{
    double wall = simSeconds * Factor();
    if (!(wall > 0.0))
        return Clock::duration::zero();
    // Far beyond any acquisition; keeps the conversion from overflowing.
    wall = std::min(wall, 1.0e7);
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(wall));
}

double CSimClock::ToSim(Clock::duration wall)
{
    return std::chrono::duration<double>(wall).count() / Factor();
}

} // namespace tq8
