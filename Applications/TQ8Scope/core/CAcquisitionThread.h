#pragma once
// The acquisition thread of one board document: runs the board's blocking
// operations on its own duplicate of the device handle and posts each
// result as WM_APP to a receiver on the UI thread. Every operation carries a
// sequence number, so the receiver can drop a completion that belongs to an
// operation it has already finished. The owner must stop (join) the thread
// before the receiver goes.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "CAutoResetEvent.h"
#include "TQ8_64.h"

class QObject;

class CAcquisitionThread {
public:
    // Operation codes.
    static constexpr uint32_t kOpAcquireToBoardRam = 2;
    static constexpr uint32_t kOpRecording = 4;
    static constexpr uint32_t kOpAcquireToZab = 5;
    static constexpr uint32_t kOpTransferRamToZab = 8;

    struct Request {
        uint64_t sequence = 0;
        uint32_t operation = 0;
        uint32_t startSample = 0;
        uint32_t sampleCount = 0;
        bool forceTrigger = false;
    };

    // Results of Start when the system refuses a part (errno in GetLastError).
    static constexpr int32_t kEventNotCreated = 1;
    static constexpr int32_t kThreadNotCreated = 2;

    // How Start makes the event and the thread; a test replaces them to
    // fail as the system does, by throwing std::system_error. Empty: the
    // plain objects.
    struct Makers {
        std::function<std::unique_ptr<CAutoResetEvent>()> event;
        std::function<std::thread(std::function<void()> body)> thread;
    };
    static Makers& Creation();

    // receiver takes vlt::IAppMessageTarget messages.
    explicit CAcquisitionThread(QObject* receiver);
    ~CAcquisitionThread();
    CAcquisitionThread(const CAcquisitionThread&) = delete;
    CAcquisitionThread& operator=(const CAcquisitionThread&) = delete;

    // Makes sure a live thread waits for work: a thread that has ended is
    // joined and replaced. 0; the failure of DuplicateHandleTQ8; or
    // kEventNotCreated / kThreadNotCreated, leaving no thread.
    int32_t Start(TQ8_HANDLE device);
    // Hands the thread its next operation.
    void Run(const Request& request);
    // Tells the thread to leave and waits for it. With a device, an
    // operation still running is ended by putting the board in standby,
    // again until the thread has left it (a standby that comes before the
    // library call starts does not end that call).
    void Stop(TQ8_HANDLE device = nullptr);
    // Waits until an operation whose completion was already taken (the
    // cancel of a virtual board comes before the library call returns) has
    // left the library, keeping the board in standby meanwhile.
    void WaitUntilFinished(TQ8_HANDLE device);
    // An operation has been handed over and has not finished.
    bool IsBusy() const { return m_requested.load() != m_finished.load(); }
    bool IsRunning() const { return m_alive.load(); }
    // errno of the last failed operation.
    int GetLastError() const { return m_lastError.load(); }

    // The completion message: wParam carries the success bit (1 for results 0
    // and -10) and, above it, the sequence number; lParam the result.
    static uintptr_t EncodeCompletion(uint64_t sequence, int32_t result);
    static bool IsSuccess(uintptr_t wParam) { return (wParam & 1u) != 0; }
    static uint64_t SequenceOf(uintptr_t wParam) { return static_cast<uint64_t>(wParam >> 1); }

    // The device-library call of one operation; -535 for an unknown code.
    static int32_t RunOperation(TQ8_HANDLE handle, const Request& request);

private:
    void Body(TQ8_HANDLE duplicate);
    bool MakeEvent();
    bool MakeThread(TQ8_HANDLE duplicate);

    QObject* m_receiver;
    std::thread m_thread;
    std::unique_ptr<CAutoResetEvent> m_event; // made by the first Start
    std::mutex m_requestMutex;
    Request m_request;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_alive{false};
    std::atomic<int> m_lastError{0};
    std::atomic<uint64_t> m_requested{0};
    std::atomic<uint64_t> m_finished{0};
};
