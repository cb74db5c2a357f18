#pragma once
// The simulated HUB3300-6 units of the library: the declared local units and
// the state of every unit that has been opened, so that two objects on one
// unit see the same clock. Any thread.
#include "ComTypes.h"

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

// What one unit keeps while the process runs.
struct CHub6Unit {
    std::atomic<double> clockRate;
    std::atomic<uint32_t> syncs{0};
    std::atomic<uint32_t> triggers{0};
    CHub6Unit();
};

class CHub6UnitTable {
public:
    enum class Kind { Local, Virtual, Remote, RemoteVirtual };

    static CHub6UnitTable& Instance();

    void Reset();
    void SetLocalSerials(std::vector<uint32_t> serials);
    // index counts from 1; false when there is no such local unit.
    bool GetLocalSerial(uint32_t index, uint32_t& serial) const;

    // The unit, made on first use (Local or Virtual).
    std::shared_ptr<CHub6Unit> Open(Kind kind, uint32_t serial);

    void Inject(const std::string& method, HRESULT hr, uint32_t calls);
    // The injected failure of method for this call, or S_OK.
    HRESULT TakeInjection(const std::string& method);

    uint32_t GetSyncCount(uint32_t serial) const;
    uint32_t GetTriggerCount(uint32_t serial) const;

private:
    CHub6UnitTable();

    using UnitKey = std::pair<int, uint32_t>;
    struct Injection {
        HRESULT hr = S_OK;
        uint32_t calls = 0;
    };

    mutable std::mutex m_mutex;
    std::vector<uint32_t> m_localSerials;
    std::map<UnitKey, std::shared_ptr<CHub6Unit>> m_units;
    std::map<std::string, Injection> m_injections;
};
