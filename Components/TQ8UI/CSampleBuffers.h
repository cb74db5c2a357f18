#pragma once
// The control's reusable sample buffers: one array per sample size (1, 2, 4
// or 8 bytes), grown when a larger one is asked for and never shrunk, so that
// steady paints allocate nothing. One array serves every sample type of its
// size; the caller labels the variant with its own type.
#include "SafeArray.h"

#include <cstdint>
#include <map>

class CSampleBuffers {
public:
    CSampleBuffers() = default;
    ~CSampleBuffers();
    CSampleBuffers(const CSampleBuffers&) = delete;
    CSampleBuffers& operator=(const CSampleBuffers&) = delete;

    // An array of at least `count` elements of vt's size, owned by the table:
    // callers lock it, let a source write into it, unlock it and never
    // destroy it. E_POINTER, E_NOTIMPL for a type without a size,
    // E_OUTOFMEMORY when it cannot be had.
    HRESULT Get(VARTYPE vt, uint64_t count, SAFEARRAY** out);
    // Destroys every array (a locked one stays until it is unlocked and asked
    // for again or the table goes).
    void Clear();

private:
    std::map<uint32_t, SAFEARRAY*> m_arrays;
};
