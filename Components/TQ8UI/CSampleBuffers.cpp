#include "CSampleBuffers.h"

#include "Variant.h"

#include <iterator>
#include <new>

CSampleBuffers::~CSampleBuffers()
{
    for (auto& [size, array] : m_arrays)
        SafeArrayDestroy(array);
}

HRESULT CSampleBuffers::Get(VARTYPE vt, uint64_t count, SAFEARRAY** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    const uint32_t size = vlt::SampleTypeSize(vt);
    if (size == 0)
        return E_NOTIMPL;
    auto it = m_arrays.find(size);
    if (it != m_arrays.end()) {
        if (it->second->rgsabound[0].cElements >= count) {
            *out = it->second;
            return S_OK;
        }
        // A locked array is in use further up the call stack: it cannot be replaced now.
        HRESULT hr = SafeArrayDestroy(it->second);
        if (FAILED(hr))
            return hr;
        m_arrays.erase(it);
    }
    if (count > UINT32_MAX)
        return E_OUTOFMEMORY;
    SAFEARRAY* array = SafeArrayCreateVector(vt, 0, static_cast<uint32_t>(count));
    if (!array)
        return E_OUTOFMEMORY;
    try {
        m_arrays.emplace(size, array);
    } catch (const std::bad_alloc&) {
        SafeArrayDestroy(array);
        return E_OUTOFMEMORY;
    }
    *out = array;
    return S_OK;
}

void CSampleBuffers::Clear()
{
    for (auto it = m_arrays.begin(); it != m_arrays.end();)
        it = SUCCEEDED(SafeArrayDestroy(it->second)) ? m_arrays.erase(it) : std::next(it);
}
