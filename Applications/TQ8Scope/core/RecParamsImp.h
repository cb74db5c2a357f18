#pragma once
// The recording parameters inside the workspace file: the RecParamsImp
// element with the manager's values and one DeviceParams per board.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "CDestFileOpts.h"

class CRecParamsManager;

// What the element holds, read without a board: the values that are there
// and readable, and every DeviceParams entry in order.
struct RecParamsRecords {
    struct Device {
        bool valid = false; // Sn is a number
        uint32_t serial = 0;
        bool optionsValid = false;
        CDestFileOpts options; // read over the defaults
        std::wstring fault;    // which element is at fault; empty when none
    };
    std::optional<uint32_t> flags;
    std::optional<int32_t> recType;
    std::optional<int32_t> recDurType;
    std::optional<uint64_t> durSamples;
    std::optional<uint64_t> durMs;
    std::optional<uint32_t> acqSamples;
    std::optional<uint32_t> snapshotSamples;
    std::optional<uint32_t> snapshotFreqMs;
    std::optional<uint32_t> transferSamples;
    std::vector<Device> devices;
};

RecParamsRecords ReadRecParamsRecords(xmlDocPtr doc, xmlNodePtr element);
// Sets the values and the options of the connected boards; false (with the
// manager's last error text "Invalid TQ3300 workspace file") at the first
// entry without Sn, or with unreadable options for a connected board; fault
// (when given) then says which element is at fault.
bool ApplyRecParamsRecords(CRecParamsManager& manager, const RecParamsRecords& records,
                           std::wstring* fault = nullptr);

// Appends the element (one line, numbers in decimal); false when a board's
// options cannot be written.
bool WriteRecParamsImp(const CRecParamsManager& manager, std::string& out);

// Reads the values below element; missing or malformed values keep the
// current ones. Boards that are not connected are skipped. A DeviceParams
// without Sn or with unreadable options sets the manager's last error text
// "Invalid TQ3300 workspace file" and gives false.
bool ReadRecParamsImp(CRecParamsManager& manager, xmlDocPtr doc, xmlNodePtr element);
