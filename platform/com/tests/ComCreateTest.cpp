#include "ComCreate.h"
#include "RegistryStore.h"
#include "TextConv.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

// Each test gets a registry of its own.
class ComCreate : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tmp = std::getenv("VLT_TEST_TMP");
        std::filesystem::path base = tmp ? tmp : std::filesystem::temp_directory_path().string();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = base / ("com-" + std::string(info->name()) + "-" + std::to_string(getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    static void SetClassesString(const std::wstring& key, const std::wstring& value)
    {
        ASSERT_TRUE(vlt::RegistryStore::SetString(vlt::RegHive::CurrentUser, vlt::ClassesKey(key), L"", value))
            << vlt::RegistryStore::LastError();
    }
    std::filesystem::path m_dir;
};

constexpr CLSID kClsid = vlt::MakeGuid("11111111-2222-3333-4444-555555555555");

} // namespace

TEST_F(ComCreate, ProgIdResolvesThroughTheClassesRoot)
{
    SetClassesString(L"Test.Thing\\CLSID", L"{11111111-2222-3333-4444-555555555555}");
    CLSID got;
    ASSERT_EQ(CLSIDFromProgID(L"Test.Thing", &got), S_OK);
    EXPECT_EQ(got, kClsid);
    EXPECT_EQ(CLSIDFromProgID(L"test.thing", &got), S_OK); // keys ignore case
}

TEST_F(ComCreate, UnknownOrDamagedProgIdIsAClassStringError)
{
    CLSID got = GUID_NULL;
    EXPECT_EQ(CLSIDFromProgID(L"Nothing.Here", &got), CO_E_CLASSSTRING);
    EXPECT_EQ(CLSIDFromProgID(L"", &got), CO_E_CLASSSTRING);
    SetClassesString(L"Bad.Thing\\CLSID", L"not a guid");
    EXPECT_EQ(CLSIDFromProgID(L"Bad.Thing", &got), CO_E_CLASSSTRING);
    EXPECT_EQ(got, GUID_NULL);
    EXPECT_EQ(CLSIDFromProgID(nullptr, &got), E_INVALIDARG);
}

TEST_F(ComCreate, UnregisteredClassIsReported)
{
    IUnknown* p = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, reinterpret_cast<void**>(&p)),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(p, nullptr);
}

TEST_F(ComCreate, MissingLibraryIsReported)
{
    SetClassesString(L"CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32",
                     vlt::Utf8ToWide((m_dir / "libDoesNotExist.so").string()));
    IUnknown* p = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, reinterpret_cast<void**>(&p)),
              CO_E_DLLNOTFOUND);
}

TEST_F(ComCreate, LibraryWithoutEntryPointIsReported)
{
    // The C library loads but is no server.
    SetClassesString(L"CLSID\\{11111111-2222-3333-4444-555555555555}\\InprocServer32", L"libc.so.6");
    IUnknown* p = nullptr;
    EXPECT_EQ(CoCreateInstance(kClsid, nullptr, CLSCTX_INPROC_SERVER, IUnknown::iid, reinterpret_cast<void**>(&p)),
              CO_E_ERRORINDLL);
    CoFreeUnusedLibraries();
}
