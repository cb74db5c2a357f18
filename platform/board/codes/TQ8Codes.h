#pragma once
/*
 * TQ8Codes: the result codes, operating modes and feature bits of the TQ3300
 * device library (TQ8_64.h includes this header). They stand here, below
 * the library, because the card model returns and reads the same numbers.
 */

/* ---- Result codes -------------------------------------------------------- */
#define TQ8_OK 0
#define TQ8_ERR_GENERAL (-1)
#define TQ8_ERR_INVALID_ARG (-2)
#define TQ8_ERR_OUT_OF_BOUNDS (-3)
#define TQ8_ERR_INVALID_HANDLE (-4)
#define TQ8_ERR_NO_MEMORY (-5)
#define TQ8_ERR_DMA_BUFFER (-6)
#define TQ8_ERR_DEVICE_NOT_FOUND (-7)
#define TQ8_ERR_NOT_SUPPORTED (-8)
#define TQ8_ERR_WRONG_MODE (-9)
#define TQ8_ERR_CANCELLED (-10)
#define TQ8_ERR_BUSY (-527)
#define TQ8_ERR_FILE_UNREADABLE (-529)
#define TQ8_ERR_BAD_SETTINGS (-530)
#define TQ8_ERR_RATE_TOO_LOW (-532)
#define TQ8_ERR_RATE_TOO_HIGH (-533)
#define TQ8_ERR_UNSUPPORTED_ACQ (-535)
#define TQ8_ERR_TIMEOUT (-541)
#define TQ8_ERR_XML_ITEM_MISSING (-543)
#define TQ8_ERR_SERVICE_RESULT_MISSING (-544)
#define TQ8_ERR_MANIFEST_INVALID (-551)
#define TQ8_ERR_FILE_WRITE (-552)
#define TQ8_ERR_SOURCE_UNREADABLE (-554)
#define TQ8_ERR_CONTEXT_DAMAGED (-555) /* a recording context file that is not well-formed or not one */
#define TQ8_ERR_CONTEXT_UNREADABLE (-556) /* a recording context file that is there but cannot be read */
#define TQ8_ERR_TS_OVERFLOW_UNSUPPORTED (-572)
#define TQ8_ERR_TS_FIFO_OVERFLOW (-573) /* a recording with TQ8_FWP_FAIL_ON_TS_OVERFLOW */
#define TQ8_ERR_SAMPLES_LOST (-574)     /* a recording lost sample data */
#define TQ8_ERR_FW_PACKAGE_DAMAGED (-580)
#define TQ8_ERR_FW_ENTRY_TOO_LARGE (-581)
#define TQ8_ERR_FW_WRONG_FPGA (-582)
#define TQ8_ERR_FW_VERIFY_MISMATCH (-583)
#define TQ8_ERR_EEPROM_INVALID (-593)
/* Remote boards. */
#define TQ8_ERR_SERVER_UNREACHABLE (-600) /* no board service answered at that server and port */
#define TQ8_ERR_CONNECTION_LOST (-601)
#define TQ8_ERR_BAD_REPLY (-602)          /* malformed, or longer than the service host's limit */
#define TQ8_ERR_SERVER_REFUSED (-603)     /* the service host answered with an error */
#define TQ8_ERR_PATH_NOT_SERVED (-604)    /* outside the folders the server shares */
#define TQ8_ERR_TOO_MANY_BOARDS (-605)    /* the connection has opened as many boards as the server allows */
#define TQ8_ERR_SETTINGS_NOT_RESTORED (-606) /* a lost connection came back, the board's settings did not */
#define TQ8_ERR_SERVER_ADDRESS_INVALID (-607) /* digits and dots, but no IPv4 address: nothing was tried */
#define TQ8_ERR_SERVER_NOT_FOUND (-608)       /* the server's name does not resolve */

/* Local boards: failures of the board driver. */
#define TQ8_ERR_DRIVER_FAILURE (-610) /* a driver status the library has no meaning for */
#define TQ8_ERR_DEVICE_REMOVED (-611) /* the board was removed or stopped while open */

/* ---- Operating modes and feature bits ----------------------------------- */
/* Operating modes. */
#define TQ8_MODE_POWER_DOWN 0
#define TQ8_MODE_STANDBY 1
#define TQ8_MODE_RAM_ACQ 2
#define TQ8_MODE_RESERVED 3 /* the card's own; the library refuses it */
#define TQ8_MODE_PCI_BUFFERED_ACQ 4
#define TQ8_MODE_ZAB_ACQ 5
#define TQ8_MODE_ZAB_BUFFERED_ACQ 6
#define TQ8_MODE_RAM_READ_TO_PCI 7
#define TQ8_MODE_RAM_READ_TO_ZAB 8
#define TQ8_MODE_PCI_WRITE_TO_RAM 9

/* ADC clock sources (Get/SetAdcClockSourceTQ8): the board's synthesizer,
 * the external input through its two dividers, or a master's clock. */
#define TQ8_CLOCK_INTERNAL 0
#define TQ8_CLOCK_EXTERNAL 1
#define TQ8_CLOCK_SLAVE1 2
#define TQ8_CLOCK_SLAVE2 3

/* Feature bits of GetBoardFeaturesTQ8. */
#define TQ8_FEATURE_ZAB 0x1u
#define TQ8_FEATURE_FPGA_PROCESSING 0x8u
