#pragma once
// The sync device library's module: its object and lock count, its two
// classes (the unit object and its settings page) and their registry entries.
#include "CComModule.h"
#include "ComInterfaces.h"

#include <string>

class CHub6Module : public vlt::CComModule {
public:
    HRESULT GetClassObject(const CLSID& clsid, const IID& riid, void** ppv);
    HRESULT CanUnloadNow() const { return GetLockCount() == 0 ? S_OK : S_FALSE; }
    // modulePath: the library's full path, written as each class's server.
    HRESULT RegisterServer(const std::wstring& modulePath);
    HRESULT UnregisterServer();
};

// The one module of the library.
CHub6Module& Hub6Module();
