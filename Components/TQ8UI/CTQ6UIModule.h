#pragma once
// The plot library's module: its object and lock count, its class table and
// the registry entries it writes and removes.
#include "CComModule.h"
#include "ComInterfaces.h"

#include <string>

class CTQ6UIModule : public vlt::CComModule {
public:
    // The application identifier, which is also the library identifier.
    static const GUID& AppId();

    HRESULT GetClassObject(const CLSID& clsid, const IID& riid, void** ppv);
    HRESULT CanUnloadNow() const { return GetLockCount() == 0 ? S_OK : S_FALSE; }
    // modulePath: the library's full path, written as each class's server.
    HRESULT RegisterServer(const std::wstring& modulePath);
    HRESULT UnregisterServer();
};

// The one module of the library.
CTQ6UIModule& TQ8UIModule();
