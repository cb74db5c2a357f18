// Counts every allocation of this test program, to show that a prepared
// engine transforms without allocating.
#include "CFFT.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

namespace {

std::atomic<long> g_allocations{0};

} // namespace

// The thread checker keeps its own operator new and delete: with replacements
// here, Qt's allocations would seem made by this program, and the checker's
// suppressions for Qt's internal hand-overs would no longer apply. There the
// count is left out.
#if defined(__SANITIZE_THREAD__)
constexpr bool kCounting = false;
#else
constexpr bool kCounting = true;

namespace {

void* Allocate(std::size_t size) noexcept
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(size ? size : 1);
}

} // namespace

// Every plain form is replaced, so that allocation and release always pair
// malloc with free.
void* operator new(std::size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}

void* operator new[](std::size_t size)
{
    if (void* p = Allocate(size))
        return p;
    throw std::bad_alloc();
}

void* operator new(std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept
{
    return Allocate(size);
}

void operator delete(void* p) noexcept
{
    std::free(p);
}

void operator delete[](void* p) noexcept
{
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete[](void* p, std::size_t) noexcept
{
    std::free(p);
}

void operator delete(void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}

void operator delete[](void* p, const std::nothrow_t&) noexcept
{
    std::free(p);
}
#endif

TEST(CFFTAllocation, SameSizeTransformsAllocateNothing)
{
    if (!kCounting)
        GTEST_SKIP() << "allocations are not counted under the thread checker";
    const int n = 4096;
    std::vector<int16_t> x(n);
    for (int i = 0; i < n; ++i)
        x[static_cast<size_t>(i)] = static_cast<int16_t>((i * 37) % 2000 - 1000);
    std::vector<uint8_t> trace(n / 2);
    std::vector<double> sum(n, 0.0);
    FftMetrics m;
    CFFT fft;
    fft.SetMaxPeaks(64);
    fft.SetExclusionPercent(10.0);
    ASSERT_EQ(0, fft.ProcessSamples<int16_t>(trace.data(), x.data(), n, 14, 100.0, &m));

    const long before = g_allocations.load();
    for (int window = 1; window <= 4; ++window) {
        fft.SetWindow(window);
        ASSERT_EQ(0, fft.ProcessSamples<int16_t>(trace.data(), x.data(), n, 14, 100.0, &m));
        ASSERT_EQ(0, fft.AccumulateAverage(trace.data(), n, sum.data(), window, 100.0, &m));
    }
    EXPECT_EQ(g_allocations.load(), before);

    // Another size prepares new buffers.
    ASSERT_EQ(0, fft.ProcessSamples<int16_t>(trace.data(), x.data(), n / 2, 14, 100.0, &m));
    EXPECT_GT(g_allocations.load(), before);
}
