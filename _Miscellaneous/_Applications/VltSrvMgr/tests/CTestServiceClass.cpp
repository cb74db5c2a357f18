#include "CTestServiceClass.h"

#include <mutex>

#include "CTestServiceInstance.h"

namespace {
std::mutex g_logMutex;
std::vector<std::string> g_log;
} // namespace

std::atomic<int> CTestServiceClass::s_alive{0};

CTestServiceClass::CTestServiceClass(std::string name, uint16_t defaultPort, bool createFails)
    : m_name(std::move(name)), m_description("Test service " + m_name), m_port(defaultPort),
      m_createFails(createFails)
{
    ++s_alive;
}

CTestServiceClass::~CTestServiceClass()
{
    --s_alive;
}

void CTestServiceClass::Release()
{
    delete this;
}

int32_t CTestServiceClass::CreateInstance(IVltServiceInstance** instance)
{
    if (m_createFails)
        return -1;
    *instance = new CTestServiceInstance(m_name);
    std::lock_guard<std::mutex> hold(g_logMutex);
    g_log.push_back(m_name);
    return 0;
}

std::vector<std::string> CTestServiceClass::CreatedLog(bool clear)
{
    std::lock_guard<std::mutex> hold(g_logMutex);
    std::vector<std::string> log = g_log;
    if (clear)
        g_log.clear();
    return log;
}
