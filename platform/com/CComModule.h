#pragma once
// The object and lock count of one binary (an in-process server). Objects
// made through CComObject and server locks count; the server may be unloaded
// when the count is zero.
// Threads: any that makes or releases the module's objects; the count is atomic.
#include <atomic>
#include <cstdint>

namespace vlt {

class CComModule {
public:
    CComModule();
    virtual ~CComModule();
    CComModule(const CComModule&) = delete;
    CComModule& operator=(const CComModule&) = delete;

    int32_t Lock() { return ++m_lockCount; }
    int32_t Unlock() { return --m_lockCount; }
    int32_t GetLockCount() const { return m_lockCount; }

    // The module of this binary, or null when it has none.
    static CComModule* Current();

private:
    std::atomic<int32_t> m_lockCount{0};
};

} // namespace vlt
