#include "CFirmwareUploadJob.h"

#include <chrono>
#include <filesystem>
#include <system_error>
#include <cstdlib>

#include "TextConv.h"

CFirmwareUploadJob::CFirmwareUploadJob(TQ8_HANDLE handle) : m_handle(handle) {}

CFirmwareUploadJob::~CFirmwareUploadJob()
{
    if (m_worker.joinable())
        m_worker.join();
    m_file.Discard();
    if (!m_folder.empty()) {
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }
}

bool CFirmwareUploadJob::IsPlainName(std::string_view name)
{
    return !name.empty() && name.size() <= 255 && name != "." && name != ".."
        && name.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

int32_t CFirmwareUploadJob::Begin(uint64_t bytes, const std::string& name)
{
    if (bytes == 0 || bytes > tq8wire::kMaxFirmwareBytes)
        return TQ8_ERR_OUT_OF_BOUNDS;
    std::error_code ec;
    std::string pattern = (std::filesystem::temp_directory_path(ec) / "vlt-firmware-XXXXXX").string();
    if (ec || mkdtemp(pattern.data()) == nullptr)
        return TQ8_ERR_FILE_WRITE;
    m_folder = pattern;
    m_path = m_folder + "/" + name;
    vlt::CFileWriter::Options fresh;
    fresh.existing = vlt::CFileWriter::Options::Existing::Refuse;
    if (!m_file.Open(m_path, fresh))
        return TQ8_ERR_FILE_WRITE;
    m_expected = bytes;
    return TQ8_OK;
}

int32_t CFirmwareUploadJob::Append(std::string_view data)
{
    if (m_file.Descriptor() < 0)
        return TQ8_ERR_WRONG_MODE;
    if (data.size() > m_expected - m_received)
        return TQ8_ERR_OUT_OF_BOUNDS;
    if (!m_file.Write(data))
        return TQ8_ERR_FILE_WRITE;
    m_received += data.size();
    return TQ8_OK;
}

int32_t CFirmwareUploadJob::Start()
{
    if (m_file.Descriptor() < 0 || m_received != m_expected)
        return TQ8_ERR_WRONG_MODE;
    if (!m_file.Commit())
        return TQ8_ERR_FILE_WRITE;
    std::lock_guard lock(m_mutex);
    m_started = true;
    m_worker = std::thread([this] { Run(); });
    return TQ8_OK;
}

bool CFirmwareUploadJob::Started()
{
    std::lock_guard lock(m_mutex);
    return m_started;
}

bool CFirmwareUploadJob::Running()
{
    std::lock_guard lock(m_mutex);
    return m_started && !m_finished;
}

void CFirmwareUploadJob::Run()
{
    uint32_t out = 0;
    const int32_t rc = UploadFirmwareWTQ8(m_handle, vlt::Utf8ToWide(m_path).c_str(), 0, &out,
                                          &CFirmwareUploadJob::OnProgress, this);
    {
        std::lock_guard lock(m_mutex);
        m_result = rc;
        m_outFlags = out;
        m_finished = true;
    }
    m_changed.notify_all();
}

void CFirmwareUploadJob::OnProgress(TQ8_HANDLE, void* context, uint32_t position, uint32_t range, int32_t fileIndex,
                                    uint32_t countOrWait)
{
    auto* job = static_cast<CFirmwareUploadJob*>(context);
    const tq8wire::FirmwareEvent event{position, range, fileIndex, countOrWait};
    {
        std::lock_guard lock(job->m_mutex);
        // A newer position of the same file replaces one not yet fetched:
        // the queue holds a few entries however slow the client is.
        auto& events = job->m_events;
        if (fileIndex > 0 && !events.empty() && events.back().fileIndex == fileIndex)
            events.back() = event;
        else
            events.push_back(event);
    }
    job->m_changed.notify_all();
}

void CFirmwareUploadJob::Step(uint32_t waitMs, StepResult& out)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait_for(lock, std::chrono::milliseconds(waitMs), [&] { return m_finished || !m_events.empty(); });
    out.events.assign(m_events.begin(), m_events.end());
    m_events.clear();
    // Every call-back came before the end, so the end follows its events.
    out.finished = m_finished;
    out.result = m_finished ? m_result : TQ8_OK;
    out.outFlags = m_finished ? m_outFlags : 0;
}
