#include "CTQ6UIModule.h"

#include "CChanSrcBrd.h"
#include "CChanSrcSimple.h"
#include "CChanSrcSimpleFile.h"
#include "CComClassFactory.h"
#include "ClassesWriter.h"
#include "CScopeCtrl.h"
#include "ComCreate.h"
#include "TQ8UI.h"


namespace {

struct CoClassEntry {
    const CLSID* clsid;
    const wchar_t* progId;
    const wchar_t* versionIndependentProgId;
    const wchar_t* friendlyName;
    bool isControl; // the plot control; the others are channel sources
};

const CoClassEntry kCoClasses[] = {
    {&CLSID_CChanSrcSimple, L"TQ8UI.SimpleChannelSrc.1", L"TQ8UI.SimpleChannelSrc", L"CChanSrcSimple Object", false},
    {&CLSID_CChanSrcSimpleFile, L"TQ8UI.CChanSrcSimpleFile.1", L"TQ8UI.CChanSrcSimpleFile",
     L"CChanSrcSimpleFile Object", false},
    {&CLSID_CChanSrcBrd, L"TQ8UI.CChanSrcBrd.1", L"TQ8UI.CChanSrcBrd", L"CChanSrcBrd Object", false},
    {&CLSID_CScopeCtrl, L"TQ8UI.ScopeCtrl.1", L"TQ8UI.ScopeCtrl", L"TQ8 Scope Control", true},
};

constexpr GUID kAppId = vlt::MakeGuid("FBFF18C8-87A2-4EB8-99F7-4852CEB687FA");

using vlt::ClassesWriter;

void WriteCoClass(ClassesWriter& w, const CoClassEntry& c, const std::wstring& modulePath)
{
    const std::wstring clsid = vlt::GuidToString(*c.clsid);
    const std::wstring appId = vlt::GuidToString(kAppId);
    const std::wstring libId = vlt::GuidToString(LIBID_TQ8UI);
    w.Default(c.progId, c.friendlyName);
    w.Default(std::wstring(c.progId) + L"\\CLSID", clsid);
    w.Default(c.versionIndependentProgId, c.friendlyName);
    w.Default(std::wstring(c.versionIndependentProgId) + L"\\CLSID", clsid);
    w.Default(std::wstring(c.versionIndependentProgId) + L"\\CurVer", c.progId);

    const std::wstring key = L"CLSID\\" + clsid;
    w.Default(key, c.friendlyName);
    w.Default(key + L"\\ProgID", c.progId);
    w.Default(key + L"\\VersionIndependentProgID", c.versionIndependentProgId);
    if (!c.isControl)
        w.Key(key + L"\\Programmable");
    w.Default(key + L"\\InprocServer32", modulePath);
    w.Named(key + L"\\InprocServer32", L"ThreadingModel", L"apartment");
    if (c.isControl) {
        w.Key(key + L"\\Control");
        w.Default(key + L"\\ToolboxBitmap32", modulePath + L", 1");
        w.Default(key + L"\\MiscStatus", L"0");
        w.Default(key + L"\\MiscStatus\\1", L"131473");
    }
    w.Named(key, L"AppID", appId);
    w.Default(key + L"\\TypeLib", libId);
    if (c.isControl)
        w.Default(key + L"\\Version", L"1.0");
}

void WriteAppIdAndTypeLib(ClassesWriter& w, const std::wstring& modulePath)
{
    const std::wstring appId = vlt::GuidToString(kAppId);
    w.Default(L"AppID\\" + appId, L"TQ8UI");
    w.Named(L"AppID\\TQ8UI.DLL", L"AppID", appId);

    const std::wstring lib = L"TypeLib\\" + vlt::GuidToString(LIBID_TQ8UI) + L"\\1.0";
    w.Default(lib, L"TQ8UI 1.0 Type Library");
    w.Default(lib + L"\\0\\linux64", modulePath);
    w.Default(lib + L"\\FLAGS", L"0");
    w.Default(lib + L"\\HELPDIR", modulePath.substr(0, modulePath.find_last_of(L'/') + 1));
}

} // namespace

const GUID& CTQ6UIModule::AppId() { return kAppId; }

HRESULT CTQ6UIModule::GetClassObject(const CLSID& clsid, const IID& riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (clsid == CLSID_CScopeCtrl)
        return vlt::CComObject<vlt::CComClassFactory<CScopeCtrl>>::CreateAndQuery(riid, ppv);
    if (clsid == CLSID_CChanSrcSimple)
        return vlt::CComObject<vlt::CComClassFactory<CChanSrcSimple>>::CreateAndQuery(riid, ppv);
    if (clsid == CLSID_CChanSrcSimpleFile)
        return vlt::CComObject<vlt::CComClassFactory<CChanSrcSimpleFile>>::CreateAndQuery(riid, ppv);
    if (clsid == CLSID_CChanSrcBrd)
        return vlt::CComObject<vlt::CComClassFactory<CChanSrcBrd>>::CreateAndQuery(riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CTQ6UIModule::RegisterServer(const std::wstring& modulePath)
{
    if (modulePath.empty())
        return E_UNEXPECTED;
    ClassesWriter w;
    WriteAppIdAndTypeLib(w, modulePath);
    for (const auto& c : kCoClasses)
        WriteCoClass(w, c, modulePath);
    return w.Ok() ? S_OK : SELFREG_E_CLASS;
}

HRESULT CTQ6UIModule::UnregisterServer()
{
    ClassesWriter w;
    for (const auto& c : kCoClasses) {
        w.Remove(c.progId);
        w.Remove(c.versionIndependentProgId);
        w.Remove(L"CLSID\\" + vlt::GuidToString(*c.clsid));
    }
    // The "AppID" key itself stays: other servers keep theirs under it.
    w.Remove(L"AppID\\" + vlt::GuidToString(kAppId));
    w.Remove(L"AppID\\TQ8UI.DLL");
    w.Remove(L"TypeLib\\" + vlt::GuidToString(LIBID_TQ8UI));
    return w.Ok() ? S_OK : SELFREG_E_CLASS;
}

CTQ6UIModule& TQ8UIModule()
{
    static CTQ6UIModule module;
    return module;
}
