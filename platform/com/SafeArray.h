#pragma once
// One-dimensional arrays of the eight sample types (I1, UI1, I2, UI2, I4,
// UI4, R4, R8).
#include "ComTypes.h"

#include <cstdint>

struct SAFEARRAYBOUND {
    uint32_t cElements = 0;
    int32_t lLbound = 0;
};

struct SAFEARRAY {
    uint16_t cDims = 1;
    VARTYPE vt = 0;
    uint32_t cbElements = 0;
    uint32_t cLocks = 0;
    void* pvData = nullptr;
    SAFEARRAYBOUND rgsabound[1];
};

// Zero-filled; nullptr for a type other than the eight, a bound that would
// overflow, or when memory runs out.
SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lLbound, uint32_t cElements);
// S_OK for null; DISP_E_ARRAYISLOCKED while locked.
HRESULT SafeArrayDestroy(SAFEARRAY* psa);
HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut);
uint32_t SafeArrayGetDim(SAFEARRAY* psa);
uint32_t SafeArrayGetElemsize(SAFEARRAY* psa);
HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt);
// nDim counts from 1; DISP_E_BADINDEX for any dimension but 1.
HRESULT SafeArrayGetLBound(SAFEARRAY* psa, uint32_t nDim, int32_t* plLbound);
HRESULT SafeArrayGetUBound(SAFEARRAY* psa, uint32_t nDim, int32_t* plUbound);
HRESULT SafeArrayLock(SAFEARRAY* psa);
HRESULT SafeArrayUnlock(SAFEARRAY* psa);
// Lock and hand out the data; undo with SafeArrayUnaccessData.
HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData);
HRESULT SafeArrayUnaccessData(SAFEARRAY* psa);

constexpr HRESULT DISP_E_BADINDEX = MakeHResult(0x8002000B);
