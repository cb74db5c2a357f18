#pragma once
// The thread that runs one firmware upload in the device library and
// reports to a window: WM_APP+10 finished (wParam the result code, lParam
// the library's text for it or null; both stay valid until the next Start),
// WM_APP+11 file stage (index from 1, count; sent: the worker waits until
// the window calls StageShown), WM_APP+12 progress (position, range) and
// WM_APP+13 wait (lParam milliseconds, 0 when over), all posted.
//
// The library's upload cannot be cancelled. Stop releases a pending stage,
// silences every further message and waits for the upload to end, so the
// board's handle and the window outlive the library's use of them.
// Threads: the UI thread starts, stops and answers stages, the worker uploads; the mutex guards the stage.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "TQ8_64.h"

class QObject;

class CFirmwareUploadWorker {
public:
    // target: a QObject that is a vlt::IAppMessageTarget, alive until Stop.
    explicit CFirmwareUploadWorker(QObject* target);
    ~CFirmwareUploadWorker();
    CFirmwareUploadWorker(const CFirmwareUploadWorker&) = delete;
    CFirmwareUploadWorker& operator=(const CFirmwareUploadWorker&) = delete;

    // Starts the upload of path to the board. false when a worker runs, or
    // the thread could not be made (errorCode: the system's error number).
    bool Start(TQ8_HANDLE device, const std::wstring& path, int& errorCode);
    bool IsRunning() const { return m_thread.joinable(); }
    // The window has shown the stage message: the worker goes on.
    void StageShown();
    // After the finish message: the thread's end. The out flags are then read.
    void Join();
    void Stop();
    uint32_t OutFlags() const { return m_outFlags; }

    // The library's progress call-back; context is the worker.
    static void Progress(TQ8_HANDLE device, void* context, uint32_t position, uint32_t range, int32_t fileIndex,
                         uint32_t countOrWaitMs);

private:
    void Run();
    void OnProgress(uint32_t position, uint32_t range, int32_t fileIndex, uint32_t countOrWaitMs);
    // Posts unless stopping; under the lock, so that nothing is posted once
    // Stop has begun.
    void Post(unsigned msg, uintptr_t wParam, intptr_t lParam);
    void SendStage(int32_t fileIndex, uint32_t fileCount);

    QObject* m_target;
    TQ8_HANDLE m_device = nullptr;
    std::wstring m_path;
    std::thread m_thread;

    std::mutex m_mutex;
    std::condition_variable m_stageDone;
    bool m_stagePending = false; // guarded
    bool m_stopping = false;     // guarded

    // Worker's own while it runs; read by the window after Join.
    int32_t m_lastFileIndex = -1;
    uint32_t m_outFlags = 0;
    std::wstring m_errorText;
};
