#include "HardwareDetection.h"

#include <string>

#include "DeviceErrorBox.h"
#include "FwGenControls.h"
#include "MessageBox.h"
#include "TQ8_64.h"

namespace {

constexpr uint32_t kFpgaTypeEepromWord = 93;

std::wstring DisplayNameOrSerial(TQ8_HANDLE handle)
{
    std::wstring name = BoardDisplayName(handle);
    if (name.empty()) {
        uint32_t serial = 0;
        GetSerialNumberTQ8(handle, &serial);
        name = L"TQ3300 #" + std::to_wstring(serial);
    }
    return name;
}

} // namespace

int DetectFpgaTypeFromHardware()
{
    if (GetDeviceCountTQ8() <= 0) {
        vlt::ShowMessageBox(L"No TQ3300 devices were detected in the system", MB_OK | MB_ICONWARNING);
        return -1;
    }
    TQ8_HANDLE handle = nullptr;
    int32_t rc = ConnectToDeviceTQ8(&handle, 1);
    if (rc != 0) {
        ShowDeviceErrorBox(rc, L"Failed to connect to TQ3300 device: ");
        return -1;
    }
    const std::wstring name = DisplayNameOrSerial(handle);
    uint16_t word = 0;
    rc = GetEepromDataTQ8(handle, kFpgaTypeEepromWord, &word, 1);
    if (rc != 0) {
        ShowDeviceErrorBox(rc, L"Failed to read TQ3300 configuration EEPROM: ", handle);
        DisconnectFromDeviceTQ8(handle);
        return -1;
    }
    DisconnectFromDeviceTQ8(handle);
    // The type list has two entries: any other value is a type this program
    // does not know, and selecting it would leave the list without a choice.
    if (word != kFpgaVirtex5LX50 && word != kFpgaVirtex5SX95T) {
        vlt::ShowMessageBox(name + L" has unknown FPGA type (" + std::to_wstring(word)
                                + L"). This software may not be up to date.",
                            MB_OK | MB_ICONWARNING);
        return -1;
    }
    vlt::ShowMessageBox(L"Device consulted: " + name + L"\n\nFPGA type updated", MB_OK | MB_ICONINFORMATION);
    return word;
}
