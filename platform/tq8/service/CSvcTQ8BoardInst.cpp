#include "CSvcTQ8BoardInst.h"

#include <array>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "Base64.h"
#include "CPeerHangupWatch.h"
#include "CServedFolders.h"
#include "ClientPaths.h"
#include "TextConv.h"
#include "BoardWire.h"
#include "NumberParse.h"
#include "ServiceCallDispatch.h"
#include "ServiceErrors.h"
#include "ServiceHostOptions.h"
#include "ServiceProtocol.h"
#include "TQ8Sim.h"
#include "VersionText.h"
#include "XmlRoutines.h"

namespace {

using Handler = int32_t (CSvcTQ8BoardInst::*)(int, xmlDocPtr);

// In the order of the wire table, which the table below is built from.
constexpr std::array<Handler, static_cast<size_t>(tq8wire::Method::Count)> kHandlers = {
    &CSvcTQ8BoardInst::OnList,     &CSvcTQ8BoardInst::OnOpen,    &CSvcTQ8BoardInst::OnDesc,
    &CSvcTQ8BoardInst::OnSettings, &CSvcTQ8BoardInst::OnCenter,  &CSvcTQ8BoardInst::OnAcquire,
    &CSvcTQ8BoardInst::OnMode,     &CSvcTQ8BoardInst::OnState,   &CSvcTQ8BoardInst::OnTrigger,
    &CSvcTQ8BoardInst::OnRead,     &CSvcTQ8BoardInst::OnSyncClocks, &CSvcTQ8BoardInst::OnCalibrate,
    &CSvcTQ8BoardInst::OnStats,    &CSvcTQ8BoardInst::OnEeprom,  &CSvcTQ8BoardInst::OnRegister,
    &CSvcTQ8BoardInst::OnRegisterSet, &CSvcTQ8BoardInst::OnTimestamps, &CSvcTQ8BoardInst::OnRecCreate,
    &CSvcTQ8BoardInst::OnRec,      &CSvcTQ8BoardInst::OnSaveStart, &CSvcTQ8BoardInst::OnSaveStep,
    &CSvcTQ8BoardInst::OnPciAcquire, &CSvcTQ8BoardInst::OnPciRead,   &CSvcTQ8BoardInst::OnJtag,
    &CSvcTQ8BoardInst::OnFwBegin,  &CSvcTQ8BoardInst::OnFwData,  &CSvcTQ8BoardInst::OnFwUpload,
    &CSvcTQ8BoardInst::OnFwStep,   &CSvcTQ8BoardInst::OnWriteCheck,
};

// How long a firmware step waits for news before it answers without any.
constexpr uint32_t kFirmwareStepWaitMs = 1000;

const ServiceMethodTable<CSvcTQ8BoardInst>& MethodTable()
{
    static const ServiceMethodTable<CSvcTQ8BoardInst> table = [] {
        ServiceMethodTable<CSvcTQ8BoardInst> t;
        for (const tq8wire::MethodRow& row : tq8wire::kMethods)
            t.emplace(row.name, kHandlers[static_cast<size_t>(row.method)]);
        return t;
    }();
    return table;
}

int32_t ReplyData(int socket, const std::string& items)
{
    const int32_t rc = SendFramedMessage(socket, "<VltServiceResponse><ReturnData>" + items
                                                     + "</ReturnData></VltServiceResponse>");
    return rc == 0 ? 1 : kSvcSocketError;
}

template <class T>
bool GetNumberParameter(xmlDocPtr request, const char* name, T& value)
{
    std::string text;
    return GetCallParameter(request, name, text) == 0 && vlt::ParseNumberExact(text, value);
}

bool GetUIntParameter(xmlDocPtr request, const char* name, uint32_t& value)
{
    return GetNumberParameter(request, name, value);
}

template <class T>
void Append(std::string& items, const char* name, T value)
{
    XmlAppendElement(items, name, std::to_string(value));
}

void AppendData(std::string& items, const char* name, const void* data, size_t bytes)
{
    std::string text;
    vlt::Base64Encode(static_cast<const uint8_t*>(data), bytes, text);
    XmlAppendElement(items, name, text);
}

int32_t ReplyResult(int socket, int32_t rc)
{
    std::string items;
    Append(items, tq8wire::kResult, rc);
    return ReplyData(socket, items);
}

// The Data parameter decoded: at most one chunk; false when missing,
// longer or not base64.
bool GetChunkParameter(xmlDocPtr request, std::string& data)
{
    std::string coded;
    return GetCallParameter(request, tq8wire::kData, coded) == 0
        && coded.size() <= (tq8wire::kReadChunkBytes + 2) / 3 * 4 && tq8wire::DecodeText(coded, data);
}

// The text parameter decoded; false when missing or not base64.
bool GetTextParameter(xmlDocPtr request, std::string& text)
{
    std::string coded;
    return GetCallParameter(request, tq8wire::kText, coded) == 0 && tq8wire::DecodeText(coded, text);
}

// The ZAB FPGA's version in the wide form of GetPciFirmwareVersionTQ8; false
// while it is unknown (after an upload that failed part of the way) or the
// board has no ZAB. The library tells it only as text.
bool ZabFirmwareVersion(TQ8_HANDLE handle, uint64_t& version)
{
    wchar_t* text = nullptr;
    const bool known = GetVersionTextWTQ8(handle, TQ8_VERSION_ZAB_FPGA, &text, 0) == TQ8_OK && text
                    && ParseVersion64(vlt::WideToUtf8(text), version);
    FreeMemoryTQ8(text);
    return known;
}

} // namespace

CSvcTQ8BoardInst::~CSvcTQ8BoardInst()
{
    CloseBoard();
}

void CSvcTQ8BoardInst::CloseBoard()
{
    // In this order: the upload, the save and the DMA buffer use the handle.
    m_firmware.reset();
    m_save.reset();
    FreePciBuffer();
    for (const auto& [id, session] : m_sessions)
        DeleteRecordingSessionTQ8(session);
    m_sessions.clear();
    if (m_handle)
        DisconnectFromDeviceTQ8(m_handle);
    m_handle = nullptr;
    // A virtual board lives in this process only for its clients: the last
    // one to go takes it along (busy while another connection holds it).
    if (m_virtualSerial != 0)
        TQ8Sim_ReleaseVirtualBoard(m_virtualSerial);
    m_virtualSerial = 0;
}

bool CSvcTQ8BoardInst::MayOpen(uint32_t serial) const
{
    return m_opened.count(serial) != 0 || m_opened.size() < ServiceHostOptions::kMaxBoardsPerConnection;
}

int32_t CSvcTQ8BoardInst::CheckBoardBytes(uint64_t bytes) const
{
    uint32_t ram = 0;
    const int32_t rc = GetSampleRamSizeTQ8(m_handle, &ram);
    if (rc != TQ8_OK)
        return rc;
    return bytes <= ram ? TQ8_OK : TQ8_ERR_OUT_OF_BOUNDS;
}

void CSvcTQ8BoardInst::Release()
{
    delete this;
}

int32_t CSvcTQ8BoardInst::HandleRequest(int socket, xmlDocPtr request, int32_t flags)
{
    return DispatchServiceCall(*this, MethodTable(), socket, request, flags);
}

int32_t CSvcTQ8BoardInst::SendErrorReply(int socket, int32_t code)
{
    std::string text;
    GetServiceErrorText(code, text);
    SendResponse(socket, false, text.c_str());
    return 1;
}

int32_t CSvcTQ8BoardInst::OnList(int socket, xmlDocPtr)
{
    std::string devices;
    int32_t count = 0;
    const int32_t local = GetDeviceCountTQ8();
    for (int32_t ordinal = 1; ordinal <= local; ++ordinal) {
        TQ8_HANDLE h = nullptr;
        uint32_t serial = 0;
        if (ConnectToDeviceTQ8(&h, static_cast<uint32_t>(ordinal)) != TQ8_OK)
            continue;
        if (GetSerialNumberTQ8(h, &serial) == TQ8_OK) {
            XmlAppendElement(devices, tq8wire::kDevice, std::to_string(serial));
            ++count;
        }
        DisconnectFromDeviceTQ8(h);
    }
    std::string items;
    XmlAppendElement(items, tq8wire::kCount, std::to_string(count));
    return ReplyData(socket, items + devices);
}

int32_t CSvcTQ8BoardInst::OnOpen(int socket, xmlDocPtr request)
{
    uint32_t serial = 0;
    uint32_t isVirtual = 0;
    if (!GetUIntParameter(request, tq8wire::kSerial, serial) || !GetUIntParameter(request, tq8wire::kVirtual, isVirtual)
        || isVirtual > 1)
        return kSvcMalformedRequest;
    TQ8_HANDLE h = nullptr;
    int32_t rc = isVirtual && !MayOpen(serial) ? TQ8_ERR_TOO_MANY_BOARDS
                 : isVirtual                   ? ConnectToVirtualDeviceTQ8(&h, serial, 1)
                                               : ConnectToDeviceTQ8(&h, serial);
    uint32_t opened = 0;
    if (rc == TQ8_OK)
        rc = GetSerialNumberTQ8(h, &opened);
    if (rc == TQ8_OK && !MayOpen(opened))
        rc = TQ8_ERR_TOO_MANY_BOARDS;
    if (rc == TQ8_OK) {
        // A connection serves one board: a second open replaces the first.
        CloseBoard();
        m_handle = h;
        m_virtualSerial = isVirtual ? opened : 0;
        m_opened.insert(opened);
    } else if (h) {
        DisconnectFromDeviceTQ8(h);
        if (isVirtual)
            TQ8Sim_ReleaseVirtualBoard(serial);
    }
    std::string items;
    XmlAppendElement(items, tq8wire::kResult, std::to_string(rc));
    XmlAppendElement(items, tq8wire::kSerial, std::to_string(opened));
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::ReplySettings(int socket, int32_t rc, const std::string& more)
{
    char* text = nullptr;
    if (rc == TQ8_OK || rc == TQ8_ERR_CANCELLED)
        SaveSettingsToStringXmlATQ8(m_handle, 0, &text);
    std::string items;
    Append(items, tq8wire::kResult, rc);
    items += more;
    if (text)
        AppendData(items, tq8wire::kText, text, std::char_traits<char>::length(text));
    FreeMemoryTQ8(text);
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnDesc(int socket, xmlDocPtr)
{
    uint32_t packages = 0;
    for (int32_t n = 0; n < 16; ++n)
        if (IsFixedLogicPackagePresentTQ8(m_handle, n) == TQ8_OK)
            packages |= 1u << n;
    std::string flags;
    for (int32_t c = 0; c < 4; ++c)
        flags += (c ? "," : "") + std::to_string(GetInputChannelFlagsTQ8(m_handle, c));
    uint16_t fpgaType = 0;
    uint32_t ram = 0;
    uint64_t driver = 0, firmware = 0;
    int32_t rc = GetEepromDataTQ8(m_handle, TQ8_EEPROM_WORD_FPGA_TYPE, &fpgaType, 1);
    if (rc == TQ8_OK)
        rc = GetSampleRamSizeTQ8(m_handle, &ram);
    if (rc == TQ8_OK)
        rc = GetDriverVersionTQ8(m_handle, &driver);
    if (rc == TQ8_OK)
        rc = GetPciFirmwareVersionTQ8(m_handle, &firmware);
    std::string items;
    Append(items, tq8wire::kResult, rc);
    Append(items, "Virtual", IsDeviceVirtualTQ8(m_handle));
    Append(items, "Revision", GetBoardRevisionTQ8(m_handle));
    Append(items, "Features", GetBoardFeaturesTQ8(m_handle));
    Append(items, "Packages", packages);
    XmlAppendElement(items, "Flags", flags);
    Append(items, "MasterSlave", GetMasterSlaveConfigurationTQ8(m_handle, 1));
    Append(items, "Sync", GetSyncConfigurationTQ8(m_handle, 1));
    Append(items, "ExtTrigger", GetExtTriggerConfigurationTQ8(m_handle, 1));
    Append(items, "InputFilter", GetInputChannelConfigurationTQ8(m_handle, 1));
    Append(items, "ZabFpga", GetZabFpgaTypeTQ8(m_handle));
    Append(items, "FpgaType", fpgaType);
    Append(items, "RamSize", ram);
    Append(items, "DriverVersion", driver);
    Append(items, "FirmwareVersion", firmware);
    Append(items, "TsOverflow", GetTimestampOverflowFlagTQ8(m_handle) != TQ8_ERR_TS_OVERFLOW_UNSUPPORTED ? 1 : 0);
    if (uint64_t zab = 0; ZabFirmwareVersion(m_handle, zab))
        Append(items, "ZabFirmwareVersion", zab);
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnSettings(int socket, xmlDocPtr request)
{
    std::string text;
    int32_t rc = TQ8_OK;
    if (GetTextParameter(request, text))
        rc = LoadSettingsFromStringXmlATQ8(m_handle, 0, text.c_str());
    else if (XPathFindNode(request, "/VltServiceRequest/Call/Parameters/Text"))
        return kSvcMalformedRequest;
    return ReplySettings(socket, rc);
}

int32_t CSvcTQ8BoardInst::OnCenter(int socket, xmlDocPtr request)
{
    int32_t channel = 0, target = 0;
    if (!GetNumberParameter(request, "Channel", channel) || !GetNumberParameter(request, "Target", target))
        return kSvcMalformedRequest;
    return ReplySettings(socket, CenterSignalTQ8(m_handle, channel, target));
}

int32_t CSvcTQ8BoardInst::OnAcquire(int socket, xmlDocPtr request)
{
    uint32_t target = 0, start = 0, count = 0;
    if (!GetUIntParameter(request, "Target", target) || !GetUIntParameter(request, "Start", start)
        || !GetUIntParameter(request, tq8wire::kCount, count) || target > 2)
        return kSvcMalformedRequest;
    int32_t rc = TQ8_OK;
    {
        // A client that vanishes while the board waits for its trigger:
        // disconnecting the handle ends the acquisition, so the connection
        // ends and nothing stays open on its behalf.
        const TQ8_HANDLE handle = m_handle;
        CPeerHangupWatch watch(socket, [handle] { DisconnectFromDeviceTQ8(handle); });
        rc = target == 0   ? AcquireToBoardRamTQ8(m_handle, start, count, 0, 0)
             : target == 1 ? AcquireToZabTQ8(m_handle, count, 0, 0, 0)
                           : TransferSampleRamToZabTQ8(m_handle, start, count, 0, 0);
    }
    return ReplyResult(socket, rc);
}

int32_t CSvcTQ8BoardInst::OnMode(int socket, xmlDocPtr request)
{
    int32_t mode = 0;
    if (!GetNumberParameter(request, "Mode", mode))
        return kSvcMalformedRequest;
    return ReplyResult(socket, SetOperatingModeTQ8(m_handle, mode));
}

int32_t CSvcTQ8BoardInst::OnState(int socket, xmlDocPtr)
{
    std::string items;
    Append(items, tq8wire::kResult, IsHandleValidTQ8(m_handle) ? TQ8_OK : TQ8_ERR_INVALID_HANDLE);
    Append(items, "Mode", GetOperatingModeTQ8(m_handle, 0));
    Append(items, "Idle", InIdleModeTQ8(m_handle));
    Append(items, "Complete", GetSamplesCompleteFlagTQ8(m_handle));
    Append(items, "FifoFull", GetFifoFullFlagTQ8(m_handle));
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnTrigger(int socket, xmlDocPtr)
{
    return ReplyResult(socket, IssueSoftwareTriggerTQ8(m_handle));
}

int32_t CSvcTQ8BoardInst::OnRead(int socket, xmlDocPtr request)
{
    uint32_t first = 0, count = 0;
    if (!GetUIntParameter(request, "First", first) || !GetUIntParameter(request, tq8wire::kCount, count)
        || count == 0 || count > tq8wire::kReadChunkBytes)
        return kSvcMalformedRequest;
    m_samples.resize(count);
    const int32_t rc = ReadSampleRamBufTQ8(m_handle, first, count, m_samples.data(), 0);
    if (rc != TQ8_OK)
        return ReplyResult(socket, rc);
    return SendSamples(socket, m_samples.data(), m_samples.size());
}

int32_t CSvcTQ8BoardInst::SendSamples(int socket, const uint8_t* data, size_t bytes)
{
    // Built in place: a chunk is megabytes, so it is not copied about.
    vlt::Base64Encode(data, bytes, m_encoded);
    m_reply.assign("<VltServiceResponse><ReturnData>");
    Append(m_reply, tq8wire::kResult, TQ8_OK);
    m_reply.append("<Data>").append(m_encoded).append("</Data></ReturnData></VltServiceResponse>");
    return SendFramedMessage(socket, m_reply) == 0 ? 1 : kSvcSocketError;
}

void CSvcTQ8BoardInst::FreePciBuffer()
{
    if (m_pciBuffer)
        FreeDmaBufferTQ8(m_handle, m_pciBuffer);
    m_pciBuffer = nullptr;
    m_pciBytes = 0;
}

int32_t CSvcTQ8BoardInst::OnPciAcquire(int socket, xmlDocPtr request)
{
    uint64_t count = 0;
    if (!GetNumberParameter(request, tq8wire::kCount, count) || count == 0)
        return kSvcMalformedRequest;
    int32_t rc = CheckBoardBytes(count);
    // Refused now, as the acquisition would be, rather than after the buffer.
    if (rc == TQ8_OK && GetOperatingModeTQ8(m_handle, 0) != TQ8_MODE_PCI_BUFFERED_ACQ)
        rc = TQ8_ERR_WRONG_MODE;
    if (rc != TQ8_OK)
        return ReplyResult(socket, rc);
    FreePciBuffer();
    rc = AllocateDmaBufferTQ8(m_handle, static_cast<uint32_t>(count), &m_pciBuffer);
    if (rc == TQ8_OK) {
        // As for the other acquisitions: a vanished client ends it.
        const TQ8_HANDLE handle = m_handle;
        CPeerHangupWatch watch(socket, [handle] { DisconnectFromDeviceTQ8(handle); });
        rc = GetPciAcquisitionDataFastTQ8(m_handle, static_cast<uint32_t>(count), m_pciBuffer, 0);
    }
    if (rc == TQ8_OK)
        m_pciBytes = static_cast<uint32_t>(count);
    return ReplyResult(socket, rc);
}

int32_t CSvcTQ8BoardInst::OnPciRead(int socket, xmlDocPtr request)
{
    uint32_t first = 0, count = 0;
    if (!GetUIntParameter(request, "First", first) || !GetUIntParameter(request, tq8wire::kCount, count)
        || count == 0 || count > tq8wire::kReadChunkBytes)
        return kSvcMalformedRequest;
    if (static_cast<uint64_t>(first) + count > m_pciBytes)
        return ReplyResult(socket, TQ8_ERR_OUT_OF_BOUNDS);
    return SendSamples(socket, m_pciBuffer + first, count);
}

int32_t CSvcTQ8BoardInst::OnJtag(int socket, xmlDocPtr)
{
    char* text = nullptr;
    const int32_t rc = GetJtagIdCodesATQ8(m_handle, &text);
    std::string items;
    Append(items, tq8wire::kResult, rc);
    // Present, empty, when the scan chain cannot be reached.
    if (rc == TQ8_OK)
        AppendData(items, tq8wire::kText, text, text ? std::char_traits<char>::length(text) : 0);
    FreeMemoryTQ8(text);
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnFwBegin(int socket, xmlDocPtr request)
{
    uint64_t bytes = 0;
    std::string name;
    if (!GetNumberParameter(request, "Bytes", bytes) || GetCallParameter(request, "Name", name) != 0
        || !CFirmwareUploadJob::IsPlainName(name))
        return kSvcMalformedRequest;
    if (m_firmware && m_firmware->Running())
        return ReplyResult(socket, TQ8_ERR_BUSY);
    m_firmware.reset();
    auto job = std::make_unique<CFirmwareUploadJob>(m_handle);
    const int32_t rc = job->Begin(bytes, name);
    if (rc == TQ8_OK)
        m_firmware = std::move(job);
    return ReplyResult(socket, rc);
}

int32_t CSvcTQ8BoardInst::OnFwData(int socket, xmlDocPtr request)
{
    std::string data;
    if (!GetChunkParameter(request, data))
        return kSvcMalformedRequest;
    return ReplyResult(socket, m_firmware ? m_firmware->Append(data) : TQ8_ERR_WRONG_MODE);
}

int32_t CSvcTQ8BoardInst::OnFwUpload(int socket, xmlDocPtr)
{
    return ReplyResult(socket, m_firmware ? m_firmware->Start() : TQ8_ERR_WRONG_MODE);
}

int32_t CSvcTQ8BoardInst::OnFwStep(int socket, xmlDocPtr)
{
    if (!m_firmware || !m_firmware->Started())
        return ReplyResult(socket, TQ8_ERR_WRONG_MODE);
    CFirmwareUploadJob::StepResult step;
    m_firmware->Step(kFirmwareStepWaitMs, step);
    if (step.finished)
        m_firmware.reset();
    std::string items;
    Append(items, tq8wire::kResult, step.result);
    Append(items, "Finished", step.finished ? 1 : 0);
    Append(items, "OutFlags", step.outFlags);
    XmlAppendElement(items, "Events", tq8wire::EncodeEvents(step.events));
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnSyncClocks(int socket, xmlDocPtr request)
{
    uint32_t reset = 0;
    if (!GetUIntParameter(request, "Reset", reset))
        return kSvcMalformedRequest;
    return ReplyResult(socket, SyncFirmwareToAdcClockTQ8(m_handle, reset != 0 ? 1 : 0));
}

int32_t CSvcTQ8BoardInst::OnCalibrate(int socket, xmlDocPtr request)
{
    int32_t adc = 0;
    if (!GetNumberParameter(request, "Adc", adc))
        return kSvcMalformedRequest;
    return ReplyResult(socket, CalibrateAdcTQ8(m_handle, adc));
}

int32_t CSvcTQ8BoardInst::OnStats(int socket, xmlDocPtr request)
{
    uint32_t reset = 0;
    if (!GetUIntParameter(request, "Reset", reset))
        return kSvcMalformedRequest;
    TQ8_DRIVER_STATS stats{};
    stats.size = sizeof stats;
    const int32_t rc = GetDriverStatsTQ8(m_handle, &stats, reset != 0 ? 1 : 0);
    std::string items;
    Append(items, tq8wire::kResult, rc);
    if (rc == TQ8_OK)
        AppendData(items, tq8wire::kData, &stats, sizeof stats);
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnEeprom(int socket, xmlDocPtr request)
{
    uint32_t first = 0, count = 0;
    if (!GetUIntParameter(request, "First", first) || !GetUIntParameter(request, tq8wire::kCount, count) || count == 0
        || count > TQ8_EEPROM_WORDS)
        return kSvcMalformedRequest;
    std::vector<uint16_t> words(count);
    const int32_t rc = GetEepromDataTQ8(m_handle, first, words.data(), count);
    std::string items;
    Append(items, tq8wire::kResult, rc);
    if (rc == TQ8_OK)
        AppendData(items, tq8wire::kData, words.data(), words.size() * sizeof(uint16_t));
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::RunRegisterOp(tq8wire::RegisterOp op, const uint32_t* a, uint32_t& value)
{
    using Op = tq8wire::RegisterOp;
    const TQ8_HANDLE h = m_handle;
    const auto i = [a](int n) { return static_cast<int32_t>(a[n]); };
    uint8_t byte = 0;
    int32_t rc = TQ8_ERR_INVALID_ARG;
    switch (op) {
    case Op::DeviceRead: return ReadDeviceRegTQ8(h, a[0], &value, 0, 0);
    case Op::DeviceWrite: return WriteDeviceRegTQ8(h, a[0], a[1], a[2], 0, 0, 0);
    case Op::RawRead: return _RawRegReadTQ8(h, i(0), a[1], &value);
    case Op::RawWrite: return _RawRegWriteTQ8(h, i(0), a[1], a[2]);
    case Op::AdcWrite:
        return a[3] > 0xFFFFu ? TQ8_ERR_INVALID_ARG
                              : WriteAdcRegTQ8(h, i(0), a[1], a[2], static_cast<uint16_t>(a[3]), a[4], a[5], 0, 0);
    case Op::ClockRead:
        rc = ReadClockGenRegTQ8(h, i(0), a[1], a[2], a[3], &byte, 0);
        value = byte;
        return rc;
    case Op::ClockWrite:
        return a[3] > 0xFFu ? TQ8_ERR_INVALID_ARG
                            : WriteClockGenRegTQ8(h, i(0), a[1], a[2], static_cast<uint8_t>(a[3]), a[4], a[5], 0, 0, 0);
    case Op::AdcOffset: return _SetAdcChanOffsetAdjTQ8(h, i(0), i(1));
    case Op::TriggerDelay: return WriteRegExternalTriggerClockIDelay(h, a[0]);
    case Op::EepromWrite:
        return a[1] > 0xFFFFu ? TQ8_ERR_INVALID_ARG : InternWriteConfigEepromTQ8(h, a[0], static_cast<uint16_t>(a[1]));
    case Op::Count: break;
    }
    return rc;
}

int32_t CSvcTQ8BoardInst::OnRegister(int socket, xmlDocPtr request)
{
    uint32_t op = 0;
    uint32_t a[6] = {};
    const char* names[6] = {"A", "B", "C", "D", "E", "F"};
    if (!GetUIntParameter(request, "Op", op) || op >= static_cast<uint32_t>(tq8wire::RegisterOp::Count))
        return kSvcMalformedRequest;
    // Signed arguments travel as their two's complement.
    for (int n = 0; n < 6; ++n)
        if (!GetUIntParameter(request, names[n], a[n]))
            return kSvcMalformedRequest;
    uint32_t value = 0;
    const int32_t rc = RunRegisterOp(static_cast<tq8wire::RegisterOp>(op), a, value);
    std::string more;
    Append(more, "Value", value);
    return ReplySettings(socket, rc, more);
}

int32_t CSvcTQ8BoardInst::OnRegisterSet(int socket, xmlDocPtr request)
{
    int32_t set = 0;
    if (!GetNumberParameter(request, "Set", set))
        return kSvcMalformedRequest;
    const uint32_t* words = nullptr;
    const int32_t rc = GetRegSetTQ8(m_handle, set, &words);
    const size_t count = set == 0 ? TQ8_REGSET_DEVICE_WORDS : set <= 2 ? TQ8_REGSET_CLOCKGEN_WORDS : TQ8_REGSET_ADC_WORDS;
    std::string items;
    Append(items, tq8wire::kResult, rc);
    if (rc == TQ8_OK)
        AppendData(items, tq8wire::kData, words, count * sizeof(uint32_t));
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnTimestamps(int socket, xmlDocPtr request)
{
    using Op = tq8wire::TimestampOp;
    uint32_t op = 0, max = 0, flags = 0;
    if (!GetUIntParameter(request, "Op", op) || !GetUIntParameter(request, "Max", max)
        || !GetUIntParameter(request, "Flags", flags) || op >= static_cast<uint32_t>(Op::Count)
        || max > tq8wire::kReadChunkBytes / sizeof(uint64_t))
        return kSvcMalformedRequest;
    std::string items;
    int32_t rc = TQ8_OK;
    std::vector<uint64_t> values(max);
    uint32_t count = 0;
    if (op == static_cast<uint32_t>(Op::Info)) {
        uint32_t depth = 0;
        rc = GetTimestampFifoDepthTQ8(m_handle, &depth);
        Append(items, "Depth", depth);
        Append(items, "Available", GetTimestampAvailabilityTQ8(m_handle));
        Append(items, "Overflow", GetTimestampOverflowFlagTQ8(m_handle) == 1 ? 1 : 0);
    } else if (op == static_cast<uint32_t>(Op::Read)) {
        rc = ReadTimestampDataTQ8(m_handle, values.data(), max, &count, flags & 1u, 0, nullptr);
        Append(items, tq8wire::kCount, count);
        if (rc == TQ8_OK)
            AppendData(items, tq8wire::kData, values.data(), count * sizeof(uint64_t));
    } else {
        rc = op == static_cast<uint32_t>(Op::ResetFifo) ? ResetTimestampFifoTQ8(m_handle)
                                                        : ResetTimestampCounterTQ8(m_handle);
    }
    std::string reply;
    Append(reply, tq8wire::kResult, rc);
    return ReplyData(socket, reply + items);
}

namespace {

// Room kept in a client's path for the longest name the library makes from
// it: "<stem>.tq8ts.txt", covering "<path>.vrdc" and segments' "_0002".
constexpr size_t kAddedNameRoom = sizeof ".tq8ts.txt" - 1;

// Longest client path the library writes from: every file it makes from it
// stays within what the file service removes.
constexpr size_t kMaxWritePathLength = vlt::kMaxClientPathLength - kAddedNameRoom;

// "X:\..." or "X:/...": the form of the served folders' paths.
bool InDriveForm(std::string_view path)
{
    return path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':'
        && (path[2] == '\\' || path[2] == '/');
}

// The client's path confined to the served folders: TQ8_OK,
// TQ8_ERR_PATH_NOT_SERVED when it leaves them, or TQ8_ERR_FILE_WRITE when a
// file made from it would have a path too long for the file service to
// remove; reason says which, with the path. An empty text is no path.
int32_t ServedPath(xmlDocPtr request, const char* name, std::string& local, std::string& reason)
{
    std::string text;
    if (GetCallParameter(request, name, text) != 0)
        return TQ8_ERR_PATH_NOT_SERVED;
    if (text.empty())
        return TQ8_OK;
    const std::string quoted = "\"" + text + "\"";
    if (!InDriveForm(text)) {
        reason = quoted + " is not a path on the board's server. A remote board writes its files on its server and "
                          "needs a path there, such as C:\\recs\\file.rd8.";
        return TQ8_ERR_PATH_NOT_SERVED;
    }
    if (text.size() > kMaxWritePathLength) {
        reason = "The path " + quoted + " is " + std::to_string(text.size()) + " characters long; the server takes "
                 "paths of at most " + std::to_string(kMaxWritePathLength) + " characters.";
        return TQ8_ERR_FILE_WRITE;
    }
    if (!vlt::ConfineClientPath(vlt::CServedFolders::Get(), text, true, local)) {
        reason = quoted + " is outside the folders the server shares.";
        return TQ8_ERR_PATH_NOT_SERVED;
    }
    return TQ8_OK;
}

std::string WithoutExtension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExtension = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExtension ? path.substr(0, dot) : path;
}

bool InsideServedFolders(const std::string& local)
{
    for (const std::string& root : vlt::CServedFolders::Get())
        if (vlt::StaysInsideRoot(root, local, true))
            return true;
    return false;
}

// The library names the time-stamp files after the time-stamp path or the
// first data path, without its extension; a link of such a name must not
// lead out either. Every stem either rule could take is checked.
bool TimestampFilesServed(const CBoardSaveJob::Files& files)
{
    if ((files.params.Fwp_flags & (TQ8_FWP_TS_BINARY | TQ8_FWP_TS_TEXT)) == 0)
        return true;
    for (const std::string& path : files.paths) {
        if (path.empty())
            continue;
        // The path, without one extension, and without two (".tq8ts.txt").
        const std::string once = WithoutExtension(path);
        for (const std::string& stem : {path, once, WithoutExtension(once)})
            for (const char* extension : {".tq8ts", ".tq8ts.txt"})
                if (!InsideServedFolders(stem + extension))
                    return false;
    }
    return true;
}

// The file-write items of a recording or a save into files (paths and
// notes kept there): TQ8_OK, TQ8_ERR_PATH_NOT_SERVED, TQ8_ERR_FILE_WRITE
// (with the reason), or malformed.
int32_t ReadFileWrite(xmlDocPtr request, CBoardSaveJob::Files& files, std::string& reason)
{
    TQ8_FILE_WRITE_PARAMS& p = files.params;
    p.Fwp_ss = sizeof p;
    if (!GetUIntParameter(request, "FwFlags", p.Fwp_flags) || !GetUIntParameter(request, "HdrSkip", p.Fwp_hdrskp)
        || !GetNumberParameter(request, "MaxSeg", p.Fwp_maxseg) || !GetNumberParameter(request, "ChanSel", p.Fwp_chanSel)
        || GetCallParameter(request, "Notes", files.notes) != 0)
        return kSvcMalformedRequest;
    const char* names[5] = {"Path1", "Path2", "Path3", "Path4", "TsPath"};
    const char** fields[5] = {&p.Fwp_path1, &p.Fwp_path2, &p.Fwp_path3, &p.Fwp_path4, &p.Fwp_tsPath};
    // The path of an option that is off is not checked: it is not used.
    const bool channelFiles = (p.Fwp_flags & TQ8_FWP_DEINTERLEAVE) != 0;
    const bool timestamps = (p.Fwp_flags & (TQ8_FWP_TS_BINARY | TQ8_FWP_TS_TEXT)) != 0;
    const bool used[5] = {true, channelFiles, channelFiles, channelFiles, timestamps};
    for (int i = 0; i < 5; ++i) {
        if (!used[i]) {
            *fields[i] = nullptr;
            continue;
        }
        // Not one file is written for a request with a path outside.
        if (const int32_t rc = ServedPath(request, names[i], files.paths[i], reason); rc != TQ8_OK)
            return rc;
        *fields[i] = files.paths[i].empty() ? nullptr : files.paths[i].c_str();
    }
    p.Fwp_opNotes = files.notes.empty() ? nullptr : files.notes.c_str();
    if (TimestampFilesServed(files))
        return TQ8_OK;
    reason = "The time-stamp files named after the destination would lie outside the folders the server shares.";
    return TQ8_ERR_PATH_NOT_SERVED;
}

// The recording items of a RecCreate or WriteCheck call; false when malformed.
bool ReadRecording(xmlDocPtr request, TQ8_REC_SESSION_PARAMS& params)
{
    params = TQ8_REC_SESSION_PARAMS{};
    params.Rsp_ss = sizeof params;
    return GetUIntParameter(request, "Flags", params.Rsp_flags)
        && GetNumberParameter(request, "ToRecord", params.Rsp_samplesToRecord)
        && GetUIntParameter(request, "Acq", params.Rsp_acqSamples)
        && GetUIntParameter(request, "Transfer", params.Rsp_transferSamples)
        && GetUIntParameter(request, "SnapSamples", params.Rsp_snapshotSamples)
        && GetUIntParameter(request, "SnapCount", params.Rsp_snapshotIntervalCount)
        && GetUIntParameter(request, "SnapMs", params.Rsp_snapshotIntervalMs);
}

} // namespace

int32_t CSvcTQ8BoardInst::OnRecCreate(int socket, xmlDocPtr request)
{
    TQ8_REC_SESSION_PARAMS params;
    if (!ReadRecording(request, params))
        return kSvcMalformedRequest;
    CBoardSaveJob::Files files;
    std::string reason;
    int32_t rc = ReadFileWrite(request, files, reason);
    if (rc == kSvcMalformedRequest)
        return rc;
    // The session keeps the last snapshot's samples.
    if (rc == TQ8_OK)
        rc = CheckBoardBytes(params.Rsp_snapshotSamples);
    params.Rsp_fileWrite = &files.params;
    TQ8_REC_SESSION session = nullptr;
    if (rc == TQ8_OK)
        rc = CreateRecordingSessionTQ8(m_handle, &params, &session);
    uint32_t id = 0;
    if (rc == TQ8_OK) {
        id = m_nextSession++;
        m_sessions[id] = session;
    }
    std::string items;
    Append(items, tq8wire::kResult, rc);
    Append(items, "Session", id);
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnWriteCheck(int socket, xmlDocPtr request)
{
    uint32_t session = 0;
    TQ8_REC_SESSION_PARAMS params{};
    if (!GetUIntParameter(request, "Session", session) || session > 1
        || (session == 1 && !ReadRecording(request, params)))
        return kSvcMalformedRequest;
    CBoardSaveJob::Files files;
    std::string reason;
    int32_t rc = ReadFileWrite(request, files, reason);
    if (rc == kSvcMalformedRequest)
        return rc;
    if (rc == TQ8_OK && session == 1 && (rc = CheckBoardBytes(params.Rsp_snapshotSamples)) == TQ8_ERR_OUT_OF_BOUNDS)
        reason = "The snapshot length of " + std::to_string(params.Rsp_snapshotSamples)
                 + " samples is more than the board's memory holds.";
    if (rc == TQ8_OK) {
        params.Rsp_fileWrite = &files.params;
        wchar_t* text = nullptr;
        rc = session == 1 ? GetRecordingSessionErrorWTQ8(m_handle, &params, &text)
                          : GetFileWriteErrorWTQ8(m_handle, &files.params, &text);
        if (text)
            reason = vlt::WideToUtf8(text);
        FreeMemoryTQ8(text);
    }
    std::string items;
    Append(items, tq8wire::kResult, rc);
    if (!reason.empty())
        AppendData(items, tq8wire::kText, reason.data(), reason.size());
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnSaveStart(int socket, xmlDocPtr request)
{
    uint32_t source = 0, start = 0;
    uint64_t count = 0;
    if (!GetUIntParameter(request, "Source", source) || !GetUIntParameter(request, "Start", start)
        || !GetNumberParameter(request, tq8wire::kCount, count) || source > 1)
        return kSvcMalformedRequest;
    // A dump's data is held here until it is written: no more than the
    // board's memory could have given.
    if (const int32_t sized = CheckBoardBytes(count); sized != TQ8_OK)
        return ReplyResult(socket, sized);
    CBoardSaveJob::Files files;
    std::string reason;
    int32_t rc = ReadFileWrite(request, files, reason);
    if (rc == kSvcMalformedRequest)
        return rc;
    // One save at a time: a new start ends one the client left behind.
    m_save.reset();
    if (rc == TQ8_OK) {
        auto job = std::make_unique<CBoardSaveJob>(m_handle, std::move(files), source == 1, start,
                                                   static_cast<uint32_t>(count));
        rc = job->Prepare();
        if (rc == TQ8_OK)
            m_save = std::move(job);
    }
    return ReplyResult(socket, rc);
}

int32_t CSvcTQ8BoardInst::OnSaveStep(int socket, xmlDocPtr request)
{
    uint32_t cancel = 0;
    std::string data;
    if (!GetUIntParameter(request, "Cancel", cancel) || !GetChunkParameter(request, data))
        return kSvcMalformedRequest;
    if (!m_save)
        return ReplyResult(socket, TQ8_ERR_WRONG_MODE);
    CBoardSaveJob::StepResult step;
    if (!m_save->Step(cancel != 0, data, step))
        return kSvcMalformedRequest;
    if (step.finished)
        m_save.reset();
    std::string items;
    Append(items, tq8wire::kResult, step.result);
    Append(items, "Finished", step.finished ? 1 : 0);
    Append(items, "Done", step.done);
    return ReplyData(socket, items);
}

int32_t CSvcTQ8BoardInst::OnRec(int socket, xmlDocPtr request)
{
    using Op = tq8wire::RecOp;
    uint32_t op = 0, id = 0, max = 0;
    if (!GetUIntParameter(request, "Op", op) || !GetUIntParameter(request, "Session", id)
        || !GetUIntParameter(request, "Max", max) || op >= static_cast<uint32_t>(Op::Count)
        || max > tq8wire::kReadChunkBytes)
        return kSvcMalformedRequest;
    const auto found = m_sessions.find(id);
    if (found == m_sessions.end())
        return ReplyResult(socket, TQ8_ERR_INVALID_HANDLE);
    const TQ8_REC_SESSION session = found->second;
    std::string items;
    int32_t rc = TQ8_OK;
    switch (static_cast<Op>(op)) {
    case Op::Arm: rc = ArmRecordingSessionTQ8(session); break;
    case Op::Abort: rc = AbortRecordingSessionTQ8(session); break;
    case Op::Delete:
        rc = DeleteRecordingSessionTQ8(session);
        m_sessions.erase(found);
        break;
    case Op::OutFlags: {
        uint32_t flags = 0;
        rc = GetRecordingSessionOutFlagsTQ8(session, &flags);
        Append(items, "Flags", flags);
        break;
    }
    case Op::Snapshot: {
        std::vector<uint8_t> buffer(max);
        uint32_t samples = 0, counter = 0;
        rc = GetRecordingSnapshotTQ8(session, max ? buffer.data() : nullptr, max, &samples, &counter);
        Append(items, "Samples", samples);
        Append(items, "Counter", counter);
        if (rc == TQ8_OK && samples > 0)
            AppendData(items, tq8wire::kData, buffer.data(), samples);
        break;
    }
    case Op::Progress: {
        TQ8_REC_SESSION_PROGRESS_EX ex{};
        ex.base.Rpr_ss = sizeof ex;
        rc = GetRecordingSessionProgressTQ8(session, &ex.base, 0);
        TQ8_REC_SESSION_PROGRESS& p = ex.base;
        Append(items, "Transfer", ex.Rpr_transferSamples);
        Append(items, "Status", p.Rpr_status);
        Append(items, "Elapsed", p.Rpr_elapsedMs);
        Append(items, "Recorded", p.Rpr_samplesRecorded);
        Append(items, "ToRecord", p.Rpr_samplesToRecord);
        Append(items, "Counter", p.Rpr_snapshotCounter);
        Append(items, "Error", p.Rpr_errorCode);
        if (p.Rpr_errorText) {
            const std::string text = vlt::WideToUtf8(p.Rpr_errorText);
            AppendData(items, tq8wire::kText, text.data(), text.size());
        }
        FreeMemoryTQ8(p.Rpr_errorText);
        break;
    }
    case Op::Count: break;
    }
    std::string reply;
    Append(reply, tq8wire::kResult, rc);
    return ReplyData(socket, reply + items);
}
