// libFuzzer target: random codes, lengths and record contents into
// DeviceIoControl on a started card, now and then a stop and restart, a
// surprise removal with a new card, or a handle closed and opened again.
// The kernel's checks (sanitizer builds) stop on any broken request rule.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "CSimBus.h"
#include "CUserProcess.h"
#include "EventLog.h"
#include "TQ8Driver.h"
#include "TQ8Ioctl.h"

using namespace kern;

namespace {

const uint32_t kCodes[] = {
    IOCTL_TQ8_GET_DRIVER_INFO,   IOCTL_TQ8_GET_CONFIG_CACHE,  IOCTL_TQ8_ALLOC_DMA_BUFFER,
    IOCTL_TQ8_FREE_DMA_BUFFER,   IOCTL_TQ8_EEPROM_ACCESS,     IOCTL_TQ8_RESET_ADC,
    IOCTL_TQ8_WRITE_REG,         IOCTL_TQ8_READ_REG,          IOCTL_TQ8_RESET_DCMS,
    IOCTL_TQ8_START_DMA_XFER,    IOCTL_TQ8_REFRESH_CONFIG_CACHE, IOCTL_TQ8_RAW_REG_ACCESS,
    IOCTL_TQ8_READ_SAMPLE_RAM,   IOCTL_TQ8_JTAG_CONTROL,      IOCTL_TQ8_DELAY_US,
    IOCTL_TQ8_JTAG_SHIFT,        IOCTL_TQ8_GET_DRIVER_STATS,  IOCTL_TQ8_SET_OPERATING_MODE,
    IOCTL_TQ8_GET_DRIVER_STATE,  IOCTL_TQ8_WAIT_COMPLETE,     IOCTL_TQ8_SET_DCM_RESET_PENDING,
    IOCTL_TQ8_READ_TIMESTAMPS,
};

class CReader {
public:
    CReader(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    uint32_t Take(size_t bytes)
    {
        uint32_t v = 0;
        for (size_t i = 0; i < bytes && m_pos < m_size; ++i)
            v |= uint32_t{m_data[m_pos++]} << (8 * i);
        return v;
    }
    const uint8_t* Rest() const { return m_data + m_pos; }
    size_t Left() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

class CSystem {
public:
    CSystem()
    {
        SimUseVirtualClock(true);
        SimSetEventLogFile("");
        size_t count = 0;
        const MessageTableEntry* table = DriverMessageTable(&count);
        m_bus = std::make_unique<CSimBus>(DriverImage{u"vlt_tq8_64", DriverEntry, {table, count}});
        Arrive();
    }

    void Arrive()
    {
        CardSpec spec;
        spec.desc.serial = 4242;
        if (!NT_SUCCESS(m_bus->Arrive(spec, &m_slot)))
            std::abort();
        for (auto& h : m_handles)
            Reopen(h);
    }

    void Reopen(CUserProcess::Handle& h)
    {
        if (h != CUserProcess::kInvalidHandle)
            m_process.Close(h);
        if (!NT_SUCCESS(m_process.Open(u"\\\\.\\TQ8_0", &h)))
            h = CUserProcess::kInvalidHandle;
    }

    void Run(CReader& r)
    {
        const uint32_t op = r.Take(1);
        CUserProcess::Handle& h = m_handles[op & 1];
        switch (op >> 1) {
        case 0:
            m_bus->Stop(m_slot);
            m_bus->Start(m_slot);
            return;
        case 1:
            m_bus->SurpriseRemove(m_slot);
            for (auto& each : m_handles) {
                m_process.Close(each);
                each = CUserProcess::kInvalidHandle;
            }
            Arrive();
            return;
        case 2:
            Reopen(h);
            return;
        default:
            Control(r, h);
        }
    }

private:
    void Control(CReader& r, CUserProcess::Handle h)
    {
        const uint32_t pick = r.Take(1);
        const uint32_t code = pick < 240 ? kCodes[pick % std::size(kCodes)] : r.Take(4);
        const uint32_t inLen = r.Take(2) % 1024;
        const uint32_t outLen = r.Take(2) % 1024;
        std::vector<uint8_t> in(inLen), out(outLen);
        if (inLen != 0)
            std::memcpy(in.data(), r.Rest(), std::min<size_t>(inLen, r.Left()));
        uint32_t returned = 0;
        m_process.DeviceIoControl(h, code, in.data(), inLen, out.data(), outLen, &returned);
        if (returned > outLen)
            std::abort();
        SimClearEventLog();
    }

    std::unique_ptr<CSimBus> m_bus;
    CUserProcess m_process;
    size_t m_slot = 0;
    CUserProcess::Handle m_handles[2] = {CUserProcess::kInvalidHandle, CUserProcess::kInvalidHandle};
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CSystem system;
    CReader reader(data, size);
    system.Run(reader);
    return 0;
}
