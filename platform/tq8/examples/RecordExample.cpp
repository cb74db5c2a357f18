// Records a virtual board to a file: tq8_record_example FILE [SAMPLES].
// SAMPLES defaults to 16,777,216 (0: no limit, until the process is ended).
// Progress is printed every 400 ms, as the recording window polls it; the
// context file lands beside the data as FILE.vrdc.
#include <chrono>
#include <cstdio>
#include <thread>

#include "NumberParse.h"
#include "TQ8_64.h"

namespace {
int Fail(const char* what, int32_t code)
{
    wchar_t* text = nullptr;
    if (GetErrorTextWTQ8(code, &text, 0, nullptr) == TQ8_OK) {
        std::fprintf(stderr, "%s: %ls (%d)\n", what, text, code);
        FreeMemoryTQ8(text);
    } else {
        std::fprintf(stderr, "%s: %d\n", what, code);
    }
    return 1;
}
} // namespace

int main(int argc, char** argv)
{
    uint64_t samples = 16777216;
    if (argc < 2 || argc > 3 || (argc == 3 && !vlt::ParseNumber(argv[2], samples))) {
        std::fprintf(stderr, "Usage: %s FILE [SAMPLES]\n", argv[0]);
        return 2;
    }
    TQ8_HANDLE h = nullptr;
    int32_t rc = ConnectToVirtualDeviceTQ8(&h, 1600, 1);
    if (rc != TQ8_OK)
        return Fail("Connect", rc);

    TQ8_FILE_WRITE_PARAMS fw{};
    fw.Fwp_ss = sizeof fw;
    fw.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
    fw.Fwp_path1 = argv[1];
    fw.Fwp_opNotes = "Recorded by tq8_record_example";
    TQ8_REC_SESSION_PARAMS rp{};
    rp.Rsp_ss = sizeof rp;
    rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
    rp.Rsp_samplesToRecord = samples;
    rp.Rsp_acqSamples = 1048576;
    rp.Rsp_fileWrite = &fw;
    TQ8_REC_SESSION session = nullptr;
    rc = CreateRecordingSessionTQ8(h, &rp, &session);
    if (rc != TQ8_OK)
        return Fail("Create recording session", rc);
    rc = ArmRecordingSessionTQ8(session);
    if (rc != TQ8_OK) {
        DeleteRecordingSessionTQ8(session);
        return Fail("Arm recording session", rc);
    }

    TQ8_REC_SESSION_PROGRESS p{};
    for (;;) {
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        p = TQ8_REC_SESSION_PROGRESS{};
        p.Rpr_ss = sizeof p;
        if (GetRecordingSessionProgressTQ8(session, &p, 0) != TQ8_OK)
            break;
        std::printf("%llu of %llu samples, %u ms\n", static_cast<unsigned long long>(p.Rpr_samplesRecorded),
                    static_cast<unsigned long long>(p.Rpr_samplesToRecord), p.Rpr_elapsedMs);
        if (p.Rpr_status != TQ8_REC_STATUS_RUNNING)
            break;
        FreeMemoryTQ8(p.Rpr_errorText);
    }
    int result = 0;
    if (p.Rpr_status == TQ8_REC_STATUS_FAILED) {
        std::fprintf(stderr, "Recording failed: %ls (%d)\n", p.Rpr_errorText ? p.Rpr_errorText : L"", p.Rpr_errorCode);
        result = 1;
    }
    FreeMemoryTQ8(p.Rpr_errorText);
    uint32_t outFlags = 0;
    GetRecordingSessionOutFlagsTQ8(session, &outFlags);
    if (outFlags & TQ8_REC_OUT_NO_TS)
        std::printf("No time stamps were generated\n");
    DeleteRecordingSessionTQ8(session);
    DisconnectFromDeviceTQ8(h);
    return result;
}
