#include "CComModule.h"

namespace vlt {

namespace {
CComModule* g_module = nullptr;
}

CComModule::CComModule()
{
    if (!g_module)
        g_module = this;
}

CComModule::~CComModule()
{
    if (g_module == this)
        g_module = nullptr;
}

CComModule* CComModule::Current() { return g_module; }

} // namespace vlt
