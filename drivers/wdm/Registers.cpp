// Register kinds, serial chip ports and board programming: built with the
// board-programming work (issue 35). Until then the requests answer
// STATUS_NOT_IMPLEMENTED, which the dispatch passes down.
#include "TQ8Driver.h"

using namespace kern;

NTSTATUS IoctlResetAdc(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlWriteReg(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlReadReg(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlResetDcms(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

NTSTATUS IoctlSetOperatingMode(TQ8_DEVICE_EXTENSION*, TQ8_IOCTL&) { return STATUS_NOT_IMPLEMENTED; }

void SetModeNibble(TQ8_DEVICE_EXTENSION*, uint32_t) {}
