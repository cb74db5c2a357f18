#pragma once
// The simulated PCI bus and the PnP and power manager around one function
// driver. Each plugged card gets a physical device object with translated
// resources (one interrupt, a memory window per length of its layout), and
// the bus drives the driver as the system would: AddDevice, start,
// query-stop/stop/cancel-stop, query-remove/remove/cancel-remove, surprise
// removal (the removal follows when the last handle closes) and power
// requests. The last requests that reach the bus driver are recorded for
// tests.
// Threads: the owner that plugs and removes cards, and the driver's threads through the bus dispatch; the
// mutex guards the slots, each slot's own mutex its recorded requests.
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "BoardDescription.h"
#include "CSimCard.h"
#include "IoObjects.h"
#include "Irp.h"

namespace kern {

struct CardSpec {
    tq8::BoardDescription desc;
    std::vector<uint32_t> windowLengths = tq8::CSimCard::DefaultWindowLengths();
    bool interrupt = true;
    bool busMaster = true;
};

struct DriverImage {
    KernelString name; // "vlt_tq8_64": the driver object is "\Driver\vlt_tq8_64"
    DriverInitialize entry = nullptr;
    std::span<const MessageTableEntry> messages;
};

struct BusRequest {
    uint8_t major = 0;
    uint8_t minor = 0;
    uint32_t ioControlCode = 0;
};

class CSimBus {
public:
    // Creates the driver object and calls the driver's entry.
    explicit CSimBus(const DriverImage& image);
    // Loads a driver library: its exported DriverEntry and DriverMessageTable.
    // Nullptr (and a reason) when the library or its entry cannot be had.
    static std::unique_ptr<CSimBus> Load(const std::string& path, std::string* error);
    // Removes every card, unloads the driver and deletes its object.
    ~CSimBus();
    CSimBus(const CSimBus&) = delete;
    CSimBus& operator=(const CSimBus&) = delete;

    NTSTATUS EntryStatus() const { return m_entryStatus; }
    DriverObject* Driver() const { return m_driver; }

    // A new card and its physical device object; returns its slot.
    size_t Plug(const CardSpec& wanted);
    NTSTATUS AddDevice(size_t slot);
    NTSTATUS Start(size_t slot);
    // Plug, AddDevice and start; the slot is returned in *slot.
    NTSTATUS Arrive(const CardSpec& wanted, size_t* slot);
    // Query-stop, then stop, or cancel-stop when the query is refused.
    NTSTATUS Stop(size_t slot);
    // Refused with STATUS_DEVICE_BUSY while handles are open; query-remove,
    // then removal (the card is unplugged), or cancel-remove.
    NTSTATUS Remove(size_t slot);
    // The removal and unplugging follow at once, or when the last handle closes.
    NTSTATUS SurpriseRemove(size_t slot);
    NTSTATUS SendPnp(size_t slot, uint8_t minor);
    NTSTATUS SendPower(size_t slot, uint8_t minor, PowerStateType type, uint32_t state);

    bool IsPlugged(size_t slot) const;
    tq8::CSimCard& Card(size_t slot);
    // The card of a plugged slot, or nullptr, looked up under the bus's lock;
    // it lives on while held, though its removal has ended.
    std::shared_ptr<tq8::CSimCard> SharedCard(size_t slot) const;
    DeviceObject* PhysicalDevice(size_t slot) const;
    // The device attached above the physical one, or nullptr.
    DeviceObject* FunctionDevice(size_t slot) const;
    // The last kRecordedRequests of the slot, oldest first.
    static constexpr size_t kRecordedRequests = 256;
    std::vector<BusRequest> Requests(size_t slot) const;

private:
    struct Slot;
    static NTSTATUS BusDispatch(DeviceObject* device, Irp* irp);

    Slot& At(size_t slot) const;
    NTSTATUS Send(Slot& s, uint8_t major, uint8_t minor, PowerStateType type, uint32_t state);
    void FinishRemoval(size_t slot);
    void Unplug(Slot& s);

    NTSTATUS m_entryStatus = STATUS_SUCCESS;
    void* m_library = nullptr;
    DriverObject* m_driver = nullptr;
    DriverObject* m_busDriver = nullptr;
    mutable std::recursive_mutex m_mutex;
    std::vector<std::unique_ptr<Slot>> m_slots;
};

} // namespace kern
