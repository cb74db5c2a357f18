#include "HiveXml.h"

#include "NumberParse.h"
#include "RegKeyNode.h"
#include "RegNames.h"
#include "TextConv.h"

#include <libxml/parser.h>
#include <libxml/tree.h>

#include <climits>
#include <memory>

namespace vlt {
namespace {

struct DocFree {
    void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};
struct CtxtFree {
    void operator()(xmlParserCtxt* ctxt) const { xmlFreeParserCtxt(ctxt); }
};
using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

const xmlChar* X(const char* text)
{
    return reinterpret_cast<const xmlChar*>(text);
}

bool IsElement(const xmlNode* node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && xmlStrEqual(node->name, X(name));
}

std::string HexOf(std::string_view bytes)
{
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        hex += digits[b >> 4];
        hex += digits[b & 0xF];
    }
    return hex;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Hex digits with blanks anywhere between them, as a hand edit may leave.
bool BytesOfHex(std::string_view hex, std::string& bytes)
{
    bytes.clear();
    int high = -1;
    for (const char c : hex) {
        if (IsBlank(c))
            continue;
        const int d = HexDigit(c);
        if (d < 0)
            return false;
        if (high < 0) {
            high = d;
        } else {
            bytes += static_cast<char>(high * 16 + d);
            high = -1;
        }
    }
    return high < 0;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool GetAttr(const xmlNode* node, const char* name, std::string& out)
{
    xmlChar* value = xmlGetNoNsProp(node, X(name));
    if (!value)
        return false;
    out = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return true;
}

std::string Where(const xmlNode* node)
{
    return "line " + std::to_string(xmlGetLineNo(node)) + ": ";
}

// The text of a <value> element: its text and CDATA children only.
bool ElementText(const xmlNode* node, std::string& text, std::string& error)
{
    text.clear();
    for (const xmlNode* child = node->children; child; child = child->next) {
        if (child->type == XML_TEXT_NODE || child->type == XML_CDATA_SECTION_NODE) {
            if (child->content)
                text += reinterpret_cast<const char*>(child->content);
        } else if (child->type != XML_COMMENT_NODE) {
            error = Where(child) + "unexpected content in a value";
            return false;
        }
    }
    return true;
}

bool ParseData(const xmlNode* node, const std::string& type, const std::string& text, RegValue& value,
    std::string& error)
{
    std::string encoding;
    const bool hex = GetAttr(node, "encoding", encoding);
    if (hex && (encoding != "hex" || type != "string")) {
        error = Where(node) + "unknown encoding \"" + encoding + "\"";
        return false;
    }
    bool ok = true;
    if (type == "string") {
        value.type = RegType::String;
        std::string bytes = text;
        ok = !hex || BytesOfHex(text, bytes);
        value.text = Utf8ToWide(bytes);
    } else if (type == "dword") {
        uint32_t number = 0;
        value.type = RegType::DWord;
        ok = ParseNumberExact(Trimmed(text), number);
        value.number = number;
    } else if (type == "qword") {
        value.type = RegType::QWord;
        ok = ParseNumberExact(Trimmed(text), value.number);
    } else if (type == "binary") {
        std::string bytes;
        value.type = RegType::Binary;
        ok = BytesOfHex(text, bytes);
        value.bytes.assign(bytes.begin(), bytes.end());
    } else {
        error = Where(node) + "unknown value type \"" + type + "\"";
        return false;
    }
    if (!ok)
        error = Where(node) + "bad " + type + " data \"" + text + "\"";
    return ok;
}

bool ParseValue(const xmlNode* node, RegKeyNode& key, std::string& error)
{
    std::string name, type, text;
    if (!GetAttr(node, "name", name) || !GetAttr(node, "type", type)) {
        error = Where(node) + "a value without name or type";
        return false;
    }
    RegValue value;
    if (!ElementText(node, text, error) || !ParseData(node, type, text, value, error))
        return false;
    const std::wstring wideName = Utf8ToWide(name);
    if (key.FindValue(wideName)) {
        error = Where(node) + "value \"" + name + "\" appears twice";
        return false;
    }
    key.PutValue(wideName, value);
    return true;
}

bool ParseKeyChildren(const xmlNode* parent, RegKeyNode& key, std::string& error);

bool ParseKey(const xmlNode* node, RegKeyNode& parent, std::string& error)
{
    std::string name;
    if (!GetAttr(node, "name", name) || name.empty() || name.find('\\') != std::string::npos) {
        error = Where(node) + "a key without a valid name";
        return false;
    }
    const std::wstring wideName = Utf8ToWide(name);
    if (parent.FindSubKey(wideName)) {
        error = Where(node) + "key \"" + name + "\" appears twice";
        return false;
    }
    return ParseKeyChildren(node, parent.SubKey(wideName), error);
}

bool ParseKeyChildren(const xmlNode* parent, RegKeyNode& key, std::string& error)
{
    for (const xmlNode* child = parent->children; child; child = child->next) {
        bool ok = true;
        if (IsElement(child, "key"))
            ok = ParseKey(child, key, error);
        else if (IsElement(child, "value"))
            ok = ParseValue(child, key, error);
        else if (child->type == XML_TEXT_NODE && xmlIsBlankNode(child))
            continue;
        else if (child->type == XML_COMMENT_NODE || child->type == XML_PI_NODE)
            continue;
        else {
            error = Where(child) + "unexpected content in a key";
            ok = false;
        }
        if (!ok)
            return false;
    }
    return true;
}

std::string ParserError(xmlParserCtxt* ctxt)
{
    const xmlError* err = xmlCtxtGetLastError(ctxt);
    if (!err || !err->message)
        return "not well-formed XML";
    std::string text = "line " + std::to_string(err->line) + ": " + err->message;
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

std::string ValueData(const RegValue& value, bool& hex)
{
    hex = false;
    switch (value.type) {
    case RegType::String:
        hex = !IsXmlText(value.text);
        return hex ? HexOf(WideToUtf8(value.text)) : WideToUtf8(value.text);
    case RegType::DWord:
        return std::to_string(static_cast<uint32_t>(value.number));
    case RegType::QWord:
        return std::to_string(value.number);
    case RegType::Binary:
        return HexOf(std::string_view(reinterpret_cast<const char*>(value.bytes.data()), value.bytes.size()));
    }
    return {};
}

const char* TypeName(RegType type)
{
    switch (type) {
    case RegType::String: return "string";
    case RegType::DWord: return "dword";
    case RegType::QWord: return "qword";
    case RegType::Binary: return "binary";
    }
    return "string";
}

void AddKeyContents(xmlNode* parent, const RegKeyNode& key)
{
    for (const auto& entry : key.Values()) {
        bool hex = false;
        const std::string data = ValueData(entry.value, hex);
        // xmlNewTextChild escapes the text; xmlNewProp takes its value as is.
        xmlNode* node = xmlNewTextChild(parent, nullptr, X("value"), X(data.c_str()));
        xmlNewProp(node, X("name"), X(WideToUtf8(entry.name).c_str()));
        xmlNewProp(node, X("type"), X(TypeName(entry.value.type)));
        if (hex)
            xmlNewProp(node, X("encoding"), X("hex"));
    }
    for (const auto& sub : key.SubKeys()) {
        xmlNode* node = xmlNewChild(parent, nullptr, X("key"), nullptr);
        xmlNewProp(node, X("name"), X(WideToUtf8(sub->Name()).c_str()));
        AddKeyContents(node, *sub);
    }
}

// libxml2 sets up its global state once, before threads use it.
void InitXml()
{
    static const bool ready = (xmlInitParser(), true);
    (void)ready;
}

} // namespace

bool ParseHiveXml(std::string_view xml, RegKeyNode& root, std::string& error)
{
    InitXml();
    if (xml.size() > INT_MAX) {
        error = "the file is too large";
        return false;
    }
    std::unique_ptr<xmlParserCtxt, CtxtFree> ctxt(xmlNewParserCtxt());
    if (!ctxt) {
        error = "out of memory";
        return false;
    }
    DocPtr doc(xmlCtxtReadMemory(ctxt.get(), xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (!doc || !ctxt->wellFormed) {
        error = ParserError(ctxt.get());
        return false;
    }
    const xmlNode* top = xmlDocGetRootElement(doc.get());
    if (!top || !IsElement(top, "registry")) {
        error = "the root element is not <registry>";
        return false;
    }
    RegKeyNode parsed;
    if (!ParseKeyChildren(top, parsed, error))
        return false;
    root = std::move(parsed);
    return true;
}

bool FormatHiveXml(const RegKeyNode& root, std::string& xml, std::string& error)
{
    InitXml();
    DocPtr doc(xmlNewDoc(X("1.0")));
    xmlNode* top = doc ? xmlNewDocNode(doc.get(), nullptr, X("registry"), nullptr) : nullptr;
    if (!top) {
        error = "out of memory";
        return false;
    }
    xmlDocSetRootElement(doc.get(), top);
    AddKeyContents(top, root);
    xmlChar* text = nullptr;
    int size = 0;
    xmlDocDumpFormatMemoryEnc(doc.get(), &text, &size, "UTF-8", 1);
    if (!text) {
        error = "cannot format the registry as XML";
        return false;
    }
    xml.assign(reinterpret_cast<const char*>(text), static_cast<size_t>(size));
    xmlFree(text);
    return true;
}

} // namespace vlt
