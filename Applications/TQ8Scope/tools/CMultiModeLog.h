#pragma once
// The multiple-mode log of the recording window: one entry per repetition,
// a new file with the first repetition of a run. A log that cannot be
// written loses the entry silently.
#include <cstdint>
#include <string>

class CMultiModeLog {
public:
    static constexpr char kFileName[] = "LOG_TQ3300_MULTI_MODE.txt";

    // The file in the user's data folder.
    CMultiModeLog();
    explicit CMultiModeLog(std::string path) : m_path(std::move(path)) {}

    const std::string& GetPath() const { return m_path; }
    // attempts 1 starts the file anew; false when it could not be written.
    bool Write(uint32_t attempts, const std::string& entry) const;

private:
    std::string m_path;
};
