#pragma once
// Writes interleaved 8-bit samples as a file-write record asks (the formats
// are described with the TQ8_FWP_* flags): binary, text or hexadecimal,
// signed, deinterleaved into a file per channel, spanned over segment files,
// appended or replacing; and the time-stamp files beside them. Used by
// recordings and by the board-memory and buffer saves.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CSegmentedFileWriter.h"
#include "FileWritePlan.h"

namespace tq8 {

class CSampleTextFormat;

class CSampleFileWriter {
public:
    // Where the files are written: in place as they grow (a recording keeps
    // what it wrote when it ends midway), or beside their targets, which
    // they replace only at Commit (a save that fails leaves nothing).
    enum class Placement { InPlace, AtCommit };

    // channels: samples per frame of the data handed to Write.
    CSampleFileWriter(const FileWritePlan& plan, uint32_t channels, Placement placement = Placement::InPlace);
    ~CSampleFileWriter();
    CSampleFileWriter(const CSampleFileWriter&) = delete;
    CSampleFileWriter& operator=(const CSampleFileWriter&) = delete;

    // Creates the files. A false return (here and below) leaves ErrorText set.
    bool Open();
    // Samples in frame order; a frame may be split between two calls.
    bool Write(const uint8_t* data, size_t bytes);
    // Counter values; overflowBefore: the FIFO lost entries before them.
    bool WriteTimestamps(const uint64_t* values, size_t count, bool overflowBefore);
    // Flushes every file to disk; safe to call more than once.
    bool Close();
    // Placement::AtCommit: puts every file in place (closing them first).
    bool Commit();
    // Placement::AtCommit: drops every file; the targets stay as they were.
    void Discard();

    // The data files in order (channel by channel, segment by segment).
    std::vector<CSegmentedFileWriter::FileInfo> Files() const;
    const std::vector<std::string>& TimestampFiles() const { return m_timestampPaths; }
    // The first data file (before Open: the one Open makes first); the
    // context file goes beside it.
    const std::string& MainPath() const;
    // The samples the closed data files hold; none for text files, whose
    // length does not count them.
    std::optional<uint64_t> SamplesInFiles() const;
    const std::wstring& ErrorText() const { return m_error; }
    // The system's error number of the failure, 0 when it has none.
    int SystemError() const { return m_systemError; }

    // The time-stamp file names of a plan ("rec.rd8" -> "rec.tq8ts").
    static std::string TimestampStem(const FileWritePlan& plan);

private:
    // Samples formatted at a time: their text (at most 112 KiB) stays in
    // the core's own cache.
    static constexpr size_t kTextPieceSamples = 16u << 10;

    struct Stream {
        std::unique_ptr<CSegmentedFileWriter> file;
        uint32_t channel = 0; // deinterleaved: the frame position it takes
        uint32_t column = 0;  // text: place in the current line
    };

    bool Fail(const std::wstring& text, int systemError = 0);
    bool Fail(const CSegmentedFileWriter& file);
    // Streams: one file, or one per channel of a deinterleaved format.
    uint32_t Outputs() const;
    bool WriteStream(Stream& stream, const uint8_t* data, size_t bytes);
    bool WriteText(Stream& stream, const uint8_t* data, size_t bytes);

    const FileWritePlan m_plan;
    const uint32_t m_channels;
    const Placement m_placement;
    const bool m_split;
    const uint8_t m_xor;
    std::vector<Stream> m_streams;
    std::vector<std::unique_ptr<CSegmentedFileWriter>> m_timestampFiles; // binary, then text
    std::vector<bool> m_timestampText;
    std::vector<std::string> m_timestampPaths;
    uint64_t m_frameOffset = 0; // samples written, modulo the frame
    std::vector<uint8_t> m_scratch;
    std::vector<uint8_t> m_textPiece; // one piece of text, formatted
    std::unique_ptr<const CSampleTextFormat> m_format; // text and hexadecimal files
    std::wstring m_error;
    int m_systemError = 0;
};

} // namespace tq8
