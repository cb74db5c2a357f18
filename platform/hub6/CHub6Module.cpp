#include "CHub6Module.h"

#include "CComClassFactory.h"
#include "ClassesWriter.h"
#include "CVltHUB6.h"
#include "CVltHUB6PropPage.h"
#include "ComCreate.h"

namespace {

constexpr wchar_t kProgId[] = L"HUB6COM.VltHUB6.1";
constexpr wchar_t kFriendlyName[] = L"VltHUB6 Class";
constexpr wchar_t kPageName[] = L"VltHUB6 Property Page";

using vlt::ClassesWriter;

void WriteServer(ClassesWriter& w, const CLSID& clsid, const std::wstring& name, const std::wstring& modulePath)
{
    const std::wstring key = L"CLSID\\" + vlt::GuidToString(clsid);
    w.Default(key, name);
    w.Default(key + L"\\InprocServer32", modulePath);
    w.Named(key + L"\\InprocServer32", L"ThreadingModel", L"apartment");
}

} // namespace

HRESULT CHub6Module::GetClassObject(const CLSID& clsid, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid == CLSID_VltHUB6)
        return vlt::CComObject<vlt::CComClassFactory<CVltHUB6>>::CreateAndQuery(riid, ppv);
    if (clsid == CLSID_VltHUB6PropPage)
        return vlt::CComObject<vlt::CComClassFactory<CVltHUB6PropPage>>::CreateAndQuery(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CHub6Module::RegisterServer(const std::wstring& modulePath)
{
    if (modulePath.empty())
        return E_UNEXPECTED;
    const std::wstring clsid = vlt::GuidToString(CLSID_VltHUB6);
    ClassesWriter w;
    w.Default(kProgId, kFriendlyName);
    w.Default(std::wstring(kProgId) + L"\\CLSID", clsid);
    w.Default(kHub6ProgId, kFriendlyName);
    w.Default(std::wstring(kHub6ProgId) + L"\\CLSID", clsid);
    w.Default(std::wstring(kHub6ProgId) + L"\\CurVer", kProgId);
    WriteServer(w, CLSID_VltHUB6, kFriendlyName, modulePath);
    w.Default(L"CLSID\\" + clsid + L"\\ProgID", kProgId);
    w.Default(L"CLSID\\" + clsid + L"\\VersionIndependentProgID", kHub6ProgId);
    WriteServer(w, CLSID_VltHUB6PropPage, kPageName, modulePath);
    return w.Ok() ? S_OK : SELFREG_E_CLASS;
}

HRESULT CHub6Module::UnregisterServer()
{
    ClassesWriter w;
    w.Remove(kProgId);
    w.Remove(kHub6ProgId);
    w.Remove(L"CLSID\\" + vlt::GuidToString(CLSID_VltHUB6));
    w.Remove(L"CLSID\\" + vlt::GuidToString(CLSID_VltHUB6PropPage));
    return w.Ok() ? S_OK : SELFREG_E_CLASS;
}

CHub6Module& Hub6Module()
{
    static CHub6Module module;
    return module;
}
