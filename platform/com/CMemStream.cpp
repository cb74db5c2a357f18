#include "CMemStream.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace vlt {

HRESULT CMemStream::Create(IStream** pp, const std::vector<uint8_t>& data)
{
    if (!pp)
        return E_POINTER;
    *pp = nullptr;
    CComObject<CMemStream>* obj = nullptr;
    HRESULT hr = CComObject<CMemStream>::CreateInstance(&obj);
    if (FAILED(hr))
        return hr;
    try {
        obj->m_data = data;
    } catch (const std::bad_alloc&) {
        delete obj;
        return E_OUTOFMEMORY;
    }
    obj->AddRef();
    *pp = obj;
    return S_OK;
}

HRESULT CMemStream::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (QiEntry<IUnknown, IStream>(this, riid, ppv) || QiEntry<IStream>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT CMemStream::Read(void* pv, uint32_t cb, uint32_t* pcbRead)
{
    if (!pv && cb)
        return E_POINTER;
    size_t n = std::min<size_t>(cb, m_data.size() - m_readPos);
    if (n)
        std::memcpy(pv, m_data.data() + m_readPos, n);
    m_readPos += n;
    if (pcbRead)
        *pcbRead = static_cast<uint32_t>(n);
    return n == cb ? S_OK : S_FALSE;
}

HRESULT CMemStream::Write(const void* pv, uint32_t cb, uint32_t* pcbWritten)
{
    if (pcbWritten)
        *pcbWritten = 0;
    if (!pv && cb)
        return E_POINTER;
    try {
        const auto* p = static_cast<const uint8_t*>(pv);
        m_data.insert(m_data.end(), p, p + cb);
    } catch (const std::bad_alloc&) {
        return STG_E_WRITEFAULT;
    }
    if (pcbWritten)
        *pcbWritten = cb;
    return S_OK;
}

std::vector<uint8_t> MemStreamBytes(IStream* s)
{
    // Only our own streams are asked, so the object behind IStream is known.
    auto* mem = dynamic_cast<CMemStream*>(s);
    return mem ? mem->Data() : std::vector<uint8_t>{};
}

} // namespace vlt
