#include "CFirmwareUploadWorker.h"

#include <system_error>

#include "AppMessages.h"

CFirmwareUploadWorker::CFirmwareUploadWorker(QObject* target) : m_target(target)
{
}

CFirmwareUploadWorker::~CFirmwareUploadWorker()
{
    Stop();
}

bool CFirmwareUploadWorker::Start(TQ8_HANDLE device, const std::wstring& path, int& errorCode)
{
    errorCode = 0;
    if (IsRunning())
        return false;
    m_device = device;
    m_path = path;
    m_lastFileIndex = -1;
    m_outFlags = 0;
    m_errorText.clear();
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stagePending = false;
        m_stopping = false;
    }
    try {
        m_thread = std::thread([this] { Run(); });
    } catch (const std::system_error& e) {
        errorCode = e.code().value();
        return false;
    }
    return true;
}

void CFirmwareUploadWorker::Run()
{
    const int32_t rc = UploadFirmwareWTQ8(m_device, m_path.c_str(), 0, &m_outFlags, &Progress, this);
    const wchar_t* text = nullptr;
    if (rc != TQ8_OK) {
        wchar_t* libraryText = nullptr;
        if (GetErrorTextWTQ8(rc, &libraryText, 0, m_device) == TQ8_OK && libraryText) {
            m_errorText = libraryText;
            text = m_errorText.c_str();
        }
        FreeMemoryTQ8(libraryText);
    }
    Post(WM_APP + 10, static_cast<uintptr_t>(static_cast<intptr_t>(rc)), reinterpret_cast<intptr_t>(text));
}

void CFirmwareUploadWorker::Progress(TQ8_HANDLE, void* context, uint32_t position, uint32_t range,
                                     int32_t fileIndex, uint32_t countOrWaitMs)
{
    if (context)
        static_cast<CFirmwareUploadWorker*>(context)->OnProgress(position, range, fileIndex, countOrWaitMs);
}

void CFirmwareUploadWorker::OnProgress(uint32_t position, uint32_t range, int32_t fileIndex, uint32_t countOrWaitMs)
{
    if (fileIndex == 0) {
        Post(WM_APP + 13, 0, static_cast<intptr_t>(countOrWaitMs));
        return;
    }
    if (fileIndex != m_lastFileIndex) {
        SendStage(fileIndex, countOrWaitMs);
        m_lastFileIndex = fileIndex;
    }
    Post(WM_APP + 12, position, static_cast<intptr_t>(range));
}

void CFirmwareUploadWorker::Post(unsigned msg, uintptr_t wParam, intptr_t lParam)
{
    std::lock_guard<std::mutex> hold(m_mutex);
    if (!m_stopping)
        vlt::PostAppMessage(m_target, msg, wParam, lParam);
}

void CFirmwareUploadWorker::SendStage(int32_t fileIndex, uint32_t fileCount)
{
    // Not a blocking queued call: the window must be able to stop this
    // worker (and wait for it) while a stage is pending.
    std::unique_lock<std::mutex> hold(m_mutex);
    if (m_stopping)
        return;
    m_stagePending = true;
    vlt::PostAppMessage(m_target, WM_APP + 11, static_cast<uintptr_t>(fileIndex), static_cast<intptr_t>(fileCount));
    m_stageDone.wait(hold, [this] { return !m_stagePending || m_stopping; });
}

void CFirmwareUploadWorker::StageShown()
{
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stagePending = false;
    }
    m_stageDone.notify_all();
}

void CFirmwareUploadWorker::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

void CFirmwareUploadWorker::Stop()
{
    {
        std::lock_guard<std::mutex> hold(m_mutex);
        m_stopping = true;
    }
    m_stageDone.notify_all();
    Join();
}
