#include "ConsoleExit.h"

#include <cerrno>
#include <cstdio>
#include <termios.h>
#include <unistd.h>

namespace vlt {

bool WaitForKeyOnTerminal(const std::string& prompt)
{
    if (!::isatty(STDIN_FILENO))
        return false;
    std::fputs(prompt.c_str(), stdout);
    std::fflush(stdout);
    termios saved {};
    const bool haveMode = ::tcgetattr(STDIN_FILENO, &saved) == 0;
    if (haveMode) {
        termios raw = saved;
        raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
        raw.c_cc[VMIN] = 1;
        raw.c_cc[VTIME] = 0;
        ::tcsetattr(STDIN_FILENO, TCSANOW, &raw);
    }
    char key = 0;
    while (::read(STDIN_FILENO, &key, 1) < 0 && errno == EINTR) {
    }
    if (haveMode)
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
    return true;
}

int ExitCodeOf(int32_t result)
{
    if (result == 0)
        return 0;
    if (result < 0 && result >= -255)
        return 256 + result;
    return result < 0 ? 255 : 1;
}

} // namespace vlt
