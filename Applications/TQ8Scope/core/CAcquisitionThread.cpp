#include "CAcquisitionThread.h"

#include <cerrno>
#include <chrono>
#include <new>
#include <system_error>

#include "AppMessages.h"

CAcquisitionThread::CAcquisitionThread(QObject* receiver) : m_receiver(receiver) {}

CAcquisitionThread::Makers& CAcquisitionThread::Creation()
{
    static Makers makers;
    return makers;
}

CAcquisitionThread::~CAcquisitionThread()
{
    Stop();
}

int32_t CAcquisitionThread::Start(TQ8_HANDLE device)
{
    if (m_thread.joinable() && m_alive.load())
        return 0;
    if (m_thread.joinable())
        m_thread.join();
    if (!m_event && !MakeEvent())
        return kEventNotCreated;
    m_event->Reset();
    TQ8_HANDLE duplicate = nullptr;
    int32_t result = DuplicateHandleTQ8(device, &duplicate);
    if (result != 0) {
        m_lastError = errno;
        return result;
    }
    if (!MakeThread(duplicate)) {
        DisconnectFromDeviceTQ8(duplicate);
        return kThreadNotCreated;
    }
    return 0;
}

bool CAcquisitionThread::MakeEvent()
{
    try {
        const Makers& makers = Creation();
        m_event = makers.event ? makers.event() : std::make_unique<CAutoResetEvent>();
    } catch (const std::system_error& e) {
        m_lastError = e.code().value();
    } catch (const std::bad_alloc&) {
        m_lastError = ENOMEM;
    }
    return m_event != nullptr;
}

bool CAcquisitionThread::MakeThread(TQ8_HANDLE duplicate)
{
    m_stop = false;
    m_alive = true;
    std::function<void()> body = [this, duplicate] { Body(duplicate); };
    try {
        const Makers& makers = Creation();
        m_thread = makers.thread ? makers.thread(std::move(body)) : std::thread(std::move(body));
        return true;
    } catch (const std::system_error& e) {
        m_lastError = e.code().value();
    } catch (const std::bad_alloc&) {
        m_lastError = ENOMEM;
    }
    m_alive = false;
    return false;
}

void CAcquisitionThread::Run(const Request& request)
{
    {
        std::lock_guard<std::mutex> lock(m_requestMutex);
        m_request = request;
    }
    m_requested = request.sequence;
    if (m_event)
        m_event->Set();
}

void CAcquisitionThread::Stop(TQ8_HANDLE device)
{
    if (!m_thread.joinable())
        return;
    m_stop = true;
    m_event->Set();
    while (device && IsBusy() && m_alive.load()) {
        SetOperatingModeTQ8(device, TQ8_MODE_STANDBY);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m_thread.join();
    m_finished = m_requested.load();
}

void CAcquisitionThread::WaitUntilFinished(TQ8_HANDLE device)
{
    while (IsBusy() && m_alive.load()) {
        SetOperatingModeTQ8(device, TQ8_MODE_STANDBY);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

uintptr_t CAcquisitionThread::EncodeCompletion(uint64_t sequence, int32_t result)
{
    const bool ok = result == 0 || result == TQ8_ERR_CANCELLED;
    return (static_cast<uintptr_t>(sequence) << 1) | (ok ? 1u : 0u);
}

int32_t CAcquisitionThread::RunOperation(TQ8_HANDLE handle, const Request& request)
{
    switch (request.operation) {
    case kOpAcquireToBoardRam:
        if (request.sampleCount == 0)
            return 0;
        if (request.forceTrigger)
            IssueSoftwareTriggerTQ8(handle);
        return AcquireToBoardRamTQ8(handle, request.startSample, request.sampleCount, 0, 0);
    case kOpAcquireToZab:
        return AcquireToZabTQ8(handle, request.sampleCount, 0, 0, 0);
    case kOpTransferRamToZab:
        return TransferSampleRamToZabTQ8(handle, request.startSample, request.sampleCount, 0, 0);
    default:
        return TQ8_ERR_UNSUPPORTED_ACQ;
    }
}

void CAcquisitionThread::Body(TQ8_HANDLE duplicate)
{
    uint64_t lastRun = 0;
    for (;;) {
        m_event->Wait();
        if (m_stop.load())
            break;
        Request request;
        {
            std::lock_guard<std::mutex> lock(m_requestMutex);
            request = m_request;
        }
        // A second signal for the same operation runs nothing.
        if (request.sequence == lastRun) {
            m_finished = request.sequence;
            continue;
        }
        lastRun = request.sequence;
        errno = 0;
        const int32_t result = RunOperation(duplicate, request);
        if (result != 0 && result != TQ8_ERR_CANCELLED)
            m_lastError = errno;
        m_finished = request.sequence;
        vlt::PostAppMessage(m_receiver, WM_APP, EncodeCompletion(request.sequence, result), result);
    }
    DisconnectFromDeviceTQ8(duplicate);
    m_alive = false;
}
