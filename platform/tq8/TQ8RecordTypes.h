#pragma once
/*
 * Records of the device library's file-writing and recording functions.
 * Little-endian, 64-bit pointers. The texts a record points to belong to
 * the caller and must stay valid for as long as the library uses the record;
 * CreateRecordingSessionTQ8 copies them before it returns.
 */
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Flag bits of Fwp_flags. Output formats:
 * - binary (default): the samples as the board holds them, one byte each,
 *   interleaved by frame (all channels of one instant, in channel order).
 * - text (0x4): one line per frame ending in CR LF, the frame's samples as
 *   decimal numbers separated by one blank ("128 127 130 126").
 * - hexadecimal (0x20, text implied): as text, each sample as two
 *   upper-case hexadecimal digits ("80 7F 82 7E").
 * - signed (0x80): offset binary becomes two's complement (code - 128); text
 *   then shows -128..127, hexadecimal the two's complement byte.
 * - deinterleave (0x40): sample k of each frame goes to Fwp_path(k+1), one
 *   file per channel of the format; a NULL or empty path drops that channel.
 *   Without it Fwp_path2..4 are not used (nor checked, for remote boards).
 * Header skip (Fwp_hdrskp) zero bytes start a file only when it starts
 * empty (also when appending). Spanning (Fwp_maxseg, binary only): each
 * file holds at most that many bytes, its header included, and whole
 * frames; the next ones are "<stem>_0002<ext>", "<stem>_0003<ext>", ...
 * beside the first.
 * Time-stamp files, named from Fwp_tsPath when given, else from Fwp_path1
 * with its extension replaced ("rec.rd8" -> "rec.tq8ts", a trailing
 * ".tq8ts" or ".tq8ts.txt" of Fwp_tsPath is dropped first): ".tq8ts" holds
 * little-endian u64 counter values, no header; ".tq8ts.txt" one decimal
 * value per CR LF line. With 0x1000, where the FIFO overflowed (entries
 * were lost), the binary file holds TQ8_TS_OVERFLOW_MARKER and the text
 * file the line "OVERFLOW". */
#define TQ8_FWP_APPEND 0x1u
#define TQ8_FWP_TEXT 0x4u
#define TQ8_FWP_BUFFERED_IO 0x8u       /* binary files without O_DIRECT */
#define TQ8_FWP_ASSUME_FORMAT 0x10u    /* frames of Fwp_chanSel, not the board's channels */
#define TQ8_FWP_HEX 0x20u
#define TQ8_FWP_DEINTERLEAVE 0x40u
#define TQ8_FWP_SIGNED 0x80u
#define TQ8_FWP_FLAG_DEFAULT 0x100u       /* context file "<Fwp_path1>.vrdc" */
#define TQ8_FWP_FLAG_NAMED_STREAMS 0x200u /* taken as 0x100: no named streams here */
#define TQ8_FWP_TS_BINARY 0x400u
#define TQ8_FWP_TS_TEXT 0x800u
#define TQ8_FWP_TS_MARKER 0x1000u
#define TQ8_FWP_FAIL_ON_TS_OVERFLOW 0x2000u /* recordings only */

#define TQ8_TS_OVERFLOW_MARKER 0xFFFFFFFFFFFFFFFFull

/* File-write record (104 bytes). */
typedef struct TQ8_FILE_WRITE_PARAMS {
    uint32_t Fwp_ss;          /* 104 */
    uint32_t Fwp_reserved0;
    const char* Fwp_path1;    /* UTF-8 destination files, NULL when unused */
    const char* Fwp_path2;
    const char* Fwp_path3;
    const char* Fwp_path4;
    uint32_t Fwp_flags;
    uint32_t Fwp_hdrskp;      /* header bytes to skip */
    uint64_t Fwp_maxseg;      /* bytes per segment file, 0: one file */
    int32_t Fwp_chanSel;
    uint32_t Fwp_reserved1;
    void* Fwp_progressCb;     /* progress call-back, NULL: none */
    void* Fwp_progressCtx;    /* its context */
    uint64_t Fwp_reserved2;
    const char* Fwp_opNotes;  /* UTF-8 operator notes, NULL: none */
    const char* Fwp_tsPath;   /* UTF-8 time-stamp file, NULL: none */
} TQ8_FILE_WRITE_PARAMS;

/* Flags of a recording session (Rsp_flags). */
#define TQ8_RSP_FLAGS_TO_HOST 0x51u     /* record straight to the host */
#define TQ8_RSP_FLAGS_VIA_BOARD 0x52u   /* acquire to board memory, then transfer */
#define TQ8_RSP_FLAG_SNAPSHOTS 0x20u    /* keep snapshots for GetRecordingSnapshotTQ8 */

/* Recording-session record (72 bytes). */
typedef struct TQ8_REC_SESSION_PARAMS {
    uint32_t Rsp_ss;                 /* 72 */
    uint32_t Rsp_flags;
    uint64_t Rsp_samplesToRecord;    /* 0: no limit */
    uint32_t Rsp_acqSamples;         /* samples per acquisition */
    uint32_t Rsp_transferSamples;
    const TQ8_FILE_WRITE_PARAMS* Rsp_fileWrite;
    uint64_t Rsp_reserved0;
    uint32_t Rsp_snapshotSamples;    /* with TQ8_RSP_FLAG_SNAPSHOTS */
    uint32_t Rsp_snapshotIntervalCount; /* transfers between snapshots, 0: by time */
    uint32_t Rsp_snapshotIntervalMs; /* ms between snapshots when the count is 0 */
    uint32_t Rsp_reserved2;
    uint64_t Rsp_reserved3;
    uint64_t Rsp_reserved4;
} TQ8_REC_SESSION_PARAMS;

/* The smallest transfer a session makes: a smaller Rsp_transferSamples
 * (other than 0, which leaves the size to the library) is raised to it, as
 * every transfer costs about as much as a large one. */
#define TQ8_REC_MIN_TRANSFER_SAMPLES 4096u

/* Status of a recording session. */
#define TQ8_REC_STATUS_RUNNING 1u
#define TQ8_REC_STATUS_COMPLETED 2u
#define TQ8_REC_STATUS_FAILED 3u

/* Out flags of a recording session. */
#define TQ8_REC_OUT_TS_OVERFLOW 0x1u /* the time-stamp FIFO overflowed at least once */
#define TQ8_REC_OUT_NO_TS 0x2u       /* no time stamps were generated */

/* Progress of a recording session (56 bytes). */
typedef struct TQ8_REC_SESSION_PROGRESS {
    uint32_t Rpr_ss;            /* 56, set by the caller */
    uint32_t Rpr_status;        /* TQ8_REC_STATUS_* */
    uint32_t Rpr_elapsedMs;
    uint32_t Rpr_liveFlags;     /* TQ8_REC_LIVE_*, so far */
    uint64_t Rpr_samplesRecorded;
    uint64_t Rpr_samplesToRecord; /* 0: no limit */
    uint64_t Rpr_samplesLost;
    uint32_t Rpr_snapshotCounter; /* changes with every new snapshot */
    int32_t Rpr_errorCode;      /* of a failed session */
    wchar_t* Rpr_errorText;     /* of a failed session or NULL; free with FreeMemoryTQ8 */
} TQ8_REC_SESSION_PROGRESS;

/* Live flags of the progress record. */
#define TQ8_REC_LIVE_TS_OVERFLOW 0x1u /* the time-stamp FIFO has overflowed */
#define TQ8_REC_LIVE_NO_TS 0x2u       /* no time-stamp has come */
#define TQ8_REC_LIVE_DATA_LOST 0x4u   /* sample data was lost */

/* The progress record with the library's own additions: a caller that sets
 * Rpr_ss to 72 gets these too, one that sets 56 exactly the record above. */
typedef struct TQ8_REC_SESSION_PROGRESS_EX {
    TQ8_REC_SESSION_PROGRESS base;
    uint64_t Rpr_timestampsDropped; /* entries the full FIFO lost; 0 on local boards, whose driver
                                     * reports the overflow but no count */
    uint32_t Rpr_ringFillPermille;  /* blocks waiting for the files, in thousandths */
    uint32_t Rpr_transferSamples;   /* samples per transfer of the armed session, as used (the
                                     * record's size, raised or fitted to the board); 0 before arming */
} TQ8_REC_SESSION_PROGRESS_EX;

#ifdef __cplusplus
static_assert(sizeof(void*) == 8, "TQ8_64 records assume 64-bit pointers");
static_assert(sizeof(TQ8_FILE_WRITE_PARAMS) == 104, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_ss) == 0, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_reserved0) == 4, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_path1) == 8, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_path2) == 16, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_path3) == 24, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_path4) == 32, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_flags) == 40, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_hdrskp) == 44, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_maxseg) == 48, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_chanSel) == 56, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_reserved1) == 60, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_progressCb) == 64, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_progressCtx) == 72, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_reserved2) == 80, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_opNotes) == 88, "record layout");
static_assert(offsetof(TQ8_FILE_WRITE_PARAMS, Fwp_tsPath) == 96, "record layout");

static_assert(sizeof(TQ8_REC_SESSION_PARAMS) == 72, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_ss) == 0, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_flags) == 4, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_samplesToRecord) == 8, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_acqSamples) == 16, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_transferSamples) == 20, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_fileWrite) == 24, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_reserved0) == 32, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_snapshotSamples) == 40, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_snapshotIntervalCount) == 44, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_snapshotIntervalMs) == 48, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_reserved2) == 52, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_reserved3) == 56, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PARAMS, Rsp_reserved4) == 64, "record layout");

static_assert(sizeof(TQ8_REC_SESSION_PROGRESS) == 56, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_status) == 4, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_elapsedMs) == 8, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_samplesRecorded) == 16, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_liveFlags) == 12, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_samplesToRecord) == 24, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_samplesLost) == 32, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_snapshotCounter) == 40, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_errorCode) == 44, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS, Rpr_errorText) == 48, "record layout");
static_assert(sizeof(TQ8_REC_SESSION_PROGRESS_EX) == 72, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS_EX, Rpr_timestampsDropped) == 56, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS_EX, Rpr_ringFillPermille) == 64, "record layout");
static_assert(offsetof(TQ8_REC_SESSION_PROGRESS_EX, Rpr_transferSamples) == 68, "record layout");
#endif

#ifdef __cplusplus
} /* extern "C" */
#endif
