#include "CPlottedPointCache.h"

#include <new>
#include <stdexcept>

HRESULT CPlottedPointCache::Reserve(uint64_t entries)
{
    if (entries <= points.size())
        return S_OK;
    if (entries > points.max_size())
        return E_OUTOFMEMORY;
    try {
        points.resize(static_cast<size_t>(entries));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (const std::length_error&) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
