#include "CSimClock.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace tq8 {

namespace {
std::atomic<double> g_factor{1.0};
constexpr double kFastest = 1e-6;
}

bool CSimClock::SetFactor(double factor)
{
    if (!(factor >= 0.0) || factor > 1000.0)
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
    // At factor 0 nothing waits: simulated time then runs as fast as the
    // smallest factor lets it, so waits for it are over at once too.
    return std::chrono::duration<double>(wall).count() / std::max(Factor(), kFastest);
}

} // namespace tq8
