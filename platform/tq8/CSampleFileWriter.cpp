#include "CSampleFileWriter.h"

#include <algorithm>
#include <cstring>

#include "CSampleTextFormat.h"
#include "TextConv.h"

namespace tq8 {

namespace {
bool EndsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

std::string WithoutExtension(const std::string& path)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return hasExt ? path.substr(0, dot) : path;
}
} // namespace

CSampleFileWriter::CSampleFileWriter(const FileWritePlan& plan, uint32_t channels, Placement placement)
    : m_plan(plan), m_channels(channels == 0 ? 1 : channels), m_placement(placement),
      m_split(plan.Has(TQ8_FWP_DEINTERLEAVE)),
      m_xor(plan.Has(TQ8_FWP_SIGNED) ? 0x80 : 0x00)
{
    if (m_plan.IsText())
        m_format = std::make_unique<CSampleTextFormat>(m_plan.Has(TQ8_FWP_HEX), m_xor != 0, m_split ? 1 : m_channels);
}

CSampleFileWriter::~CSampleFileWriter()
{
    Close();
}

bool CSampleFileWriter::Fail(const std::wstring& text, int systemError)
{
    if (m_error.empty()) {
        m_error = text;
        m_systemError = systemError;
    }
    return false;
}

bool CSampleFileWriter::Fail(const CSegmentedFileWriter& file)
{
    return Fail(file.ErrorText(), file.SystemError());
}

std::string CSampleFileWriter::TimestampStem(const FileWritePlan& plan)
{
    const std::string& ts = plan.timestampPath;
    if (!ts.empty()) {
        if (EndsWith(ts, ".tq8ts.txt"))
            return ts.substr(0, ts.size() - 10);
        return EndsWith(ts, ".tq8ts") ? ts.substr(0, ts.size() - 6) : ts;
    }
    for (size_t k = 0; k < 4; ++k)
        if (!plan.PathOf(k).empty())
            return WithoutExtension(plan.PathOf(k));
    return std::string();
}

uint32_t CSampleFileWriter::Outputs() const
{
    return m_split ? std::min<uint32_t>(m_channels, 4) : 1;
}

const std::string& CSampleFileWriter::MainPath() const
{
    if (!m_streams.empty())
        return m_streams.front().file->Files().front().path;
    for (uint32_t k = 0; k < Outputs(); ++k)
        if (!m_plan.PathOf(k).empty())
            return m_plan.PathOf(k);
    return m_plan.path;
}

std::optional<uint64_t> CSampleFileWriter::SamplesInFiles() const
{
    if (m_plan.IsText())
        return std::nullopt;
    uint64_t samples = 0;
    for (const auto& file : Files())
        samples += file.dataBytes; // one byte a sample
    return samples;
}

bool CSampleFileWriter::Open()
{
    const bool text = m_plan.IsText();
    const uint64_t frame = m_split ? 1 : m_channels;
    uint64_t segment = text ? 0 : m_plan.maxSegmentBytes;
    if (segment != 0) {
        if (segment <= m_plan.headerBytes || segment - m_plan.headerBytes < frame)
            return Fail(L"The segment size leaves no room for a frame after the header.");
        segment = m_plan.headerBytes + (segment - m_plan.headerBytes) / frame * frame;
    }
    CSegmentedFileWriter::Options options;
    options.append = m_plan.Has(TQ8_FWP_APPEND);
    options.direct = !m_plan.Has(TQ8_FWP_BUFFERED_IO);
    options.atomic = m_placement == Placement::AtCommit;
    for (uint32_t k = 0; k < Outputs(); ++k) {
        const std::string& path = m_plan.PathOf(k);
        if (path.empty())
            continue; // a channel without a file is left out
        Stream s;
        s.file = std::make_unique<CSegmentedFileWriter>(path, m_plan.headerBytes, segment, options);
        s.channel = k;
        if (!s.file->Open())
            return Fail(*s.file);
        m_streams.push_back(std::move(s));
    }
    if (m_streams.empty())
        return Fail(L"No output file was given.");
    const std::string stem = TimestampStem(m_plan);
    for (const bool asText : {false, true}) {
        if (!m_plan.Has(asText ? TQ8_FWP_TS_TEXT : TQ8_FWP_TS_BINARY))
            continue;
        CSegmentedFileWriter::Options tsOptions;
        tsOptions.append = options.append;
        tsOptions.atomic = options.atomic;
        const std::string path = stem + (asText ? ".tq8ts.txt" : ".tq8ts");
        auto file = std::make_unique<CSegmentedFileWriter>(path, 0, 0, tsOptions);
        if (!file->Open())
            return Fail(*file);
        m_timestampFiles.push_back(std::move(file));
        m_timestampText.push_back(asText);
        m_timestampPaths.push_back(path);
    }
    return true;
}

// Formatted a piece at a time into a buffer that stays in the cache, and
// copied from there into the file's stage: stores of a few bytes each,
// straight into memory that is not cached, cost several times the format.
bool CSampleFileWriter::WriteText(Stream& stream, const uint8_t* data, size_t bytes)
{
    m_textPiece.resize(CSampleTextFormat::MaxBytes(kTextPieceSamples));
    auto* piece = reinterpret_cast<char*>(m_textPiece.data());
    while (bytes != 0) {
        const size_t n = std::min(bytes, kTextPieceSamples);
        const size_t length = m_format->Format(data, n, piece, stream.column);
        if (!stream.file->Write(m_textPiece.data(), length))
            return false;
        data += n;
        bytes -= n;
    }
    return true;
}

bool CSampleFileWriter::WriteStream(Stream& stream, const uint8_t* data, size_t bytes)
{
    bool ok = false;
    if (m_format) {
        ok = WriteText(stream, data, bytes);
    } else if (m_xor != 0) {
        m_scratch.resize(bytes);
        for (size_t i = 0; i < bytes; ++i)
            m_scratch[i] = static_cast<uint8_t>(data[i] ^ m_xor);
        ok = stream.file->Write(m_scratch.data(), bytes);
    } else {
        ok = stream.file->Write(data, bytes);
    }
    return ok || Fail(*stream.file);
}

bool CSampleFileWriter::Write(const uint8_t* data, size_t bytes)
{
    if (m_streams.empty() || !m_error.empty())
        return Fail(L"The output files are not open.");
    if (!m_split) {
        if (!WriteStream(m_streams.front(), data, bytes))
            return false;
    } else {
        std::vector<uint8_t> channel;
        for (Stream& s : m_streams) {
            channel.clear();
            channel.reserve(bytes / m_channels + 1);
            size_t first = static_cast<size_t>((s.channel + m_channels - m_frameOffset % m_channels) % m_channels);
            for (size_t i = first; i < bytes; i += m_channels)
                channel.push_back(data[i]);
            if (!WriteStream(s, channel.data(), channel.size()))
                return false;
        }
    }
    m_frameOffset = (m_frameOffset + bytes) % m_channels;
    return true;
}

bool CSampleFileWriter::WriteTimestamps(const uint64_t* values, size_t count, bool overflowBefore)
{
    const bool marker = overflowBefore && m_plan.Has(TQ8_FWP_TS_MARKER);
    for (size_t f = 0; f < m_timestampFiles.size(); ++f) {
        std::string out;
        if (m_timestampText[f]) {
            if (marker)
                out += "OVERFLOW\r\n";
            for (size_t i = 0; i < count; ++i)
                out += std::to_string(values[i]) + "\r\n";
        } else {
            const uint64_t mark = TQ8_TS_OVERFLOW_MARKER;
            if (marker)
                out.append(reinterpret_cast<const char*>(&mark), sizeof mark);
            // Little-endian hosts: the values as they lie.
            out.append(reinterpret_cast<const char*>(values), count * sizeof *values);
        }
        if (!m_timestampFiles[f]->Write(reinterpret_cast<const uint8_t*>(out.data()), out.size()))
            return Fail(*m_timestampFiles[f]);
    }
    return true;
}

bool CSampleFileWriter::Close()
{
    bool ok = true;
    for (Stream& s : m_streams)
        if (!s.file->Close())
            ok = Fail(*s.file);
    for (auto& f : m_timestampFiles)
        if (!f->Close())
            ok = Fail(*f);
    return ok;
}

bool CSampleFileWriter::Commit()
{
    bool ok = Close() && m_error.empty();
    for (Stream& s : m_streams)
        if (ok && !s.file->Commit())
            ok = Fail(*s.file);
    for (auto& f : m_timestampFiles)
        if (ok && !f->Commit())
            ok = Fail(*f);
    if (!ok)
        Discard();
    return ok;
}

void CSampleFileWriter::Discard()
{
    for (Stream& s : m_streams)
        s.file->Discard();
    for (auto& f : m_timestampFiles)
        f->Discard();
}

std::vector<CSegmentedFileWriter::FileInfo> CSampleFileWriter::Files() const
{
    std::vector<CSegmentedFileWriter::FileInfo> all;
    for (const Stream& s : m_streams)
        all.insert(all.end(), s.file->Files().begin(), s.file->Files().end());
    return all;
}

} // namespace tq8
