#pragma once
// The sync device's component library for tests: loaded, registered into
// the registry the test has chosen, its simulation reset, and the
// application's remembered answers about it forgotten before and after.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include "CVltHub6Mgr.h"
#include "Hub6Sim.h"
#include "InprocServer.h"

namespace doc_test {

struct Hub6Library {
    // Call with VLT_REGISTRY_DIR set; check with ASSERT_NO_FATAL_FAILURE.
    void Load()
    {
        lib = dlopen(HUB6COM_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(lib, nullptr) << dlerror();
        Sym(registerServer, "DllRegisterServer");
        Sym(unregisterServer, "DllUnregisterServer");
        Sym(reset, "Hub6Sim_Reset");
        Sym(setLocal, "Hub6Sim_SetLocalDevices");
        Sym(inject, "Hub6Sim_InjectResult");
        Sym(syncCount, "Hub6Sim_GetSyncCount");
        Sym(triggerCount, "Hub6Sim_GetTriggerCount");
        ASSERT_EQ(registerServer(), S_OK);
        reset();
        ForgetHub6SoftwareState();
    }
    // The library stays loaded, as the runtime keeps every server it loaded.
    void Unload()
    {
        if (reset)
            reset();
        ForgetHub6SoftwareState();
    }
    void SetLocal(std::vector<uint32_t> serials)
    {
        ASSERT_EQ(setLocal(serials.data(), uint32_t(serials.size())), 0);
        ForgetHub6SoftwareState(); // the local count is remembered
    }
    template <class F>
    void Sym(F& f, const char* name)
    {
        f = reinterpret_cast<F>(dlsym(lib, name));
        ASSERT_NE(f, nullptr) << name;
    }

    void* lib = nullptr;
    PfnDllRegisterServer registerServer = nullptr;
    PfnDllUnregisterServer unregisterServer = nullptr;
    PfnHub6SimReset reset = nullptr;
    PfnHub6SimSetLocalDevices setLocal = nullptr;
    PfnHub6SimInjectResult inject = nullptr;
    PfnHub6SimGetCount syncCount = nullptr;
    PfnHub6SimGetCount triggerCount = nullptr;
};

} // namespace doc_test
