#include "FftPlan.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <vector>

namespace {

using Complex = std::complex<long double>;

std::vector<Complex> DirectDft(const std::vector<Complex>& x)
{
    const size_t m = x.size();
    std::vector<Complex> y(m);
    for (size_t k = 0; k < m; ++k)
        for (size_t j = 0; j < m; ++j)
            y[k] += x[j] * std::polar(1.0L, -2.0L * std::numbers::pi_v<long double> * ((k * j) % m) / m);
    return y;
}

} // namespace

// Every size from 2 complex points up, so that each stage shape and both
// reversal paths are met.
TEST(FftPlan, ComplexTransformMatchesTheDirectSum)
{
    std::mt19937 gen(3);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int m = 2; m <= 4096; m *= 2) {
        SCOPED_TRACE(m);
        FftPlan plan;
        ASSERT_TRUE(plan.Prepare(2 * m));
        std::vector<double> re(static_cast<size_t>(m)), im(static_cast<size_t>(m));
        std::vector<Complex> x(static_cast<size_t>(m));
        for (int j = 0; j < m; ++j) {
            re[static_cast<size_t>(j)] = dist(gen);
            im[static_cast<size_t>(j)] = dist(gen);
            x[static_cast<size_t>(j)] = Complex(re[static_cast<size_t>(j)], im[static_cast<size_t>(j)]);
        }
        plan.ComplexForward(re.data(), im.data());
        std::vector<double> nre(re.size()), nim(im.size());
        plan.BitReverseCopy(re.data(), nre.data());
        plan.BitReverseCopy(im.data(), nim.data());
        const auto ref = DirectDft(x);
        long double worst = 0;
        for (size_t k = 0; k < ref.size(); ++k)
            worst = std::max(worst, std::abs(Complex(nre[k], nim[k]) - ref[k]));
        EXPECT_LT(static_cast<double>(worst), 1e-12 * m);
    }
}

TEST(FftPlan, RealInputAndPowerAtSmallSizes)
{
    for (int n : {4, 8, 16, 32, 64, 128}) {
        SCOPED_TRACE(n);
        FftPlan plan;
        ASSERT_TRUE(plan.Prepare(n));
        std::vector<double> x(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            x[static_cast<size_t>(i)] = std::sin(0.7 * i) + 0.25 * i;
        std::vector<double> w(x.size(), 0.5);
        std::vector<double> re(static_cast<size_t>(n / 2)), im(re.size()), scratch(re.size()), power(re.size());
        plan.ForwardFromReal(x.data(), w.data(), re.data(), im.data());
        plan.PowerFromBitReversed(re.data(), im.data(), scratch.data(), power.data());
        std::vector<Complex> xc(x.size());
        for (size_t i = 0; i < x.size(); ++i)
            xc[i] = 0.5L * x[i];
        const auto ref = DirectDft(xc);
        for (int k = 0; k < n / 2; ++k)
            EXPECT_NEAR(power[static_cast<size_t>(k)], static_cast<double>(std::norm(ref[static_cast<size_t>(k)])), 1e-9) << k;
    }
}

TEST(FftPlan, RefusesSizesThatAreNotPowersOfTwo)
{
    FftPlan plan;
    for (int n : {0, 1, 2, 3, 6, 100, -8}) {
        EXPECT_FALSE(plan.Prepare(n)) << n;
        EXPECT_EQ(plan.Size(), 0);
    }
    EXPECT_TRUE(plan.Prepare(8));
    EXPECT_EQ(plan.Size(), 8);
    EXPECT_TRUE(plan.Prepare(8));
    plan.Clear();
    EXPECT_EQ(plan.Size(), 0);
}
