#pragma once
// A simulated user process: its handles to devices and the views of common
// buffers mapped into it. Its calls are the user-mode face of the I/O
// manager: open a device by a link name (create request and file object),
// DeviceIoControl (a buffered request; waits while it is pending), cancel,
// and close (cleanup, then close once the handle's requests are done).
// While it calls into a driver it is the current process.
// Threads: every caller of the library; the mutex guards the handles and the views.
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "IoObjects.h"
#include "KernelTypes.h"

namespace kern {

struct Irp;

class CUserProcess {
public:
    using Handle = int32_t;
    static constexpr Handle kInvalidHandle = -1;

    CUserProcess();
    // Closes what is still open and unmaps its views, as process exit would.
    ~CUserProcess();
    CUserProcess(const CUserProcess&) = delete;
    CUserProcess& operator=(const CUserProcess&) = delete;

    uint32_t Id() const { return m_id; }

    NTSTATUS Open(const KernelString& name, Handle* handle);
    NTSTATUS DeviceIoControl(Handle handle, uint32_t code, const void* input, uint32_t inputLength, void* output,
                             uint32_t outputLength, uint32_t* returned);
    // Cancels every request of the handle still pending.
    NTSTATUS CancelIo(Handle handle);
    NTSTATUS Close(Handle handle);
    size_t OpenHandles() const;

    // Kernel side: views of common buffers, by the address handed out.
    struct View {
        void* base;
        size_t length;
    };
    void AddView(void* userAddress, View view);
    bool RemoveView(void* userAddress, View* view);
    bool HasView(const void* userAddress) const;

private:
    struct OpenFile;

    std::shared_ptr<OpenFile> Find(Handle handle) const;
    NTSTATUS Send(OpenFile& file, uint8_t major, uint32_t code, const void* input, uint32_t inputLength,
                  void* output, uint32_t outputLength, uint32_t* returned);
    void CloseFile(OpenFile& file);

    uint32_t m_id;
    mutable std::mutex m_mutex;
    Handle m_nextHandle = 1;
    std::map<Handle, std::shared_ptr<OpenFile>> m_handles;
    std::map<const void*, View> m_views;
};

// The process on whose behalf the calling thread runs; a system process on
// the kernel's own threads.
CUserProcess* IoGetCurrentProcess();

} // namespace kern
