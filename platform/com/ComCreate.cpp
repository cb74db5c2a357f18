#include "ComCreate.h"

#include "CComPtr.h"
#include "InprocServer.h"
#include "RegistryStore.h"
#include "TextConv.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

#include <map>
#include <mutex>

namespace vlt {

std::wstring ClassesKey(const std::wstring& subKey) { return L"Software\\Classes\\" + subKey; }

bool ClassesRootGetString(const std::wstring& subKey, const std::wstring& name, std::wstring& out)
{
    const std::wstring key = ClassesKey(subKey);
    return RegistryStore::GetString(RegHive::CurrentUser, key, name, out)
        || RegistryStore::GetString(RegHive::LocalMachine, key, name, out);
}

bool ClassesRootKeyExists(const std::wstring& subKey)
{
    const std::wstring key = ClassesKey(subKey);
    return RegistryStore::KeyExists(RegHive::CurrentUser, key) || RegistryStore::KeyExists(RegHive::LocalMachine, key);
}

std::string ModulePathOf(const void* addr)
{
    Dl_info info{};
    if (!dladdr(addr, &info) || !info.dli_fname)
        return {};
    return info.dli_fname;
}

std::wstring ModuleFullPath(const void* addr)
{
    const std::string path = ModulePathOf(addr);
    if (path.empty())
        return {};
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return Utf8ToWide(ec ? path : full.lexically_normal().string());
}

} // namespace vlt

namespace {

// Libraries loaded for class objects, by path; guarded because creation may
// happen on any thread even though the objects themselves are single-threaded.
std::mutex g_libMutex;
std::map<std::string, void*> g_libs;

void* LoadServer(const std::string& path)
{
    std::lock_guard lock(g_libMutex);
    auto it = g_libs.find(path);
    if (it != g_libs.end())
        return it->second;
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (h)
        g_libs.emplace(path, h);
    return h;
}

} // namespace

HRESULT CLSIDFromProgID(const wchar_t* progId, CLSID* pclsid)
{
    if (!progId || !pclsid)
        return E_INVALIDARG;
    std::wstring text;
    if (!*progId || !vlt::ClassesRootGetString(std::wstring(progId) + L"\\CLSID", L"", text))
        return CO_E_CLASSSTRING;
    return vlt::GuidFromString(text, *pclsid) ? S_OK : CO_E_CLASSSTRING;
}

HRESULT CoGetClassObject(const CLSID& clsid, uint32_t clsctx, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (!(clsctx & CLSCTX_INPROC_SERVER))
        return REGDB_E_CLASSNOTREG;
    std::wstring path;
    const std::wstring key = L"CLSID\\" + vlt::GuidToString(clsid) + L"\\InprocServer32";
    if (!vlt::ClassesRootGetString(key, L"", path) || path.empty())
        return REGDB_E_CLASSNOTREG;
    void* lib = LoadServer(vlt::WideToUtf8(path));
    if (!lib)
        return CO_E_DLLNOTFOUND;
    auto getClassObject = reinterpret_cast<PfnDllGetClassObject>(dlsym(lib, "DllGetClassObject"));
    if (!getClassObject)
        return CO_E_ERRORINDLL;
    return getClassObject(clsid, riid, ppv);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* pOuter, uint32_t clsctx, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    CComPtr<IClassFactory> factory;
    HRESULT hr = CoGetClassObject(clsid, clsctx, IClassFactory::iid, reinterpret_cast<void**>(&factory));
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(pOuter, riid, ppv);
}

void CoFreeUnusedLibraries()
{
    std::lock_guard lock(g_libMutex);
    for (auto it = g_libs.begin(); it != g_libs.end();) {
        auto canUnload = reinterpret_cast<PfnDllCanUnloadNow>(dlsym(it->second, "DllCanUnloadNow"));
        if (canUnload && canUnload() == S_OK) {
            dlclose(it->second);
            it = g_libs.erase(it);
        } else {
            ++it;
        }
    }
}
