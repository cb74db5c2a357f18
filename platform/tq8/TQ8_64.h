#pragma once
/*
 * TQ8_64: the device library of the TQ3300 digitizer.
 *
 * Conventions
 * - Every function returning int32_t as a result code returns 0 on success
 *   and a negative TQ8_ERR_* code on failure, unless its comment says it
 *   returns a value.
 * - Getters without out-parameters return the value itself. Their last
 *   argument "cached" is accepted for compatibility; the library always
 *   answers from its own copy of the board's settings.
 * - Setters may clip or realign the value; read the getter again to see what
 *   was applied.
 * - A handle is used by one thread at a time. Handles of the same board
 *   (DuplicateHandleTQ8) reach the same board: standby or a software trigger
 *   on one affects a blocking call on another.
 * - Wide text is wchar_t. Text, lists and arrays handed out by the library
 *   are freed with FreeMemoryTQ8.
 * - Sample positions and counts are in interleaved 8-bit samples over all
 *   active channels.
 */
#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define TQ8_API __attribute__((visibility("default")))
#else
#define TQ8_API
#endif

/* Opaque, pointer-sized. The library never dereferences it: it carries a
 * tagged id that is looked up in the library's handle table. NULL is never a
 * valid handle. */
typedef struct TQ8_DEVICE_TAG* TQ8_HANDLE;

/* Result codes (TQ8_OK, TQ8_ERR_*), operating modes (TQ8_MODE_*) and feature
 * bits (TQ8_FEATURE_*). */
#include "TQ8Codes.h"

/* ---- Enumerations -------------------------------------------------------- */
/* Input channel flags: both bits set = transformer path (no DC offset). */
#define TQ8_CHANFLAG_TRANSFORMER_A 0x02u
#define TQ8_CHANFLAG_TRANSFORMER_B 0x80u

/* Fixed logic packages for IsFixedLogicPackagePresentTQ8. */
#define TQ8_FLPC_DECIMATION 2
#define TQ8_FLPC_FFT 4
#define TQ8_FLPC_FIR1 5
#define TQ8_FLPC_FIR2 6

/* GetBoardNameWTQ8 flags. The name is "[Virtual ]TQ3300[-4][ #serial][ @server:port]";
 * 0, the plain name, is "TQ3300 #123456" too, so that two boards never share it. */
#define TQ8_NAME_CHANNEL_SUFFIX 0x4u /* "-4" on four-channel boards */
#define TQ8_NAME_SERIAL 0x8u         /* " #123456" */
#define TQ8_NAME_VIRTUAL 0x10u       /* "Virtual " before virtual boards */
#define TQ8_NAME_FILE_SAFE 0x20u     /* only letters, digits, '-' and '_' */
#define TQ8_NAME_SERIAL_PLAIN 0x40u  /* "_123456" */
#define TQ8_NAME_LOCATION 0x80u      /* " @server:port" on remote boards */
#define TQ8_NAME_CLASS 0x1000u       /* device class description instead */
/* The flag sets callers use. */
#define TQ8_NAME_SET_SHORT TQ8_NAME_SERIAL /* 8: "TQ3300 #123456" */
#define TQ8_NAME_SET_FILE (TQ8_NAME_FILE_SAFE | TQ8_NAME_SERIAL_PLAIN) /* 96: "TQ3300_123456" */
#define TQ8_NAME_SET_PLOT_SOURCE (TQ8_NAME_LOCATION | TQ8_NAME_VIRTUAL | TQ8_NAME_SERIAL) /* 152 */
#define TQ8_NAME_SET_DISPLAY (TQ8_NAME_SET_PLOT_SOURCE | TQ8_NAME_CHANNEL_SUFFIX) /* 156: "Virtual TQ3300-4 #1600" */
#define TQ8_NAME_SET_DEVICE_CLASS 8069u /* 0x1F85: the device class description */

/* GetVersionTextWTQ8 items. */
#define TQ8_VERSION_HARDWARE 1
#define TQ8_VERSION_DRIVER 2
#define TQ8_VERSION_LIBRARY 3
#define TQ8_VERSION_SOFTWARE_RELEASE 4
#define TQ8_VERSION_SYSTEM_FPGA 5
#define TQ8_VERSION_ZAB_FPGA 7

/* Configuration EEPROM. */
#define TQ8_EEPROM_WORDS 128
#define TQ8_EEPROM_WORD_FPGA_TYPE 93

/* ---- Remote boards -------------------------------------------------------- */
/* The board service of the service host (plug-in libVltSvcTQ8.so): its name
 * in the connect message and its default port. */
#define TQ8_BOARD_SERVICE_NAME "VltTQ8Board"
#define TQ8_BOARD_SERVICE_PORT 3494

/* ---- Records --------------------------------------------------------------- */
/* Remote connection record (40 bytes). */
typedef struct TQ8_REMOTE_CONN_INFO {
    uint32_t size;            /* 40 */
    uint32_t reserved0;
    uint16_t port;
    uint16_t reserved1[3];
    const wchar_t* server;
    const wchar_t* clientName;
    const wchar_t* subServices;
} TQ8_REMOTE_CONN_INFO;

/* Recorded-data information (88 bytes). The caller sets size to 88. */
typedef struct TQ8_RECORDED_DATA_INFO {
    uint32_t size;
    char boardName[16];
    uint32_t serialNumber;
    uint32_t channelCount;
    uint32_t channelNumber;   /* 0 or 0xFFFFFFFF: multi-channel */
    uint32_t bytesPerSample;
    uint32_t bitsPerSample;   /* 0: 8 x bytesPerSample */
    uint32_t isSigned;
    uint32_t reserved0;
    double samplingRateMHz;
    double inputRangeVpp;
    uint32_t segmentSize;
    uint32_t headerBytes;
    uint8_t reserved1[8];
    uint32_t triggerOffset;   /* over all channels */
    uint32_t preTrigger;      /* nonzero: triggerOffset is a pre-trigger count */
} TQ8_RECORDED_DATA_INFO;

#ifdef __cplusplus
static_assert(sizeof(void*) == 8, "TQ8_64 records assume 64-bit pointers");
static_assert(sizeof(TQ8_REMOTE_CONN_INFO) == 40, "record layout");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, port) == 8, "record layout");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, server) == 16, "record layout");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, clientName) == 24, "record layout");
static_assert(offsetof(TQ8_REMOTE_CONN_INFO, subServices) == 32, "record layout");
static_assert(sizeof(TQ8_RECORDED_DATA_INFO) == 88, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, boardName) == 4, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, serialNumber) == 20, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, channelCount) == 24, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, channelNumber) == 28, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, bytesPerSample) == 32, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, bitsPerSample) == 36, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, isSigned) == 40, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, samplingRateMHz) == 48, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, inputRangeVpp) == 56, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, segmentSize) == 64, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, headerBytes) == 68, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, triggerOffset) == 80, "record layout");
static_assert(offsetof(TQ8_RECORDED_DATA_INFO, preTrigger) == 84, "record layout");
#endif

/* Progress call-back of a file write (Fwp_progressCb, context
 * Fwp_progressCtx): the handle, the context, the 1-based number of the data
 * file being written, two reserved 0, the samples written so far, a reserved
 * 0 and the samples to write (never 0). Called on the writing thread after
 * each piece of at most 256 KiB (well within 100 ms) and once at the end
 * with done equal to total. A return of TQ8_ERR_CANCELLED (-10) stops the
 * write: what was written is closed and flushed and the call returns -10;
 * other values continue. */
typedef int32_t (*TQ8_FILE_PROGRESS_CALLBACK)(TQ8_HANDLE handle, void* context, uint32_t fileNumber,
                                              uint32_t reserved0, uint32_t reserved1, uint64_t done,
                                              uint64_t reserved2, uint64_t total);

/* Records of the recording and file-writing calls. */
#include "TQ8RecordTypes.h"

/* ---- 1. Connection and handles ------------------------------------------- */
/* Number of local boards (0 none). */
TQ8_API int32_t GetDeviceCountTQ8(void);
/* n: a number equal to the serial of a local board selects that board;
 * otherwise 1..GetDeviceCountTQ8() is an ordinal. */
TQ8_API int32_t ConnectToDeviceTQ8(TQ8_HANDLE* handle, uint32_t n);
/* Creates (or reaches) the virtual board with this serial. flags: 1. */
TQ8_API int32_t ConnectToVirtualDeviceTQ8(TQ8_HANDLE* handle, uint32_t serial, uint32_t flags);
/* These two and GetRemoteDeviceCountWTQ8 reach a server:
 * TQ8_ERR_SERVER_ADDRESS_INVALID for a server text of digits and dots that
 * the system's resolver does not take as a numeric IPv4 address ("127.1" it
 * takes; nothing is looked up), TQ8_ERR_SERVER_NOT_FOUND for a
 * name that does not resolve, TQ8_ERR_SERVER_UNREACHABLE when no board
 * service answers: errno is then the connect's error (ECONNREFUSED,
 * ETIMEDOUT after 3 s, EHOSTUNREACH ...), or 0 when a connection was made
 * but no board service answered on it. errno is 0 after any other result. */
TQ8_API int32_t ConnectToRemoteDeviceWTQ8(TQ8_HANDLE* handle, uint32_t serial,
                                          const TQ8_REMOTE_CONN_INFO* conn);
TQ8_API int32_t ConnectToRemoteVirtualDeviceWTQ8(TQ8_HANDLE* handle, uint32_t serial, uint32_t flags,
                                                 const TQ8_REMOTE_CONN_INFO* conn);
/* Returns the count (>= 0) or a negative code; *serials (may be NULL) gets
 * an array to free with FreeMemoryTQ8, or NULL when the count is 0. */
TQ8_API int32_t GetRemoteDeviceCountWTQ8(const wchar_t* server, uint16_t port, uint32_t** serials);
TQ8_API int32_t DisconnectFromDeviceTQ8(TQ8_HANDLE handle);
TQ8_API int32_t DuplicateHandleTQ8(TQ8_HANDLE handle, TQ8_HANDLE* duplicate);
/* Nonzero when usable; safe on stale or garbage values. */
TQ8_API int32_t IsHandleValidTQ8(TQ8_HANDLE handle);
/* > 0 yes, 0 no, < 0 failure. */
TQ8_API int32_t IsDeviceRemoteTQ8(TQ8_HANDLE handle);
TQ8_API int32_t IsDeviceVirtualTQ8(TQ8_HANDLE handle);
/* Local and virtual boards: *server = NULL, *port = 0. */
TQ8_API int32_t GetHostServerInfoWTQ8(TQ8_HANDLE handle, wchar_t** server, uint32_t* port);
/* Sends a VltServiceRequest text (length bytes, no declaration needed) on a
 * remote board's connection, where the sub-services of the connect record
 * take the calls the board service does not know. *reply gets the parsed
 * reply (an xmlDocPtr) to free with FreeServiceResponseTQ8. flags 0.
 * Local and virtual boards: TQ8_ERR_NOT_SUPPORTED. A time-out gives
 * TQ8_ERR_TIMEOUT and closes the connection; the next call connects again. */
TQ8_API int32_t SendServiceRequestTQ8(TQ8_HANDLE handle, const char* request, uint32_t length, void** reply,
                                      uint32_t timeoutMs, uint32_t flags);
/* NULL is fine; a pointer the library did not hand out, or one already
 * freed, is refused (TQ8_ERR_INVALID_ARG). */
TQ8_API int32_t FreeServiceResponseTQ8(void* reply);

/* ---- 2. Board info, identity and names ----------------------------------- */
TQ8_API int32_t GetSerialNumberTQ8(TQ8_HANDLE handle, uint32_t* serial);
TQ8_API int32_t GetBoardNameWTQ8(TQ8_HANDLE handle, wchar_t** name, uint32_t flags);
/* Returns the revision (1 = two-channel model) or a negative code. */
TQ8_API int32_t GetBoardRevisionTQ8(TQ8_HANDLE handle);
/* Returns the feature bits; 0 for an invalid handle (never negative). */
TQ8_API uint32_t GetBoardFeaturesTQ8(TQ8_HANDLE handle);
/* 0 when present, TQ8_ERR_NOT_SUPPORTED when absent, other negative codes on failure. */
TQ8_API int32_t IsFixedLogicPackagePresentTQ8(TQ8_HANDLE handle, int32_t package);
/* Returns the flags of channel 0..3; 0 for an invalid handle or channel. */
TQ8_API uint32_t GetInputChannelFlagsTQ8(TQ8_HANDLE handle, int32_t channel);
/* 0 standalone, 1 master, 2 slave #1, 3 slave #2; negative on failure. */
TQ8_API int32_t GetMasterSlaveConfigurationTQ8(TQ8_HANDLE handle, int32_t cached);
/* 0 internal, 1 external, 2 slave #1, 3 slave #2; negative on failure. */
TQ8_API int32_t GetSyncConfigurationTQ8(TQ8_HANDLE handle, int32_t cached);
/* 0 LVTTL, 1 LVPECL. */
TQ8_API int32_t GetExtTriggerConfigurationTQ8(TQ8_HANDLE handle, int32_t cached);
/* 0 unspecified, 1 lowpass 1 GHz, 2 lowpass 2 GHz. */
TQ8_API int32_t GetInputChannelConfigurationTQ8(TQ8_HANDLE handle, int32_t cached);
/* 0 LX50T, 1 SX95T. */
TQ8_API int32_t GetZabFpgaTypeTQ8(TQ8_HANDLE handle);
TQ8_API int32_t GetVersionTextWTQ8(TQ8_HANDLE handle, int32_t item, wchar_t** text, uint32_t flags);
/* Four 16-bit parts, major in the top. */
TQ8_API int32_t GetDriverVersionTQ8(TQ8_HANDLE handle, uint64_t* version);
TQ8_API int32_t GetPciFirmwareVersionTQ8(TQ8_HANDLE handle, uint64_t* version);
/* Nonzero when the board is idle (standby, no operation running). */
TQ8_API int32_t InIdleModeTQ8(TQ8_HANDLE handle);
/* Copies count words from the board's configuration EEPROM image, starting
 * at firstWord (word 93 holds the FPGA type). */
TQ8_API int32_t GetEepromDataTQ8(TQ8_HANDLE handle, uint32_t firstWord, uint16_t* words, uint32_t count);

/* ---- 3. Trigger ------------------------------------------------------------ */
/* 0..3 internal channel 1..4, 4 external. */
TQ8_API int32_t GetTriggerSourceTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerSourceTQ8(TQ8_HANDLE handle, int32_t source);
/* 0 post-trigger, 1 segmented. */
TQ8_API int32_t GetTriggerModeTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerModeTQ8(TQ8_HANDLE handle, int32_t mode);
TQ8_API uint32_t GetSegmentSizeTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetSegmentSizeTQ8(TQ8_HANDLE handle, uint32_t samples);
/* 16-bit field: larger values are clipped to 65535. */
TQ8_API uint32_t GetPreTriggerSamplesTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetPreTriggerSamplesTQ8(TQ8_HANDLE handle, uint32_t samples);
TQ8_API uint32_t GetTriggerDelaySamplesTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerDelaySamplesTQ8(TQ8_HANDLE handle, uint32_t samples);
/* Levels 0..255 (8-bit codes). */
TQ8_API int32_t GetTriggerLevelATQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerLevelATQ8(TQ8_HANDLE handle, int32_t level);
TQ8_API int32_t GetTriggerLevelBTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerLevelBTQ8(TQ8_HANDLE handle, int32_t level);
/* 0 positive, 1 negative. */
TQ8_API int32_t GetTriggerDirectionATQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerDirectionATQ8(TQ8_HANDLE handle, int32_t direction);
TQ8_API int32_t GetTriggerDirectionBTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTriggerDirectionBTQ8(TQ8_HANDLE handle, int32_t direction);
TQ8_API int32_t GetTriggerDirectionExtTQ8(TQ8_HANDLE handle, int32_t cached);
/* Latched: a trigger issued before the acquisition is armed is used by it. */
TQ8_API int32_t IssueSoftwareTriggerTQ8(TQ8_HANDLE handle);

/* ---- 4. Clocks --------------------------------------------------------------- */
/* 0 internal, 1 external, 2 slave #1, 3 slave #2. */
TQ8_API int32_t GetAdcClockSourceTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetAdcClockSourceTQ8(TQ8_HANDLE handle, int32_t source);
/* MHz; 200..1500, or 500..1500 while interleaving. Below: TQ8_ERR_RATE_TOO_LOW,
 * above: TQ8_ERR_RATE_TOO_HIGH. Realigned to the synthesizer's 1 MHz grid. */
TQ8_API int32_t GetInternalAdcClockRateTQ8(TQ8_HANDLE handle, double* mhz, int32_t cached);
TQ8_API int32_t SetInternalAdcClockRateTQ8(TQ8_HANDLE handle, double mhz);
/* 0 internal 10 MHz, 1 external 10 MHz. */
TQ8_API int32_t GetInternalAdcClockReferenceTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetInternalAdcClockReferenceTQ8(TQ8_HANDLE handle, int32_t reference);
TQ8_API int32_t GetExternalClockRateTQ8(TQ8_HANDLE handle, double* mhz, int32_t cached);
TQ8_API int32_t SetExternalClockRateTQ8(TQ8_HANDLE handle, double mhz);
/* d1 1..32, d2 1..6. */
TQ8_API int32_t GetExtClockDivider1TQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t GetExtClockDivider2TQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetExtClockDividersTQ8(TQ8_HANDLE handle, int32_t d1, int32_t d2);
/* Exponent n (0..5): effective rate = ADC rate / 2^n. */
TQ8_API int32_t GetPostAdcClockDividerTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t GetActualAdcAcqRateTQ8(TQ8_HANDLE handle, double* mhz);
/* ADC rate x 2 for interleaved selections, / 2^post divider. */
TQ8_API int32_t GetEffectiveAcqRateTQ8(TQ8_HANDLE handle, double* mhz);
TQ8_API int32_t GetAdcInterleaveEnableTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t GetFpgaSlaveEnableTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t _GetPllDisableTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t _SetPllDisableTQ8(TQ8_HANDLE handle, int32_t disable);
TQ8_API int32_t GetAutoDcmResetOverrideTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetAutoDcmResetOverrideTQ8(TQ8_HANDLE handle, int32_t enable);
TQ8_API int32_t SyncFirmwareToAdcClockTQ8(TQ8_HANDLE handle, int32_t resetDcms);
TQ8_API int32_t SynchronizeAdcsTQ8(TQ8_HANDLE master);
TQ8_API int32_t ResyncClockOutputsTQ8(TQ8_HANDLE handle);
/* Nonzero when the PLL is locked. */
TQ8_API int32_t GetPllLockStatusTQ8(TQ8_HANDLE handle);

/* ---- 5. Data, channels, memory region, digital I/O ------------------------- */
/* Selections 0..11: Ch1234, Ch12, Ch34, Ch13, Ch123, Ch1, Ch2, Ch3, Ch4,
 * Ch13 interleaved, Ch1 interleaved, Ch3 interleaved. The two-channel model
 * accepts 1, 5, 6 and 10 only. */
TQ8_API int32_t GetActiveChannelsTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetActiveChannelsTQ8(TQ8_HANDLE handle, int32_t selection);
/* Returns the channel count, or TQ8_ERR_INVALID_ARG for an unknown selection. */
TQ8_API int32_t GetChannelCountFromChanSelTQ8(int32_t selection);
/* Returns the 0-based physical channel at position index of the selection. */
TQ8_API int32_t GetPhysChanNumFromChanSelIdxTQ8(int32_t selection, int32_t index);
TQ8_API int32_t GetMaxSampleCountForActiveChanSelTQ8(TQ8_HANDLE handle, int32_t selection, uint32_t* maxSamples);
/* count first. count 0 = free run / transfer only. Start is aligned down to
 * 16 samples, count up to 128 samples, and the region is clipped to memory. */
TQ8_API int32_t SetActiveMemoryRegionTQ8(TQ8_HANDLE handle, uint32_t count, uint32_t start);
TQ8_API int32_t GetActiveMemoryRegionTQ8(TQ8_HANDLE handle, uint32_t* count, uint32_t* start, int32_t cached);
TQ8_API uint32_t GetSampleCountTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API uint32_t GetStartSampleTQ8(TQ8_HANDLE handle, int32_t cached);
/* Peak-to-peak volts. */
TQ8_API int32_t GetInputVoltageRangeVoltsCh1TQ8(TQ8_HANDLE handle, double* vpp, int32_t cached);
TQ8_API int32_t GetInputVoltageRangeVoltsCh2TQ8(TQ8_HANDLE handle, double* vpp, int32_t cached);
TQ8_API int32_t GetInputVoltageRangeVoltsCh3TQ8(TQ8_HANDLE handle, double* vpp, int32_t cached);
TQ8_API int32_t GetInputVoltageRangeVoltsCh4TQ8(TQ8_HANDLE handle, double* vpp, int32_t cached);
/* Valid only with selections 0, 3 and 9. */
TQ8_API int32_t GetRouteToSdram2EnableTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetRouteToSdram2EnableTQ8(TQ8_HANDLE handle, int32_t enable);
TQ8_API int32_t GetDigitalIoEnableTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetDigitalIoEnableTQ8(TQ8_HANDLE handle, int32_t enable);
/* 0..7. */
TQ8_API int32_t GetDigitalIoModeTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetDigitalIoModeTQ8(TQ8_HANDLE handle, int32_t mode);
/* 0..9, see TQ8_MODE_*. */
TQ8_API int32_t GetOperatingModeTQ8(TQ8_HANDLE handle, int32_t cached);

/* ---- 6. DC offset ------------------------------------------------------------ */
/* 0..4095, default 2048. */
TQ8_API int32_t GetDcOffsetCh1TQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t GetDcOffsetCh2TQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t GetDcOffsetCh3TQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t GetDcOffsetCh4TQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetDcOffsetCh1TQ8(TQ8_HANDLE handle, int32_t offset);
TQ8_API int32_t SetDcOffsetCh2TQ8(TQ8_HANDLE handle, int32_t offset);
TQ8_API int32_t SetDcOffsetCh3TQ8(TQ8_HANDLE handle, int32_t offset);
TQ8_API int32_t SetDcOffsetCh4TQ8(TQ8_HANDLE handle, int32_t offset);
/* channel 0 = every active channel, 1..4 one channel; target is the code
 * the signal's mean should sit at (128 = mid-scale). */
TQ8_API int32_t CenterSignalTQ8(TQ8_HANDLE handle, int32_t channel, int32_t target);

/* ---- 7. ZAB -------------------------------------------------------------------- */
/* 0..7, 0 = ZAB disabled. */
TQ8_API int32_t GetZabBoardNumberTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetZabBoardNumberTQ8(TQ8_HANDLE handle, int32_t number);
/* 0 64-bit, 1 32-bit lower, 2 32-bit upper. */
TQ8_API int32_t GetZabConfigurationTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetZabConfigurationTQ8(TQ8_HANDLE handle, int32_t configuration);
/* 0 acquisition clock, 1 62.5 MHz, 2 125 MHz. */
TQ8_API int32_t GetZabClockTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetZabClockTQ8(TQ8_HANDLE handle, int32_t clock);

/* ---- 8. Time-stamps ------------------------------------------------------------ */
/* 0 none, 1 per segment, 2 per trigger, 3 per digital I/O pulse. */
TQ8_API int32_t GetTimestampModeTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTimestampModeTQ8(TQ8_HANDLE handle, int32_t mode);
/* 0 counts always, 1 pauses while waiting for a trigger. */
TQ8_API int32_t GetTimestampCounterModeTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetTimestampCounterModeTQ8(TQ8_HANDLE handle, int32_t mode);
TQ8_API int32_t GetTimestampFifoDepthTQ8(TQ8_HANDLE handle, uint32_t* depth);
/* Returns the number of entries waiting (0 empty) or a negative code. */
TQ8_API int32_t GetTimestampAvailabilityTQ8(TQ8_HANDLE handle);
/* 1 overflowed, 0 not, TQ8_ERR_TS_OVERFLOW_UNSUPPORTED when the firmware cannot tell. */
TQ8_API int32_t GetTimestampOverflowFlagTQ8(TQ8_HANDLE handle);
/* Reads up to maxCount raw counter values. flags bit 0: read even after an
 * overflow (otherwise an overflowed FIFO gives TQ8_ERR_OUT_OF_BOUNDS).
 * reserved must be 0 and NULL. */
TQ8_API int32_t ReadTimestampDataTQ8(TQ8_HANDLE handle, uint64_t* values, uint32_t maxCount, uint32_t* count,
                                     uint32_t flags, uint32_t reserved, void* reservedPtr);
TQ8_API int32_t ResetTimestampFifoTQ8(TQ8_HANDLE handle);
TQ8_API int32_t ResetTimestampCounterTQ8(TQ8_HANDLE handle);

/* ---- 9. FPGA processing ------------------------------------------------------------ */
TQ8_API int32_t GetBoardProcessingEnableTQ8(TQ8_HANDLE handle, int32_t cached);
TQ8_API int32_t SetBoardProcessingEnableTQ8(TQ8_HANDLE handle, int32_t enable);
TQ8_API int32_t SetBoardProcessingParamTQ8(TQ8_HANDLE handle, uint16_t index, uint16_t value);
/* Decimation by 2^n, n 0..13. */
TQ8_API int32_t FLPC2_SetDecimationFactorTQ8(TQ8_HANDLE handle, uint32_t exponent);
/* 0 .. effective rate / 2 MHz. */
TQ8_API int32_t FLPC2_SetNcoFrequencyTQ8(TQ8_HANDLE handle, double mhz);
TQ8_API int32_t FLPC4_GetFftSizeLimitsTQ8(TQ8_HANDLE handle, uint32_t* minSize, uint32_t* maxSize);
/* A power of two within the limits. */
TQ8_API int32_t FLPC4_SetFftSizeTQ8(TQ8_HANDLE handle, uint32_t size);
TQ8_API int32_t FLPC4_SetMagnitudeSquaredEnableTQ8(TQ8_HANDLE handle, int32_t enable);
TQ8_API int32_t FLPC4_SetZeroPadPointsTQ8(TQ8_HANDLE handle, uint32_t points);
/* 129 taps; flags 0. */
TQ8_API int32_t FLPC5_LoadCoefficientsTQ8(TQ8_HANDLE handle, const int16_t* taps129, uint32_t flags);
/* 65 taps per channel; flags 0. */
TQ8_API int32_t FLPC6_LoadCoefficientsCh1TQ8(TQ8_HANDLE handle, const int16_t* taps65, uint32_t flags);
TQ8_API int32_t FLPC6_LoadCoefficientsCh2TQ8(TQ8_HANDLE handle, const int16_t* taps65, uint32_t flags);

/* ---- 10. Acquisition and operating mode -------------------------------------------- */
/* Blocks until count samples from start are in board memory. Ends with
 * TQ8_ERR_CANCELLED when standby is set on any handle of the board.
 * reserved arguments must be 0. */
TQ8_API int32_t AcquireToBoardRamTQ8(TQ8_HANDLE handle, uint32_t start, uint32_t count, uint32_t reserved1,
                                     uint32_t reserved2);
/* Boards with TQ8_FEATURE_ZAB only. */
TQ8_API int32_t AcquireToZabTQ8(TQ8_HANDLE handle, uint32_t count, uint32_t reserved1, uint32_t reserved2,
                                uint32_t reserved3);
TQ8_API int32_t TransferSampleRamToZabTQ8(TQ8_HANDLE handle, uint32_t start, uint32_t count, uint32_t reserved1,
                                          uint32_t reserved2);
/* Mode 1 (standby) also ends a running acquisition or transfer. */
TQ8_API int32_t SetOperatingModeTQ8(TQ8_HANDLE handle, int32_t mode);
TQ8_API int32_t GetSamplesCompleteFlagTQ8(TQ8_HANDLE handle);
TQ8_API int32_t GetFifoFullFlagTQ8(TQ8_HANDLE handle);
TQ8_API int32_t SetPowerupDefaultsTQ8(TQ8_HANDLE handle);
TQ8_API int32_t RewriteHardwareSettingsTQ8(TQ8_HANDLE handle);
TQ8_API int32_t CopyHardwareSettingsTQ8(TQ8_HANDLE destination, TQ8_HANDLE source);
/* .tq8set files (XML, UTF-8). The path is on the calling computer. flags 0. */
TQ8_API int32_t LoadSettingsFromFileXmlWTQ8(TQ8_HANDLE handle, uint32_t flags, const wchar_t* path);
/* Why LoadSettingsFromFileXmlWTQ8 would refuse the file for this board,
 * applying nothing: its result, with *reason (free with FreeMemoryTQ8) the
 * file reader's reason, the XML parser's line and message, or the element
 * and the value the board does not take; *reason NULL when the code says
 * all (0, or text that is no settings element). */
TQ8_API int32_t GetSettingsFileErrorWTQ8(TQ8_HANDLE handle, const wchar_t* path, wchar_t** reason);
/* The same for settings text that LoadSettingsFromStringXmlATQ8 refuses. */
TQ8_API int32_t GetSettingsStringErrorATQ8(TQ8_HANDLE handle, const char* text, wchar_t** reason);
/* encoding: NULL or "UTF-8". A file that cannot be written gives
 * TQ8_ERR_FILE_WRITE with errno set to the system's reason; errno is 0 after
 * any other result. */
TQ8_API int32_t SaveSettingsToFileXmlWTQ8(TQ8_HANDLE handle, uint32_t flags, const wchar_t* path,
                                          const char* encoding);
/* *text: exactly one XML element, no declaration, UTF-8; free with FreeMemoryTQ8. */
TQ8_API int32_t SaveSettingsToStringXmlATQ8(TQ8_HANDLE handle, uint32_t flags, char** text);
TQ8_API int32_t LoadSettingsFromStringXmlATQ8(TQ8_HANDLE handle, uint32_t flags, const char* text);

/* ---- 11. Sample RAM reads and DMA buffers ------------------------------------------ */
/* Total sample positions of board memory (both SDRAMs). */
TQ8_API int32_t GetSampleRamSizeTQ8(TQ8_HANDLE handle, uint32_t* samples);
/* Asynchronous reads (async 1) only start; finish with
 * WaitForTransferCompleteTQ8. The buffer must stay valid until the wait or a
 * standby has returned; nothing is written into it afterwards. */
TQ8_API int32_t ReadSampleRamBufTQ8(TQ8_HANDLE handle, uint32_t first, uint32_t count, uint8_t* buffer,
                                    int32_t async);
/* Reads into a buffer from AllocateDmaBufferTQ8. */
TQ8_API int32_t ReadSampleRamFastTQ8(TQ8_HANDLE handle, uint32_t first, uint32_t bytes, uint8_t* dmaBuffer,
                                     int32_t async);
/* Fills the DMA buffer with freshly acquired samples (mode 4). */
TQ8_API int32_t GetPciAcquisitionDataFastTQ8(TQ8_HANDLE handle, uint32_t bytes, uint8_t* dmaBuffer, int32_t async);
/* 0 done (also when nothing was pending), TQ8_ERR_TIMEOUT, or the transfer's failure. */
TQ8_API int32_t WaitForTransferCompleteTQ8(TQ8_HANDLE handle, uint32_t timeoutMs);
TQ8_API int32_t AllocateDmaBufferTQ8(TQ8_HANDLE handle, uint32_t bytes, uint8_t** buffer);
TQ8_API int32_t FreeDmaBufferTQ8(TQ8_HANDLE handle, uint8_t* buffer);
TQ8_API int32_t InitRecordedDataInfoTQ8(TQ8_HANDLE handle, TQ8_RECORDED_DATA_INFO* info);
/* Save count samples to the files of a file-write record (formats with the
 * TQ8_FWP_* flags): from board memory at start (Buf), the same through a DMA
 * buffer of the handle used in pieces of bufferBytes (Fast), or from the
 * caller's buffer (_DumpRawData). The data format is the board's active
 * channels, or Fwp_chanSel with TQ8_FWP_ASSUME_FORMAT. Time-stamp files get
 * what the board's FIFO holds. Blocks until done; the record's progress
 * call-back can cancel (TQ8_ERR_CANCELLED, the files then hold what was
 * written, flushed). A count of 0 or a malformed record:
 * TQ8_ERR_INVALID_ARG before any call-back; a file that cannot be written:
 * TQ8_ERR_FILE_WRITE with errno set to the system's reason (0 for none;
 * errno is 0 after any other result). The files take their places only
 * when all is written: a failed save (a full disk) leaves no part of a file
 * and keeps the files it would have replaced. A FIFO, a device or a folder
 * where a file should go is refused at once (TQ8_ERR_FILE_WRITE, errno
 * EINVAL); nothing blocks on it. Paths are of this computer; a backslash separates
 * folders. Remote boards write on their server: paths in the drive-letter
 * form of its served folders (others: TQ8_ERR_PATH_NOT_SERVED, nothing
 * written), of at most 249 characters, so that every file made from them
 * can be removed through the server's file service (longer:
 * TQ8_ERR_FILE_WRITE, nothing written); the call-back runs here as each
 * piece is written there. Recordings of remote boards take the same paths. */
TQ8_API int32_t ReadSampleRamFileBufTQ8(TQ8_HANDLE handle, uint32_t start, uint32_t count,
                                        const TQ8_FILE_WRITE_PARAMS* fwp);
TQ8_API int32_t ReadSampleRamFileFastTQ8(TQ8_HANDLE handle, uint32_t start, uint32_t count, uint8_t* dmaBuffer,
                                         uint32_t bufferBytes, const TQ8_FILE_WRITE_PARAMS* fwp);
TQ8_API int32_t _DumpRawDataTQ8(TQ8_HANDLE handle, const uint8_t* buffer, uint32_t count,
                                const TQ8_FILE_WRITE_PARAMS* fwp);
/* Why a save of the board into the files of the record would be refused
 * before a file is opened (the record's options, a remote board's paths):
 * the result, with *reason as for GetRecordingSessionErrorWTQ8. A file that
 * cannot be written is not checked: that the save itself tells (errno). */
TQ8_API int32_t GetFileWriteErrorWTQ8(TQ8_HANDLE handle, const TQ8_FILE_WRITE_PARAMS* fwp, wchar_t** reason);

/* ---- 12. Recording sessions ------------------------------------------------------ */
/* A recording session streams one board's samples to the files of its
 * file-write record on a thread of the library. Opaque; NULL is never a
 * valid session. Like a handle it is a tagged id: a deleted or made-up
 * session gives TQ8_ERR_INVALID_HANDLE.
 *
 * The files are written as the file-write record says (TQ8_FWP_* flags).
 * Fwp_path1 itself is replaced when it exists (unless appending); a segment
 * file never is: a taken name fails the session. The files are written in
 * place as the recording goes, so a recording that ends midway keeps what
 * it wrote; a FIFO, a device or a folder where a file should go fails the
 * session at once ("not a regular file"). With Fwp_flags 0x100 or
 * 0x200 a context file "<first data file>.vrdc" (UTF-8 XML) describes the
 * recording and lists its files. The progress call-back is not used.
 *
 * A session ends when Rsp_samplesToRecord samples are written (0: no
 * limit), on AbortRecordingSessionTQ8, on standby from any handle of the
 * board, on a failure, and when the handle it was created with is
 * disconnected (the session is then freed too). Its files are then complete
 * and flushed. A standby that ends a session short of a non-zero
 * Rsp_samplesToRecord fails it with TQ8_ERR_CANCELLED and a text telling
 * how many samples were recorded. Rsp_transferSamples 0 moves 4 MiB (or the
 * whole acquisition when smaller) per transfer; other sizes below
 * TQ8_REC_MIN_TRANSFER_SAMPLES are raised to it. Transfers are whole frames
 * of the active channels and fit the library's ring; the size used is in
 * the progress record's Rpr_transferSamples and the context file's
 * TransferSamples. While it records, the board
 * takes no other acquisition (TQ8_ERR_BUSY) and InIdleModeTQ8 is 0. The
 * final context file's Result says how it ended: "completed" at its
 * Rsp_samplesToRecord, "stopped" when an abort (or, without a limit, a
 * standby) ended it first, "failed". */
typedef struct TQ8_REC_SESSION_TAG* TQ8_REC_SESSION;

/* Checks and copies the record (and the file-write record and texts it
 * points to; the caller may free them on return); the session starts when
 * armed. TQ8_ERR_INVALID_ARG for a malformed record (an acquisition smaller
 * than a frame of the active channels,
 * a snapshot of no samples, a segment with no room for a frame after its
 * header, spanning text files), TQ8_ERR_OUT_OF_BOUNDS
 * for an acquisition larger than board memory, TQ8_ERR_BUSY when the board
 * already has a session (until it is deleted) or is not idle. */
TQ8_API int32_t CreateRecordingSessionTQ8(TQ8_HANDLE handle, const TQ8_REC_SESSION_PARAMS* params,
                                          TQ8_REC_SESSION* session);
/* Why CreateRecordingSessionTQ8 would refuse the record on the handle: its
 * result, with *reason (free with FreeMemoryTQ8) naming the setting at fault
 * and its value, or for a remote board the path its server does not take
 * and why; *reason NULL when the result says all, and 0 with NULL when the
 * record is taken. A remote board's server is asked. */
TQ8_API int32_t GetRecordingSessionErrorWTQ8(TQ8_HANDLE handle, const TQ8_REC_SESSION_PARAMS* params,
                                             wchar_t** reason);
/* Starts recording with the board's settings of this moment. Once per
 * session (later: TQ8_ERR_WRONG_MODE). A file that cannot be written fails
 * the session (status 3, TQ8_ERR_FILE_WRITE), not this call. */
TQ8_API int32_t ArmRecordingSessionTQ8(TQ8_REC_SESSION session);
/* Copies the newest snapshot (at most maxSamples interleaved samples) into
 * buffer; *samples is the number copied, 0 when none is available yet;
 * *counter changes with every new snapshot. Either out-pointer may be NULL. */
TQ8_API int32_t GetRecordingSnapshotTQ8(TQ8_REC_SESSION session, uint8_t* buffer, uint32_t maxSamples,
                                        uint32_t* samples, uint32_t* counter);
/* Fills the progress record; the caller sets Rpr_ss to its size. Status 0
 * before arming. Elapsed time is the board's (simulated) time. */
TQ8_API int32_t GetRecordingSessionProgressTQ8(TQ8_REC_SESSION session, TQ8_REC_SESSION_PROGRESS* progress,
                                               uint32_t flags);
/* Ends a running session (the files written so far are complete and kept),
 * putting the board in standby, and returns once the session's thread has
 * ended. Fine on a session that has finished. */
TQ8_API int32_t AbortRecordingSessionTQ8(TQ8_REC_SESSION session);
/* TQ8_REC_OUT_* bits of the session. */
TQ8_API int32_t GetRecordingSessionOutFlagsTQ8(TQ8_REC_SESSION session, uint32_t* flags);
/* Aborts when still running, waits for the session's thread and frees it. */
TQ8_API int32_t DeleteRecordingSessionTQ8(TQ8_REC_SESSION session);

/* ---- Recorded data files and their context files ----------------------------------- */
/* Fills the 88-byte record (the caller sets size to 88) and *notes (the
 * operator notes, free with FreeMemoryTQ8; NULL when none) from the context
 * file "<path>.vrdc" of a data file. Without a readable context file:
 * TQ8_ERR_FILE_UNREADABLE (missing or unreadable) or TQ8_ERR_CONTEXT_DAMAGED
 * (not well-formed, or not a context file), *notes NULL and a record of
 * defaults (one channel, 8-bit unsigned samples, no header), so the caller
 * can still take the data as the file's bytes. notes may be NULL. */
TQ8_API int32_t GetRecordedDataInfoWTQ8(const wchar_t* path, TQ8_RECORDED_DATA_INFO* info, wchar_t** notes);

/* An open context file; a tagged id like a device handle. */
typedef struct TQ8_VRDC_TAG* TQ8_VRDC_HANDLE;
/* Opens the context file of a data file (path + ".vrdc") or, for a path
 * ending in ".vrdc", that file itself. handle: unused (context files are
 * files of this computer), may be NULL; flags: any value (callers pass 10).
 * The items are read at once: TQ8_ERR_FILE_UNREADABLE when the file is
 * missing or cannot be read, TQ8_ERR_CONTEXT_DAMAGED when it is not
 * well-formed or not a context file. */
TQ8_API int32_t OpenVrdcFileWTQ8(TQ8_HANDLE handle, TQ8_VRDC_HANDLE* vrdc, const wchar_t* path, uint32_t flags);
/* Why the context file that OpenVrdcFileWTQ8 would open for the path cannot
 * be read: its result, with *reason (free with FreeMemoryTQ8) the file
 * reader's reason or the XML parser's line and message; 0 and *reason NULL
 * when it reads. A file that is there but cannot be read (a folder of that
 * name, no permission, a FIFO) gives TQ8_ERR_CONTEXT_UNREADABLE, one that is
 * not there TQ8_ERR_FILE_UNREADABLE. */
TQ8_API int32_t GetVrdcFileErrorWTQ8(const wchar_t* path, wchar_t** reason);
/* *names: the item (element) names in file order, separated by single
 * blanks; free with FreeMemoryTQ8. flags: 0. */
TQ8_API int32_t EnumVrdcItemsWTQ8(TQ8_VRDC_HANDLE vrdc, wchar_t** names, uint32_t flags);
/* *value: the item's text (free with FreeMemoryTQ8); TQ8_ERR_XML_ITEM_MISSING
 * for a name the file does not have. */
TQ8_API int32_t GetVrdcItemWTQ8(TQ8_VRDC_HANDLE vrdc, const wchar_t* name, wchar_t** value);
TQ8_API int32_t CloseVrdcFileTQ8(TQ8_VRDC_HANDLE vrdc);

/* ---- 13. Configuration EEPROM and register cache ------------------------------------ */
/* 0 when the EEPROM image is consistent, TQ8_ERR_EEPROM_INVALID when not,
 * another code when it cannot be read. Consistent: word 0x7A holds the
 * signature 0x5A5A and word 127 the 16-bit wrapping sum of words 0..126.
 * Word meanings: platform/board/BoardDescription.h. */
TQ8_API int32_t ValidateConfigEepromTQ8(TQ8_HANDLE handle);
/* One EEPROM word, 0..127 (others TQ8_ERR_OUT_OF_BOUNDS). A write does not
 * touch the checksum word: after changing a word the caller writes word 127
 * as the sum of words 0..126. */
TQ8_API int32_t InternReadConfigEepromTQ8(TQ8_HANDLE handle, uint32_t word, uint16_t* value);
TQ8_API int32_t InternWriteConfigEepromTQ8(TQ8_HANDLE handle, uint32_t word, uint16_t value);
/* Re-reads the library's copy of the board's registers: from the hardware
 * (fromHardware nonzero) or from the driver's copy (0). Simulated boards have neither a driver in between nor
 * a copy that can go stale: the sets are built from the board at every
 * GetRegSetTQ8, so both succeed and change nothing. */
TQ8_API int32_t RefreshLocalRegisterCacheTQ8(TQ8_HANDLE handle, int32_t fromHardware);

/* Register sets of GetRegSetTQ8 and their word counts:
 * 0 device registers 00..0D, then the time-stamp counter high and low word;
 * 1, 2 clock generator 1, 2: one byte per chip register, placed by
 *   (logical index 0..19, byte 0..3):
 *   0: 000 004 | 1: 010-013 | 2: 014-017 | 3: 018-01B | 4: 01C-01F |
 *   5..8: 0A0-0A2, 0A3-0A5, 0A6-0A8, 0A9-0AB | 9: 0F0-0F3 | 10: 0F4 0F5 |
 *   11: 140-143 | 12..14: 190-192, 193-195, 196-198 | 15: 199 |
 *   16: 19A-19D | 17: 19E | 18: 19F-1A2 | 19: 1E0 1E1 230;
 * 3, 4 ADC chip 1, 2: two 16-bit chip registers per word, placed by
 *   (logical index, sub-index 0 low half / 1 high half):
 *   0 (0,0) 1 (0,1) 2 (1,0) 3 (1,1) 9 (2,0) A (3,0) B (3,1) E (4,0) F (4,1).
 * Device-register fields that mirror settings (a write to them changes the
 * setting): 0 segment size; 1 memory-region count (bits 0-18 count/4096,
 * 20-24 (count/128) mod 32, 25 a count of 2^31); 2 region start / 16 (bits
 * 0-26); 3 delay (0-15) and pre-trigger samples (16-31); 4 levels A (0-7)
 * and B (8-15), trigger mode (16-17), directions A/B/external (20-22),
 * source (25-27); 5 auto DCM reset unless overridden (3), ADC clock source
 * (17-18), post-ADC divider exponent (19-23), interleaving (29, read only);
 * 6 digital I/O mode (1-3) and enable (4), active channels (12-15), route to
 * SDRAM2 (20), time-stamp mode (28-30) and counter mode (31); 9 ZAB board
 * number (0-3), clock (6-7), configuration (8-9); 10 processing parameter
 * index (0-15) and value (16-31). */
#define TQ8_REGSET_DEVICE_WORDS 16
#define TQ8_REGSET_CLOCKGEN_WORDS 20
#define TQ8_REGSET_ADC_WORDS 5

/* *words: the set's words (count above), owned by the library: a copy per
 * handle, valid until the next GetRegSetTQ8 of the same set on the same
 * handle or until the handle is disconnected. Sets outside 0..4:
 * TQ8_ERR_INVALID_ARG. */
TQ8_API int32_t GetRegSetTQ8(TQ8_HANDLE handle, int32_t set, const uint32_t** words);
/* Writes chip register reg of ADC 0 or 1 (bits of mask) and its place in
 * set 3 or 4; (logIdx, subIdx) must be the register's own placement, else
 * TQ8_ERR_INVALID_ARG and nothing changes. Delays in microseconds before
 * and after the write, at most 1000000. */
TQ8_API int32_t WriteAdcRegTQ8(TQ8_HANDLE handle, int32_t adc, uint32_t reg, uint32_t mask, uint16_t value,
                               uint32_t logIdx, uint32_t subIdx, uint32_t delayBeforeUs, uint32_t delayAfterUs);
/* Clock generator 0 or 1, chip register 0x000..0x230 at its own placement.
 * source 2 reads the chip, any other value the library's image (the same on
 * simulated boards). */
TQ8_API int32_t ReadClockGenRegTQ8(TQ8_HANDLE handle, int32_t cg, uint32_t reg, uint32_t logIdx, uint32_t byteIdx,
                                   uint8_t* value, uint32_t source);
/* Changes the bits of mask (low 8 bits); update nonzero sends the chip's
 * update command afterwards. */
TQ8_API int32_t WriteClockGenRegTQ8(TQ8_HANDLE handle, int32_t cg, uint32_t reg, uint32_t mask, uint8_t value,
                                    uint32_t logIdx, uint32_t byteIdx, uint32_t delayBeforeUs, uint32_t delayAfterUs,
                                    uint32_t update);
/* Device registers 0..15 (set 0). source: 2 or 3 read the hardware, others
 * the library's copy (the same on simulated boards); reserved 0. Writes
 * change the bits of mask; registers 11 (operating mode) and 13..15 (status,
 * time-stamps) are read-only: TQ8_ERR_INVALID_ARG. Register 6 bit 0 is the
 * RAM bypass, register 5 bit 28 the ADC synchronisation pulse. */
TQ8_API int32_t ReadDeviceRegTQ8(TQ8_HANDLE handle, uint32_t reg, uint32_t* value, uint32_t source,
                                 uint32_t reserved);
TQ8_API int32_t WriteDeviceRegTQ8(TQ8_HANDLE handle, uint32_t reg, uint32_t mask, uint32_t value,
                                  uint32_t delayBeforeUs, uint32_t delayAfterUs, uint32_t reserved);
/* Uncached register access by window: BAR 0 DMA registers 0..16; BAR 1
 * device registers 0..63 (0..15 as above, 8 SDRAM1 input delay, 10 also the
 * secondary serial port for values whose low half is 0x8000 or more
 * (0x8006: SDRAM2 input delay), 16 offset DAC, 17/18 ADC serial ports, 32/48
 * clock-generator serial ports); BAR 2 configuration 0..7 (0 EEPROM lines,
 * 1 JTAG lines, 4 identification, read-only). Other windows
 * TQ8_ERR_INVALID_ARG, indexes beyond a window TQ8_ERR_OUT_OF_BOUNDS. */
TQ8_API int32_t _RawRegReadTQ8(TQ8_HANDLE handle, int32_t bar, uint32_t reg, uint32_t* value);
TQ8_API int32_t _RawRegWriteTQ8(TQ8_HANDLE handle, int32_t bar, uint32_t reg, uint32_t value);
/* Offset trim of channel 0..3 in its ADC chip, -255..255 (about +-45 mV). */
TQ8_API int32_t _SetAdcChanOffsetAdjTQ8(TQ8_HANDLE handle, int32_t channel, int32_t value);
/* Input-delay taps (0..63) of the external trigger. */
TQ8_API int32_t WriteRegExternalTriggerClockIDelay(TQ8_HANDLE handle, uint32_t taps);

/* ---- Firmware ------------------------------------------------------------------ */
/* Version record of a firmware package (20 bytes). The caller sets size. */
typedef struct TQ8_FW_VERSION_INFO {
    uint32_t size;
    uint32_t version;  /* package version, four 8-bit parts; 0x63000000 mixed firmware */
    uint32_t custom;   /* custom firmware id, 0 none */
    uint32_t reserved;
    uint32_t flags;    /* bit 0: a verify package */
} TQ8_FW_VERSION_INFO;

#ifdef __cplusplus
static_assert(sizeof(TQ8_FW_VERSION_INFO) == 20, "record layout");
static_assert(offsetof(TQ8_FW_VERSION_INFO, version) == 4, "record layout");
static_assert(offsetof(TQ8_FW_VERSION_INFO, custom) == 8, "record layout");
static_assert(offsetof(TQ8_FW_VERSION_INFO, flags) == 16, "record layout");
#endif

/* Firmware files (packages and .xsvf images) larger than this are refused
 * with TQ8_ERR_FILE_UNREADABLE, as is anything but a regular file. */
#define TQ8_FW_MAX_FILE_BYTES (256ull << 20)

/* Out flags of UploadFirmwareWTQ8. */
#define TQ8_FW_OUT_SHUT_DOWN 0x1u  /* the new firmware runs after a shut-down */
#define TQ8_FW_OUT_RESTART 0x2u    /* the new firmware runs after a restart */
#define TQ8_FW_OUT_UP_TO_DATE 0x4u /* every image already matched: nothing written */
#define TQ8_FW_OUT_VERIFIED 0x8u   /* a verify package matched: nothing written */

/* Progress of an upload, called on the uploading thread: handle, the
 * caller's context, position within range, then the file index (1..count)
 * and the file count; or file index 0 and the wait in milliseconds before
 * the new firmware is ready (0: the wait is over). */
typedef void (*TQ8_FW_PROGRESS_CALLBACK)(TQ8_HANDLE handle, void* context, uint32_t position, uint32_t range,
                                         int32_t fileIndex, uint32_t countOrWaitMs);

/* Reads the package's manifest (or takes an .xsvf file: version 0). */
TQ8_API int32_t QueryFirmwareVersionInfoWTQ8(const wchar_t* path, TQ8_FW_VERSION_INFO* info);
/* Uploads a package (.tq8fw) or an .xsvf image (into the user FPGA);
 * flags 0; callback may be NULL. Blocks until done; it cannot be
 * cancelled. A verify package writes nothing: TQ8_FW_OUT_VERIFIED when the
 * board's images match it, else TQ8_ERR_FW_VERIFY_MISMATCH. A failure part
 * of the way leaves the part being written with an unknown version until a
 * later upload succeeds. Remote boards: the file is checked here (a damaged
 * one is refused before anything is sent), then uploaded by the server to
 * its board, with the call-backs called here as the server reports them. */
TQ8_API int32_t UploadFirmwareWTQ8(TQ8_HANDLE handle, const wchar_t* path, uint32_t flags, uint32_t* outFlags,
                                   TQ8_FW_PROGRESS_CALLBACK callback, void* context);
/* The identification codes of the board's JTAG scan chain as "0x%08X" texts
 * separated by blanks (free with FreeMemoryTQ8); an empty text when the
 * scan chain cannot be reached (jumper JP1 not set). Remote boards: their
 * server's board. */
TQ8_API int32_t GetJtagIdCodesATQ8(TQ8_HANDLE handle, char** text);

/* ---- 14. ADC calibration and driver statistics ------------------------------------- */
/* The driver's counters of one board (40 bytes). The caller sets size to 40. */
typedef struct TQ8_DRIVER_STATS {
    uint32_t size;
    int32_t activeConnections;      /* open handles of the board */
    uint32_t interrupts;
    uint32_t dmaTransfersCompleted;
    uint32_t dmaTransfersStarted;   /* each chunk of a sample-memory read counts */
    uint32_t acquisitionsStarted;
    uint32_t acquisitionsCompleted; /* samples-complete interrupts */
    uint32_t clockModuleResets;
    uint64_t bytesTransferred;      /* moved by DMA */
} TQ8_DRIVER_STATS;

#ifdef __cplusplus
static_assert(sizeof(TQ8_DRIVER_STATS) == 40, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, activeConnections) == 4, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, interrupts) == 8, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, dmaTransfersCompleted) == 12, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, dmaTransfersStarted) == 16, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, acquisitionsStarted) == 20, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, acquisitionsCompleted) == 24, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, clockModuleResets) == 28, "record layout");
static_assert(offsetof(TQ8_DRIVER_STATS, bytesTransferred) == 32, "record layout");
#endif

/* Calibrates ADC chip adcIndex (0 or 1; others TQ8_ERR_INVALID_ARG); takes
 * about 10 ms of simulated time, during which the chip's calibration bit
 * (register 0 bit 15 in set 3 or 4) is set and the board takes no
 * acquisition. TQ8_ERR_BUSY while the board acquires, transfers or records. */
TQ8_API int32_t CalibrateAdcTQ8(TQ8_HANDLE handle, int32_t adcIndex);
/* Fills offsets 4..39 of the record; the caller's size (at least 40, else
 * TQ8_ERR_INVALID_ARG) stays. reset nonzero zeroes the counters after they
 * are copied, all but the open handles. Clock-module resets count
 * SyncFirmwareToAdcClockTQ8(h, 1) and the automatic reset before the first
 * acquisition after a clock change (none with the override set). */
TQ8_API int32_t GetDriverStatsTQ8(TQ8_HANDLE handle, TQ8_DRIVER_STATS* stats, int32_t reset);

/* ---- 17. Errors and memory ------------------------------------------------------------ */
/* 0 and a text to free with FreeMemoryTQ8; nonzero for an unknown code.
 * handle may be NULL. */
TQ8_API int32_t GetErrorTextWTQ8(int32_t code, wchar_t** text, uint32_t flags, TQ8_HANDLE handle);
/* Frees what the library handed out. NULL is fine; unknown pointers are
 * refused (TQ8_ERR_INVALID_ARG) and left alone. */
TQ8_API int32_t FreeMemoryTQ8(void* memory);

#ifdef __cplusplus
} /* extern "C" */
#endif
