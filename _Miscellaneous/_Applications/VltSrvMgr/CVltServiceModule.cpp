#include "CVltServiceModule.h"

#include <dlfcn.h>

#include "IVltServiceClass.h"

CVltServiceModule::CVltServiceModule(void* library, IVltServiceClass* serviceClass)
    : m_library(library), m_class(serviceClass)
{
}

CVltServiceModule::~CVltServiceModule()
{
    // The interface's code lives in the library: release it first.
    if (m_class)
        m_class->Release();
    if (m_library)
        dlclose(m_library);
}
