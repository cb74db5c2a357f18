#include "CBoardSaveJob.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "BoardWire.h"

CBoardSaveJob::CBoardSaveJob(TQ8_HANDLE handle, Files files, bool fromData, uint32_t start, uint32_t count)
    : m_handle(handle), m_files(std::move(files)), m_fromData(fromData), m_start(start), m_count(count)
{
    TQ8_FILE_WRITE_PARAMS& p = m_files.params;
    const char** fields[5] = {&p.Fwp_path1, &p.Fwp_path2, &p.Fwp_path3, &p.Fwp_path4, &p.Fwp_tsPath};
    for (int i = 0; i < 5; ++i)
        *fields[i] = m_files.paths[i].empty() ? nullptr : m_files.paths[i].c_str();
    p.Fwp_opNotes = m_files.notes.empty() ? nullptr : m_files.notes.c_str();
    p.Fwp_progressCb = reinterpret_cast<void*>(&CBoardSaveJob::OnProgress);
    p.Fwp_progressCtx = this;
}

CBoardSaveJob::~CBoardSaveJob()
{
    {
        std::lock_guard lock(m_mutex);
        m_cancel = true;
    }
    m_changed.notify_all();
    if (m_worker.joinable())
        m_worker.join();
}

int32_t CBoardSaveJob::Prepare()
{
    if (m_fromData) {
        // Left uninitialised: nothing is written until the data arrives.
        m_data.reset(new (std::nothrow) uint8_t[m_count]);
        return m_data ? TQ8_OK : TQ8_ERR_NO_MEMORY;
    }
    std::lock_guard lock(m_mutex);
    StartLocked();
    return TQ8_OK;
}

void CBoardSaveJob::StartLocked()
{
    m_started = true;
    m_worker = std::thread([this] { Run(); });
}

void CBoardSaveJob::Run()
{
    const int32_t rc = m_fromData ? _DumpRawDataTQ8(m_handle, m_data.get(), m_count, &m_files.params)
                                  : ReadSampleRamFileBufTQ8(m_handle, m_start, m_count, &m_files.params);
    {
        std::lock_guard lock(m_mutex);
        m_result = rc;
        m_finished = true;
    }
    m_changed.notify_all();
}

int32_t CBoardSaveJob::OnProgress(TQ8_HANDLE, void* context, uint32_t, uint32_t, uint32_t, uint64_t done, uint32_t,
                                  uint64_t total)
{
    return static_cast<CBoardSaveJob*>(context)->WaitForGo(done, total);
}

// The library's pieces are no larger than a wire chunk, so one chunk past
// what is written holds the next piece.
int32_t CBoardSaveJob::WaitForGo(uint64_t done, uint64_t total)
{
    std::unique_lock lock(m_mutex);
    m_posted = std::max(m_posted, done);
    m_changed.notify_all();
    if (done >= total)
        return TQ8_OK;
    const uint64_t needed = std::min<uint64_t>(total, done + tq8wire::kReadChunkBytes);
    m_changed.wait(lock, [&] { return m_cancel || (m_acked >= done && (!m_fromData || m_received >= needed)); });
    return m_cancel ? TQ8_ERR_CANCELLED : TQ8_OK;
}

bool CBoardSaveJob::Step(bool cancel, std::string_view data, StepResult& out)
{
    std::unique_lock lock(m_mutex);
    if (!data.empty()) {
        if (!m_fromData || data.size() > m_count - m_received)
            return false;
        std::memcpy(m_data.get() + m_received, data.data(), data.size());
        m_received += data.size();
    }
    m_cancel = m_cancel || cancel;
    m_acked = m_reported;
    if (!m_started) {
        if (m_cancel) {
            out = {true, 0, TQ8_ERR_CANCELLED};
            return true;
        }
        if (m_received < std::min<uint64_t>(m_count, tq8wire::kReadChunkBytes)) {
            out = {false, 0, TQ8_OK};
            return true;
        }
        StartLocked();
    }
    m_changed.notify_all();
    m_changed.wait(lock, [&] { return m_finished || m_posted > m_reported; });
    m_reported = m_posted;
    out = {m_finished, m_posted, m_result};
    return true;
}
