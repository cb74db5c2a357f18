#pragma once
// The recording parameters inside the workspace file: the RecParamsImp
// element with the manager's values and one DeviceParams per board.
#include <string>

#include <libxml/tree.h>

class CRecParamsManager;

// Appends the element (one line, numbers in decimal); false when a board's
// options cannot be written.
bool WriteRecParamsImp(const CRecParamsManager& manager, std::string& out);

// Reads the values below element; missing or malformed values keep the
// current ones. Boards that are not connected are skipped. A DeviceParams
// without Sn or with unreadable options sets the manager's last error text
// "Invalid TQ3300 workspace file" and gives false.
bool ReadRecParamsImp(CRecParamsManager& manager, xmlDocPtr doc, xmlNodePtr element);
