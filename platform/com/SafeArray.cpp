#include "SafeArray.h"

#include "Variant.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lLbound, uint32_t cElements)
{
    uint32_t size = vlt::SampleTypeSize(vt);
    if (size == 0)
        return nullptr;
    if (cElements > 0 && int64_t(lLbound) + cElements - 1 > std::numeric_limits<int32_t>::max())
        return nullptr;
    if (uint64_t(cElements) * size > std::numeric_limits<size_t>::max() / 2)
        return nullptr;
    auto* psa = new (std::nothrow) SAFEARRAY;
    if (!psa)
        return nullptr;
    psa->vt = vt;
    psa->cbElements = size;
    psa->rgsabound[0].cElements = cElements;
    psa->rgsabound[0].lLbound = lLbound;
    if (cElements > 0) {
        psa->pvData = std::calloc(cElements, size);
        if (!psa->pvData) {
            delete psa;
            return nullptr;
        }
    }
    return psa;
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa)
{
    if (!psa)
        return S_OK;
    if (psa->cLocks > 0)
        return DISP_E_ARRAYISLOCKED;
    std::free(psa->pvData);
    delete psa;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut)
{
    if (!ppsaOut)
        return E_POINTER;
    *ppsaOut = nullptr;
    if (!psa)
        return S_OK;
    SAFEARRAY* copy = SafeArrayCreateVector(psa->vt, psa->rgsabound[0].lLbound, psa->rgsabound[0].cElements);
    if (!copy)
        return E_OUTOFMEMORY;
    if (psa->pvData)
        std::memcpy(copy->pvData, psa->pvData, size_t(psa->rgsabound[0].cElements) * psa->cbElements);
    *ppsaOut = copy;
    return S_OK;
}

uint32_t SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

uint32_t SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt)
{
    if (!psa || !pvt)
        return E_INVALIDARG;
    *pvt = psa->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, uint32_t nDim, int32_t* plLbound)
{
    if (!psa || !plLbound)
        return E_INVALIDARG;
    if (nDim != 1)
        return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, uint32_t nDim, int32_t* plUbound)
{
    if (!psa || !plUbound)
        return E_INVALIDARG;
    if (nDim != 1)
        return DISP_E_BADINDEX;
    *plUbound = static_cast<int32_t>(int64_t(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1);
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == std::numeric_limits<uint32_t>::max())
        return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa)
{
    if (!psa)
        return E_INVALIDARG;
    if (psa->cLocks == 0)
        return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData)
{
    if (!psa || !ppvData)
        return E_INVALIDARG;
    HRESULT hr = SafeArrayLock(psa);
    if (SUCCEEDED(hr))
        *ppvData = psa->pvData;
    return hr;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }
