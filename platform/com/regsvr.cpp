// regsvr: registers (or with -u unregisters) in-process server libraries in
// the registry store through their own DllRegisterServer, as an installer
// does. Exit code 0 when every library succeeded.
#include <dlfcn.h>

#include <cstdio>
#include <cstring>

#include "InprocServer.h"

namespace {

int RunEntry(const char* path, bool unregister)
{
    void* lib = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!lib) {
        std::fprintf(stderr, "regsvr: cannot load %s: %s\n", path, dlerror());
        return 1;
    }
    const char* name = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto entry = reinterpret_cast<PfnDllRegisterServer>(dlsym(lib, name));
    if (!entry) {
        std::fprintf(stderr, "regsvr: %s has no %s\n", path, name);
        return 1;
    }
    const HRESULT hr = entry();
    if (FAILED(hr)) {
        std::fprintf(stderr, "regsvr: %s of %s failed (0x%08X)\n", name, path, static_cast<unsigned>(hr));
        return 1;
    }
    // The library stays loaded: its registration may have left threads or
    // state that an unload would cut short.
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    bool unregister = false;
    int failures = 0;
    int libraries = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
            continue;
        }
        ++libraries;
        failures += RunEntry(argv[i], unregister);
    }
    if (libraries == 0) {
        std::fprintf(stderr, "usage: regsvr [-u] library...\n");
        return 2;
    }
    return failures == 0 ? 0 : 1;
}
