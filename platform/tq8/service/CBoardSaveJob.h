#pragma once
// A save to files of one connection's board, run on a thread of its own so
// that the client sees each piece written and can stop the save between
// pieces: the library's progress call-back waits for the client's next step.
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "TQ8_64.h"

class CBoardSaveJob {
public:
    // The file-write record's texts, confined to the served folders.
    struct Files {
        TQ8_FILE_WRITE_PARAMS params{};
        std::string paths[5]; // Path1..4, TsPath
        std::string notes;
    };
    struct StepResult {
        bool finished = false;
        uint64_t done = 0;
        int32_t result = TQ8_OK;
    };

    // fromData: the samples arrive with the steps; else board memory at start.
    CBoardSaveJob(TQ8_HANDLE handle, Files files, bool fromData, uint32_t start, uint32_t count);
    ~CBoardSaveJob();
    CBoardSaveJob(const CBoardSaveJob&) = delete;
    CBoardSaveJob& operator=(const CBoardSaveJob&) = delete;

    // TQ8_ERR_NO_MEMORY when the data cannot be held. The caller bounds the
    // count; the buffer's pages are taken only as the client's data fills them.
    int32_t Prepare();
    // false when data runs past the count.
    bool Step(bool cancel, std::string_view data, StepResult& out);

private:
    static int32_t OnProgress(TQ8_HANDLE, void* context, uint32_t, uint32_t, uint32_t, uint64_t done, uint32_t,
                              uint64_t total);
    int32_t WaitForGo(uint64_t done, uint64_t total);
    void Run();
    void StartLocked();

    TQ8_HANDLE m_handle;
    Files m_files;
    bool m_fromData;
    uint32_t m_start;
    uint32_t m_count;
    std::unique_ptr<uint8_t[]> m_data;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_received = 0;
    uint64_t m_posted = 0;   // written so far, as the call-back said
    uint64_t m_reported = 0; // told to the client
    uint64_t m_acked = 0;    // the client went on after this
    bool m_cancel = false;
    bool m_started = false;
    bool m_finished = false;
    int32_t m_result = TQ8_OK;
    std::thread m_worker;
};
