#pragma once
// The library's own channel sources made by ProgID through the component
// runtime and initialised, as the control's Add...ChannelSource methods need
// them. Each returns the first failure of creating, querying the init
// interface (E_NOINTERFACE without it) or initialising, and then keeps no
// reference to the half-made source; on success *out holds one reference.
#include "CComPtr.h"
#include "TQ8UI.h"

#include <cstdint>

namespace chansrc {

HRESULT CreateFileSource(BSTR path, BSTR name, VARTYPE vt, uint32_t channels, uint32_t headerBytes,
                         IScopeTQ8ChannelSource** out);
HRESULT CreateBufferSource(BSTR name, const VARIANT& buffer, uint32_t channels, uint32_t totalSamples,
                           VARIANT_BOOL freeWhenDone, IScopeTQ8ChannelSource** out);
HRESULT CreateBoardSource(void* board, uint32_t totalSamples, BSTR name, IScopeTQ8ChannelSource** out);

} // namespace chansrc
