#pragma once
// A stream over bytes in memory: writes append, reads advance from the start.
#include "CComObject.h"
#include "ComInterfaces.h"

#include <cstdint>
#include <vector>

namespace vlt {

class CMemStream : public IStream, public CComObjectRoot {
public:
    // A new stream holding a copy of data, read position at its start.
    static HRESULT Create(IStream** pp, const std::vector<uint8_t>& data = {});

    HRESULT InternalQueryInterface(const IID& riid, void** ppv);
    HRESULT Read(void* pv, uint32_t cb, uint32_t* pcbRead) override;
    HRESULT Write(const void* pv, uint32_t cb, uint32_t* pcbWritten) override;

    const std::vector<uint8_t>& Data() const { return m_data; }

private:
    std::vector<uint8_t> m_data;
    size_t m_readPos = 0;
};

// The bytes of a stream made by CMemStream::Create (empty for any other).
std::vector<uint8_t> MemStreamBytes(IStream* s);

} // namespace vlt
