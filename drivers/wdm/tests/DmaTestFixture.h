#pragma once
// A started card whose sample RAM holds a known pattern, one open handle,
// and helpers for reads, buffers and modes.
#include <initializer_list>
#include <vector>

#include "DriverFixture.h"

class DmaTest : public DriverTest {
protected:
    static constexpr uint32_t kPatternBytes = 1u << 20;

    void SetUp() override
    {
        DriverTest::SetUp();
        m_slot = Arrive();
        m_handle = Open(u"\\\\.\\TQ8_0");
        m_ram.resize(kPatternBytes);
        uint32_t x = 12345;
        for (uint8_t& b : m_ram) {
            x = x * 1103515245u + 12345u;
            b = static_cast<uint8_t>(x >> 16);
        }
        m_bus->Card(m_slot).Board().WriteRam(0, m_ram.data(), kPatternBytes);
    }

    kern::NTSTATUS Read(uint32_t flags, uint32_t first, uint32_t count, std::initializer_list<uint8_t*> buffers,
                        uint32_t arrangement = 0)
    {
        TQ8_SAMPLE_RAM_REQUEST q{56, flags, first, count, arrangement, 0, {}};
        size_t k = 0;
        for (uint8_t* b : buffers)
            q.buffers[k++] = reinterpret_cast<uint64_t>(b);
        return Ioctl(m_handle, IOCTL_TQ8_READ_SAMPLE_RAM, &q, sizeof q, nullptr, 0);
    }

    uint64_t Alloc(uint32_t bytes)
    {
        TQ8_DMA_BUFFER_REQUEST q{16, bytes, 0};
        return Ioctl(m_handle, IOCTL_TQ8_ALLOC_DMA_BUFFER, q) == kern::STATUS_SUCCESS ? q.userAddress : 0;
    }

    kern::NTSTATUS SetMode(uint32_t mode)
    {
        return Ioctl(m_handle, IOCTL_TQ8_SET_OPERATING_MODE, &mode, 4, nullptr, 0);
    }

    // Byte j of every whole frame of `factor` bytes from `first` on.
    std::vector<uint8_t> ReferenceSplit(uint32_t first, uint32_t count, uint32_t factor, size_t j) const
    {
        std::vector<uint8_t> out;
        for (uint32_t i = 0; i < count / factor; ++i)
            out.push_back(m_ram[first + i * factor + j]);
        return out;
    }

    size_t m_slot = 0;
    Handle m_handle = kern::CUserProcess::kInvalidHandle;
    std::vector<uint8_t> m_ram;
};
