#include "ChanSrcTestSupport.h"

#include "ComCreate.h"
#include "InprocServer.h"

#include <dlfcn.h>
#include <fstream>
#include <unistd.h>

RegisteredLibrary::RegisteredLibrary(std::string name)
{
    const char* tmp = std::getenv("VLT_TEST_TMP");
    std::filesystem::path base = tmp ? tmp : std::filesystem::temp_directory_path().string();
    for (char& c : name)
        if (c == '/')
            c = '_';
    m_dir = base / ("chansrc-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);

    m_lib = dlopen(TQ8UI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(m_lib, nullptr) << dlerror();
    auto reg = m_lib ? reinterpret_cast<PfnDllRegisterServer>(dlsym(m_lib, "DllRegisterServer")) : nullptr;
    EXPECT_NE(reg, nullptr);
    if (reg) {
        EXPECT_EQ(reg(), S_OK);
    }
}

RegisteredLibrary::~RegisteredLibrary()
{
    if (m_lib)
        dlclose(m_lib);
    unsetenv("VLT_REGISTRY_DIR");
    std::filesystem::remove_all(m_dir);
}

HRESULT RegisteredLibrary::CanUnloadNow() const
{
    auto canUnload = reinterpret_cast<PfnDllCanUnloadNow>(dlsym(m_lib, "DllCanUnloadNow"));
    return canUnload ? canUnload() : E_FAIL;
}

std::filesystem::path RegisteredLibrary::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) const
{
    std::filesystem::path p = m_dir / name;
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(f.good());
    return p;
}

CComPtr<IScopeTQ8ChannelSource> CreateSource(const wchar_t* progId)
{
    CLSID clsid;
    CComPtr<IScopeTQ8ChannelSource> src;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IScopeTQ8ChannelSource::iid,
                               reinterpret_cast<void**>(&src)),
              S_OK);
    return src;
}

void ChanSrcTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    m_lib = std::make_unique<RegisteredLibrary>(std::string(info->test_suite_name()) + "-" + info->name());
}

HRESULT TestArbiter::InternalQueryInterface(const IID& riid, void** ppv)
{
    if (vlt::QiEntry<IUnknown, IScopeTQ8ChannelArbiter>(this, riid, ppv)
        || vlt::QiEntry<IScopeTQ8ChannelArbiter>(this, riid, ppv))
        return S_OK;
    return E_NOINTERFACE;
}

HRESULT TestArbiter::SafeToObtainChannelData(uint32_t srcId)
{
    asked.push_back(srcId);
    return answer;
}

HRESULT TestArbiter::OnScopeNeedsDataWhenAvailable(uint32_t srcId)
{
    needed.push_back(srcId);
    return S_OK;
}

CComPtr<TestArbiter> MakeArbiter()
{
    vlt::CComObject<TestArbiter>* p = nullptr;
    vlt::CComObject<TestArbiter>::CreateInstance(&p);
    return CComPtr<TestArbiter>(p);
}
