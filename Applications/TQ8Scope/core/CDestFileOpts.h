#pragma once
// Destination-file options of a recording or a board-memory save: the
// template of the device library's file-write record, the destination files
// and how the data is cut into them.
#include <cstdint>
#include <string>

#include <libxml/tree.h>

#include "TQ8RecordTypes.h"

class CDestFileOpts {
public:
    CDestFileOpts();
    // Copies leave the narrow texts behind: a record built from the source
    // keeps pointing into the source, never into the copy.
    CDestFileOpts(const CDestFileOpts& other);
    CDestFileOpts& operator=(const CDestFileOpts& other);
    virtual ~CDestFileOpts() = default;

    // Fills the record from the template and the texts. A bare file name
    // gets baseFolder (null or empty: none) in front. The record points into
    // this object and is valid until the next build or its destruction.
    // false when the user cancels the named-stream question. An option whose
    // enabling option is off (hexadecimal without text, time-stamp details
    // without time-stamp files, channel files without deinterleaving) is
    // left out, as are its paths.
    bool BuildFileWriteParams(TQ8_FILE_WRITE_PARAMS& record, const wchar_t* baseFolder);
    // The flags without those whose enabling option is off.
    static uint32_t EffectiveFlags(uint32_t flags);

    // true when a file is named: Pathname1, or with deinterleaving any of
    // the four.
    bool NamesADestination() const;

    // 1 when a destination volume lacks named streams and the user goes on,
    // -1 when the user cancels, 0 when every volume has them.
    int CheckNamedStreams();

    // The DestFileOpts element, appended to out.
    bool WriteXml(std::string& out) const;
    // Reads the items below element; missing or malformed items keep their
    // values. false when Fwp_ss is missing or 0.
    bool ReadXml(xmlDocPtr doc, xmlNodePtr element);

    TQ8_FILE_WRITE_PARAMS Template;
    std::wstring Pathname1;
    std::wstring Pathname2;
    std::wstring Pathname3;
    std::wstring Pathname4;
    std::wstring OpNotes;
    std::wstring TsPath;
    int32_t SpanFiles = 0;
    uint64_t SpanBytes = 1048576;
    int32_t SkipHdr = 0;
    uint32_t SkipBytes = 0;

private:
    void CopyFields(const CDestFileOpts& other);
    void ConvertTexts(const wchar_t* baseFolder);

    // Narrow copies the built record points into.
    std::string m_path[4];
    std::string m_notes;
    std::string m_tsPath;
};

// The template record's defaults: size 104, flags 0x100, all else 0.
TQ8_FILE_WRITE_PARAMS DefaultFileWriteParams();
