#include "FftPlan.h"

#include "VectorClones.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <numbers>

namespace {

// Complex points per block of the cache-blocked stages: the block's real
// and imaginary parts and its twiddles fit the first-level cache.
constexpr int kCacheBlock = 1024;

constexpr int kMaxTileBits = 3;
constexpr int kMaxTile = 1 << kMaxTileBits;

// Rows a..d become columns.
__attribute__((always_inline)) inline void Transpose4(V4& a, V4& b, V4& c, V4& d)
{
    const V4 t0 = __builtin_shufflevector(a, b, 0, 4, 2, 6);
    const V4 t1 = __builtin_shufflevector(a, b, 1, 5, 3, 7);
    const V4 t2 = __builtin_shufflevector(c, d, 0, 4, 2, 6);
    const V4 t3 = __builtin_shufflevector(c, d, 1, 5, 3, 7);
    a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
    b = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
    c = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
    d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

uint32_t ReverseBits(uint32_t value, int bits)
{
    uint32_t r = 0;
    for (int b = 0; b < bits; ++b)
        r |= ((value >> b) & 1u) << (bits - 1 - b);
    return r;
}

int Log2(int n)
{
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    return bits;
}

// e^(-2 pi i k / len), computed directly rather than by recurrence so that
// the error does not grow along the table.
void Twiddle(long k, long len, double& re, double& im)
{
    const double angle = 2.0 * std::numbers::pi * static_cast<double>(k) / static_cast<double>(len);
    re = std::cos(angle);
    im = -std::sin(angle);
}

// The first stage when log2(M) is odd: one group of M points.
FFT_KERNEL void Radix2Stage(double* __restrict re, double* __restrict im, int half,
                 const double* __restrict wr, const double* __restrict wi)
{
    double* __restrict re1 = re + half;
    double* __restrict im1 = im + half;
#pragma GCC ivdep
    for (int j = 0; j < half; ++j) {
        const double ar = re[j], ai = im[j], br = re1[j], bi = im1[j];
        re[j] = ar + br;
        im[j] = ai + bi;
        const double dr = ar - br, di = ai - bi;
        re1[j] = dr * wr[j] - di * wi[j];
        im1[j] = dr * wi[j] + di * wr[j];
    }
}

// One radix-4 stage over groups of 4q points. The outputs of residue 1 and
// 2 trade places so that the final order is plain bit reversal.
template <bool Derived>
FFT_KERNEL void Radix4Stage(double* re, double* im, int m, int q, const double* tw)
{
    const double* __restrict w1r = tw;
    const double* __restrict w1i = tw + q;
    const double* __restrict w2r = tw + 2 * q;
    const double* __restrict w2i = tw + 3 * q;
    const double* __restrict w3r = tw + 4 * q;
    const double* __restrict w3i = tw + 5 * q;
    for (int g = 0; g < m; g += 4 * q) {
        double* __restrict r0 = re + g;
        double* __restrict r1 = r0 + q;
        double* __restrict r2 = r0 + 2 * q;
        double* __restrict r3 = r0 + 3 * q;
        double* __restrict i0 = im + g;
        double* __restrict i1 = i0 + q;
        double* __restrict i2 = i0 + 2 * q;
        double* __restrict i3 = i0 + 3 * q;
        // The eight quarter rows never overlap.
#pragma GCC ivdep
        for (int j = 0; j < q; ++j) {
            const double ar = w1r[j], ai = w1i[j];
            // w^2j and w^3j: from the table, or from w^j where the table
            // would not stay in the cache.
            const double br = Derived ? ar * ar - ai * ai : w2r[j];
            const double bi = Derived ? 2.0 * ar * ai : w2i[j];
            const double cr = Derived ? ar * br - ai * bi : w3r[j];
            const double ci = Derived ? ar * bi + ai * br : w3i[j];
            const double t0r = r0[j] + r2[j], t0i = i0[j] + i2[j];
            const double t1r = r0[j] - r2[j], t1i = i0[j] - i2[j];
            const double t2r = r1[j] + r3[j], t2i = i1[j] + i3[j];
            // (a1 - a3) * -i
            const double t3r = i1[j] - i3[j], t3i = r3[j] - r1[j];
            r0[j] = t0r + t2r;
            i0[j] = t0i + t2i;
            const double y2r = t0r - t2r, y2i = t0i - t2i;
            r1[j] = y2r * br - y2i * bi;
            i1[j] = y2r * bi + y2i * br;
            const double y1r = t1r + t3r, y1i = t1i + t3i;
            r2[j] = y1r * ar - y1i * ai;
            i2[j] = y1r * ai + y1i * ar;
            const double y3r = t1r - t3r, y3i = t1i - t3i;
            r3[j] = y3r * cr - y3i * ci;
            i3[j] = y3r * ci + y3i * cr;
        }
    }
}

// The last radix-4 stage (q = 1): all twiddles are 1.
FFT_KERNEL void Radix4LastStage(double* __restrict re, double* __restrict im, int m)
{
    for (int g = 0; g < m; g += 4) {
        const double a0r = re[g], a1r = re[g + 1], a2r = re[g + 2], a3r = re[g + 3];
        const double a0i = im[g], a1i = im[g + 1], a2i = im[g + 2], a3i = im[g + 3];
        const double t0r = a0r + a2r, t0i = a0i + a2i;
        const double t1r = a0r - a2r, t1i = a0i - a2i;
        const double t2r = a1r + a3r, t2i = a1i + a3i;
        const double t3r = a1i - a3i, t3i = a3r - a1r;
        re[g] = t0r + t2r;
        im[g] = t0i + t2i;
        re[g + 1] = t0r - t2r;
        im[g + 1] = t0i - t2i;
        re[g + 2] = t1r + t3r;
        im[g + 2] = t1i + t3i;
        re[g + 3] = t1r - t3r;
        im[g + 3] = t1i - t3i;
    }
}

// Power of the real bins, on the complex result still in bit-reversed
// order. Bin i pairs with bin M - i; in bit-reversed order the two sit at
// mirror positions of the same octave [h, 2h), so both are read in sequence.
// The powers come out in bit-reversed order too; c and s are the split
// step's cosines and sines in that order.
FFT_KERNEL void SplitPowerBitReversed(const double* __restrict re, const double* __restrict im,
                                      const double* __restrict c, const double* __restrict s, int m,
                                      double* __restrict power)
{
    const double dc = re[0] + im[0];
    power[0] = dc * dc;
    int h = 1;
    for (; h < m && h < 4; h *= 2) {
        const int mirror = 3 * h - 1;
        for (int p = h; p < 2 * h; ++p) {
            const double ar = re[p], ai = im[p];
            const double br = re[mirror - p], bi = im[mirror - p];
            const double e = 0.5 * (ai + bi);
            const double f = 0.5 * (ar - br);
            const double xr = 0.5 * (ar + br) + c[p] * e - s[p] * f;
            const double xi = 0.5 * (ai - bi) - s[p] * e - c[p] * f;
            power[p] = xr * xr + xi * xi;
        }
    }
    // Four at a time from here: the mirror side is read backwards.
    const V4 half = {0.5, 0.5, 0.5, 0.5};
    for (; h < m; h *= 2) {
        const int mirror = 3 * h - 1;
        for (int p = h; p < 2 * h; p += 4) {
            const V4 ar = Load4(re + p), ai = Load4(im + p);
            const V4 br = Reverse4(Load4(re + mirror - p - 3)), bi = Reverse4(Load4(im + mirror - p - 3));
            const V4 cp = Load4(c + p), sp = Load4(s + p);
            const V4 e = half * (ai + bi);
            const V4 f = half * (ar - br);
            const V4 xr = half * (ar + br) + cp * e - sp * f;
            const V4 xi = half * (ai - bi) - sp * e - cp * f;
            Store4(power + p, xr * xr + xi * xi);
        }
    }
}

// One 8 x 8 tile of the bit reversal, rows `stride` apart on both sides:
// element [high][low] goes to [rev(low)][rev(high)]. That is a plain
// transpose of the source rows taken in reversed order, written to the
// destination rows in reversed order, done as four 4 x 4 transposes.
FFT_KERNEL void ReverseTile8(const double* __restrict src, double* __restrict dst, size_t stride)
{
    constexpr int rev[kMaxTile] = {0, 4, 2, 6, 1, 5, 3, 7};
    // v[b][c]: source row rev(c), elements 4b .. 4b+3. All of the source is
    // read before anything is written.
    V4 v[2][kMaxTile];
    for (int c = 0; c < kMaxTile; ++c) {
        const double* row = src + static_cast<size_t>(rev[c]) * stride;
        v[0][c] = Load4(row);
        v[1][c] = Load4(row + 4);
    }
    for (int b = 0; b < 2; ++b) {
        Transpose4(v[b][0], v[b][1], v[b][2], v[b][3]);
        Transpose4(v[b][4], v[b][5], v[b][6], v[b][7]);
    }
    // Now v[b][4h + x] holds elements 4b + x of source rows rev(4h) ..
    // rev(4h + 3): destination row rev(4b + x), columns 4h .. 4h+3.
    for (int b = 0; b < 2; ++b)
        for (int x = 0; x < 4; ++x) {
            double* row = dst + static_cast<size_t>(rev[4 * b + x]) * stride;
            Store4(row, v[b][x]);
            Store4(row + 4, v[b][4 + x]);
        }
}

// The first stage straight from the real input: point j of the complex
// input is (x[2j], x[2j+1]), weighted when weights are given. Radix-2 over
// one group of m points.
template <bool Weighted>
FFT_KERNEL void LoadRadix2(const double* __restrict x, const double* __restrict w, double* __restrict re,
                           double* __restrict im, int m, const double* __restrict wr, const double* __restrict wi)
{
    const int half = m / 2;
    const double* __restrict x1 = x + 2 * half;
    const double* __restrict w1 = Weighted ? w + 2 * half : nullptr;
    double* __restrict re1 = re + half;
    double* __restrict im1 = im + half;
    for (int j = 0; j < half; ++j) {
        double ar = x[2 * j], ai = x[2 * j + 1], br = x1[2 * j], bi = x1[2 * j + 1];
        if constexpr (Weighted) {
            ar *= w[2 * j];
            ai *= w[2 * j + 1];
            br *= w1[2 * j];
            bi *= w1[2 * j + 1];
        }
        re[j] = ar + br;
        im[j] = ai + bi;
        const double dr = ar - br, di = ai - bi;
        re1[j] = dr * wr[j] - di * wi[j];
        im1[j] = dr * wi[j] + di * wr[j];
    }
}

// The same for a radix-4 first stage over one group of m = 4q points.
template <bool Weighted>
FFT_KERNEL void LoadRadix4(const double* __restrict x, const double* __restrict w, double* __restrict re,
                           double* __restrict im, int m, const double* __restrict tw)
{
    const int q = m / 4;
    const double* __restrict w1r = tw;
    const double* __restrict w1i = tw + q;
    const double* __restrict x1 = x + 2 * q;
    const double* __restrict x2 = x + 4 * q;
    const double* __restrict x3 = x + 6 * q;
    const double* __restrict v0 = Weighted ? w : nullptr;
    const double* __restrict v1 = Weighted ? w + 2 * q : nullptr;
    const double* __restrict v2 = Weighted ? w + 4 * q : nullptr;
    const double* __restrict v3 = Weighted ? w + 6 * q : nullptr;
    double* __restrict re1 = re + q;
    double* __restrict re2 = re + 2 * q;
    double* __restrict re3 = re + 3 * q;
    double* __restrict im1 = im + q;
    double* __restrict im2 = im + 2 * q;
    double* __restrict im3 = im + 3 * q;
    // Plain scalars per quarter row, so that the vectoriser sees four
    // interleaved pairs of streams; the quarter rows never overlap.
#pragma GCC ivdep
    for (int j = 0; j < q; ++j) {
        double a0r = x[2 * j], a0i = x[2 * j + 1];
        double a1r = x1[2 * j], a1i = x1[2 * j + 1];
        double a2r = x2[2 * j], a2i = x2[2 * j + 1];
        double a3r = x3[2 * j], a3i = x3[2 * j + 1];
        if constexpr (Weighted) {
            a0r *= v0[2 * j];
            a0i *= v0[2 * j + 1];
            a1r *= v1[2 * j];
            a1i *= v1[2 * j + 1];
            a2r *= v2[2 * j];
            a2i *= v2[2 * j + 1];
            a3r *= v3[2 * j];
            a3i *= v3[2 * j + 1];
        }
        const double t0r = a0r + a2r, t0i = a0i + a2i;
        const double t1r = a0r - a2r, t1i = a0i - a2i;
        const double t2r = a1r + a3r, t2i = a1i + a3i;
        const double t3r = a1i - a3i, t3i = a3r - a1r;
        re[j] = t0r + t2r;
        im[j] = t0i + t2i;
        const double y2r = t0r - t2r, y2i = t0i - t2i;
        // The first stage's groups span the array: its twiddles are squared
        // rather than read from three tables.
        const double ar = w1r[j], ai = w1i[j];
        const double br = ar * ar - ai * ai, bi = 2.0 * ar * ai;
        const double cr = ar * br - ai * bi, ci = ar * bi + ai * br;
        re1[j] = y2r * br - y2i * bi;
        im1[j] = y2r * bi + y2i * br;
        const double y1r = t1r + t3r, y1i = t1i + t3i;
        re2[j] = y1r * ar - y1i * ai;
        im2[j] = y1r * ai + y1i * ar;
        const double y3r = t1r - t3r, y3i = t1i - t3i;
        re3[j] = y3r * cr - y3i * ci;
        im3[j] = y3r * ci + y3i * cr;
    }
}

// The last two radix-4 stages (q = 4, then q = 1) on each group of 16
// points, in registers: one pass over the data instead of two. The first
// works on the four quarter rows as vectors; a transpose turns the second's
// butterflies, which run along each row, into vector operations too, and a
// second transpose puts the results back in row order.
FFT_KERNEL void Radix4LastTwoStages(double* __restrict re, double* __restrict im, int m, const double* __restrict tw)
{
    const V4 w1r = Load4(tw), w1i = Load4(tw + 4);
    const V4 w2r = Load4(tw + 8), w2i = Load4(tw + 12);
    const V4 w3r = Load4(tw + 16), w3i = Load4(tw + 20);
    for (int g = 0; g < m; g += 16) {
        double* r = re + g;
        double* i = im + g;
        const V4 a0r = Load4(r), a1r = Load4(r + 4), a2r = Load4(r + 8), a3r = Load4(r + 12);
        const V4 a0i = Load4(i), a1i = Load4(i + 4), a2i = Load4(i + 8), a3i = Load4(i + 12);
        const V4 t0r = a0r + a2r, t0i = a0i + a2i;
        const V4 t1r = a0r - a2r, t1i = a0i - a2i;
        const V4 t2r = a1r + a3r, t2i = a1i + a3i;
        const V4 t3r = a1i - a3i, t3i = a3r - a1r;
        V4 x0r = t0r + t2r, x0i = t0i + t2i;
        const V4 y2r = t0r - t2r, y2i = t0i - t2i;
        V4 x1r = y2r * w2r - y2i * w2i, x1i = y2r * w2i + y2i * w2r;
        const V4 y1r = t1r + t3r, y1i = t1i + t3i;
        V4 x2r = y1r * w1r - y1i * w1i, x2i = y1r * w1i + y1i * w1r;
        const V4 y3r = t1r - t3r, y3i = t1i - t3i;
        V4 x3r = y3r * w3r - y3i * w3i, x3i = y3r * w3i + y3i * w3r;
        Transpose4(x0r, x1r, x2r, x3r);
        Transpose4(x0i, x1i, x2i, x3i);
        const V4 u0r = x0r + x2r, u0i = x0i + x2i;
        const V4 u1r = x0r - x2r, u1i = x0i - x2i;
        const V4 u2r = x1r + x3r, u2i = x1i + x3i;
        const V4 u3r = x1i - x3i, u3i = x3r - x1r;
        V4 o0r = u0r + u2r, o0i = u0i + u2i;
        V4 o1r = u0r - u2r, o1i = u0i - u2i;
        V4 o2r = u1r + u3r, o2i = u1i + u3i;
        V4 o3r = u1r - u3r, o3i = u1i - u3i;
        Transpose4(o0r, o1r, o2r, o3r);
        Transpose4(o0i, o1i, o2i, o3i);
        Store4(r, o0r);
        Store4(r + 4, o1r);
        Store4(r + 8, o2r);
        Store4(r + 12, o3r);
        Store4(i, o0i);
        Store4(i + 4, o1i);
        Store4(i + 8, o2i);
        Store4(i + 12, o3i);
    }
}

} // namespace

bool FftPlan::Prepare(int n)
{
    if (n == m_n && n != 0)
        return true;
    Clear();
    if (n < 4 || !IsPowerOfTwo(n))
        return false;
    const int m = n / 2;
    const int bits = Log2(m);
    try {
        size_t offset = 0;
        int groupLength = m;
        if (bits % 2 == 1) {
            m_stages.push_back({0, offset});
            offset += static_cast<size_t>(m);
            groupLength = m / 2;
        }
        for (int q = groupLength / 4; q >= 1; q /= 4) {
            m_stages.push_back({q, offset});
            offset += 6 * static_cast<size_t>(q);
        }
        m_twiddles.assign(offset, 0.0);
        for (const Stage& stage : m_stages) {
            double* tw = m_twiddles.data() + stage.offset;
            if (stage.quarter == 0) {
                const int half = m / 2;
                for (int j = 0; j < half; ++j)
                    Twiddle(j, m, tw[j], tw[half + j]);
                continue;
            }
            const int q = stage.quarter;
            for (int j = 0; j < q; ++j) {
                Twiddle(j, 4L * q, tw[j], tw[q + j]);
                Twiddle(2L * j, 4L * q, tw[2 * q + j], tw[3 * q + j]);
                Twiddle(3L * j, 4L * q, tw[4 * q + j], tw[5 * q + j]);
            }
        }

        m_bits = bits;
        m_tileBits = std::min(kMaxTileBits, bits / 2);
        const int middleBits = bits - 2 * m_tileBits;
        m_revTile.assign(size_t{1} << m_tileBits, 0);
        for (uint32_t i = 0; i < m_revTile.size(); ++i)
            m_revTile[i] = ReverseBits(i, m_tileBits);
        m_revMiddle.assign(size_t{1} << middleBits, 0);
        for (uint32_t i = 0; i < m_revMiddle.size(); ++i)
            m_revMiddle[i] = ReverseBits(i, middleBits);

        m_splitCos.assign(static_cast<size_t>(m), 0.0);
        m_splitSin.assign(static_cast<size_t>(m), 0.0);
        // Stored in bit-reversed order, the order the split step reads.
        for (uint32_t p = 0; p < static_cast<uint32_t>(m); ++p) {
            const double angle = std::numbers::pi * static_cast<double>(ReverseBits(p, bits)) / static_cast<double>(m);
            m_splitCos[p] = std::cos(angle);
            m_splitSin[p] = std::sin(angle);
        }
    } catch (const std::bad_alloc&) {
        Clear();
        return false;
    }
    m_n = n;
    m_m = m;
    return true;
}

void FftPlan::Clear()
{
    m_n = 0;
    m_m = 0;
    // Release the memory, not only the contents.
    std::vector<Stage>().swap(m_stages);
    std::vector<double>().swap(m_twiddles);
    m_bits = 0;
    m_tileBits = 0;
    std::vector<uint32_t>().swap(m_revTile);
    std::vector<uint32_t>().swap(m_revMiddle);
    std::vector<double>().swap(m_splitCos);
    std::vector<double>().swap(m_splitSin);
}

void FftPlan::RunStage(const Stage& stage, double* re, double* im, int length) const
{
    const double* tw = m_twiddles.data() + stage.offset;
    if (stage.quarter == 0)
        Radix2Stage(re, im, length / 2, tw, tw + length / 2);
    else if (stage.quarter == 1)
        Radix4LastStage(re, im, length);
    else if (4 * stage.quarter > kCacheBlock)
        Radix4Stage<true>(re, im, length, stage.quarter, tw);
    else
        Radix4Stage<false>(re, im, length, stage.quarter, tw);
}

void FftPlan::ComplexForward(double* re, double* im) const
{
    RunStages(0, re, im);
}

void FftPlan::ForwardFromReal(const double* x, const double* weights, double* re, double* im) const
{
    if (m_stages.empty())
        return;
    const Stage& first = m_stages.front();
    const double* tw = m_twiddles.data() + first.offset;
    if (first.quarter == 0) {
        if (weights)
            LoadRadix2<true>(x, weights, re, im, m_m, tw, tw + m_m / 2);
        else
            LoadRadix2<false>(x, nullptr, re, im, m_m, tw, tw + m_m / 2);
    } else if (first.quarter > 1) {
        if (weights)
            LoadRadix4<true>(x, weights, re, im, m_m, tw);
        else
            LoadRadix4<false>(x, nullptr, re, im, m_m, tw);
    } else {
        // Four points: too small to be worth a kernel of its own.
        for (int j = 0; j < m_m; ++j) {
            re[j] = x[2 * j] * (weights ? weights[2 * j] : 1.0);
            im[j] = x[2 * j + 1] * (weights ? weights[2 * j + 1] : 1.0);
        }
        RunStages(0, re, im);
        return;
    }
    RunStages(1, re, im);
}

// Stages whose groups exceed a block run over the whole array; the later
// ones run block by block while the block stays in the first-level cache.
void FftPlan::RunStages(size_t from, double* re, double* im) const
{
    size_t s = from;
    for (; s < m_stages.size(); ++s) {
        const Stage& stage = m_stages[s];
        const int group = stage.quarter == 0 ? m_m : 4 * stage.quarter;
        if (group <= kCacheBlock)
            break;
        RunStage(stage, re, im, m_m);
    }
    if (s == m_stages.size())
        return;
    const int block = std::min(m_m, kCacheBlock);
    for (int start = 0; start < m_m; start += block) {
        for (size_t t = s; t < m_stages.size(); ++t) {
            const Stage& stage = m_stages[t];
            if (stage.quarter == 4 && t + 2 == m_stages.size()) {
                // q = 4 is always followed by q = 1, the last stage.
                Radix4LastTwoStages(re + start, im + start, block, m_twiddles.data() + stage.offset);
                break;
            }
            RunStage(stage, re + start, im + start, block);
        }
    }
}

// Tile by tile through a small buffer: a tile is 8 rows of one cache line
// each on both sides, and rows a power of two apart share a cache set, so
// each side is touched on its own.
void FftPlan::BitReverseCopy(const double* __restrict src, double* __restrict dst) const
{
    if (m_m == 0)
        return;
    const int highShift = m_bits - m_tileBits;
    const int middles = static_cast<int>(m_revMiddle.size());
    if (m_tileBits == kMaxTileBits) {
        for (int mid = 0; mid < middles; ++mid) {
            const size_t srcMid = static_cast<size_t>(mid) << kMaxTileBits;
            const size_t dstMid = static_cast<size_t>(m_revMiddle[static_cast<size_t>(mid)]) << kMaxTileBits;
            ReverseTile8(src + srcMid, dst + dstMid, size_t{1} << highShift);
        }
        return;
    }
    const int tile = 1 << m_tileBits;
    const uint32_t* revTile = m_revTile.data();
    double buffer[kMaxTile][kMaxTile];
    for (int mid = 0; mid < middles; ++mid) {
        const size_t srcMid = static_cast<size_t>(mid) << m_tileBits;
        const size_t dstMid = static_cast<size_t>(m_revMiddle[static_cast<size_t>(mid)]) << m_tileBits;
        for (int high = 0; high < tile; ++high) {
            const double* s = src + (static_cast<size_t>(high) << highShift) + srcMid;
            for (int low = 0; low < tile; ++low)
                buffer[revTile[low]][revTile[high]] = s[low];
        }
        for (int row = 0; row < tile; ++row) {
            double* d = dst + (static_cast<size_t>(row) << highShift) + dstMid;
            for (int col = 0; col < tile; ++col)
                d[col] = buffer[row][col];
        }
    }
}

void FftPlan::PowerFromBitReversed(const double* re, const double* im, double* scratch, double* power) const
{
    if (m_m == 0)
        return;
    SplitPowerBitReversed(re, im, m_splitCos.data(), m_splitSin.data(), m_m, scratch);
    BitReverseCopy(scratch, power);
}
