#pragma once
// Runs a console program as a child process for the tools' tests: on a
// pseudo terminal (answering the key wait) or on pipes, always with a
// time-out so that a program that hangs fails the test instead.
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

struct ChildResult {
    int exitCode = -1;      // -1 when it did not end by itself
    std::string output;
    bool waitedForKey = false; // still running after the prompt until the key came
    bool timedOut = false;
};

struct ChildOptions {
    std::vector<std::pair<std::string, std::string>> env; // set in the child
    bool terminal = false;
    std::string prompt = "Press any key to exit...";
};

namespace child_detail {

using Clock = std::chrono::steady_clock;

inline void Exec(const std::string& program, const std::vector<std::string>& args, const ChildOptions& options)
{
    for (const auto& [name, value] : options.env)
        ::setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

// Reads what is there within the time given; false at end of output.
inline bool ReadSome(int fd, std::string& out, int milliseconds)
{
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, milliseconds) <= 0)
        return true;
    char buf[4096];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n <= 0)
        return n < 0 && errno == EINTR;
    out.append(buf, static_cast<size_t>(n));
    return true;
}

inline int Reap(pid_t pid, Clock::time_point deadline, bool& timedOut)
{
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (Clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            timedOut = true;
            return -1;
        }
        ::usleep(5000);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace child_detail

inline ChildResult RunChild(const std::string& program, const std::vector<std::string>& args,
                            const ChildOptions& options = {})
{
    using namespace child_detail;
    ChildResult result;
    const auto deadline = Clock::now() + std::chrono::seconds(30);
    int outFd = -1;
    pid_t pid = -1;
    if (options.terminal) {
        pid = ::forkpty(&outFd, nullptr, nullptr, nullptr);
        if (pid == 0)
            Exec(program, args, options);
    } else {
        int out[2];
        if (::pipe(out) != 0)
            return result;
        pid = ::fork();
        if (pid == 0) {
            const int none = ::open("/dev/null", O_RDONLY);
            ::dup2(none, STDIN_FILENO);
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(out[1], STDERR_FILENO);
            Exec(program, args, options);
        }
        ::close(out[1]);
        outFd = out[0];
    }
    if (pid < 0)
        return result;
    bool sentKey = false;
    while (Clock::now() < deadline) {
        if (!ReadSome(outFd, result.output, 50))
            break;
        if (options.terminal && !sentKey && result.output.find(options.prompt) != std::string::npos) {
            // A program that waits is still there a while after its prompt.
            const auto grace = Clock::now() + std::chrono::milliseconds(300);
            int status = 0;
            bool ended = false;
            while (Clock::now() < grace && !ended) {
                ReadSome(outFd, result.output, 20);
                ended = ::waitpid(pid, &status, WNOHANG) == pid;
            }
            if (ended) {
                result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                ::close(outFd);
                return result;
            }
            result.waitedForKey = true;
            sentKey = ::write(outFd, "x", 1) == 1;
        }
    }
    ::close(outFd);
    result.exitCode = Reap(pid, deadline, result.timedOut);
    return result;
}
