// Why a client connection to a service could not be made: an address that
// does not parse, a name that does not resolve, or the connect's own error.
#include <cerrno>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "ServiceClientSocket.h"
#include "TestSupport.h"

// Malformed is what the system's resolver does not take as a numeric
// address either; its short forms ("127.1", "10.0.0") are addresses.
TEST(ServiceClientSocket, MalformedNumericAddressesAreToldFromNames)
{
    for (const char* bad : {"192.168.1.300", "1.2.3.4.5", "127..0.1", "1.2.3.4.", "99999999999"})
        EXPECT_TRUE(IsMalformedNumericAddress(bad)) << bad;
    for (const char* good : {"192.168.1.30", "127.0.0.1", "127.1", "10.0.0", "lab-pc", "lab-pc.example.com",
                             "3com.example", ""})
        EXPECT_FALSE(IsMalformedNumericAddress(good)) << good;
}

TEST(ServiceClientSocket, EachFailureSaysWhichItIs)
{
    ServiceConnectFailure failure = ServiceConnectFailure::None;
    EXPECT_EQ(ConnectServiceSocket("192.168.1.300", 3494, 1000, &failure), -1);
    EXPECT_EQ(failure, ServiceConnectFailure::MalformedAddress);
    EXPECT_EQ(ConnectServiceSocket("no-such-host.invalid", 3494, 1000, &failure), -1);
    EXPECT_EQ(failure, ServiceConnectFailure::UnknownName);

    // Nothing listens on the port: the system refuses the connection.
    errno = 0;
    EXPECT_EQ(ConnectServiceSocket("127.0.0.1", srvtest::FreePort(), 1000, &failure), -1);
    EXPECT_EQ(failure, ServiceConnectFailure::NoConnection);
    EXPECT_EQ(errno, ECONNREFUSED);
    // A short form is tried as the address it stands for.
    errno = 0;
    EXPECT_EQ(ConnectServiceSocket("127.1", srvtest::FreePort(), 1000, &failure), -1);
    EXPECT_EQ(failure, ServiceConnectFailure::NoConnection);
    EXPECT_EQ(errno, ECONNREFUSED);
}

// A listener whose queue is full lets a further connection wait unanswered.
TEST(ServiceClientSocket, AConnectionNotAnsweredInTimeTimesOut)
{
    uint16_t port = 0;
    const int listener = srvtest::ListenLoopback(0, port);
    ASSERT_GE(listener, 0);

    // Fill the queue; the next connection is left waiting.
    std::vector<int> queued;
    ServiceConnectFailure failure = ServiceConnectFailure::None;
    int fd = -1;
    for (int i = 0; i < 8 && failure != ServiceConnectFailure::NoConnection; ++i) {
        fd = ConnectServiceSocket("127.0.0.1", port, 200, &failure);
        if (fd >= 0)
            queued.push_back(fd);
    }
    const int error = errno;
    for (int q : queued)
        close(q);
    close(listener);
    ASSERT_EQ(fd, -1);
    EXPECT_EQ(failure, ServiceConnectFailure::NoConnection);
    EXPECT_EQ(error, ETIMEDOUT);
}
