#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "CWriteBehind.h"

using tq8::CWriteBehind;

namespace {
std::string ReadAll(int fd)
{
    std::string text;
    char buf[4096];
    for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) > 0;)
        text.append(buf, static_cast<size_t>(n));
    return text;
}
} // namespace

// Writes land in the order queued, whole, while the queue holds several.
TEST(WriteBehind, WritesInOrderAndWaitsForTheOldest)
{
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    // A reader that starts late: the writes queue up meanwhile.
    std::string read;
    std::thread reader([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        read = ReadAll(pipe[0]);
    });
    std::vector<std::string> parts;
    for (char c = 'a'; c < 'h'; ++c)
        parts.emplace_back(100000, c); // more than a pipe holds
    {
        CWriteBehind behind;
        for (const std::string& part : parts) {
            behind.Start(pipe[1], reinterpret_cast<const uint8_t*>(part.data()), part.size());
            ASSERT_EQ(behind.Wait(2), 0);
            EXPECT_LE(behind.Queued(), 2u);
        }
        EXPECT_EQ(behind.Wait(0), 0);
        EXPECT_EQ(behind.Queued(), 0u);
    }
    ::close(pipe[1]);
    reader.join();
    ::close(pipe[0]);
    std::string expected;
    for (const std::string& part : parts)
        expected += part;
    EXPECT_TRUE(read == expected);
}

// A failed write is reported by every later wait, and nothing after it is
// written.
TEST(WriteBehind, FailureStopsTheWritesAfterIt)
{
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    if (full < 0)
        GTEST_SKIP() << "no /dev/full";
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    const std::string text = "after";
    CWriteBehind behind;
    behind.Start(full, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    behind.Start(pipe[1], reinterpret_cast<const uint8_t*>(text.data()), text.size());
    EXPECT_EQ(behind.Wait(0), ENOSPC);
    EXPECT_EQ(behind.Wait(0), ENOSPC);
    ::close(pipe[1]);
    EXPECT_EQ(ReadAll(pipe[0]), "");
    ::close(pipe[0]);
    ::close(full);
}
