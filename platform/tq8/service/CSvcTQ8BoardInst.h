#pragma once
// One client connection of the board service: the board handle it owns on
// this computer's device library, released when the connection ends, with
// the virtual board it opened unless another connection still holds that.
// Every size a client names is checked against what the board can hold
// before anything is allocated for it.
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "IVltServiceInstance.h"
#include "BoardWire.h"
#include "CBoardSaveJob.h"
#include "CFirmwareUploadJob.h"
#include "TQ8_64.h"

class CSvcTQ8BoardInst final : public IVltServiceInstance {
public:
    CSvcTQ8BoardInst() = default;
    void Release() override;
    int32_t HandleRequest(int socket, xmlDocPtr request, int32_t flags) override;

    // Sends the error reply with the code's text; 1.
    static int32_t SendErrorReply(int socket, int32_t code);

    int32_t OnList(int socket, xmlDocPtr request);
    int32_t OnOpen(int socket, xmlDocPtr request);
    int32_t OnDesc(int socket, xmlDocPtr request);
    int32_t OnSettings(int socket, xmlDocPtr request);
    int32_t OnCenter(int socket, xmlDocPtr request);
    int32_t OnAcquire(int socket, xmlDocPtr request);
    int32_t OnMode(int socket, xmlDocPtr request);
    int32_t OnState(int socket, xmlDocPtr request);
    int32_t OnTrigger(int socket, xmlDocPtr request);
    int32_t OnRead(int socket, xmlDocPtr request);
    int32_t OnSyncClocks(int socket, xmlDocPtr request);
    int32_t OnCalibrate(int socket, xmlDocPtr request);
    int32_t OnStats(int socket, xmlDocPtr request);
    int32_t OnEeprom(int socket, xmlDocPtr request);
    int32_t OnRegister(int socket, xmlDocPtr request);
    int32_t OnRegisterSet(int socket, xmlDocPtr request);
    int32_t OnTimestamps(int socket, xmlDocPtr request);
    int32_t OnRecCreate(int socket, xmlDocPtr request);
    int32_t OnRec(int socket, xmlDocPtr request);
    int32_t OnSaveStart(int socket, xmlDocPtr request);
    int32_t OnSaveStep(int socket, xmlDocPtr request);
    int32_t OnPciAcquire(int socket, xmlDocPtr request);
    int32_t OnPciRead(int socket, xmlDocPtr request);
    int32_t OnJtag(int socket, xmlDocPtr request);
    int32_t OnFwBegin(int socket, xmlDocPtr request);
    int32_t OnFwData(int socket, xmlDocPtr request);
    int32_t OnFwUpload(int socket, xmlDocPtr request);
    int32_t OnFwStep(int socket, xmlDocPtr request);
    int32_t OnWriteCheck(int socket, xmlDocPtr request);

private:
    ~CSvcTQ8BoardInst();
    // Result and, on success, the board's settings text.
    int32_t ReplySettings(int socket, int32_t rc, const std::string& more = {});
    // The register operation; value for the reads.
    // The Result 0 reply with the sample bytes.
    int32_t SendSamples(int socket, const uint8_t* data, size_t bytes);
    void FreePciBuffer();
    // Ends what the connection does on its board and lets the board go.
    void CloseBoard();
    // TQ8_OK when bytes fit into the board's sample memory, else the
    // library's out-of-bounds code.
    int32_t CheckBoardBytes(uint64_t bytes) const;
    // Whether the connection may open one more board than it has.
    bool MayOpen(uint32_t serial) const;
    int32_t RunRegisterOp(tq8wire::RegisterOp op, const uint32_t* a, uint32_t& value);

    TQ8_HANDLE m_handle = nullptr;
    // The virtual board the handle reaches (0: a local one or none).
    uint32_t m_virtualSerial = 0;
    // Every board the connection has opened, by serial.
    std::set<uint32_t> m_opened;
    // Recording sessions created through this connection, by wire id.
    std::map<uint32_t, TQ8_REC_SESSION> m_sessions;
    uint32_t m_nextSession = 1;
    // The save in progress, ended with the connection.
    std::unique_ptr<CBoardSaveJob> m_save;
    // The firmware upload being sent or run; the connection's end waits for
    // a running one.
    std::unique_ptr<CFirmwareUploadJob> m_firmware;
    // The last fresh acquisition, until the next or the connection's end.
    uint8_t* m_pciBuffer = nullptr;
    uint32_t m_pciBytes = 0;
    // Kept from one read to the next: sample chunks are large.
    std::vector<uint8_t> m_samples;
    std::string m_encoded;
    std::string m_reply;
};
