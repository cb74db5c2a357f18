// Feeds arbitrary bytes to one connection's conversation, as a client would
// send them: framing, the push parser, the root and connect checks,
// sub-service lists, dispatch and parameter reading.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

#include "CTestServiceClass.h"
#include "CVltServiceInstance.h"
#include "CVltServiceMgr.h"
#include "CVltServiceModule.h"
#include "ServiceHostOptions.h"

namespace {

ServiceHostOptions FuzzOptions()
{
    ServiceHostOptions options;
    options.maxMessageBytes = 1024 * 1024;
    options.idleTimeoutMs = 1000;
    options.messageTimeoutMs = 1000;
    return options;
}

CVltServiceMgr& Manager()
{
    static CVltServiceMgr* manager = [] {
        auto* m = new CVltServiceMgr(FuzzOptions());
        m->SetBuiltInServices({[] { return new CTestServiceClass("FileSvc", kVltNoPort); },
                               [] { return new CTestServiceClass("PowerSvc", kVltNoPort); }});
        m->LoadConfig("/nonexistent/VltSvcCfg.xml", false);
        return m;
    }();
    return *manager;
}

void WriteAllBytes(int fd, const uint8_t* data, size_t size)
{
    while (size > 0) {
        ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return;
        data += n;
        size -= static_cast<size_t>(n);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0)
        return 0;
    // The client side writes the input and then reads and drops the replies.
    std::thread client([&] {
        WriteAllBytes(fds[0], data, size);
        shutdown(fds[0], SHUT_WR);
        char sink[4096];
        while (recv(fds[0], sink, sizeof sink, 0) > 0) {
        }
    });
    {
        auto own = std::make_shared<CVltServiceModule>(nullptr, new CTestServiceClass("Board", 3494));
        CVltServiceInstance connection(&Manager(), own, fds[1], FuzzOptions());
        connection.Run();
    }
    shutdown(fds[1], SHUT_RDWR);
    client.join();
    close(fds[0]);
    close(fds[1]);
    return 0;
}
