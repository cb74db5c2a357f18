#pragma once
// Switching the computer off or restarting it with the system's own command
// ("systemctl poweroff" / "systemctl reboot"). Tests replace the command
// with a stand-in, or name another program to run.
#include <cstdint>
#include <functional>
#include <string>

namespace vlt {

enum class PowerAction { PowerOff, Reboot };

// 0 when the system accepted the request (the command ran and exited with
// 0), -1 otherwise with errno telling why where known.
int32_t RequestSystemPower(PowerAction action);

// A stand-in that receives the requests instead of the system; an empty one
// brings the system command back. Process-wide.
using PowerStandIn = std::function<int32_t(PowerAction)>;
void SetPowerStandIn(PowerStandIn standIn);

// The program run with the argument "poweroff" or "reboot"; "systemctl" by
// default, looked up in PATH.
void SetPowerCommand(const std::string& program);

} // namespace vlt
