#include "CRemoteBoardBackend.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>

#include "Base64.h"
#include "CBoardRegisters.h"
#include "NumberParse.h"
#include "ServiceRequestRoutines.h"
#include "SettingsXml.h"
#include "XmlRoutines.h"

namespace tq8 {

namespace {

using Method = tq8wire::Method;

template <class T>
bool ReturnNumber(xmlDocPtr reply, const char* item, T& value)
{
    std::string text;
    return GetServiceReturnString(reply, item, text) == 0 && vlt::ParseNumberExact(text, value);
}

// Decodes the base64 item into exactly `bytes` bytes at dst, straight from
// the parsed text (sample chunks are large).
bool ReturnData(xmlDocPtr reply, const char* item, void* dst, size_t bytes)
{
    const std::string path = std::string("/VltServiceResponse/ReturnData/") + item;
    xmlNodePtr node = XPathFindNode(reply, path.c_str());
    if (!node || !node->children || node->children != node->last || node->children->type != XML_TEXT_NODE
        || !node->children->content)
        return false;
    const std::string_view text(reinterpret_cast<const char*>(node->children->content));
    size_t written = 0;
    return vlt::Base64Decode(text, static_cast<uint8_t*>(dst), bytes, written) && written == bytes;
}

bool ReturnText(xmlDocPtr reply, const char* item, std::string& out)
{
    std::string text;
    return GetServiceReturnString(reply, item, text) == 0 && tq8wire::DecodeText(text, out);
}

bool ReturnFlags(xmlDocPtr reply, std::array<uint32_t, 4>& flags)
{
    std::string text;
    if (GetServiceReturnString(reply, "Flags", text) != 0)
        return false;
    std::string_view rest(text);
    for (uint32_t& f : flags) {
        const size_t end = rest.find(',');
        if (!vlt::ParseNumberExact(rest.substr(0, end), f))
            return false;
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    return rest.empty();
}

bool ReadDesc(xmlDocPtr reply, BoardDescription& d, uint32_t serial)
{
    uint32_t overflow = 0;
    d.kind = BoardKind::Local;
    d.serial = serial;
    return ReturnNumber(reply, "Revision", d.revision) && ReturnNumber(reply, "Features", d.features)
        && ReturnNumber(reply, "Packages", d.packages) && ReturnFlags(reply, d.channelFlags)
        && ReturnNumber(reply, "MasterSlave", d.masterSlave) && ReturnNumber(reply, "Sync", d.syncConfig)
        && ReturnNumber(reply, "ExtTrigger", d.extTriggerConfig)
        && ReturnNumber(reply, "InputFilter", d.inputFilterConfig) && ReturnNumber(reply, "ZabFpga", d.zabFpgaType)
        && ReturnNumber(reply, "FpgaType", d.fpgaType) && ReturnNumber(reply, "RamSize", d.ramSize)
        && ReturnNumber(reply, "DriverVersion", d.driverVersion)
        && ReturnNumber(reply, "FirmwareVersion", d.firmwareVersion) && ReturnNumber(reply, "TsOverflow", overflow)
        && overflow <= 1 && (d.timestampOverflowFlag = overflow == 1, true);
}

// Each 16-bit part of the wide form carries one byte of the version.
uint32_t NarrowVersion(uint64_t wide)
{
    uint32_t narrow = 0;
    for (int i = 3; i >= 0; --i)
        narrow = (narrow << 8) | static_cast<uint32_t>((wide >> (16 * i)) & 0xFF);
    return narrow;
}

using BoardKey = std::tuple<std::wstring, uint16_t, uint32_t, bool>;

BoardKey KeyOf(const RemoteTarget& t)
{
    return {t.server, t.port, t.serial, t.isVirtual};
}

std::mutex g_boardsMutex;
std::map<BoardKey, std::weak_ptr<CRemoteBoardBackend>> g_boards;

int32_t Result(xmlDocPtr reply)
{
    int32_t rc = 0;
    return GetServiceReturnInt(reply, tq8wire::kResult, rc) == 0 ? rc : TQ8_ERR_BAD_REPLY;
}

} // namespace

CRemoteBoardBackend::CRemoteBoardBackend(RemoteTarget target, BoardDescription desc)
    : m_target(std::move(target)), m_desc(std::move(desc)), m_settings(m_desc)
{
}

int32_t CRemoteBoardBackend::ForLink(const std::shared_ptr<CRemoteLink>& link,
                                     std::shared_ptr<CRemoteBoardBackend>& out)
{
    {
        std::lock_guard lock(g_boardsMutex);
        auto found = g_boards.find(KeyOf(link->Target()));
        if (found != g_boards.end())
            out = found->second.lock();
    }
    if (out) {
        // The board's copy holds: a server that has lost the settings since
        // (restarted) must not run this connection's work on its defaults.
        out->AddLink(link);
        CAutoXmlDoc reply;
        const int32_t rc = link->Call(Method::Settings, {SettingsItem(out->Settings())}, reply);
        if (rc != TQ8_OK)
            return rc;
        return out->TakeSettings(reply) == TQ8_OK ? TQ8_OK : TQ8_ERR_SETTINGS_NOT_RESTORED;
    }
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::Desc, {}, reply);
    if (rc == TQ8_OK)
        rc = Result(reply);
    BoardDescription desc;
    if (rc == TQ8_OK && !ReadDesc(reply, desc, link->Target().serial))
        rc = TQ8_ERR_BAD_REPLY;
    if (rc != TQ8_OK)
        return rc;
    if (link->Target().isVirtual)
        desc.kind = BoardKind::Virtual;
    auto board = std::make_shared<CRemoteBoardBackend>(link->Target(), desc);
    board->AddLink(link);
    rc = link->Call(Method::Settings, {}, reply);
    if (rc == TQ8_OK)
        rc = board->TakeSettings(reply);
    if (rc != TQ8_OK)
        return rc;
    std::lock_guard lock(g_boardsMutex);
    auto& slot = g_boards[KeyOf(link->Target())];
    if (auto other = slot.lock()) { // another thread was quicker
        other->AddLink(link);
        out = other;
    } else {
        slot = board;
        out = board;
    }
    return TQ8_OK;
}

void CRemoteBoardBackend::AddLink(const std::shared_ptr<CRemoteLink>& link)
{
    // Weak: the board's handles own the links and the board.
    const std::weak_ptr<CRemoteBoardBackend> weak = weak_from_this();
    link->SetSettingsRestore(
        [weak] {
            const auto board = weak.lock();
            return board ? SettingsItem(board->Settings()) : std::string();
        },
        [weak](xmlDocPtr reply) {
            const auto board = weak.lock();
            return board ? board->TakeSettings(reply) : TQ8_ERR_CONNECTION_LOST;
        });
    std::lock_guard lock(m_mutex);
    std::erase_if(m_links, [](const std::weak_ptr<CRemoteLink>& l) { return l.expired(); });
    m_links.push_back(link);
}

std::shared_ptr<CRemoteLink> CRemoteBoardBackend::Link() const
{
    const CConnection* current = CConnectionScope::Current();
    if (current && current->backend.get() == this && current->link)
        return current->link;
    std::lock_guard lock(m_mutex);
    for (const auto& weak : m_links)
        if (auto link = weak.lock())
            return link;
    return nullptr;
}

int32_t CRemoteBoardBackend::TakeSettings(xmlDocPtr reply)
{
    const int32_t rc = Result(reply);
    std::string text;
    if (!ReturnText(reply, tq8wire::kText, text))
        return rc != TQ8_OK ? rc : TQ8_ERR_BAD_REPLY;
    std::lock_guard lock(m_mutex);
    CBoardSettings taken = m_settings;
    if (SettingsFromXml(text, m_settings, taken) != TQ8_OK)
        return rc != TQ8_OK ? rc : TQ8_ERR_BAD_REPLY;
    m_settings = taken;
    return rc;
}

int32_t CRemoteBoardBackend::Push(const CBoardSettings& settings)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    CAutoXmlDoc reply;
    const int32_t rc = link->Call(Method::Settings, {SettingsItem(settings)}, reply);
    return rc == TQ8_OK ? TakeSettings(reply) : rc;
}

std::string CRemoteBoardBackend::SettingsItem(const CBoardSettings& settings)
{
    const std::string xml = SettingsToXmlElement(settings);
    std::string text;
    vlt::Base64Encode(reinterpret_cast<const uint8_t*>(xml.data()), xml.size(), text);
    return text;
}

CBoardSettings CRemoteBoardBackend::Settings() const
{
    std::lock_guard lock(m_mutex);
    return m_settings;
}

double CRemoteBoardBackend::Get(SettingId id) const
{
    std::lock_guard lock(m_mutex);
    return m_settings.Get(id);
}

// Each setter checks and realigns on a copy first, as the board would, so
// that a refused value costs no round trip.
template <class F>
int32_t CRemoteBoardBackend::Change(F&& change)
{
    CBoardSettings s = Settings();
    const int32_t rc = change(s);
    return rc == TQ8_OK ? Push(s) : rc;
}

int32_t CRemoteBoardBackend::Set(SettingId id, double value)
{
    return Change([&](CBoardSettings& s) { return s.Set(id, value); });
}

int32_t CRemoteBoardBackend::SetExtDividers(int32_t d1, int32_t d2)
{
    return Change([&](CBoardSettings& s) { return s.SetExtDividers(d1, d2); });
}

int32_t CRemoteBoardBackend::SetMemoryRegion(uint32_t count, uint32_t start)
{
    return Change([&](CBoardSettings& s) { return s.SetMemoryRegion(count, start); });
}

int32_t CRemoteBoardBackend::SetProcessingParam(uint16_t index, uint16_t value)
{
    return Change([&](CBoardSettings& s) { return s.SetProcessingParam(index, value); });
}

int32_t CRemoteBoardBackend::LoadFir(FirBank bank, const int16_t* taps, size_t count)
{
    return Change([&](CBoardSettings& s) { return s.LoadFir(bank, taps, count); });
}

int32_t CRemoteBoardBackend::ApplySettings(const CBoardSettings& settings)
{
    return Change([&](CBoardSettings& s) { return s.CopyFrom(settings); });
}

void CRemoteBoardBackend::SetDefaults()
{
    CBoardSettings s = Settings();
    s.SetDefaults();
    Push(s);
}

int32_t CRemoteBoardBackend::RewriteSettings()
{
    return Push(Settings());
}

int32_t CRemoteBoardBackend::CenterSignal(int channel, int target)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    CAutoXmlDoc reply;
    const int32_t rc = link->Call(Method::Center, {std::to_string(channel), std::to_string(target)}, reply);
    return rc == TQ8_OK ? TakeSettings(reply) : rc;
}

int32_t CRemoteBoardBackend::Acquire(AcqTarget target, uint32_t start, uint32_t count, const std::atomic<bool>* closed)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    const int32_t rc = link->CallForResult(
        Method::Acquire, {std::to_string(static_cast<int>(target)), std::to_string(start), std::to_string(count)},
        CRemoteLink::kAcquireTimeoutMs);
    // Disconnecting the handle closed its connection under the call.
    return closed && *closed ? TQ8_ERR_CANCELLED : rc;
}

int32_t CRemoteBoardBackend::SetMode(int mode)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    if (mode == TQ8_MODE_STANDBY)
        link->AsyncRead().Cancel([&link] { link->Abort(); });
    if (mode == TQ8_MODE_STANDBY && link->Busy()) {
        // The handle's connection is blocked in a call (an acquisition on
        // another thread): standby goes over a connection of its own.
        CRemoteLink side(link->Target());
        const int32_t rc = side.Open();
        return rc == TQ8_OK ? side.CallForResult(Method::Mode, {std::to_string(mode)}) : rc;
    }
    return link->CallForResult(Method::Mode, {std::to_string(mode)});
}

int32_t CRemoteBoardBackend::State(const char* item, int32_t fallback) const
{
    auto link = Link();
    CAutoXmlDoc reply;
    int32_t value = fallback;
    if (link && link->Call(Method::State, {}, reply) == TQ8_OK && Result(reply) == TQ8_OK)
        GetServiceReturnInt(reply, item, value);
    return value;
}

int CRemoteBoardBackend::Mode() const
{
    return State("Mode", TQ8_MODE_STANDBY);
}

bool CRemoteBoardBackend::IsIdle() const
{
    return State("Idle", 0) != 0;
}

bool CRemoteBoardBackend::SamplesComplete() const
{
    return State("Complete", 0) != 0;
}

bool CRemoteBoardBackend::FifoFull() const
{
    return State("FifoFull", 0) != 0;
}

void CRemoteBoardBackend::SoftwareTrigger()
{
    if (auto link = Link())
        link->CallForResult(Method::Trigger, {});
}

int32_t CRemoteBoardBackend::SyncClocks(bool resetClockModules)
{
    auto link = Link();
    return link ? link->CallForResult(Method::SyncClocks, {resetClockModules ? "1" : "0"}) : TQ8_ERR_CONNECTION_LOST;
}

int32_t CRemoteBoardBackend::CalibrateAdc(int adc)
{
    auto link = Link();
    return link ? link->CallForResult(Method::Calibrate, {std::to_string(adc)}) : TQ8_ERR_CONNECTION_LOST;
}

int32_t CRemoteBoardBackend::JtagIdCodes(std::string& text)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::Jtag, {}, reply);
    if (rc == TQ8_OK)
        rc = Result(reply);
    if (rc != TQ8_OK || ReturnText(reply, tq8wire::kText, text))
        return rc;
    // An empty item is an empty text (no scan chain); missing or not base64: malformed.
    std::string raw;
    const xmlNodePtr node = XPathFindNode(reply, "/VltServiceResponse/ReturnData/Text");
    if (node == nullptr || (XmlNodeGetText(node, raw) && !raw.empty()))
        return TQ8_ERR_BAD_REPLY;
    text.clear();
    return TQ8_OK;
}

int32_t CRemoteBoardBackend::RunningFirmware(FirmwarePart part, std::optional<FirmwareVersion>& version)
{
    version.reset();
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::Desc, {}, reply);
    if (rc == TQ8_OK)
        rc = Result(reply);
    if (rc != TQ8_OK)
        return rc;
    // The system FPGA's item is always there, 0 while its version is
    // unknown; the ZAB FPGA's is there only while its version is known.
    const bool system = part == FirmwarePart::System;
    const char* item = system ? "FirmwareVersion" : "ZabFirmwareVersion";
    if (!system && !XPathFindNode(reply, "/VltServiceResponse/ReturnData/ZabFirmwareVersion"))
        return TQ8_OK;
    uint64_t wide = 0;
    if (!ReturnNumber(reply, item, wide))
        return TQ8_ERR_BAD_REPLY;
    if (!system || wide != 0)
        version = FirmwareVersion{NarrowVersion(wide), 0};
    return TQ8_OK;
}

DriverCounters CRemoteBoardBackend::ReadDriverStats(bool reset)
{
    DriverCounters counters;
    auto link = Link();
    CAutoXmlDoc reply;
    TQ8_DRIVER_STATS stats{};
    if (!link || link->Call(Method::Stats, {reset ? "1" : "0"}, reply) != TQ8_OK || Result(reply) != TQ8_OK
        || !ReturnData(reply, tq8wire::kData, &stats, sizeof stats))
        return counters;
    counters.interrupts = stats.interrupts;
    counters.dmaCompleted = stats.dmaTransfersCompleted;
    counters.dmaStarted = stats.dmaTransfersStarted;
    counters.acquisitionsStarted = stats.acquisitionsStarted;
    counters.acquisitionsCompleted = stats.acquisitionsCompleted;
    counters.clockModuleResets = stats.clockModuleResets;
    counters.bytesTransferred = stats.bytesTransferred;
    return counters;
}

int32_t CRemoteBoardBackend::ReadEeprom(uint32_t first, uint16_t* words, uint32_t count) const
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::Eeprom, {std::to_string(first), std::to_string(count)}, reply);
    if (rc == TQ8_OK)
        rc = Result(reply);
    if (rc == TQ8_OK && !ReturnData(reply, tq8wire::kData, words, size_t(count) * sizeof(uint16_t)))
        rc = TQ8_ERR_BAD_REPLY;
    return rc;
}

int32_t CRemoteBoardBackend::ReadChunks(CRemoteLink& link, Method method, uint32_t first, uint32_t count,
                                        uint8_t* dst, CRemoteAsyncRead* async)
{
    for (uint32_t done = 0; done < count;) {
        const uint32_t n = std::min(count - done, tq8wire::kReadChunkBytes);
        CAutoXmlDoc reply;
        int32_t rc = link.Call(method, {std::to_string(first + done), std::to_string(n)}, reply);
        if (rc == TQ8_OK)
            rc = Result(reply);
        if (rc != TQ8_OK)
            return rc;
        auto write = [&] { return ReturnData(reply, tq8wire::kData, dst + done, n); };
        bool written = true;
        if (async) {
            if (!async->Deliver([&] { return written = write(); }) && written)
                return TQ8_ERR_CANCELLED;
        } else {
            written = write();
        }
        if (!written)
            return TQ8_ERR_BAD_REPLY;
        done += n;
    }
    return TQ8_OK;
}

int32_t CRemoteBoardBackend::ReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    if (dst == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    return ReadChunks(*link, Method::Read, first, count, dst, nullptr);
}

int32_t CRemoteBoardBackend::StartReadRam(uint32_t first, uint32_t count, uint8_t* dst)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    if (dst == nullptr || count == 0)
        return TQ8_ERR_INVALID_ARG;
    // The link outlives the read: closing it cancels the read and waits
    // for its thread.
    CRemoteLink* raw = link.get();
    return link->AsyncRead().Start(
        [raw, first, count, dst](CRemoteAsyncRead& async) {
            return ReadChunks(*raw, Method::Read, first, count, dst, &async);
        });
}

int32_t CRemoteBoardBackend::StartPciAcquisition(uint32_t bytes, uint8_t* dst)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    if (dst == nullptr || bytes == 0)
        return TQ8_ERR_INVALID_ARG;
    // Refused at once, as on this computer, rather than at the wait.
    if (Mode() != TQ8_MODE_PCI_BUFFERED_ACQ)
        return TQ8_ERR_WRONG_MODE;
    // Acquired into the server's buffer, then fetched as a memory read is.
    CRemoteLink* raw = link.get();
    return link->AsyncRead().Start([raw, bytes, dst](CRemoteAsyncRead& async) {
        const int32_t rc =
            raw->CallForResult(Method::PciAcquire, {std::to_string(bytes)}, CRemoteLink::kAcquireTimeoutMs);
        return rc == TQ8_OK ? ReadChunks(*raw, Method::PciRead, 0, bytes, dst, &async) : rc;
    });
}

int32_t CRemoteBoardBackend::WaitTransfer(uint32_t timeoutMs)
{
    auto link = Link();
    if (!link)
        return TQ8_OK;
    return link->AsyncRead().Wait(timeoutMs, [&link] { link->Abort(); });
}

int32_t CRemoteBoardBackend::WriteEeprom(uint32_t first, const uint16_t* words, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        if (int32_t rc = Register(tq8wire::RegisterOp::EepromWrite, {first + i, words[i]}); rc != TQ8_OK)
            return rc;
    return TQ8_OK;
}

int32_t CRemoteBoardBackend::Register(tq8wire::RegisterOp op, std::vector<uint32_t> args, uint32_t* value)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    args.resize(6, 0);
    std::vector<std::string> values{std::to_string(static_cast<int>(op))};
    for (uint32_t a : args)
        values.push_back(std::to_string(a));
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::Register, values, reply);
    if (rc != TQ8_OK)
        return rc;
    uint32_t read = 0;
    if (!ReturnNumber(reply, "Value", read))
        return TQ8_ERR_BAD_REPLY;
    rc = TakeSettings(reply);
    if (value && rc == TQ8_OK)
        *value = read;
    return rc;
}

int32_t CRemoteBoardBackend::ReadDeviceReg(uint32_t reg, uint32_t& value)
{
    return Register(tq8wire::RegisterOp::DeviceRead, {reg}, &value);
}

int32_t CRemoteBoardBackend::WriteDeviceReg(uint32_t reg, uint32_t mask, uint32_t value)
{
    return Register(tq8wire::RegisterOp::DeviceWrite, {reg, mask, value});
}

int32_t CRemoteBoardBackend::WriteAdcReg(int adc, uint32_t reg, uint32_t mask, uint16_t value, Placement at)
{
    return Register(tq8wire::RegisterOp::AdcWrite,
                    {static_cast<uint32_t>(adc), reg, mask, value, at.first, at.second});
}

int32_t CRemoteBoardBackend::ReadClockGenReg(int cg, uint32_t reg, Placement at, uint8_t& value)
{
    uint32_t read = 0;
    const int32_t rc =
        Register(tq8wire::RegisterOp::ClockRead, {static_cast<uint32_t>(cg), reg, at.first, at.second}, &read);
    if (rc == TQ8_OK)
        value = static_cast<uint8_t>(read);
    return rc;
}

int32_t CRemoteBoardBackend::WriteClockGenReg(int cg, uint32_t reg, uint8_t mask, uint8_t value, Placement at)
{
    return Register(tq8wire::RegisterOp::ClockWrite,
                    {static_cast<uint32_t>(cg), reg, mask, value, at.first, at.second});
}

int32_t CRemoteBoardBackend::RawRegRead(int bar, uint32_t reg, uint32_t& value)
{
    return Register(tq8wire::RegisterOp::RawRead, {static_cast<uint32_t>(bar), reg}, &value);
}

int32_t CRemoteBoardBackend::RawRegWrite(int bar, uint32_t reg, uint32_t value)
{
    return Register(tq8wire::RegisterOp::RawWrite, {static_cast<uint32_t>(bar), reg, value});
}

int32_t CRemoteBoardBackend::SetAdcOffsetAdjust(int channel, int value)
{
    return Register(tq8wire::RegisterOp::AdcOffset, {static_cast<uint32_t>(channel), static_cast<uint32_t>(value)});
}

int32_t CRemoteBoardBackend::SetExtTriggerDelay(uint32_t taps)
{
    return Register(tq8wire::RegisterOp::TriggerDelay, {taps});
}

int32_t CRemoteBoardBackend::ReadRegisterSet(int set, uint32_t* words)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    const uint32_t count = CBoardRegisters::SetWords(set);
    if (count == 0)
        return TQ8_ERR_INVALID_ARG;
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::RegisterSet, {std::to_string(set)}, reply);
    if (rc == TQ8_OK)
        rc = Result(reply);
    if (rc == TQ8_OK && !ReturnData(reply, tq8wire::kData, words, count * sizeof(uint32_t)))
        rc = TQ8_ERR_BAD_REPLY;
    return rc;
}

int32_t CRemoteBoardBackend::TimestampInfo(const char* item) const
{
    auto link = Link();
    CAutoXmlDoc reply;
    int32_t value = 0;
    if (link && link->Call(Method::Timestamps, {"0", "0", "0"}, reply) == TQ8_OK && Result(reply) == TQ8_OK)
        GetServiceReturnInt(reply, item, value);
    return value;
}

uint32_t CRemoteBoardBackend::TimestampDepth() const
{
    return static_cast<uint32_t>(std::max(TimestampInfo("Depth"), 0));
}

uint32_t CRemoteBoardBackend::TimestampsAvailable() const
{
    return static_cast<uint32_t>(std::max(TimestampInfo("Available"), 0));
}

bool CRemoteBoardBackend::TimestampOverflow() const
{
    return TimestampInfo("Overflow") != 0;
}

int32_t CRemoteBoardBackend::ReadTimestamps(uint64_t* dst, uint32_t max, uint32_t* count, bool evenAfterOverflow)
{
    auto link = Link();
    if (!link)
        return TQ8_ERR_CONNECTION_LOST;
    if (count)
        *count = 0;
    const uint32_t limit = std::min<uint32_t>(max, tq8wire::kReadChunkBytes / sizeof(uint64_t));
    CAutoXmlDoc reply;
    int32_t rc = link->Call(Method::Timestamps,
                            {std::to_string(static_cast<int>(tq8wire::TimestampOp::Read)), std::to_string(limit),
                             evenAfterOverflow ? "1" : "0"},
                            reply);
    if (rc == TQ8_OK)
        rc = Result(reply);
    uint32_t got = 0;
    if (rc == TQ8_OK && (!ReturnNumber(reply, tq8wire::kCount, got) || got > limit
                         || (got > 0 && !ReturnData(reply, tq8wire::kData, dst, got * sizeof(uint64_t)))))
        rc = TQ8_ERR_BAD_REPLY;
    if (rc == TQ8_OK && count)
        *count = got;
    return rc;
}

int32_t CRemoteBoardBackend::ResetTimestamps(tq8wire::TimestampOp op)
{
    auto link = Link();
    return link ? link->CallForResult(Method::Timestamps, {std::to_string(static_cast<int>(op)), "0", "0"})
                : TQ8_ERR_CONNECTION_LOST;
}

void CRemoteBoardBackend::ResetTimestampFifo()
{
    ResetTimestamps(tq8wire::TimestampOp::ResetFifo);
}

void CRemoteBoardBackend::ResetTimestampCounter()
{
    ResetTimestamps(tq8wire::TimestampOp::ResetCounter);
}

} // namespace tq8
