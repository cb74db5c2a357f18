// A service plug-in library for tests, built in several variants:
// TEST_PLUGIN_C / TEST_PLUGIN_STD choose the entry points it exports,
// TEST_PLUGIN_KIND what they hand out.
#include "CTestServiceClass.h"

#define PLUGIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

enum { kGood = 0, kFailing = 1, kEmptyName = 2 };

[[maybe_unused]] int32_t Create(const char* entryName, int32_t index, IVltServiceClass** out)
{
    if (TEST_PLUGIN_KIND == kFailing)
        return index == 1 ? 0 : -1; // index 1: success without a class
    if (TEST_PLUGIN_KIND == kEmptyName) {
        *out = new CTestServiceClass(" \t ", kVltNoPort);
        return 0;
    }
    switch (index) {
    case 0: *out = new CTestServiceClass(entryName, kVltNoPort); break;
    case 1: *out = new CTestServiceClass(std::string(entryName) + "1", 0); break; // default port 0
    case 2: *out = new CTestServiceClass("  Spaced Svc  ", kVltNoPort); break;
    case 3: *out = new CTestServiceClass(std::string(entryName) + "3", kVltNoPort, true); break;
    default: *out = new CTestServiceClass(std::string(entryName) + std::to_string(index), kVltNoPort); break;
    }
    return 0;
}

} // namespace

#if TEST_PLUGIN_C
PLUGIN_EXPORT int32_t CreateVltServiceClassC(int32_t index, IVltServiceClass** out)
{
    return Create("ViaC", index, out);
}
#endif

#if TEST_PLUGIN_STD
PLUGIN_EXPORT int32_t CreateVltServiceClass(int32_t index, IVltServiceClass** out)
{
    return Create("ViaStd", index, out);
}
#endif

PLUGIN_EXPORT int TestPluginAliveClasses()
{
    return CTestServiceClass::s_alive;
}
