#include "RecordingContextFile.h"

#include <charconv>
#include <cstring>
#include <ctime>
#include <memory>
#include <type_traits>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "AtomicFile.h"
#include "CFileWriter.h"
#include "ChannelSelection.h"
#include "NumberParse.h"
#include "XmlRoutines.h"

namespace tq8 {

namespace {
constexpr const char* kRoot = "VltRecordedDataContext";

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

// A value that does not parse keeps the default.
template <class T>
void Take(const ContextItems& items, const char* name, T& out)
{
    const std::string* text = FindContextItem(items, name);
    T value{};
    if (text != nullptr && vlt::ParseNumberExact(*text, value))
        out = value;
}

// Characters XML 1.0 cannot carry become U+FFFD.
std::string Escaped(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        case '"': out += "&quot;"; break;
        default:
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r')
                out += "\xEF\xBF\xBD";
            else
                out += c;
        }
    }
    return out;
}

std::string Number(double v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

template <class T>
void Item(std::string& out, const char* name, T value)
{
    out += "  <";
    out += name;
    out += ">";
    if constexpr (std::is_same_v<T, double>)
        out += Number(value);
    else if constexpr (std::is_same_v<T, std::string>)
        out += Escaped(value);
    else
        out += std::to_string(value);
    out += "</";
    out += name;
    out += ">\n";
}
} // namespace

std::string ContextFilePath(const std::string& dataPath)
{
    return dataPath + ".vrdc";
}

void DescribeOutput(const FileWritePlan& plan, RecordingContext& c)
{
    c.info.headerBytes = plan.headerBytes;
    c.info.isSigned = plan.Has(TQ8_FWP_SIGNED) ? 1 : 0;
    const int count = ChannelCount(plan.chanSel);
    if (plan.Has(TQ8_FWP_ASSUME_FORMAT) && count > 0) {
        c.selection = plan.chanSel;
        c.info.channelCount = static_cast<uint32_t>(count);
        c.info.channelNumber = count == 1 ? static_cast<uint32_t>(PhysicalChannel(plan.chanSel, 0) + 1) : 0xFFFFFFFFu;
    }
    c.fileFlags = plan.fileFlags;
    c.notes = plan.notes;
}

std::string ContextTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return buf;
}

std::string RecordingContextXml(const RecordingContext& c)
{
    const TQ8_RECORDED_DATA_INFO& i = c.info;
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VltRecordedDataContext version=\"1\">\n";
    Item(out, "BoardName", std::string(i.boardName, strnlen(i.boardName, sizeof i.boardName)));
    Item(out, "SerialNumber", i.serialNumber);
    Item(out, "ChannelCount", i.channelCount);
    Item(out, "ChannelNumber", i.channelNumber);
    Item(out, "BytesPerSample", i.bytesPerSample);
    Item(out, "BitsPerSample", i.bitsPerSample);
    Item(out, "Signed", i.isSigned);
    Item(out, "SamplingRateMHz", i.samplingRateMHz);
    Item(out, "InputRangeVpp", i.inputRangeVpp);
    Item(out, "SegmentSize", i.segmentSize);
    Item(out, "HeaderBytes", i.headerBytes);
    Item(out, "TriggerOffset", i.triggerOffset);
    Item(out, "PreTrigger", i.preTrigger);
    Item(out, "ActiveChannels", c.selection);
    Item(out, "RecordingFlags", c.flags);
    Item(out, "FileFlags", c.fileFlags);
    Item(out, "SamplesPerAcquisition", c.acqSamples);
    Item(out, "TransferSamples", c.transferSamples);
    Item(out, "SamplesRecorded", c.samplesRecorded);
    Item(out, "ElapsedMs", c.elapsedMs);
    Item(out, "StartTime", c.startTime);
    Item(out, "EndTime", c.endTime);
    Item(out, "Result", c.result);
    Item(out, "OperatorNotes", c.notes);
    Item(out, "DataFileCount", c.files.size());
    for (size_t n = 0; n < c.files.size(); ++n)
        Item(out, ("DataFile" + std::to_string(n + 1)).c_str(), c.files[n].path);
    for (size_t n = 0; n < c.timestampFiles.size(); ++n)
        Item(out, ("TimestampFile" + std::to_string(n + 1)).c_str(), c.timestampFiles[n]);
    out += "</VltRecordedDataContext>\n";
    return out;
}

bool RewriteContextInPlace(const std::string& path, const std::string& text)
{
    vlt::CFileWriter file;
    return file.Open(path, {true, vlt::CFileWriter::Options::Existing::Overwrite}) && file.Write(text)
           && file.Commit();
}

int32_t ReadContextItems(const std::string& path, ContextItems& items, std::string& reason)
{
    // Through the one file reader: a FIFO or a device never blocks the caller.
    std::string data;
    if (!vlt::ReadWholeFile(path, data, &reason, kXmlFileMaxBytes))
        return TQ8_ERR_FILE_UNREADABLE;
    std::unique_ptr<xmlDoc, DocFree> doc(
        XmlReadMemory(data, path, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING, &reason));
    if (!doc)
        return TQ8_ERR_CONTEXT_DAMAGED;
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || xmlStrcmp(root->name, BAD_CAST kRoot) != 0) {
        reason = "'" + path + "' is not a recording context file";
        return TQ8_ERR_CONTEXT_DAMAGED;
    }
    ContextItems read;
    for (xmlNode* n = root->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        xmlChar* text = xmlNodeGetContent(n);
        read.emplace_back(reinterpret_cast<const char*>(n->name),
                          text != nullptr ? reinterpret_cast<const char*>(text) : "");
        xmlFree(text);
    }
    items = std::move(read);
    return TQ8_OK;
}

const std::string* FindContextItem(const ContextItems& items, const std::string& name)
{
    for (const auto& [key, value] : items)
        if (key == name)
            return &value;
    return nullptr;
}

void DefaultRecordedDataInfo(TQ8_RECORDED_DATA_INFO& info)
{
    std::memset(&info, 0, sizeof info);
    info.size = sizeof info;
    info.channelCount = 1;
    info.channelNumber = 1;
    info.bytesPerSample = 1;
    info.bitsPerSample = 8;
}

void InfoFromContextItems(const ContextItems& items, TQ8_RECORDED_DATA_INFO& info)
{
    DefaultRecordedDataInfo(info);
    if (const std::string* name = FindContextItem(items, "BoardName"))
        std::strncpy(info.boardName, name->c_str(), sizeof info.boardName - 1);
    Take(items, "SerialNumber", info.serialNumber);
    Take(items, "ChannelCount", info.channelCount);
    Take(items, "ChannelNumber", info.channelNumber);
    Take(items, "BytesPerSample", info.bytesPerSample);
    Take(items, "BitsPerSample", info.bitsPerSample);
    Take(items, "Signed", info.isSigned);
    Take(items, "SamplingRateMHz", info.samplingRateMHz);
    Take(items, "InputRangeVpp", info.inputRangeVpp);
    Take(items, "SegmentSize", info.segmentSize);
    Take(items, "HeaderBytes", info.headerBytes);
    Take(items, "TriggerOffset", info.triggerOffset);
    Take(items, "PreTrigger", info.preTrigger);
}

} // namespace tq8
