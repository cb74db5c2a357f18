#include "CUserProcess.h"

#include <sys/mman.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <vector>

#include "Irp.h"
#include "KernelCheck.h"
#include "Pool.h"

namespace kern {

namespace {

constexpr uint32_t kSystemBufferTag = PoolTag("IoSb");

thread_local CUserProcess* t_current = nullptr;
std::atomic<uint32_t> g_nextProcessId{4};

class CCurrentProcessScope {
public:
    explicit CCurrentProcessScope(CUserProcess* process) : m_previous(t_current) { t_current = process; }
    ~CCurrentProcessScope() { t_current = m_previous; }

private:
    CUserProcess* m_previous;
};

// Success and warning statuses carry output back; errors do not.
bool CarriesOutput(NTSTATUS status) { return NT_SUCCESS(status) || (static_cast<uint32_t>(status) >> 30) == 2; }

} // namespace

struct CUserProcess::OpenFile {
    FileObject file;
    DeviceObject* bottom = nullptr;
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Irp*> outstanding;
};

CUserProcess::CUserProcess() : m_id(g_nextProcessId.fetch_add(4)) {}

CUserProcess::~CUserProcess()
{
    std::map<Handle, std::shared_ptr<OpenFile>> handles;
    {
        std::lock_guard lock(m_mutex);
        handles.swap(m_handles);
    }
    for (auto& [handle, file] : handles)
        CloseFile(*file);
    std::lock_guard lock(m_mutex);
    for (auto& [address, view] : m_views)
        munmap(view.base, view.length);
    m_views.clear();
}

std::shared_ptr<CUserProcess::OpenFile> CUserProcess::Find(Handle handle) const
{
    std::lock_guard lock(m_mutex);
    auto it = m_handles.find(handle);
    return it == m_handles.end() ? nullptr : it->second;
}

NTSTATUS CUserProcess::Open(const KernelString& name, Handle* handle)
{
    *handle = kInvalidHandle;
    DeviceObject* device = SimReferenceDevice(name);
    if (device == nullptr)
        return STATUS_OBJECT_NAME_NOT_FOUND;
    if (device->deleted || (device->flags & DO_DEVICE_INITIALIZING) != 0) {
        SimReleaseDevice(device);
        return STATUS_NO_SUCH_DEVICE;
    }
    auto file = std::make_shared<OpenFile>();
    file->file.deviceObject = device;
    file->file.process = this;
    uint32_t returned = 0;
    NTSTATUS status = Send(*file, IRP_MJ_CREATE, 0, nullptr, 0, nullptr, 0, &returned);
    if (!NT_SUCCESS(status)) {
        SimReleaseDevice(device);
        return status;
    }
    file->bottom = SimBottomOfStack(device);
    SimReferenceDevice(file->bottom);
    SimNoteOpen(file->bottom);
    std::lock_guard lock(m_mutex);
    *handle = m_nextHandle++;
    m_handles[*handle] = std::move(file);
    return STATUS_SUCCESS;
}

NTSTATUS CUserProcess::DeviceIoControl(Handle handle, uint32_t code, const void* input, uint32_t inputLength,
                                       void* output, uint32_t outputLength, uint32_t* returned)
{
    uint32_t ignored = 0;
    if (returned == nullptr)
        returned = &ignored;
    *returned = 0;
    std::shared_ptr<OpenFile> file = Find(handle);
    if (file == nullptr)
        return STATUS_INVALID_HANDLE;
    if ((input == nullptr && inputLength != 0) || (output == nullptr && outputLength != 0))
        return STATUS_ACCESS_VIOLATION;
    return Send(*file, IRP_MJ_DEVICE_CONTROL, code, input, inputLength, output, outputLength, returned);
}

NTSTATUS CUserProcess::Send(OpenFile& file, uint8_t major, uint32_t code, const void* input, uint32_t inputLength,
                            void* output, uint32_t outputLength, uint32_t* returned)
{
    DeviceObject* opened = file.file.deviceObject;
    if (opened->deleted)
        return major == IRP_MJ_CLEANUP || major == IRP_MJ_CLOSE ? STATUS_SUCCESS : STATUS_NO_SUCH_DEVICE;
    DeviceObject* top = IoGetAttachedDevice(opened);
    // Every code is carried buffered: one system buffer holds the input and
    // then the output.
    const uint32_t bufferLength = std::max(inputLength, outputLength);
    void* buffer = nullptr;
    if (bufferLength != 0) {
        buffer = ExAllocatePoolWithTag(PoolType::NonPaged, bufferLength, kSystemBufferTag);
        if (buffer == nullptr)
            return STATUS_INSUFFICIENT_RESOURCES;
        std::memset(buffer, 0, bufferLength);
        if (inputLength != 0)
            std::memcpy(buffer, input, inputLength);
    }
    Irp* irp = IoAllocateIrp(top->stackSize);
    irp->systemBuffer = buffer;
    IoStackLocation* next = IoGetNextIrpStackLocation(irp);
    next->majorFunction = major;
    next->fileObject = &file.file;
    next->deviceIoControl = {outputLength, inputLength, code};
    KEvent done;
    KeInitializeEvent(&done, EventType::Notification, false);
    irp->finish = [&](Irp* r) {
        if (major == IRP_MJ_DEVICE_CONTROL && CarriesOutput(r->ioStatus.status) && outputLength != 0) {
            KernelCheck(r->ioStatus.information <= outputLength, "driver returned more bytes than the output holds");
            std::memcpy(output, buffer, std::min<uint64_t>(r->ioStatus.information, outputLength));
        }
        KeSetEvent(&done);
    };
    {
        std::lock_guard lock(file.mutex);
        file.outstanding.push_back(irp);
    }
    {
        CCurrentProcessScope scope(this);
        IoCallDriver(top, irp);
    }
    KeWaitForSingleObject(&done, nullptr);
    {
        std::lock_guard lock(file.mutex);
        std::erase(file.outstanding, irp);
        file.cv.notify_all();
    }
    const NTSTATUS status = irp->ioStatus.status;
    if (major == IRP_MJ_DEVICE_CONTROL && CarriesOutput(status))
        *returned = static_cast<uint32_t>(std::min<uint64_t>(irp->ioStatus.information, outputLength));
    IoFreeIrp(irp);
    if (buffer != nullptr)
        ExFreePoolWithTag(buffer, kSystemBufferTag);
    return status;
}

NTSTATUS CUserProcess::CancelIo(Handle handle)
{
    std::shared_ptr<OpenFile> file = Find(handle);
    if (file == nullptr)
        return STATUS_INVALID_HANDLE;
    std::lock_guard lock(file->mutex);
    for (Irp* irp : file->outstanding)
        IoCancelIrp(irp);
    return STATUS_SUCCESS;
}

NTSTATUS CUserProcess::Close(Handle handle)
{
    std::shared_ptr<OpenFile> file;
    {
        std::lock_guard lock(m_mutex);
        auto it = m_handles.find(handle);
        if (it == m_handles.end())
            return STATUS_INVALID_HANDLE;
        file = std::move(it->second);
        m_handles.erase(it);
    }
    CloseFile(*file);
    return STATUS_SUCCESS;
}

void CUserProcess::CloseFile(OpenFile& file)
{
    uint32_t returned = 0;
    Send(file, IRP_MJ_CLEANUP, 0, nullptr, 0, nullptr, 0, &returned);
    {
        // The close comes once no request of the handle is left.
        std::unique_lock lock(file.mutex);
        file.cv.wait(lock, [&] { return file.outstanding.empty(); });
    }
    Send(file, IRP_MJ_CLOSE, 0, nullptr, 0, nullptr, 0, &returned);
    SimNoteClose(file.bottom);
    SimReleaseDevice(file.bottom);
    SimReleaseDevice(file.file.deviceObject);
}

size_t CUserProcess::OpenHandles() const
{
    std::lock_guard lock(m_mutex);
    return m_handles.size();
}

void CUserProcess::AddView(void* userAddress, View view)
{
    std::lock_guard lock(m_mutex);
    m_views[userAddress] = view;
}

bool CUserProcess::RemoveView(void* userAddress, View* view)
{
    std::lock_guard lock(m_mutex);
    auto it = m_views.find(userAddress);
    if (it == m_views.end())
        return false;
    *view = it->second;
    m_views.erase(it);
    return true;
}

bool CUserProcess::HasView(const void* userAddress) const
{
    std::lock_guard lock(m_mutex);
    return m_views.count(userAddress) != 0;
}

CUserProcess* IoGetCurrentProcess()
{
    static CUserProcess system;
    return t_current != nullptr ? t_current : &system;
}

} // namespace kern
