#include "CDestFileOpts.h"

#include "MessageBox.h"
#include "TextConv.h"
#include "XmlRoutines.h"

namespace {

const wchar_t kNoNamedStreamsQuestion[] =
    L"One or more destination volumes do not support named streams. Embedded acquisition data details will be "
    L"disabled for this operation.\n\nSelect OK to continue or Cancel to abort the operation";

// Linux file systems keep no named streams: the library then writes the
// acquisition details into the context file instead.
bool VolumeHasNamedStreams(const std::string& /*path*/)
{
    return false;
}

bool IsBareFileName(const std::string& path)
{
    return path.find_first_of("/\\") == std::string::npos;
}

void PrefixBareName(std::string& path, const std::string& folder)
{
    if (!path.empty() && IsBareFileName(path))
        path.insert(0, folder);
}

const char* TextOrNull(const std::string& text)
{
    return text.empty() ? nullptr : text.c_str();
}

template <class T>
void AppendNumber(std::string& out, const char* name, T value)
{
    XmlAppendElement(out, name, std::to_string(value));
}

// A reader turns a literal CR into LF: keep it as a character reference.
void AppendText(std::string& out, const char* name, const std::wstring& value)
{
    std::string text = vlt::WideToUtf8(value);
    XmlEscape(text);
    std::string kept;
    for (char c : text) {
        if (c == '\r')
            kept += "&#13;";
        else
            kept += c;
    }
    XmlAppendElement(out, name, kept);
}

void ReadText(xmlDocPtr doc, xmlNodePtr element, const char* name, std::wstring& field)
{
    std::string text;
    if (XPathGetString(doc, name, text, element) == kXmlOk)
        field = vlt::Utf8ToWide(text);
}

} // namespace

TQ8_FILE_WRITE_PARAMS DefaultFileWriteParams()
{
    TQ8_FILE_WRITE_PARAMS record{};
    record.Fwp_ss = sizeof(TQ8_FILE_WRITE_PARAMS);
    record.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
    return record;
}

CDestFileOpts::CDestFileOpts() : Template(DefaultFileWriteParams()) {}

CDestFileOpts::CDestFileOpts(const CDestFileOpts& other)
{
    CopyFields(other);
}

CDestFileOpts& CDestFileOpts::operator=(const CDestFileOpts& other)
{
    if (this != &other)
        CopyFields(other);
    return *this;
}

void CDestFileOpts::CopyFields(const CDestFileOpts& other)
{
    Template = other.Template;
    Pathname1 = other.Pathname1;
    Pathname2 = other.Pathname2;
    Pathname3 = other.Pathname3;
    Pathname4 = other.Pathname4;
    OpNotes = other.OpNotes;
    TsPath = other.TsPath;
    SpanFiles = other.SpanFiles;
    SpanBytes = other.SpanBytes;
    SkipHdr = other.SkipHdr;
    SkipBytes = other.SkipBytes;
    for (std::string& path : m_path)
        path.clear();
    m_notes.clear();
    m_tsPath.clear();
}

void CDestFileOpts::ConvertTexts(const wchar_t* baseFolder)
{
    const std::wstring* wide[4] = {&Pathname1, &Pathname2, &Pathname3, &Pathname4};
    for (int i = 0; i < 4; ++i)
        m_path[i] = vlt::WideToUtf8(*wide[i]);
    m_tsPath = vlt::WideToUtf8(TsPath);
    m_notes.clear();
    if (!baseFolder || !*baseFolder)
        return;
    std::string folder = vlt::WideToUtf8(baseFolder);
    if (folder.back() != '/' && folder.back() != '\\')
        folder += '/';
    for (std::string& path : m_path)
        PrefixBareName(path, folder);
    PrefixBareName(m_tsPath, folder);
}

bool CDestFileOpts::NamesADestination() const
{
    if (!Pathname1.empty())
        return true;
    return (Template.Fwp_flags & TQ8_FWP_DEINTERLEAVE) != 0
        && (!Pathname2.empty() || !Pathname3.empty() || !Pathname4.empty());
}

int CDestFileOpts::CheckNamedStreams()
{
    bool lacking = false;
    for (const std::string& path : m_path)
        if (!path.empty() && !VolumeHasNamedStreams(path))
            lacking = true;
    if (!lacking)
        return 0;
    int answer = vlt::ShowMessageBox(kNoNamedStreamsQuestion, MB_OKCANCEL | MB_ICONWARNING);
    return answer == IDOK ? 1 : -1;
}

uint32_t CDestFileOpts::EffectiveFlags(uint32_t flags)
{
    if (!(flags & TQ8_FWP_TEXT))
        flags &= ~TQ8_FWP_HEX;
    if (!(flags & TQ8_FWP_TS_BINARY))
        flags &= ~(TQ8_FWP_TS_TEXT | TQ8_FWP_TS_MARKER | TQ8_FWP_FAIL_ON_TS_OVERFLOW);
    return flags;
}

bool CDestFileOpts::BuildFileWriteParams(TQ8_FILE_WRITE_PARAMS& record, const wchar_t* baseFolder)
{
    TQ8_FILE_WRITE_PARAMS built = Template;
    built.Fwp_ss = sizeof(TQ8_FILE_WRITE_PARAMS);
    ConvertTexts(baseFolder);
    if (built.Fwp_flags & TQ8_FWP_FLAG_NAMED_STREAMS) {
        int check = CheckNamedStreams();
        if (check < 0)
            return false;
        if (check > 0)
            built.Fwp_flags &= ~TQ8_FWP_FLAG_NAMED_STREAMS;
    }
    built.Fwp_flags = EffectiveFlags(built.Fwp_flags);
    // The paths of an option that is off are neither checked nor used.
    const bool deinterleave = (built.Fwp_flags & TQ8_FWP_DEINTERLEAVE) != 0;
    built.Fwp_path1 = TextOrNull(m_path[0]);
    built.Fwp_path2 = deinterleave ? TextOrNull(m_path[1]) : nullptr;
    built.Fwp_path3 = deinterleave ? TextOrNull(m_path[2]) : nullptr;
    built.Fwp_path4 = deinterleave ? TextOrNull(m_path[3]) : nullptr;
    built.Fwp_tsPath = (built.Fwp_flags & TQ8_FWP_TS_BINARY) ? TextOrNull(m_tsPath) : nullptr;
    built.Fwp_hdrskp = SkipHdr ? SkipBytes : 0;
    built.Fwp_maxseg = SpanFiles ? SpanBytes : 0;
    built.Fwp_progressCb = nullptr;
    built.Fwp_progressCtx = nullptr;
    built.Fwp_opNotes = nullptr;
    if ((built.Fwp_flags & (TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_FLAG_NAMED_STREAMS)) && !OpNotes.empty()) {
        m_notes = vlt::WideToUtf8(OpNotes);
        built.Fwp_opNotes = m_notes.c_str();
    }
    record = built;
    return true;
}

bool CDestFileOpts::WriteXml(std::string& out) const
{
    out += "<DestFileOpts>";
    AppendNumber(out, "Fwp_ss", Template.Fwp_ss);
    AppendNumber(out, "Fwp_flags", Template.Fwp_flags);
    AppendNumber(out, "Fwp_hdrskp", Template.Fwp_hdrskp);
    AppendNumber(out, "Fwp_maxseg", Template.Fwp_maxseg);
    AppendNumber(out, "Fwp_chanSel", Template.Fwp_chanSel);
    AppendText(out, "Pathname1", Pathname1);
    AppendText(out, "Pathname2", Pathname2);
    AppendText(out, "Pathname3", Pathname3);
    AppendText(out, "Pathname4", Pathname4);
    AppendText(out, "OpNotes", OpNotes);
    AppendText(out, "TsPath", TsPath);
    AppendNumber(out, "SpanFiles", SpanFiles);
    AppendNumber(out, "SpanBytes", SpanBytes);
    AppendNumber(out, "SkipHdr", SkipHdr);
    AppendNumber(out, "SkipBytes", SkipBytes);
    out += "</DestFileOpts>";
    return true;
}

bool CDestFileOpts::ReadXml(xmlDocPtr doc, xmlNodePtr element)
{
    uint32_t size = 0;
    if (!doc || !element || XPathGetUInt32(doc, "Fwp_ss", size, element) != kXmlOk || size == 0)
        return false;
    // The size is the record's own, whatever the file says.
    Template.Fwp_ss = sizeof(TQ8_FILE_WRITE_PARAMS);
    XPathGetUInt32(doc, "Fwp_flags", Template.Fwp_flags, element);
    XPathGetUInt32(doc, "Fwp_hdrskp", Template.Fwp_hdrskp, element);
    XPathGetUInt64(doc, "Fwp_maxseg", Template.Fwp_maxseg, element);
    XPathGetInt32(doc, "Fwp_chanSel", Template.Fwp_chanSel, element);
    ReadText(doc, element, "Pathname1", Pathname1);
    ReadText(doc, element, "Pathname2", Pathname2);
    ReadText(doc, element, "Pathname3", Pathname3);
    ReadText(doc, element, "Pathname4", Pathname4);
    ReadText(doc, element, "OpNotes", OpNotes);
    ReadText(doc, element, "TsPath", TsPath);
    XPathGetInt32(doc, "SpanFiles", SpanFiles, element);
    XPathGetUInt64(doc, "SpanBytes", SpanBytes, element);
    XPathGetInt32(doc, "SkipHdr", SkipHdr, element);
    XPathGetUInt32(doc, "SkipBytes", SkipBytes, element);
    return true;
}
