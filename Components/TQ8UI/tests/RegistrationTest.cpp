#include "ComCreate.h"
#include "InprocServer.h"
#include "RegistryStore.h"
#include "TQ8UI.h"
#include "TextConv.h"

#include "CComPtr.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace {

// The built library, loaded as a host would, with a registry of its own.
class Registration : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("VLT_TEST_TMP");
        std::filesystem::path base = tmp ? tmp : std::filesystem::temp_directory_path().string();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = base / ("tq8ui-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);

        m_lib = dlopen(TQ8UI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
        m_register = reinterpret_cast<PfnDllRegisterServer>(dlsym(m_lib, "DllRegisterServer"));
        m_unregister = reinterpret_cast<PfnDllUnregisterServer>(dlsym(m_lib, "DllUnregisterServer"));
        m_canUnload = reinterpret_cast<PfnDllCanUnloadNow>(dlsym(m_lib, "DllCanUnloadNow"));
        m_getClassObject = reinterpret_cast<PfnDllGetClassObject>(dlsym(m_lib, "DllGetClassObject"));
        ASSERT_TRUE(m_register && m_unregister && m_canUnload && m_getClassObject);
    }
    void TearDown() override
    {
        if (m_lib)
            dlclose(m_lib);
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    static std::wstring Value(const std::wstring& key, const std::wstring& name = L"")
    {
        std::wstring v;
        EXPECT_TRUE(vlt::ClassesRootGetString(key, name, v)) << vlt::WideToUtf8(key);
        return v;
    }

    std::filesystem::path m_dir;
    void* m_lib = nullptr;
    PfnDllRegisterServer m_register = nullptr;
    PfnDllUnregisterServer m_unregister = nullptr;
    PfnDllCanUnloadNow m_canUnload = nullptr;
    PfnDllGetClassObject m_getClassObject = nullptr;
};

const std::wstring kScopeKey = L"CLSID\\{3D599856-84E9-42EA-8ABE-BB88809A80C6}";

} // namespace

TEST_F(Registration, ProgIdResolvesAndCreatesTheControl)
{
    ASSERT_EQ(m_register(), S_OK);
    CLSID clsid;
    ASSERT_EQ(CLSIDFromProgID(L"TQ8UI.ScopeCtrl", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_CScopeCtrl);
    EXPECT_EQ(Value(L"TQ8UI.ScopeCtrl\\CurVer"), L"TQ8UI.ScopeCtrl.1");
    ASSERT_EQ(CLSIDFromProgID(L"TQ8UI.ScopeCtrl.1", &clsid), S_OK);
    EXPECT_EQ(clsid, CLSID_CScopeCtrl);

    CComPtr<IScopeTQ8> scope;
    ASSERT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IScopeTQ8::iid, reinterpret_cast<void**>(&scope)),
              S_OK);
    uint32_t w = 0;
    EXPECT_EQ(scope->get_PageWidth(&w), S_OK);
    EXPECT_EQ(w, 8192u);
    EXPECT_EQ(m_canUnload(), S_FALSE);
    scope.Release();
    EXPECT_EQ(m_canUnload(), S_OK);
}

TEST_F(Registration, ClassKeysOfTheControl)
{
    ASSERT_EQ(m_register(), S_OK);
    const std::wstring path = Value(kScopeKey + L"\\InprocServer32");
    EXPECT_TRUE(std::filesystem::equivalent(vlt::WideToUtf8(path), TQ8UI_LIBRARY_PATH));
    EXPECT_EQ(path.front(), L'/');
    EXPECT_EQ(Value(kScopeKey), L"TQ8 Scope Control");
    EXPECT_EQ(Value(kScopeKey + L"\\InprocServer32", L"ThreadingModel"), L"apartment");
    EXPECT_EQ(Value(kScopeKey + L"\\ProgID"), L"TQ8UI.ScopeCtrl.1");
    EXPECT_EQ(Value(kScopeKey + L"\\VersionIndependentProgID"), L"TQ8UI.ScopeCtrl");
    EXPECT_EQ(Value(kScopeKey + L"\\ToolboxBitmap32"), path + L", 1");
    EXPECT_EQ(Value(kScopeKey + L"\\MiscStatus"), L"0");
    EXPECT_EQ(Value(kScopeKey + L"\\MiscStatus\\1"), L"131473");
    EXPECT_EQ(Value(kScopeKey + L"\\Version"), L"1.0");
    EXPECT_EQ(Value(kScopeKey + L"\\TypeLib"), L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}");
    EXPECT_EQ(Value(kScopeKey, L"AppID"), L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}");
    EXPECT_TRUE(vlt::ClassesRootKeyExists(kScopeKey + L"\\Control"));
    EXPECT_FALSE(vlt::ClassesRootKeyExists(kScopeKey + L"\\Programmable"));
    EXPECT_EQ(Value(L"AppID\\{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}"), L"TQ8UI");
    EXPECT_EQ(Value(L"AppID\\TQ8UI.DLL", L"AppID"), L"{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}");
    EXPECT_EQ(Value(L"TypeLib\\{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}\\1.0"), L"TQ8UI 1.0 Type Library");
}

TEST_F(Registration, ChannelSourcesAreRegistered)
{
    ASSERT_EQ(m_register(), S_OK);
    const std::pair<const wchar_t*, CLSID> sources[] = {{L"TQ8UI.SimpleChannelSrc", CLSID_CChanSrcSimple},
                                                        {L"TQ8UI.CChanSrcSimpleFile", CLSID_CChanSrcSimpleFile},
                                                        {L"TQ8UI.CChanSrcBrd", CLSID_CChanSrcBrd}};
    for (auto [progId, expected] : sources) {
        SCOPED_TRACE(vlt::WideToUtf8(progId));
        CLSID clsid;
        ASSERT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
        EXPECT_EQ(clsid, expected);
        EXPECT_EQ(Value(std::wstring(progId) + L"\\CurVer"), std::wstring(progId) + L".1");
        const std::wstring key = L"CLSID\\" + vlt::GuidToString(clsid);
        EXPECT_TRUE(vlt::ClassesRootKeyExists(key + L"\\Programmable"));
        EXPECT_FALSE(vlt::ClassesRootKeyExists(key + L"\\Control"));
        EXPECT_EQ(Value(key + L"\\InprocServer32", L"ThreadingModel"), L"apartment");
    }
    EXPECT_EQ(Value(L"TQ8UI.SimpleChannelSrc"), L"CChanSrcSimple Object");
}

TEST_F(Registration, UnregisterRemovesClassesButKeepsTheAppIdKey)
{
    ASSERT_EQ(m_register(), S_OK);
    ASSERT_EQ(m_unregister(), S_OK);
    CLSID clsid;
    EXPECT_EQ(CLSIDFromProgID(L"TQ8UI.ScopeCtrl", &clsid), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(L"TQ8UI.ScopeCtrl.1", &clsid), CO_E_CLASSSTRING);
    CComPtr<IScopeTQ8> scope;
    EXPECT_EQ(CoCreateInstance(CLSID_CScopeCtrl, nullptr, CLSCTX_INPROC_SERVER, IScopeTQ8::iid,
                               reinterpret_cast<void**>(&scope)),
              REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(vlt::ClassesRootKeyExists(kScopeKey));
    EXPECT_TRUE(vlt::ClassesRootKeyExists(L"CLSID"));
    EXPECT_TRUE(vlt::ClassesRootKeyExists(L"AppID"));
    EXPECT_FALSE(vlt::ClassesRootKeyExists(L"AppID\\{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}"));
    EXPECT_FALSE(vlt::ClassesRootKeyExists(L"TQ8UI.CChanSrcBrd"));
    EXPECT_FALSE(vlt::ClassesRootKeyExists(L"TypeLib\\{FBFF18C8-87A2-4EB8-99F7-4852CEB687FA}"));
    // Unregistering twice is harmless; registering again works.
    EXPECT_EQ(m_unregister(), S_OK);
    ASSERT_EQ(m_register(), S_OK);
    EXPECT_EQ(CLSIDFromProgID(L"TQ8UI.ScopeCtrl", &clsid), S_OK);
}

TEST_F(Registration, CannotUnloadWhileAFactoryOrLockIsHeld)
{
    EXPECT_EQ(m_canUnload(), S_OK);
    CComPtr<IClassFactory> factory;
    ASSERT_EQ(m_getClassObject(CLSID_CScopeCtrl, IClassFactory::iid, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(m_canUnload(), S_FALSE);
    ASSERT_EQ(factory->LockServer(true), S_OK);
    CComPtr<IUnknown> obj;
    EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(&obj), IUnknown::iid, reinterpret_cast<void**>(&obj)),
              CLASS_E_NOAGGREGATION);
    ASSERT_EQ(factory->CreateInstance(nullptr, IUnknown::iid, reinterpret_cast<void**>(&obj)), S_OK);
    factory.Release();
    EXPECT_EQ(m_canUnload(), S_FALSE); // lock and object
    obj.Release();
    EXPECT_EQ(m_canUnload(), S_FALSE); // the lock alone
    ASSERT_EQ(m_getClassObject(CLSID_CScopeCtrl, IClassFactory::iid, reinterpret_cast<void**>(&factory)), S_OK);
    factory->LockServer(false);
    factory.Release();
    EXPECT_EQ(m_canUnload(), S_OK);
}

TEST_F(Registration, UnknownClassesAreNotAvailable)
{
    CComPtr<IClassFactory> factory;
    EXPECT_EQ(m_getClassObject(vlt::MakeGuid("00000000-0000-0000-0000-000000000001"), IClassFactory::iid,
                               reinterpret_cast<void**>(&factory)),
              CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory.p, nullptr);
    CComPtr<IUnknown> wrong;
    EXPECT_EQ(m_getClassObject(CLSID_CScopeCtrl, IScopeTQ8::iid, reinterpret_cast<void**>(&wrong)), E_NOINTERFACE);
}
