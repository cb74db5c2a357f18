#pragma once
// The firmware of one card: per programmable part (the system FPGA and the
// ZAB/user FPGA) the version and custom id that run, and the image last
// loaded into its configuration memory; and what the simulator says about
// the card (whether a new image needs a shut-down or a restart to run, and
// whether the JTAG jumper is set). Thread-safe: an upload on one thread and
// queries through other handles meet here.
#include <array>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

namespace tq8 {

enum class FirmwarePart { System = 0, Zab = 1 };

// What a new image of a part needs before it runs.
enum class FirmwareActivation { Immediate = 0, ShutDown = 1, Restart = 2 };

struct FirmwareVersion {
    uint32_t version = 0; // four 8-bit parts, major highest
    uint32_t custom = 0;
};

class CFirmwareState {
public:
    explicit CFirmwareState(uint32_t version);

    // The version that runs; none while it is unknown (after a failed upload).
    std::optional<FirmwareVersion> Running(FirmwarePart part) const;
    bool ImageMatches(FirmwarePart part, const std::string& image) const;

    // An upload of the part has begun: until it ends, its version is unknown.
    void BeginLoad(FirmwarePart part);
    // The image is in the configuration memory; it runs now or after the
    // power cycle its activation asks for. Returns that activation.
    FirmwareActivation EndLoad(FirmwarePart part, const FirmwareVersion& version, std::string image);
    void PowerCycle();

    void SetActivation(FirmwarePart part, FirmwareActivation activation);
    FirmwareActivation Activation(FirmwarePart part) const;
    void SetJtagJumper(bool set);
    bool JtagJumper() const;

private:
    struct Part {
        std::optional<FirmwareVersion> running;
        std::optional<FirmwareVersion> pending; // loaded, runs after a power cycle
        std::optional<FirmwareVersion> beforeLoad; // runs on until then
        std::string image;
        FirmwareActivation activation = FirmwareActivation::Immediate;
    };
    static size_t Index(FirmwarePart part) { return static_cast<size_t>(part); }

    mutable std::mutex m_mutex;
    std::array<Part, 2> m_parts;
    bool m_jtagJumper = true;
};

// A 32-bit version (four 8-bit parts) as four 16-bit parts.
uint64_t WidenVersion(uint32_t version);

} // namespace tq8
