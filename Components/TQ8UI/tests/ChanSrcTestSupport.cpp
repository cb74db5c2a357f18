#include "ChanSrcTestSupport.h"

#include "ComCreate.h"
#include "InprocServer.h"

#include <dlfcn.h>
#include <fstream>
#include <unistd.h>

void ChanSrcTest::SetUp()
{
    const char* tmp = std::getenv("VLT_TEST_TMP");
    std::filesystem::path base = tmp ? tmp : std::filesystem::temp_directory_path().string();
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = std::string(info->test_suite_name()) + "-" + info->name();
    for (char& c : name)
        if (c == '/')
            c = '_';
    m_dir = base / ("chansrc-" + name + "-" + std::to_string(getpid()));
    std::filesystem::remove_all(m_dir);
    std::filesystem::create_directories(m_dir);
    setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);

    m_lib = dlopen(TQ8UI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(m_lib, nullptr) << dlerror();
    auto reg = reinterpret_cast<PfnDllRegisterServer>(dlsym(m_lib, "DllRegisterServer"));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
}

void ChanSrcTest::TearDown()
{
    if (m_lib)
        dlclose(m_lib);
    unsetenv("VLT_REGISTRY_DIR");
    std::filesystem::remove_all(m_dir);
}

HRESULT ChanSrcTest::CanUnloadNow() const
{
    auto canUnload = reinterpret_cast<PfnDllCanUnloadNow>(dlsym(m_lib, "DllCanUnloadNow"));
    return canUnload ? canUnload() : E_FAIL;
}

CComPtr<IScopeTQ8ChannelSource> ChanSrcTest::Create(const wchar_t* progId)
{
    CLSID clsid;
    CComPtr<IScopeTQ8ChannelSource> src;
    EXPECT_EQ(CLSIDFromProgID(progId, &clsid), S_OK);
    EXPECT_EQ(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IScopeTQ8ChannelSource::iid,
                               reinterpret_cast<void**>(&src)),
              S_OK);
    return src;
}

std::filesystem::path ChanSrcTest::WriteFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::filesystem::path p = m_dir / name;
    std::ofstream f(p, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(f.good());
    return p;
}
