#include "TestSupport.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <thread>
#include <unistd.h>

namespace srvtest {

const char kPing[] = "<VltServiceRequest><Ping/></VltServiceRequest>";
const char kDisconnect[] = "<VltServiceRequest><Disconnect/></VltServiceRequest>";

namespace {

sockaddr_in Loopback(uint16_t port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

int CountEntries(const char* dir)
{
    int count = 0;
    if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d))
            count += e->d_name[0] != '.';
        closedir(d);
    }
    return count;
}

bool ReadExact(int fd, char* buffer, size_t count)
{
    while (count > 0) {
        ssize_t n = recv(fd, buffer, count, 0);
        if (n <= 0)
            return false;
        buffer += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

} // namespace

uint16_t FreePort()
{
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    socklen_t size = sizeof address;
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
    close(fd);
    return ntohs(address.sin_port);
}

int ReservePort(uint16_t& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_ANY);
    socklen_t size = sizeof address;
    if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0
        || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int ListenLoopback(int backlog, uint16_t& port)
{
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(0);
    socklen_t size = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(fd, backlog) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        if (fd >= 0)
            close(fd);
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

int ConnectLoopback(uint16_t port)
{
    return ConnectLoopbackFrom(nullptr, port);
}

int ConnectLoopbackFrom(const char* from, uint16_t port)
{
    int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in source = Loopback(0);
    if (from && inet_pton(AF_INET, from, &source.sin_addr) != 1) {
        close(fd);
        return -1;
    }
    sockaddr_in address = Loopback(port);
    if ((from && bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0)
        || connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        close(fd);
        return -1;
    }
    SetClientTimeout(fd, 20);
    return fd;
}

void SetClientTimeout(int fd, int seconds)
{
    timeval tv{seconds, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}

std::string Frame(const std::string& text)
{
    const uint32_t length = htonl(static_cast<uint32_t>(text.size()));
    return std::string(reinterpret_cast<const char*>(&length), 4) + text;
}

bool WriteAll(int fd, const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        done += static_cast<size_t>(n);
    }
    return true;
}

bool ReadFrame(int fd, std::string& text)
{
    uint32_t length = 0;
    if (!ReadExact(fd, reinterpret_cast<char*>(&length), 4))
        return false;
    text.assign(ntohl(length), '\0');
    return ReadExact(fd, text.data(), text.size());
}

bool PeerClosed(int fd)
{
    char buffer[256];
    for (int i = 0; i < 100000; ++i) {
        ssize_t n = recv(fd, buffer, sizeof buffer, 0);
        if (n == 0)
            return true;
        if (n < 0)
            return errno == ECONNRESET;
    }
    return false;
}

std::string ScratchDir(const std::string& name)
{
    const char* root = std::getenv("VLT_TEST_TMP");
    std::filesystem::path dir = std::filesystem::path(root ? root : "/tmp") / ("vltsrv-" + name + "-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir.string();
}

bool WriteTextFile(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary);
    out << text;
    return static_cast<bool>(out);
}

std::string ConnectRequest(const std::string& inner, const std::string& serviceAttr)
{
    std::string open = serviceAttr.empty() ? "<Connect>" : "<Connect service=\"" + serviceAttr + "\">";
    return "<VltServiceRequest>" + open + inner + "</Connect></VltServiceRequest>";
}

std::string CallRequest(const std::string& method, const std::string& parameters)
{
    std::string text = "<VltServiceRequest><Call method=\"" + method + "\">";
    if (!parameters.empty())
        text += "<Parameters>" + parameters + "</Parameters>";
    return text + "</Call></VltServiceRequest>";
}

std::string EchoReply(const std::string& text, const std::string& service)
{
    return "<VltServiceResponse><ReturnData><Text>" + text + "</Text><Service>" + service
        + "</Service></ReturnData></VltServiceResponse>";
}

int CountOpenFds()
{
    return CountEntries("/proc/self/fd");
}

int CountThreads()
{
    return CountEntries("/proc/self/task");
}

long ResidentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

int ThreadBaseline()
{
    const int before = CountThreads();
    std::thread([] {}).join();
    // A joined thread can still be listed for a moment after the join.
    for (int i = 0; i < 500 && CountThreads() != before; ++i)
        usleep(2000);
    return CountThreads();
}

} // namespace srvtest
