#pragma once
// The service host's four option bits, kept in the profile as "ProgOptFlags"
// of the section "Settings", and the log-on entry that bit 0x1 stands for.
#include <cstdint>
#include <string>

class CProgramOptions {
public:
    static constexpr uint32_t kRunAtLogOn = 0x1;
    static constexpr uint32_t kAutoStartServices = 0x2;
    static constexpr uint32_t kMinimizeToTray = 0x4;
    static constexpr uint32_t kAllowShutdown = 0x8;
    static constexpr uint32_t kAllBits = 0xF;

    uint32_t Flags() const { return m_flags; }
    bool Test(uint32_t bits) const { return (m_flags & bits) != 0; }
    void Set(uint32_t bits, bool on);

    // Reads the flags (0 when none are stored). false when the profile
    // cannot be read (a damaged store): the flags are then 0, the reason is
    // in error, and Save refuses to write over what could not be read.
    // error gets the reason alone, for the caller's own sentence.
    bool Load(std::string* error = nullptr);
    bool Save(std::string* error = nullptr);
    bool IsLoaded() const { return m_loaded; }

    // When the options sheet applies: writes or removes the log-on entry of
    // the program when bit 0x1 differs from flagsBefore. true when nothing
    // had to change or the change was made; false with the file and the
    // reason.
    bool UpdateRunList(uint32_t flagsBefore, const std::string& programPath, std::string* error = nullptr) const;
    bool WriteRunListEntry(const std::string& programPath, std::string* error = nullptr) const;

private:
    uint32_t m_flags = 0;
    bool m_loaded = false;
    bool m_damaged = false;
    std::string m_readError;
};
