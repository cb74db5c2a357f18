#pragma once
// What the board service and the library's remote boards say to each other
// over the service host's framing: one table of call methods with their
// parameters and return items. The service builds its dispatch from it and
// the library builds its requests from it.
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "Base64.h"
#include "NumberParse.h"

namespace tq8wire {

enum class Method {
    List,
    Open,
    Desc,
    Settings,
    Center,
    Acquire,
    Mode,
    State,
    Trigger,
    Read,
    SyncClocks,
    Calibrate,
    Stats,
    Eeprom,
    Register,
    RegisterSet,
    Timestamps,
    RecCreate,
    Rec,
    SaveStart,
    SaveStep,
    PciAcquire,
    PciRead,
    Jtag,
    FwBegin,
    FwData,
    FwUpload,
    FwStep,
    WriteCheck,
    Count
};

// Operations of the Register call: A..F are the library call's arguments in
// order (placements as logical index and byte or sub-index).
enum class RegisterOp {
    DeviceRead,   // reg -> Value
    DeviceWrite,  // reg, mask, value
    RawRead,      // bar, reg -> Value
    RawWrite,     // bar, reg, value
    AdcWrite,     // adc, reg, mask, value, logIdx, subIdx
    ClockRead,    // cg, reg, logIdx, byteIdx -> Value
    ClockWrite,   // cg, reg, mask, value, logIdx, byteIdx
    AdcOffset,    // channel, value
    TriggerDelay, // taps
    EepromWrite,  // word, value
    Count
};

// Operations of the Rec call on a recording session of the connection.
enum class RecOp { Arm, Progress, Snapshot, Abort, OutFlags, Delete, Count };

// Operations of the Timestamps call.
enum class TimestampOp { Info, Read, ResetFifo, ResetCounter, Count };

struct MethodRow {
    Method method;
    const char* name;
    const char* parameters; // in order, ";"-separated
    const char* returns;
};

// List: this computer's local boards. Open: binds the connection to a board
// (Virtual 1 creates or opens that virtual board; otherwise Serial is a
// serial or a 1-based ordinal, a serial winning) and answers Result.
// Every other call works on the connection's board; Result is a code of the
// device library. Binary data (Data, Text) is base64: settings texts are
// the library's settings element, sample data raw bytes, EEPROM words and
// driver counters little-endian.
inline constexpr MethodRow kMethods[] = {
    {Method::List, "TQ8_LIST", "", "Count;Device"},
    {Method::Open, "TQ8_OPEN", "Serial;Virtual", "Result;Serial"},
    // ZabFirmwareVersion (in FirmwareVersion's form) only while the ZAB
    // FPGA's version is known; servers before it never send it.
    {Method::Desc, "TQ8_DESC", "",
     "Result;Virtual;Revision;Features;Packages;Flags;MasterSlave;Sync;ExtTrigger;InputFilter;ZabFpga;FpgaType;"
     "RamSize;DriverVersion;FirmwareVersion;TsOverflow;ZabFirmwareVersion"},
    // Text, when given, is applied first; the board's settings come back.
    {Method::Settings, "TQ8_SETTINGS", "Text", "Result;Text"},
    {Method::Center, "TQ8_CENTER", "Channel;Target", "Result;Text"},
    {Method::Acquire, "TQ8_ACQUIRE", "Target;Start;Count", "Result"},
    {Method::Mode, "TQ8_MODE", "Mode", "Result"},
    {Method::State, "TQ8_STATE", "", "Result;Mode;Idle;Complete;FifoFull"},
    {Method::Trigger, "TQ8_TRIGGER", "", "Result"},
    {Method::Read, "TQ8_READ", "First;Count", "Result;Data"},
    {Method::SyncClocks, "TQ8_SYNC", "Reset", "Result"},
    {Method::Calibrate, "TQ8_CALIBRATE", "Adc", "Result"},
    {Method::Stats, "TQ8_STATS", "Reset", "Result;Data"},
    {Method::Eeprom, "TQ8_EEPROM", "First;Count", "Result;Data"},
    // Writes answer with the board's settings too: registers mirror them.
    {Method::Register, "TQ8_REG", "Op;A;B;C;D;E;F", "Result;Value;Text"},
    {Method::RegisterSet, "TQ8_REGSET", "Set", "Result;Data"},
    // Read: Max values, Flags bit 0 even after an overflow.
    {Method::Timestamps, "TQ8_TS", "Op;Max;Flags", "Result;Depth;Available;Overflow;Count;Data"},
    // A recording written on the server. Paths in the client's drive-letter
    // form, empty for none; a path outside the served folders is refused.
    {Method::RecCreate, "TQ8_REC_CREATE",
     "Flags;ToRecord;Acq;Transfer;SnapSamples;SnapCount;SnapMs;FwFlags;HdrSkip;MaxSeg;ChanSel;"
     "Path1;Path2;Path3;Path4;Notes;TsPath",
     "Result;Session"},
    {Method::Rec, "TQ8_REC", "Op;Session;Max",
     "Result;Status;Elapsed;Recorded;ToRecord;Counter;Error;Text;Samples;Data;Flags;Transfer"},
    // A save to files on the server (paths as for a recording): Source 0 is
    // board memory from Start, 1 the Count bytes the steps carry in Data.
    {Method::SaveStart, "TQ8_SAVE_START",
     "Source;Start;Count;FwFlags;HdrSkip;MaxSeg;ChanSel;Path1;Path2;Path3;Path4;Notes;TsPath", "Result"},
    // Acknowledges the last Done (or cancels) and waits for the next piece
    // written; Result is the save's code once Finished is 1.
    {Method::SaveStep, "TQ8_SAVE_STEP", "Cancel;Data", "Result;Finished;Done"},
    // Freshly acquired samples into a DMA buffer the server holds for the
    // connection; PciRead fetches them from it in chunks.
    {Method::PciAcquire, "TQ8_PCI_ACQ", "Count", "Result"},
    {Method::PciRead, "TQ8_PCI_READ", "First;Count", "Result;Data"},
    // The board's JTAG identification codes as the library's text.
    {Method::Jtag, "TQ8_JTAG", "", "Result;Text"},
    // A firmware upload on the server's board: the file (Bytes long, Name
    // its own name, whose extension tells a package from an image) arrives
    // in Data chunks; Upload starts it, and each Step waits for what it did
    // since the last one: Events, then Finished 1 with the upload's Result
    // and OutFlags.
    {Method::FwBegin, "TQ8_FW_BEGIN", "Bytes;Name", "Result"},
    {Method::FwData, "TQ8_FW_DATA", "Data", "Result"},
    {Method::FwUpload, "TQ8_FW_UPLOAD", "", "Result"},
    {Method::FwStep, "TQ8_FW_STEP", "", "Result;Finished;OutFlags;Events"},
    // Why a recording (Session 1, with its items) or a save into files
    // (Session 0) would be refused: Result, and Text naming the setting or
    // the path at fault. Servers before it leave the call unhandled.
    {Method::WriteCheck, "TQ8_WRITE_CHECK",
     "Session;Flags;ToRecord;Acq;Transfer;SnapSamples;SnapCount;SnapMs;FwFlags;HdrSkip;MaxSeg;ChanSel;"
     "Path1;Path2;Path3;Path4;Notes;TsPath",
     "Result;Text"},
};
static_assert(std::size(kMethods) == static_cast<size_t>(Method::Count), "one row per method");

constexpr const MethodRow& Row(Method m)
{
    return kMethods[static_cast<size_t>(m)];
}

constexpr const char* Name(Method m)
{
    return Row(m).name;
}

// Sample bytes of one read call: far below the host's message limit once
// in base64. Firmware files travel in chunks of the same size.
inline constexpr uint32_t kReadChunkBytes = 1u << 20;
// The largest firmware file the server takes (the library's own limit).
inline constexpr uint64_t kMaxFirmwareBytes = uint64_t(256) << 20;

// One progress call-back of an upload as Events carries it:
// "position,range,fileIndex,countOrWait", ";" between them.
struct FirmwareEvent {
    uint32_t position = 0;
    uint32_t range = 0;
    int32_t fileIndex = 0;
    uint32_t countOrWait = 0;
};

inline constexpr char kSerial[] = "Serial";
inline constexpr char kVirtual[] = "Virtual";
inline constexpr char kResult[] = "Result";
inline constexpr char kCount[] = "Count";
inline constexpr char kDevice[] = "Device";
inline constexpr char kText[] = "Text";
inline constexpr char kData[] = "Data";

// True when name is one of the row's ";"-separated items.
constexpr bool Lists(const char* items, std::string_view name)
{
    std::string_view rest(items);
    while (!rest.empty()) {
        const size_t end = rest.find(';');
        if (rest.substr(0, end) == name)
            return true;
        if (end == std::string_view::npos)
            break;
        rest.remove_prefix(end + 1);
    }
    return false;
}

inline std::string EncodeEvents(const std::vector<FirmwareEvent>& events)
{
    std::string text;
    for (const FirmwareEvent& e : events)
        text += (text.empty() ? "" : ";") + std::to_string(e.position) + "," + std::to_string(e.range) + ","
              + std::to_string(e.fileIndex) + "," + std::to_string(e.countOrWait);
    return text;
}

// false when the text is not such a list.
inline bool DecodeEvents(std::string_view text, std::vector<FirmwareEvent>& events)
{
    events.clear();
    while (!text.empty()) {
        const size_t end = text.find(';');
        std::string_view item = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        FirmwareEvent e;
        std::string_view fields[4];
        for (std::string_view& field : fields) {
            const size_t comma = item.find(',');
            field = item.substr(0, comma);
            item.remove_prefix(comma == std::string_view::npos ? item.size() : comma + 1);
        }
        if (!item.empty() || !vlt::ParseNumberExact(fields[0], e.position) || !vlt::ParseNumberExact(fields[1], e.range)
            || !vlt::ParseNumberExact(fields[2], e.fileIndex) || !vlt::ParseNumberExact(fields[3], e.countOrWait))
            return false;
        events.push_back(e);
    }
    return true;
}

// A text item (settings) from its base64; false when it is not base64.
inline bool DecodeText(std::string_view coded, std::string& text)
{
    text.resize(vlt::Base64MaxDecoded(coded.size()));
    size_t written = 0;
    if (!vlt::Base64Decode(coded, reinterpret_cast<uint8_t*>(text.data()), text.size(), written))
        return false;
    text.resize(written);
    return true;
}

} // namespace tq8wire
