#include "ErrorTexts.h"

#include "TQ8_64.h"

namespace tq8 {

namespace {
struct Entry {
    int32_t code;
    const wchar_t* text;
};

constexpr Entry kTexts[] = {
    {TQ8_OK, L"The operation completed successfully"},
    {TQ8_ERR_GENERAL, L"The operation failed"},
    {TQ8_ERR_INVALID_ARG, L"Invalid or missing argument"},
    {TQ8_ERR_OUT_OF_BOUNDS, L"Value or range out of bounds"},
    {TQ8_ERR_INVALID_HANDLE, L"Invalid device handle"},
    {TQ8_ERR_NO_MEMORY, L"Out of memory"},
    {TQ8_ERR_DMA_BUFFER, L"Invalid or unavailable DMA buffer"},
    {TQ8_ERR_DEVICE_NOT_FOUND, L"No TQ3300 device with this serial or ordinal number"},
    {TQ8_ERR_NOT_SUPPORTED, L"Operation not supported by this device or library"},
    {TQ8_ERR_WRONG_MODE, L"Operation not valid in the current operating mode"},
    {TQ8_ERR_CANCELLED, L"Operation cancelled"},
    {TQ8_ERR_BUSY, L"Device is busy (not in idle mode)"},
    {TQ8_ERR_FILE_UNREADABLE, L"File could not be read"},
    {TQ8_ERR_BAD_SETTINGS, L"Settings data is not valid for this device"},
    {TQ8_ERR_RATE_TOO_LOW, L"Acquisition rate is below the minimum"},
    {TQ8_ERR_RATE_TOO_HIGH, L"Acquisition rate is above the maximum"},
    {TQ8_ERR_UNSUPPORTED_ACQ, L"Unsupported acquisition operation"},
    {TQ8_ERR_TIMEOUT, L"Timed out waiting for the transfer to complete"},
    {TQ8_ERR_XML_ITEM_MISSING, L"A required XML item is missing"},
    {TQ8_ERR_SERVICE_RESULT_MISSING, L"The service response carries no result"},
    {TQ8_ERR_MANIFEST_INVALID, L"The firmware package manifest is not valid"},
    {TQ8_ERR_FILE_WRITE, L"File could not be written"},
    {TQ8_ERR_SOURCE_UNREADABLE, L"Source file could not be read"},
    {TQ8_ERR_CONTEXT_DAMAGED, L"The recording context file is damaged"},
    {TQ8_ERR_CONTEXT_UNREADABLE, L"The recording context file could not be read"},
    {TQ8_ERR_TS_FIFO_OVERFLOW, L"The time-stamp FIFO overflowed"},
    {TQ8_ERR_SAMPLES_LOST, L"Sample data was lost while recording"},
    {TQ8_ERR_TS_OVERFLOW_UNSUPPORTED, L"Time-stamp overflow detection is not supported by the device firmware"},
    {TQ8_ERR_FW_PACKAGE_DAMAGED, L"The firmware file is damaged or not a firmware package"},
    {TQ8_ERR_FW_ENTRY_TOO_LARGE, L"A file in the firmware package is too large"},
    {TQ8_ERR_FW_WRONG_FPGA, L"The firmware package holds a ZAB FPGA image for another FPGA type than this board's"},
    {TQ8_ERR_FW_VERIFY_MISMATCH, L"The firmware image in the verify file does not match the loaded firmware"},
    {TQ8_ERR_EEPROM_INVALID, L"Configuration EEPROM validation failed"},
    {TQ8_ERR_SERVER_UNREACHABLE, L"Could not connect to the board service of the server"},
    {TQ8_ERR_CONNECTION_LOST, L"Connection to the server lost"},
    {TQ8_ERR_BAD_REPLY, L"The server's reply is malformed or too large"},
    {TQ8_ERR_SERVER_REFUSED, L"The server refused the request"},
    {TQ8_ERR_PATH_NOT_SERVED, L"The path is outside the folders the server shares"},
    {TQ8_ERR_TOO_MANY_BOARDS, L"The connection has opened as many boards as the server allows"},
    {TQ8_ERR_SERVER_ADDRESS_INVALID,
     L"The server address is not a valid IP address (four numbers from 0 to 255 separated by dots)"},
    {TQ8_ERR_SERVER_NOT_FOUND, L"The server name could not be resolved to an address"},
    {TQ8_ERR_SETTINGS_NOT_RESTORED,
     L"Connection to the server was lost and the board's settings could not be restored"},
    {TQ8_ERR_DRIVER_FAILURE, L"The board driver reported a failure"},
    {TQ8_ERR_DEVICE_REMOVED, L"The device was removed"},
};

std::wstring Grouped(uint64_t value)
{
    const std::wstring digits = std::to_wstring(value);
    std::wstring out;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0)
            out += L',';
        out += digits[i];
    }
    return out;
}
} // namespace

std::wstring SampleCountText(uint64_t count)
{
    return Grouped(count) + (count == 1 ? L" sample" : L" samples");
}

std::wstring ByteCountText(uint64_t count)
{
    return Grouped(count) + (count == 1 ? L" byte" : L" bytes");
}

const wchar_t* ErrorText(int32_t code)
{
    for (const Entry& e : kTexts)
        if (e.code == code)
            return e.text;
    return nullptr;
}

} // namespace tq8
