#pragma once
// What a workspace file (.tq8ws) holds, read and checked without a board, a
// frame or a message box: the records that a load then applies to the
// boards, in the file's order. An entry that lacks what it needs is kept and
// marked not valid, so that the load reports it at the step where the user
// meets it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <libxml/tree.h>

#include "CMainDocWsData.h"
#include "RecParamsImp.h"

class CWorkspaceFile {
public:
    enum class Result { Ok, Unreadable, NotWorkspace };
    enum class Settings { Present, Missing, Unserialisable };

    // A Device or SyncDevice element.
    struct Device {
        bool valid = false; // Sn is a number
        uint32_t serial = 0;
        bool isVirtual = false;
        bool remote = false;
        bool locationValid = false; // a remote entry's Port and Server
        uint16_t port = 0;
        std::string server;
        Settings settingsState = Settings::Missing;
        std::string settings; // the first element below LibSettings, as text
        uint32_t docFlags = 0;
        CMainDocWsData state; // DocState read over the defaults
    };
    // A Master, Slave or Controlled entry.
    struct Related {
        bool valid = false;
        uint32_t serial = 0;
        std::optional<std::string> cfg;
    };
    struct Master : Related {
        std::vector<Related> slaves;
    };
    struct Controller : Related {
        std::vector<Related> controlled;
    };
    struct SyncOutput {
        bool valid = false; // Idx and the board's serial are numbers
        uint32_t index = 0;
        uint32_t serial = 0;
    };
    struct SyncRelation : Related {
        std::vector<SyncOutput> outputs;
    };

    // Reads through the programs' one file reader; reason gets the reader's
    // or the parser's text when the result is Unreadable.
    Result ReadFile(const std::string& path, std::string& reason);
    Result ReadText(std::string_view text, const std::string& name, std::string& reason);

    std::vector<Device> devices;
    std::vector<Master> masters;
    std::vector<Controller> controllers;
    bool hasSyncSection = false;
    std::vector<Device> syncDevices;
    std::vector<SyncRelation> syncRelations;
    bool hasRecordingParameters = false;
    RecParamsRecords recordingParameters;

private:
    Result Read(xmlDocPtr doc);
};
