#pragma once
// A firmware upload that a client runs on the server's board: the file it
// sends is kept in a private temporary folder (not in memory) until the
// library's upload takes it, and the upload runs on a thread of its own so
// that the client can fetch its progress step by step. An upload cannot be
// stopped: the job's end waits for it.
// Threads: the connection's thread calls every member; the upload's thread
// only reports progress and the end, under the job's mutex.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "BoardWire.h"
#include "CFileWriter.h"
#include "TQ8_64.h"

class CFirmwareUploadJob {
public:
    struct StepResult {
        std::vector<tq8wire::FirmwareEvent> events;
        bool finished = false;
        int32_t result = TQ8_OK;
        uint32_t outFlags = 0;
    };

    explicit CFirmwareUploadJob(TQ8_HANDLE handle);
    ~CFirmwareUploadJob();
    CFirmwareUploadJob(const CFirmwareUploadJob&) = delete;
    CFirmwareUploadJob& operator=(const CFirmwareUploadJob&) = delete;

    // A plain file name: no folder, not "." or "..", at most 255 bytes.
    static bool IsPlainName(std::string_view name);
    // Makes the file that the bytes go to; a library code.
    int32_t Begin(uint64_t bytes, const std::string& name);
    // TQ8_ERR_OUT_OF_BOUNDS past the announced size.
    int32_t Append(std::string_view data);
    // TQ8_ERR_WRONG_MODE unless every byte has come (or once started).
    int32_t Start();
    bool Started();
    bool Running();
    // Waits up to waitMs for progress or the end.
    void Step(uint32_t waitMs, StepResult& out);

private:
    static void OnProgress(TQ8_HANDLE, void* context, uint32_t position, uint32_t range, int32_t fileIndex,
                           uint32_t countOrWait);
    void Run();

    TQ8_HANDLE m_handle;
    std::string m_folder;
    std::string m_path;
    vlt::CFileWriter m_file; // open until every byte has come
    uint64_t m_expected = 0;
    uint64_t m_received = 0;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<tq8wire::FirmwareEvent> m_events;
    bool m_started = false;
    bool m_finished = false;
    int32_t m_result = TQ8_OK;
    uint32_t m_outFlags = 0;
    std::thread m_worker;
};
