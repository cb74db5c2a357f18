#pragma once
// Shared by the acquisition-thread and board-document tests: simulated
// boards that run fast, and a way to let posted messages arrive.
#include <chrono>
#include <thread>

#include <QCoreApplication>

#include "TQ8Sim.h"
#include "TQ8_64.h"
#include "TestApp.h"

namespace doc_test {

// Lets queued messages arrive until cond holds. The deadline only keeps a
// broken build from hanging; the tests assert on cond, never on time.
template <class Cond>
bool PumpUntil(Cond cond)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
}

// Lets whatever is queued now arrive.
inline void Drain()
{
    for (int i = 0; i < 20; ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Waits until the board runs an acquisition (its mode leaves standby).
inline bool WaitUntilAcquiring(TQ8_HANDLE device)
{
    return PumpUntil([device] { return GetOperatingModeTQ8(device, 0) == TQ8_MODE_RAM_ACQ; });
}

// Simulated time: fast for ordinary runs, slow enough that an acquisition
// of `slowSamples` is still running when the test ends it.
constexpr double kFastTime = 0.001;
constexpr double kSlowTime = 1000.0;
constexpr uint32_t kSlowSamples = 8u << 20;

} // namespace doc_test
