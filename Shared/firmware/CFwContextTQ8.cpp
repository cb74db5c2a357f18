#include "CFwContextTQ8.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <strings.h>

#include "AtomicFile.h"
#include "CAutoXmlDoc.h"
#include "NumberParse.h"
#include "VersionText.h"
#include "XmlRoutines.h"

namespace {

const char* const kCrLf = "\r\n";

class CManifestWriter {
public:
    void Line(int indent, const std::string& text)
    {
        m_text.append(static_cast<size_t>(indent), ' ');
        m_text += text;
        m_text += kCrLf;
    }
    void Empty() { m_text += kCrLf; }
    void Element(int indent, const std::string& name, const std::string& value)
    {
        Line(indent, "<" + name + ">" + value + "</" + name + ">");
    }
    void Escaped(int indent, const std::string& name, std::string value)
    {
        XmlEscape(value);
        Element(indent, name, value);
    }
    std::string& Text() { return m_text; }

private:
    std::string m_text;
};

bool IsXmlName(const std::string& name)
{
    return !name.empty() && xmlValidateNameValue(reinterpret_cast<const xmlChar*>(name.c_str())) == 1;
}

xmlNodePtr Child(xmlNodePtr parent, const char* name)
{
    for (xmlNodePtr node = parent ? parent->children : nullptr; node; node = node->next)
        if (node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, reinterpret_cast<const xmlChar*>(name)))
            return node;
    return nullptr;
}

std::string NodeText(xmlNodePtr node)
{
    std::string text;
    XmlNodeGetText(node, text);
    return text;
}

// Element children named prefix + N (N from 1), by N; the first of equal
// names wins, as a lookup by name would find it.
std::map<int32_t, xmlNodePtr> NumberedChildren(xmlNodePtr parent, const std::string& prefix)
{
    std::map<int32_t, xmlNodePtr> found;
    for (xmlNodePtr node = parent->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE)
            continue;
        const std::string name = reinterpret_cast<const char*>(node->name);
        int32_t number = 0;
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0
            && name[prefix.size()] >= '1' && name[prefix.size()] <= '9'
            && vlt::ParseNumber(std::string_view(name).substr(prefix.size()), number,
                                vlt::ParseRules{false, false, vlt::Trailing::Refuse, 10}))
            found.emplace(number, node);
    }
    return found;
}

template <class T>
void ReadOptional(xmlNodePtr root, const char* name, T& field)
{
    if (xmlNodePtr node = Child(root, name)) {
        T value{};
        if constexpr (std::is_same_v<T, uint32_t>) {
            if (XmlNodeGetUInt32(node, value))
                field = value;
        } else if constexpr (std::is_same_v<T, int32_t>) {
            if (XmlNodeGetInt32(node, value))
                field = value;
        } else {
            if (XmlNodeGetUInt16(node, value))
                field = value;
        }
    }
}

template <class T, class Parser>
bool ReadVersion(xmlNodePtr root, const char* name, T& field, Parser parse)
{
    xmlNodePtr node = Child(root, name);
    return !node || parse(NodeText(node), field);
}

int ReadChunk(xmlNodePtr node, int32_t& id, CFwContextTQ8::CFirmwareChunk& chunk)
{
    std::string idText;
    if (!XmlGetAttrString(node, "id", idText) || !vlt::ParseNumberPrefix(idText, id))
        return kFwContextUnreadable;
    xmlNodePtr version = Child(node, "fwc_version");
    if (!version || !ParseVersion32(NodeText(version), chunk.m_version))
        return kFwContextUnreadable;
    if (!XmlNodeGetInt32(Child(node, "fwc_file_count"), chunk.m_fileCount))
        return kFwContextUnreadable;
    XmlNodeGetUInt32(Child(node, "fwc_flags"), chunk.m_flags);
    XmlNodeGetUInt32(Child(node, "fwc_cust_enum"), chunk.m_custEnum);
    const auto files = NumberedChildren(node, "fwc_file");
    for (int32_t i = 1; i <= chunk.m_fileCount; ++i) {
        const auto it = files.find(i);
        if (it == files.end())
            return kFwContextUnreadable;
        chunk.m_files.push_back(NodeText(it->second));
    }
    return kFwOk;
}

} // namespace

const char* CFwContextTQ8::ChunkName(int32_t id)
{
    switch (id) {
    case 0: return "SysV5LX50_1 (xcf32p)";
    case 1: return "SysV5LX50_2 (xcf16p)";
    case 2: return "ZabV5LX50_1 (xcf32p)";
    case 3: return "ZabV5LX50_2 (xcf16p)";
    case 4: return "ZabV5SX95T_1 (xcf32p)";
    case 5: return "ZabV5SX95T_2 (xcf16p)";
    default: return "(Unknown firmware chunk type)";
    }
}

void CFwContextTQ8::Clear()
{
    *this = CFwContextTQ8();
}

std::string CFwContextTQ8::Format() const
{
    CManifestWriter w;
    w.Line(0, "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>");
    w.Line(0, "<TQ8_Firmware>");
    w.Line(0, "<!--Firmware package information-->");
    w.Element(1, "version_pkg", FormatVersion32(m_versionPkg));
    w.Element(1, "cust_enum_pkg", std::to_string(m_custEnumPkg));
    w.Element(1, "ucd", std::to_string(m_ucd));
    if (!m_relDate.empty())
        w.Escaped(1, "rel_date", m_relDate);
    w.Element(1, "fw_flags", std::to_string(m_fwFlags));
    w.Empty();
    w.Line(0, "<!-- Firmware requirements -->");
    w.Element(1, "req_boardrevision", std::to_string(m_reqBoardRevision));
    w.Element(1, "req_customhwenum", std::to_string(m_reqCustomHwEnum));
    w.Element(1, "req_maxhwrevision", FormatVersion32(m_reqMaxHwRevision));
    w.Element(1, "req_minhwrevision", FormatVersion32(m_reqMinHwRevision));
    w.Element(1, "req_minswversion", FormatVersion64(m_reqMinSwVersion));
    w.Empty();
    w.Line(0, "<!-- Firmware notes -->");
    w.Element(1, "readmesev", std::to_string(m_readmeSev));
    w.Empty();
    w.Line(0, "<!-- Auxiliary file info -->");
    w.Element(1, "auxfilecount", std::to_string(m_auxFileCount));
    for (size_t i = 0; i < m_auxFiles.size(); ++i)
        w.Escaped(2, "auxfile" + std::to_string(i + 1), m_auxFiles[i]);
    if (!m_userDefined.empty()) {
        w.Empty();
        w.Line(0, "<!-- User defined items -->");
        w.Line(1, "<UserDefined>");
        for (const auto& [name, value] : m_userDefined)
            w.Escaped(4, name, value);
        w.Line(0, "</UserDefined>");
    }
    if (!m_chunks.empty()) {
        w.Empty();
        w.Line(0, "<!-- Per-firmware chunk information -->");
        for (const auto& [id, chunk] : m_chunks) {
            w.Empty();
            w.Line(0, "<!-- Firmware chunk: " + std::to_string(id) + " = " + ChunkName(id) + "-->");
            w.Line(1, "<firmware_chunk id=\"" + std::to_string(id) + "\">");
            w.Element(2, "fwc_version", FormatVersion32(chunk.m_version));
            w.Element(2, "fwc_cust_enum", std::to_string(chunk.m_custEnum));
            w.Element(2, "fwc_flags", std::to_string(chunk.m_flags));
            const int32_t count = chunk.m_fileCount == 0 ? static_cast<int32_t>(chunk.m_files.size()) : chunk.m_fileCount;
            w.Element(2, "fwc_file_count", std::to_string(count));
            for (size_t i = 0; i < chunk.m_files.size(); ++i)
                w.Escaped(3, "fwc_file" + std::to_string(i + 1), chunk.m_files[i]);
            w.Line(1, "</firmware_chunk>");
            w.Empty();
        }
    }
    w.Empty();
    w.Line(0, "</TQ8_Firmware>");
    return std::move(w.Text());
}

int CFwContextTQ8::Save(const std::string& path)
{
    // A user-defined name is an element name: one that is not a valid XML
    // name would make the whole manifest unreadable.
    for (const auto& item : m_userDefined)
        if (!IsXmlName(item.first))
            return kFwContextUnwritable;
    if (!vlt::AtomicWriteFile(path, Format()))
        return kFwContextUnwritable;
    for (auto& entry : m_chunks)
        if (entry.second.m_fileCount == 0)
            entry.second.m_fileCount = static_cast<int32_t>(entry.second.m_files.size());
    return kFwOk;
}

// No network, no DTD loading, no entity substitution: a manifest is
// untrusted input.
constexpr int kParseOptions = XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NONET;

int CFwContextTQ8::Load(const std::string& path)
{
    Clear();
    CAutoXmlDoc doc(XmlReadFile(path, nullptr, kParseOptions));
    return Read(doc);
}

int CFwContextTQ8::LoadText(const std::string& text)
{
    Clear();
    if (text.size() > kXmlFileMaxBytes)
        return kFwContextUnreadable;
    CAutoXmlDoc doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), "context_v2.xml", nullptr, kParseOptions));
    return Read(doc);
}

int CFwContextTQ8::Read(xmlDocPtr doc)
{
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!root || strcasecmp(reinterpret_cast<const char*>(root->name), "TQ8_Firmware") != 0)
        return kFwContextUnreadable;
    // Lookups start at the root, so a root spelled in another case is read too.
    xmlNodePtr version = Child(root, "version_pkg");
    if (!version)
        return kFwItemMissing;
    if (!ParseVersion32(NodeText(version), m_versionPkg))
        return kFwContextUnreadable;
    ReadOptional(root, "cust_enum_pkg", m_custEnumPkg);
    ReadOptional(root, "ucd", m_ucd);
    ReadOptional(root, "fw_flags", m_fwFlags);
    if (xmlNodePtr date = Child(root, "rel_date"))
        m_relDate = NodeText(date);
    ReadOptional(root, "req_boardrevision", m_reqBoardRevision);
    ReadOptional(root, "req_customhwenum", m_reqCustomHwEnum);
    ReadOptional(root, "readmesev", m_readmeSev);
    if (!ReadVersion(root, "req_maxhwrevision", m_reqMaxHwRevision, ParseVersion32)
        || !ReadVersion(root, "req_minhwrevision", m_reqMinHwRevision, ParseVersion32)
        || !ReadVersion(root, "req_minswversion", m_reqMinSwVersion, ParseVersion64))
        return kFwContextUnreadable;
    ReadAuxFiles(root);
    ReadUserDefined(root);
    return ReadChunks(root);
}

void CFwContextTQ8::ReadAuxFiles(xmlNodePtr root)
{
    int32_t count = 0;
    if (!XmlNodeGetInt32(Child(root, "auxfilecount"), count) || count <= 0)
        return;
    m_auxFileCount = count;
    // Only the elements that exist are visited, whatever the count claims.
    for (const auto& [number, node] : NumberedChildren(root, "auxfile"))
        if (number <= count)
            m_auxFiles.push_back(NodeText(node));
}

void CFwContextTQ8::ReadUserDefined(xmlNodePtr root)
{
    xmlNodePtr block = Child(root, "UserDefined");
    for (xmlNodePtr node = block ? block->children : nullptr; node; node = node->next)
        if (node->type == XML_ELEMENT_NODE)
            m_userDefined.emplace_back(reinterpret_cast<const char*>(node->name), NodeText(node));
}

int CFwContextTQ8::ReadChunks(xmlNodePtr root)
{
    for (xmlNodePtr node = root->children; node; node = node->next) {
        if (node->type != XML_ELEMENT_NODE || !xmlStrEqual(node->name, BAD_CAST "firmware_chunk"))
            continue;
        int32_t id = 0;
        CFirmwareChunk chunk;
        if (const int result = ReadChunk(node, id, chunk); result != kFwOk)
            return result;
        m_chunks[id] = std::move(chunk);
    }
    return kFwOk;
}
