#pragma once
// Makes named library functions fail on purpose, for a number of calls, so
// that callers' error paths can be tested.
// Threads: the injecting test and every library call; the mutex guards the entries.
#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>

namespace tq8 {

class CFailureInjector {
public:
    // calls 0 removes the injection. The first `passing` calls still run,
    // so that a sequence of calls can fail part of the way.
    void Inject(const std::string& function, int32_t code, uint32_t calls, uint32_t passing = 0);
    // True and the code when the function is to fail on this call.
    bool Take(const char* function, int32_t& code);
    void Clear();

private:
    struct Entry {
        int32_t code;
        uint32_t remaining;
        uint32_t passing;
    };
    std::mutex m_mutex;
    std::unordered_map<std::string, Entry> m_entries;
};

} // namespace tq8
