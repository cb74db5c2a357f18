#pragma once
// Tables and kernels of the real power-spectrum transform for one size.
// The N real points are taken as N/2 complex points held in two split arrays
// (real parts, imaginary parts), transformed in place by radix-4 decimation
// in frequency (one radix-2 stage first when log2(N/2) is odd), and split
// into the power of the N/2 real bins. Everything a call needs is built by
// Prepare, so a transform allocates nothing.
#include <cstddef>
#include <cstdint>
#include <vector>

class FftPlan {
public:
    // Builds the tables for n real points (n a power of two, 4 or more).
    // false when n is not such a size or memory runs out; the plan is then
    // empty.
    bool Prepare(int n);
    void Clear();
    int Size() const { return m_n; }

    // Complex forward transform (sign e^-i) of the N/2 points in re/im, in
    // place; the result is left in bit-reversed order.
    void ComplexForward(double* re, double* im) const;

    // The same from the N real points x (weighted by weights unless null),
    // which stay unchanged.
    void ForwardFromReal(const double* x, const double* weights, double* re, double* im) const;

    // Copies N/2 values from bit-reversed into natural order; the two
    // arrays must not overlap.
    void BitReverseCopy(const double* src, double* dst) const;

    // Power of bins 0 .. N/2-1 of the real input, from the bit-reversed
    // complex result. scratch holds N/2 doubles and overlaps nothing; power
    // may be re or im, which are read before it is written.
    void PowerFromBitReversed(const double* re, const double* im, double* scratch, double* power) const;

private:
    struct Stage {
        int quarter;   // q of a radix-4 stage; 0 marks the radix-2 stage
        size_t offset; // into m_twiddles
    };

    void RunStage(const Stage& stage, double* re, double* im, int length) const;
    void RunStages(size_t from, double* re, double* im) const;

    int m_n = 0; // real points
    int m_m = 0; // complex points
    std::vector<Stage> m_stages;
    std::vector<double> m_twiddles;
    // The reversal works on tiles: an index is (high, middle, low) with
    // high and low m_tileBits wide, and each part is reversed by a table.
    int m_bits = 0;
    int m_tileBits = 0;
    std::vector<uint32_t> m_revTile;
    std::vector<uint32_t> m_revMiddle;
    std::vector<double> m_splitCos; // bit-reversed order
    std::vector<double> m_splitSin;
};
