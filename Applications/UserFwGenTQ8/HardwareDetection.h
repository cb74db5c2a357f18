#pragma once
// Reads the FPGA type of the first installed board from its configuration
// EEPROM (word 93) and tells the user what was found.

// The type to select (0 or 1), or -1 when nothing is to change (no board, a
// failure, or a type this program does not know; each has been reported).
int DetectFpgaTypeFromHardware();
