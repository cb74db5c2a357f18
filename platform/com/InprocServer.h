#pragma once
// The entry points an in-process server library exports.
#include "ComInterfaces.h"

#define VLT_COM_EXPORT extern "C" __attribute__((visibility("default")))

using PfnDllGetClassObject = HRESULT (*)(const CLSID& clsid, const IID& riid, void** ppv);
using PfnDllCanUnloadNow = HRESULT (*)();
using PfnDllRegisterServer = HRESULT (*)();
using PfnDllUnregisterServer = HRESULT (*)();
