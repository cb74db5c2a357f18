#pragma once
// Little-endian values, text and objects on an IStream.
#include "ComInterfaces.h"

#include <cstdint>
#include <string>

namespace vlt {

HRESULT WriteBytes(IStream* s, const void* data, uint32_t size);
// STG_E_READFAULT when the stream ends early.
HRESULT ReadBytes(IStream* s, void* data, uint32_t size);

HRESULT WriteU16(IStream* s, uint16_t v);
HRESULT WriteU32(IStream* s, uint32_t v);
HRESULT WriteU64(IStream* s, uint64_t v);
HRESULT ReadU16(IStream* s, uint16_t& v);
HRESULT ReadU32(IStream* s, uint32_t& v);
HRESULT ReadU64(IStream* s, uint64_t& v);
HRESULT WriteGuid(IStream* s, const GUID& g);
HRESULT ReadGuid(IStream* s, GUID& g);

// Text as its UTF-8 byte length and bytes; a null BSTR as length 0xFFFFFFFF.
HRESULT WriteText(IStream* s, BSTR text);
// Refuses a length above maxBytes (STG_E_READFAULT) rather than allocating it.
HRESULT ReadText(IStream* s, BSTR* pText, uint32_t maxBytes = 1u << 20);

// An object as its class identifier and its own stream data (IPersistStream);
// null as GUID_NULL alone.
HRESULT SaveObject(IStream* s, IUnknown* obj);
// Creates the object for the stored class (the font and picture classes),
// loads it and hands out the requested interface; null for GUID_NULL.
HRESULT LoadObject(IStream* s, const IID& riid, void** ppv);

// A variant as its type word and value: numbers little-endian, text as
// above, objects as above. Arrays and other types: DISP_E_BADVARTYPE.
HRESULT WriteVariant(IStream* s, const VARIANT& v);
// Reads into an empty variant; on failure it stays empty.
HRESULT ReadVariant(IStream* s, VARIANT* pv);

} // namespace vlt
