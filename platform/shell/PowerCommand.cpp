#include "PowerCommand.h"

#include <cerrno>
#include <mutex>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

namespace vlt {

namespace {

std::mutex g_mutex;
PowerStandIn g_standIn;
std::string g_program = "systemctl";

int32_t RunCommand(const std::string& program, PowerAction action)
{
    std::string file = program;
    std::string verb = action == PowerAction::Reboot ? "reboot" : "poweroff";
    char* argv[] = {file.data(), verb.data(), nullptr};
    pid_t child = 0;
    const int rc = posix_spawnp(&child, file.c_str(), nullptr, nullptr, argv, environ);
    if (rc != 0) {
        errno = rc;
        return -1;
    }
    int status = 0;
    pid_t waited = 0;
    do {
        waited = waitpid(child, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited < 0)
        return -1;
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return 0;
    errno = EPERM;
    return -1;
}

} // namespace

int32_t RequestSystemPower(PowerAction action)
{
    PowerStandIn standIn;
    std::string program;
    {
        std::lock_guard<std::mutex> hold(g_mutex);
        standIn = g_standIn;
        program = g_program;
    }
    return standIn ? standIn(action) : RunCommand(program, action);
}

void SetPowerStandIn(PowerStandIn standIn)
{
    std::lock_guard<std::mutex> hold(g_mutex);
    g_standIn = std::move(standIn);
}

void SetPowerCommand(const std::string& program)
{
    std::lock_guard<std::mutex> hold(g_mutex);
    g_program = program;
}

} // namespace vlt
