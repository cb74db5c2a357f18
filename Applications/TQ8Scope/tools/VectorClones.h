#pragma once
// The spectrum's hot loops are built twice on x86-64: for the baseline and
// for AVX2 with FMA; the loader picks the version the processor can run.
// Not under ThreadSanitizer: the loader runs clone resolvers before its runtime is up.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_THREAD__)
#define FFT_KERNEL __attribute__((target_clones("arch=x86-64-v3", "default")))
#else
#define FFT_KERNEL
#endif

// Four doubles for the kernels written with vectors; the baseline build
// splits them into two SSE registers. The helpers are always inlined, so
// how a vector is passed never matters (the files using them are built
// without the ABI warning).
typedef double V4 __attribute__((vector_size(32)));
typedef long long V4i __attribute__((vector_size(32)));

__attribute__((always_inline)) inline V4 Load4(const double* p)
{
    V4 v;
    __builtin_memcpy(&v, p, sizeof v);
    return v;
}

__attribute__((always_inline)) inline void Store4(double* p, V4 v)
{
    __builtin_memcpy(p, &v, sizeof v);
}

__attribute__((always_inline)) inline V4 Reverse4(V4 v)
{
    return __builtin_shufflevector(v, v, 3, 2, 1, 0);
}

// Whether any lane of a comparison result is set, without taking each out.
__attribute__((always_inline)) inline bool AnyLane(V4i mask)
{
    mask |= __builtin_shufflevector(mask, mask, 2, 3, 0, 1);
    mask |= __builtin_shufflevector(mask, mask, 1, 0, 3, 2);
    return mask[0] != 0;
}
