#pragma once
// Finding and creating classes of in-process servers through the registry
// store. Class keys live under "Software\Classes" of the user's hive, then
// of the machine's (the user's wins), as the classes root does on Windows.
#include "ComInterfaces.h"

#include <cstdint>
#include <string>

constexpr uint32_t CLSCTX_INPROC_SERVER = 0x1;

// ProgID -> its "CLSID" value. CO_E_CLASSSTRING for an unknown ProgID.
HRESULT CLSIDFromProgID(const wchar_t* progId, CLSID* pclsid);
// Loads the class's "InprocServer32" library (kept loaded) and asks its
// DllGetClassObject. REGDB_E_CLASSNOTREG for an unregistered class,
// CO_E_DLLNOTFOUND when the library will not load, CO_E_ERRORINDLL when it
// lacks the entry point.
HRESULT CoGetClassObject(const CLSID& clsid, uint32_t clsctx, const IID& riid, void** ppv);
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* pOuter, uint32_t clsctx, const IID& riid, void** ppv);
// Unloads the loaded libraries whose DllCanUnloadNow says S_OK.
void CoFreeUnusedLibraries();

namespace vlt {
// "Software\Classes\" + subKey, the key under which registration writes.
std::wstring ClassesKey(const std::wstring& subKey);
// A value of the classes root: the user's hive first, then the machine's.
bool ClassesRootGetString(const std::wstring& subKey, const std::wstring& name, std::wstring& out);
bool ClassesRootKeyExists(const std::wstring& subKey);
// The file of the loaded library (or program) that contains addr; empty when unknown.
std::string ModulePathOf(const void* addr);
// The same as an absolute, normalised wide path: what registration records.
std::wstring ModuleFullPath(const void* addr);
} // namespace vlt
