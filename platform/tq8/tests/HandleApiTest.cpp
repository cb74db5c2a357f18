#include <atomic>
#include <thread>
#include <vector>

#include "ApiFixture.h"

TEST_F(ApiTest, DuplicateSurvivesDisconnectOfTheOriginal)
{
    TQ8_HANDLE h = Virtual();
    TQ8_HANDLE dup = nullptr;
    ASSERT_EQ(DuplicateHandleTQ8(h, &dup), TQ8_OK);
    EXPECT_NE(dup, h);
    ASSERT_EQ(SetTriggerLevelATQ8(h, 77), TQ8_OK);
    EXPECT_EQ(GetTriggerLevelATQ8(dup, 1), 77); // same board
    EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_OK);
    EXPECT_FALSE(IsHandleValidTQ8(h));
    EXPECT_TRUE(IsHandleValidTQ8(dup));
    uint32_t serial = 0;
    EXPECT_EQ(GetSerialNumberTQ8(dup, &serial), TQ8_OK);
    EXPECT_EQ(serial, 1600u);
    // The stale handle is refused everywhere, also a second disconnect.
    EXPECT_EQ(GetSerialNumberTQ8(h, &serial), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(DisconnectFromDeviceTQ8(h), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(SetTriggerLevelATQ8(h, 1), TQ8_ERR_INVALID_HANDLE);
    EXPECT_EQ(DisconnectFromDeviceTQ8(dup), TQ8_OK);
}

TEST_F(ApiTest, HandlesAreNeverReused)
{
    TQ8_HANDLE a = Virtual();
    ASSERT_EQ(DisconnectFromDeviceTQ8(a), TQ8_OK);
    TQ8_HANDLE b = Virtual();
    EXPECT_NE(a, b);
    EXPECT_FALSE(IsHandleValidTQ8(a));
}

TEST_F(ApiTest, GarbageHandlesAreSafe)
{
    TQ8_HANDLE h = Virtual();
    for (uintptr_t v : {uintptr_t{0}, uintptr_t{1}, uintptr_t{0xDEADBEEF}, ~uintptr_t{0},
                        reinterpret_cast<uintptr_t>(h) + 1, reinterpret_cast<uintptr_t>(&h)}) {
        auto g = reinterpret_cast<TQ8_HANDLE>(v);
        EXPECT_FALSE(IsHandleValidTQ8(g));
        EXPECT_EQ(IsDeviceVirtualTQ8(g), TQ8_ERR_INVALID_HANDLE);
        EXPECT_EQ(GetBoardFeaturesTQ8(g), 0u);
        EXPECT_EQ(AcquireToBoardRamTQ8(g, 0, 1024, 0, 0), TQ8_ERR_INVALID_HANDLE);
    }
}

TEST_F(ApiTest, VirtualBoardIdentity)
{
    TQ8_HANDLE h = Virtual(1601);
    EXPECT_GT(IsDeviceVirtualTQ8(h), 0);
    EXPECT_EQ(IsDeviceRemoteTQ8(h), 0);
    wchar_t* server = reinterpret_cast<wchar_t*>(1);
    uint32_t port = 99;
    ASSERT_EQ(GetHostServerInfoWTQ8(h, &server, &port), TQ8_OK);
    EXPECT_EQ(server, nullptr);
    EXPECT_EQ(port, 0u);
    wchar_t* name = nullptr;
    ASSERT_EQ(GetBoardNameWTQ8(h, &name, TQ8_NAME_SET_DISPLAY), TQ8_OK);
    EXPECT_STREQ(name, L"Virtual TQ3300-4 #1601");
    EXPECT_EQ(FreeMemoryTQ8(name), TQ8_OK);
    ASSERT_EQ(GetBoardNameWTQ8(h, &name, TQ8_NAME_SET_SHORT), TQ8_OK);
    EXPECT_STREQ(name, L"TQ3300 #1601");
    FreeMemoryTQ8(name);
    ASSERT_EQ(GetBoardNameWTQ8(h, &name, TQ8_NAME_SET_FILE), TQ8_OK);
    EXPECT_STREQ(name, L"TQ3300_1601");
    FreeMemoryTQ8(name);
    // The plain name tells boards apart too.
    ASSERT_EQ(GetBoardNameWTQ8(h, &name, 0), TQ8_OK);
    EXPECT_STREQ(name, L"TQ3300 #1601");
    FreeMemoryTQ8(name);
    // Virtual boards can be clocked and triggered by a sync device.
    EXPECT_EQ(GetSyncConfigurationTQ8(h, 1), 1);
    uint64_t driver = 0;
    ASSERT_EQ(GetDriverVersionTQ8(h, &driver), TQ8_OK);
    EXPECT_GE(driver, 0x0001000C00040000ull);
    wchar_t* text = nullptr;
    ASSERT_EQ(GetVersionTextWTQ8(h, TQ8_VERSION_DRIVER, &text, 64), TQ8_OK);
    EXPECT_STREQ(text, L"2.8.6.27");
    FreeMemoryTQ8(text);
    EXPECT_TRUE(InIdleModeTQ8(h));
}

TEST_F(ApiTest, ConcurrentConnectDuplicateDisconnect)
{
    TQ8_HANDLE h = Virtual();
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 500; ++i) {
                TQ8_HANDLE d = nullptr;
                if (DuplicateHandleTQ8(h, &d) != TQ8_OK || !IsHandleValidTQ8(d))
                    ++failures;
                SetTriggerLevelATQ8(d, i & 255);
                if (DisconnectFromDeviceTQ8(d) != TQ8_OK || IsHandleValidTQ8(d))
                    ++failures;
            }
        });
    }
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_TRUE(IsHandleValidTQ8(h));
}

TEST_F(ApiTest, FreeMemoryRefusesWhatItNeverGave)
{
    EXPECT_EQ(FreeMemoryTQ8(nullptr), TQ8_OK);
    int local = 0;
    EXPECT_EQ(FreeMemoryTQ8(&local), TQ8_ERR_INVALID_ARG);
    wchar_t* text = nullptr;
    ASSERT_EQ(GetErrorTextWTQ8(TQ8_ERR_CANCELLED, &text, 0, nullptr), TQ8_OK);
    EXPECT_EQ(FreeMemoryTQ8(text), TQ8_OK);
    EXPECT_EQ(FreeMemoryTQ8(text), TQ8_ERR_INVALID_ARG); // not twice
}

TEST_F(ApiTest, EveryCodeCallersShowHasAText)
{
    for (int32_t code : {-1, -2, -3, -4, -5, -6, -7, -8, -9, -10, -527, -529, -530, -532, -533, -535, -541, -543,
                         -544, -551, -552, -554, -572, -593, -600, -601, -602, -603, -604}) {
        wchar_t* text = nullptr;
        ASSERT_EQ(GetErrorTextWTQ8(code, &text, 0, nullptr), TQ8_OK) << code;
        ASSERT_NE(text, nullptr);
        EXPECT_GT(wcslen(text), 5u) << code;
        FreeMemoryTQ8(text);
    }
    wchar_t* text = nullptr;
    EXPECT_NE(GetErrorTextWTQ8(-12345, &text, 0, nullptr), TQ8_OK);
    EXPECT_EQ(text, nullptr);
    EXPECT_EQ(GetErrorTextWTQ8(-10, nullptr, 0, nullptr), TQ8_ERR_INVALID_ARG);
}

TEST_F(ApiTest, RemoteConnectRecordsAreChecked)
{
    TQ8_REMOTE_CONN_INFO conn{};
    conn.size = sizeof conn - 8;
    conn.port = 3494;
    conn.server = L"localhost";
    TQ8_HANDLE h = nullptr;
    EXPECT_EQ(ConnectToRemoteDeviceWTQ8(&h, 5, &conn), TQ8_ERR_INVALID_ARG);
    conn.size = sizeof conn;
    conn.server = nullptr;
    EXPECT_EQ(ConnectToRemoteVirtualDeviceWTQ8(&h, 5, 1, &conn), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(h, nullptr);
    uint32_t* serials = reinterpret_cast<uint32_t*>(1);
    EXPECT_EQ(GetRemoteDeviceCountWTQ8(L"", 3494, &serials), TQ8_ERR_INVALID_ARG);
    EXPECT_EQ(serials, nullptr);
}
