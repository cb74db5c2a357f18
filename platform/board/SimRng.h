#pragma once
// Small deterministic generator for simulated noise: the same seed gives the
// same samples on every platform.
#include <cmath>
#include <cstdint>

namespace tq8 {

class SimRng {
public:
    explicit SimRng(uint64_t seed) : m_state(seed) {}

    uint64_t Next()
    {
        // splitmix64
        uint64_t z = (m_state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    // [0, 1)
    double Uniform() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

    // Unit variance, near-Gaussian (sum of four uniforms): cheap and bounded.
    double Gauss()
    {
        double s = Uniform() + Uniform() + Uniform() + Uniform() - 2.0;
        return s * 1.7320508075688772;
    }

private:
    uint64_t m_state;
};

} // namespace tq8
