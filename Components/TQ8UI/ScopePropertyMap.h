#pragma once
// The plot control's persisted state: a version word, the extent, then the
// persisted properties in map order, each as a variant read and written by
// DISPID through IDispatch.
#include "ComInterfaces.h"

#include <cstddef>
#include <cstdint>

struct ScopeMapEntry {
    const wchar_t* name; // the name in the map (four differ from the interface's)
    DISPID id;
};

// The 57 persisted properties in map order.
const ScopeMapEntry* ScopePropertyMap(size_t* count);

constexpr uint32_t kScopeStreamVersion = 0x0100;

struct ScopeExtent {
    uint32_t cx = 0; // HIMETRIC
    uint32_t cy = 0;
};

HRESULT SaveScopeProperties(IDispatch* obj, IStream* stream, const ScopeExtent& extent);

// Reads the whole stream first, so that a damaged or truncated stream changes
// nothing. Then sets every property through its put; a put that refuses its
// value leaves that property as it was and the others are still set. The
// bounded pairs (PageWidth under MaxPageWidth, MinSampleValue under
// MaxSampleValue) are set in an order that lets every saved value back in.
HRESULT LoadScopeProperties(IDispatch* obj, IStream* stream, ScopeExtent* extent);
