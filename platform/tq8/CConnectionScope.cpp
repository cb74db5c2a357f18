#include "CConnectionScope.h"

namespace tq8 {

namespace {
thread_local CConnection* t_current = nullptr;
}

CConnectionScope::CConnectionScope(CConnection* connection) : m_previous(t_current)
{
    t_current = connection;
}

CConnectionScope::~CConnectionScope()
{
    t_current = m_previous;
}

CConnection* CConnectionScope::Current()
{
    return t_current;
}

} // namespace tq8
