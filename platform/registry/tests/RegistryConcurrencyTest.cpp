#include "HiveLock.h"
#include "RegistryStore.h"
#include "RegistryTestDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fcntl.h>
#include <string>
#include <sys/file.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vlt;

namespace {

const RegHive kUser = RegHive::CurrentUser;
const wchar_t* const kKey = L"Shared\\Values";

std::wstring ValueName(int writer, int i)
{
    return L"w" + std::to_wstring(writer) + L"_" + std::to_wstring(i);
}

uint32_t ValueOf(int writer, int i)
{
    return static_cast<uint32_t>(writer * 100000 + i);
}

// Returns the number of failed writes.
int WriteValues(int writer, int count)
{
    int failures = 0;
    for (int i = 0; i < count; ++i)
        if (!RegistryStore::SetDWord(kUser, kKey, ValueName(writer, i), ValueOf(writer, i)))
            ++failures;
    return failures;
}

void ExpectAllValues(int writers, int count)
{
    EXPECT_EQ(RegistryStore::EnumValueNames(kUser, kKey).size(), static_cast<size_t>(writers * count));
    for (int w = 0; w < writers; ++w) {
        for (int i = 0; i < count; ++i) {
            uint32_t value = 0;
            ASSERT_TRUE(RegistryStore::GetDWord(kUser, kKey, ValueName(w, i), value))
                << "writer " << w << " value " << i << " lost";
            EXPECT_EQ(value, ValueOf(w, i));
        }
    }
}

TEST(RegistryConcurrencyTest, TwoProcessesLoseNothing)
{
    RegistryTestDir dir;
    constexpr int kWriters = 2;
    constexpr int kCount = 200;
    pid_t children[kWriters];
    for (int w = 0; w < kWriters; ++w) {
        children[w] = ::fork();
        ASSERT_GE(children[w], 0);
        if (children[w] == 0)
            ::_exit(WriteValues(w, kCount) == 0 ? 0 : 1);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "a writer process saw failed writes";
    }
    ExpectAllValues(kWriters, kCount);
}

TEST(RegistryConcurrencyTest, ThreadsLoseNothingAndReadersSeeWholeFiles)
{
    RegistryTestDir dir;
    constexpr int kWriters = 4;
    constexpr int kCount = 50;
    std::atomic<int> failures{0};
    std::atomic<bool> writing{true};
    std::atomic<int> readErrors{0};
    std::thread reader([&] {
        while (writing) {
            RegistryStore::EnumValueNames(kUser, kKey);
            if (!RegistryStore::LastError().empty())
                ++readErrors;
        }
    });
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w)
        writers.emplace_back([&, w] { failures += WriteValues(w, kCount); });
    for (auto& t : writers)
        t.join();
    writing = false;
    reader.join();
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(readErrors, 0);
    ExpectAllValues(kWriters, kCount);
}

TEST(RegistryConcurrencyTest, LastErrorBelongsToItsThread)
{
    RegistryTestDir dir;
    WriteBytes(RegistryStore::HiveFile(RegHive::LocalMachine), "broken");
    EXPECT_FALSE(RegistryStore::KeyExists(RegHive::LocalMachine, L"A"));
    ASSERT_FALSE(RegistryStore::LastError().empty());
    std::string otherThreadError = "not run";
    std::thread([&] { otherThreadError = RegistryStore::LastError(); }).join();
    EXPECT_TRUE(otherThreadError.empty());
    EXPECT_FALSE(RegistryStore::LastError().empty());
}

} // namespace

// A program that hangs (or is stopped) while it holds the lock keeps no other
// from starting: the wait gives up at its limit and says what it waited for;
// a read goes ahead without the lock, a write fails with the reason.
TEST(RegistryConcurrency, ALockHeldElsewhereIsWaitedForOnlyUpToTheLimit)
{
    RegistryTestDir dir;
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"before", 7));
    const std::string lockFile = RegistryStore::HiveFile(kUser) + ".lock";
    const int held = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const auto limit = HiveLock::WaitLimit();
    HiveLock::SetWaitLimit(std::chrono::milliseconds(200));
    uint32_t value = 0;
    EXPECT_TRUE(RegistryStore::GetDWord(kUser, kKey, L"before", value));
    EXPECT_EQ(value, 7u);
    EXPECT_FALSE(RegistryStore::SetDWord(kUser, kKey, L"after", 8));
    EXPECT_EQ(RegistryStore::LastError(), "The registry lock '" + lockFile
                                              + "' is still held by another program, which kept it through an "
                                                "earlier wait");
    ::close(held);
    EXPECT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"after", 8));
    HiveLock::SetWaitLimit(limit);
}

// A start reads the registry many times: a holder that kept the lock through
// one whole wait is not waited for, nor announced, at every later access,
// until the lock has been had again.
TEST(RegistryConcurrency, AHolderThatOutlastedAWaitIsNotWaitedForAtEveryAccess)
{
    RegistryTestDir dir;
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"before", 7));
    const std::string lockFile = RegistryStore::HiveFile(kUser) + ".lock";
    const auto limit = HiveLock::WaitLimit();
    HiveLock::SetWaitLimit(std::chrono::milliseconds(200));
    const std::string waiting = "Waiting up to 200 ms for the registry lock '" + lockFile + "'";
    const auto readWhileHeld = [&] {
        const int held = ::open(lockFile.c_str(), O_RDWR | O_CLOEXEC);
        EXPECT_EQ(::flock(held, LOCK_EX), 0);
        uint32_t value = 0;
        testing::internal::CaptureStderr();
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(RegistryStore::GetDWord(kUser, kKey, L"before", value) && value == 7u);
        const std::string said = testing::internal::GetCapturedStderr();
        ::close(held);
        return said;
    };
    std::string said = readWhileHeld();
    const size_t first = said.find(waiting);
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find(waiting, first + 1), std::string::npos) << said;
    // Once the lock was had again, a holder is waited for as before.
    ASSERT_TRUE(RegistryStore::SetDWord(kUser, kKey, L"after", 8));
    said = readWhileHeld();
    EXPECT_NE(said.find(waiting), std::string::npos) << said;
    HiveLock::SetWaitLimit(limit);
}
