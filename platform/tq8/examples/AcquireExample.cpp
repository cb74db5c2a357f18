// Connects a virtual board, acquires 1,048,576 samples into board memory,
// reads them back and prints a short summary of what came in.
#include <chrono>
#include <cstdio>
#include <vector>

#include "TQ8_64.h"

namespace {
int Fail(const char* what, int32_t code)
{
    wchar_t* text = nullptr;
    if (GetErrorTextWTQ8(code, &text, 0, nullptr) == TQ8_OK) {
        std::fprintf(stderr, "%s: %ls (%d)\n", what, text, code);
        FreeMemoryTQ8(text);
    } else {
        std::fprintf(stderr, "%s: %d\n", what, code);
    }
    return 1;
}
} // namespace

int main()
{
    constexpr uint32_t kSamples = 1048576;
    TQ8_HANDLE h = nullptr;
    int32_t rc = ConnectToVirtualDeviceTQ8(&h, 1600, 1);
    if (rc != TQ8_OK)
        return Fail("Connect", rc);

    wchar_t* name = nullptr;
    if (GetBoardNameWTQ8(h, &name, TQ8_NAME_SET_DISPLAY) == TQ8_OK) {
        std::printf("Board: %ls\n", name);
        FreeMemoryTQ8(name);
    }
    double rate = 0;
    GetEffectiveAcqRateTQ8(h, &rate);
    int32_t channels = GetChannelCountFromChanSelTQ8(GetActiveChannelsTQ8(h, 1));
    std::printf("Rate %.1f MS/s, %d channels\n", rate, channels);

    auto begin = std::chrono::steady_clock::now();
    rc = AcquireToBoardRamTQ8(h, 0, kSamples, 0, 0);
    auto end = std::chrono::steady_clock::now();
    if (rc != TQ8_OK)
        return Fail("Acquire", rc);
    std::printf("Acquired %u samples in %.3f ms\n", kSamples,
                std::chrono::duration<double, std::milli>(end - begin).count());

    std::vector<uint8_t> data(kSamples);
    rc = ReadSampleRamBufTQ8(h, 0, kSamples, data.data(), 0);
    if (rc != TQ8_OK)
        return Fail("Read", rc);

    for (int32_t c = 0; c < channels; ++c) {
        unsigned lo = 255, hi = 0;
        double sum = 0;
        for (uint32_t i = static_cast<uint32_t>(c); i < kSamples; i += static_cast<uint32_t>(channels)) {
            lo = data[i] < lo ? data[i] : lo;
            hi = data[i] > hi ? data[i] : hi;
            sum += data[i];
        }
        std::printf("Ch. %d: min %u, max %u, mean %.2f\n", c + 1, lo, hi, sum * channels / kSamples);
    }
    std::printf("First frames:");
    for (int i = 0; i < 8 * channels; ++i)
        std::printf(" %u", data[static_cast<size_t>(i)]);
    std::printf("\n");
    DisconnectFromDeviceTQ8(h);
    return 0;
}
