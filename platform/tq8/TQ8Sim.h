#pragma once
/*
 * Control of the simulated boards behind libTQ8_64. Not part of the device
 * library's own functions: tests and demonstrations use it to declare local
 * boards, shape the signals, speed up time and make calls fail on purpose.
 *
 * Local boards can also be declared in an XML file named by the environment
 * variable TQ8_SIM_CONFIG, read when the library is first used:
 *
 *   <TQ8Sim timeFactor="0.01">
 *     <Board serial="123456" revision="2" features="0x9" packages="0x74"
 *            masterSlave="0" sync="0" extTrigger="0" inputFilter="0"
 *            zabFpgaType="0" fpgaType="1" ramSize="0x80000000"
 *            chanFlags="0,0,0,0" seed="1" tsOverflowFlag="1">
 *       <Signal channel="0" freqMHz="10" amplitude="100" noise="1"
 *               offset="0" harmonicsDbc="-60"/>
 *       <Eeprom word="61" value="0x1212"/>
 *     </Board>
 *   </TQ8Sim>
 *
 * Eeprom: a configuration EEPROM word (0..126) in place of its default; the
 * checksum word is written after them, so the image stays valid.
 * packages: bit n set = fixed logic package n present. tsOverflowFlag="0"
 * models firmware that cannot report a time-stamp FIFO overflow.
 */
#include <stddef.h>
#include <stdint.h>

#include "TQ8_64.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Hardware description of a simulated board. */
typedef struct TQ8SIM_BOARD_DESC {
    uint32_t size;             /* sizeof(TQ8SIM_BOARD_DESC) */
    uint32_t serial;
    uint32_t revision;         /* 1 = two-channel model */
    uint32_t features;         /* TQ8_FEATURE_* */
    uint32_t packages;         /* bit n = fixed logic package n present */
    uint32_t channelFlags[4];
    int32_t masterSlave;       /* 0..3 */
    int32_t syncConfig;        /* 0..3 */
    int32_t extTriggerConfig;  /* 0..1 */
    int32_t inputFilterConfig; /* 0..2 */
    int32_t zabFpgaType;       /* 0..1 */
    uint32_t fpgaType;         /* configuration EEPROM word 93 */
    uint32_t ramSize;          /* sample positions, at most 2^31 */
} TQ8SIM_BOARD_DESC;

/* Signal of one input channel, in 8-bit codes at mid-scale DC offset. */
typedef struct TQ8SIM_SIGNAL {
    uint32_t size;        /* sizeof(TQ8SIM_SIGNAL) */
    uint32_t reserved;
    double frequencyMHz;  /* tone frequency */
    double amplitude;     /* tone peak amplitude in codes */
    double noise;         /* RMS noise in codes */
    double offset;        /* DC level in codes relative to mid-scale */
    double harmonicsDbc;  /* level of the 2nd and 3rd harmonic; <= -200: none */
} TQ8SIM_SIGNAL;

#ifdef __cplusplus
static_assert(sizeof(TQ8SIM_BOARD_DESC) == 64, "record layout");
static_assert(offsetof(TQ8SIM_BOARD_DESC, channelFlags) == 20, "record layout");
static_assert(offsetof(TQ8SIM_BOARD_DESC, ramSize) == 60, "record layout");
static_assert(sizeof(TQ8SIM_SIGNAL) == 48, "record layout");
static_assert(offsetof(TQ8SIM_SIGNAL, frequencyMHz) == 8, "record layout");
static_assert(offsetof(TQ8SIM_SIGNAL, harmonicsDbc) == 40, "record layout");
#endif

/* Fills a description with the defaults of a four-channel board. */
TQ8_API void TQ8Sim_DefaultBoardDesc(TQ8SIM_BOARD_DESC* desc, uint32_t serial);
/* Declares a local board; TQ8_ERR_INVALID_ARG for a duplicate serial or a bad
 * description. */
TQ8_API int32_t TQ8Sim_AddLocalBoard(const TQ8SIM_BOARD_DESC* desc);
/* Declares the boards of a configuration file or text (format above), after
 * the ones already declared. */
TQ8_API int32_t TQ8Sim_LoadConfigFile(const char* path);
TQ8_API int32_t TQ8Sim_LoadConfigString(const char* xml);
/* Ends and frees every recording session, disconnects every handle, forgets
 * every board, clears injections and sets the time factor back to 1. The
 * configuration file is not read again. */
TQ8_API void TQ8Sim_Reset(void);

/* Simulated time runs this many times slower than wall-clock time
 * (0.001 makes a 1 s acquisition take 1 ms). 0 <= factor <= 1000; 0: as
 * fast as possible (nothing waits for simulated time). */
TQ8_API int32_t TQ8Sim_SetTimeFactor(double factor);
TQ8_API double TQ8Sim_GetTimeFactor(void);

/* Signal and noise seed of a board that exists (local, or virtual after its
 * first connection). channel 0..3. */
TQ8_API int32_t TQ8Sim_SetSignal(uint32_t serial, int32_t channel, const TQ8SIM_SIGNAL* signal);
TQ8_API int32_t TQ8Sim_GetSignal(uint32_t serial, int32_t channel, TQ8SIM_SIGNAL* signal);
TQ8_API int32_t TQ8Sim_SetSeed(uint32_t serial, uint64_t seed);
/* How boards stream to recordings: ringBytes of board memory between board
 * and files (0: the default, 16 MiB; at least two transfers), and on a full
 * ring either the board waits (realTime 0, the default: nothing is lost) or
 * loses samples (realTime nonzero), which fails the session with
 * TQ8_ERR_SAMPLES_LOST. Back to the defaults with TQ8Sim_Reset. */
TQ8_API int32_t TQ8Sim_SetRecordingStream(uint64_t ringBytes, int32_t realTime);
/* The counting test pattern in place of the signals (on nonzero): in
 * memory acquisitions, the sample of frame n on physical channel c (0..3) is
 * (n + 64 c) mod 256, where n counts the frames acquired since the pattern
 * was switched on, over acquisitions; switching restarts n at 0. */
TQ8_API int32_t TQ8Sim_SetCountingPattern(uint32_t serial, int32_t on);
/* Entries the board's time-stamp FIFO holds (default 2048, at least 1); the
 * FIFO is emptied. Entries beyond it are dropped and set its overflow flag. */
TQ8_API int32_t TQ8Sim_SetTimestampFifoDepth(uint32_t serial, uint32_t depth);
/* Overwrites words of a board's configuration EEPROM image; nothing is
 * recomputed, so a test can break the image (ValidateConfigEepromTQ8) and
 * repair it by writing the words back. */
TQ8_API int32_t TQ8Sim_SetEepromWords(uint32_t serial, uint32_t firstWord, const uint16_t* words, uint32_t count);
/* Forgets a virtual board that no handle holds: its threads end and its
 * memory is freed; a later connection creates it anew with its defaults.
 * TQ8_ERR_BUSY while a handle holds it, TQ8_ERR_DEVICE_NOT_FOUND for a
 * serial without a virtual board. The board service releases the virtual
 * boards its clients opened this way. */
TQ8_API int32_t TQ8Sim_ReleaseVirtualBoard(uint32_t serial);
/* Pulls a local board's card out of the bus without warning; its open
 * handles answer TQ8_ERR_DEVICE_REMOVED from then on. */
TQ8_API int32_t TQ8Sim_SurpriseRemoveBoard(uint32_t serial);
/* While hold is nonzero, the file-write functions (ReadSampleRamFile*TQ8,
 * _DumpRawDataTQ8) wait before each progress call-back until it is switched
 * off or TQ8Sim_Reset: a library slow to call back. */
TQ8_API int32_t TQ8Sim_HoldFileWriteCallbacks(int32_t hold);
/* File-write calls waiting on that hold now. */
TQ8_API uint32_t TQ8Sim_HeldFileWriteCalls(void);

/* Calibrations of ADC chip adc (0 or 1) of a board since it was made. */
TQ8_API int32_t TQ8Sim_GetAdcCalibrationCount(uint32_t serial, int32_t adc, uint32_t* count);

/* Values the library reports for a board that exists in place of the
 * board's own, so that callers' handling of other drivers and board variants
 * can be tested: GetDriverVersionTQ8 (and the driver's version text),
 * GetSampleRamSizeTQ8, GetActiveChannelsTQ8 (also a selection the library
 * does not know) and GetMaxSampleCountForActiveChanSelTQ8 (for every valid
 * selection). The simulated board itself is unchanged: its memory keeps its
 * size and acquisitions use its real channels. Kept until TQ8Sim_Reset. */
TQ8_API int32_t TQ8Sim_ReportDriverVersion(uint32_t serial, uint64_t version);
TQ8_API int32_t TQ8Sim_ReportRamSize(uint32_t serial, uint32_t positions);
TQ8_API int32_t TQ8Sim_ReportActiveChannels(uint32_t serial, int32_t selection);
TQ8_API int32_t TQ8Sim_ReportMaxSampleCount(uint32_t serial, uint32_t maxSamples);

/* Messages the library has sent to remote servers since it was loaded. */
TQ8_API uint64_t TQ8Sim_RemoteMessagesSent(void);

/* The next `calls` calls of the named library function (e.g.
 * "AcquireToBoardRamTQ8") return `code` without doing anything.
 * calls 0 removes the injection. */
TQ8_API int32_t TQ8Sim_InjectResult(const char* function, int32_t code, uint32_t calls);
/* The same after the next `passing` calls, which still run: a sequence of
 * calls fails part of the way. */
TQ8_API int32_t TQ8Sim_InjectResultAfter(const char* function, uint32_t passing, int32_t code, uint32_t calls);
TQ8_API void TQ8Sim_ClearInjections(void);

/* What the library has sent to a board's FPGA processing blocks: the last
 * value written to each parameter index by SetBoardProcessingParamTQ8 (0 for
 * one never written), and the coefficients of FIR bank 0 (FLPC5, 129), 1 or
 * 2 (FLPC6 channel 1 or 2, 65 each); count must be the bank's size. */
TQ8_API int32_t TQ8Sim_GetProcessingParams(uint32_t serial, uint32_t first, uint16_t* values, uint32_t count);
TQ8_API int32_t TQ8Sim_GetFirCoefficients(uint32_t serial, int32_t bank, int16_t* taps, uint32_t count);

/* Input-delay taps of a board as programmed through its registers: SDRAM1,
 * SDRAM2 and the external trigger. Any pointer may be NULL. */
TQ8_API int32_t TQ8Sim_GetInputDelays(uint32_t serial, uint32_t* sdram1, uint32_t* sdram2, uint32_t* extTrigger);

/* What a new image of a board's part (0 system FPGA, 1 ZAB FPGA) needs
 * before it runs: 0 nothing, 1 a shut-down, 2 a restart. Until
 * TQ8Sim_PowerCycle the part reports its old version. */
TQ8_API int32_t TQ8Sim_SetFirmwareActivation(uint32_t serial, int32_t part, int32_t activation);
TQ8_API int32_t TQ8Sim_PowerCycle(uint32_t serial);
/* Jumper JP1: without it the JTAG scan chain cannot be reached. */
TQ8_API int32_t TQ8Sim_SetJtagJumper(uint32_t serial, int32_t set);
/* Upload failures part of the way: TQ8Sim_InjectResult with the name
 * "UploadFirmwareWTQ8.file" fails the next bitstream file to be written. */
/* A recording whose start is cut short: "ArmRecordingSessionTQ8.context"
 * fails the next recording's first context write, right after its data
 * files were opened (the state a kill there leaves). */

#ifdef __cplusplus
} /* extern "C" */
#endif
