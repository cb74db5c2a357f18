#include "RecordingContextFile.h"

#include <charconv>
#include <cstring>
#include <type_traits>

namespace tq8 {

namespace {
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
    Item(out, "SamplesPerAcquisition", c.acqSamples);
    Item(out, "SamplesRecorded", c.samplesRecorded);
    Item(out, "ElapsedMs", c.elapsedMs);
    Item(out, "Result", std::string(c.failed ? "failed" : "completed"));
    if (!c.notes.empty())
        Item(out, "OperatorNotes", c.notes);
    out += "  <DataFiles>\n";
    for (const auto& f : c.files)
        out += "    <File dataBytes=\"" + std::to_string(f.dataBytes) + "\">" + Escaped(f.path) + "</File>\n";
    out += "  </DataFiles>\n</VltRecordedDataContext>\n";
    return out;
}

} // namespace tq8
