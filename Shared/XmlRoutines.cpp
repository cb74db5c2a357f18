#include "XmlRoutines.h"

#include <algorithm>
#include <climits>

#include <libxml/parser.h>
#include <libxml/xmlerror.h>
#include <libxml/xpath.h>

#include "AtomicFile.h"
#include "NumberParse.h"

namespace {

// libxml2's messages of one parse, collected by the parser's own structured
// error handler: nothing goes to the process-wide handler, which prints.
struct ParseMessages {
    static constexpr size_t kMaxKept = 5;
    std::vector<std::string> kept;
    size_t errors = 0;

    // The parser's own handler: context is the parser.
    static void Collect(void* context, xmlErrorPtr error)
    {
        auto* parser = static_cast<xmlParserCtxtPtr>(context);
        Add(parser ? static_cast<ParseMessages*>(parser->_private) : nullptr, error);
    }

    // This thread's handler during the parse, for what is raised without
    // the parser (an encoding that cannot convert the input): context is
    // this object.
    static void CollectUnbound(void* context, xmlErrorPtr error) { Add(static_cast<ParseMessages*>(context), error); }

    static void Add(ParseMessages* self, xmlErrorPtr error)
    {
        if (!self || !error || error->level < XML_ERR_ERROR)
            return;
        ++self->errors;
        if (self->kept.size() == kMaxKept || !error->message)
            return;
        std::string message = error->message;
        while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
            message.pop_back();
        self->kept.push_back("line " + std::to_string(error->line) + ": " + message);
    }

    std::string Text(const std::string& path) const
    {
        std::string text = "'" + path + "' is not well-formed XML";
        if (kept.empty())
            return text;
        text += " (";
        for (size_t i = 0; i < kept.size(); ++i)
            text += (i ? "; " : "") + kept[i];
        if (errors > kept.size())
            text += "; " + std::to_string(errors - kept.size()) + " more";
        return text + ")";
    }
};

void DropGenericMessage(void*, const char*, ...) {}

// For one parse, this thread's libxml2 handlers collect into messages and
// print nothing; the previous ones come back afterwards. libxml2 keeps
// these handlers per thread, so other threads are not touched.
class CParseErrorScope {
public:
    explicit CParseErrorScope(ParseMessages& messages)
        : m_structured(xmlStructuredError), m_structuredContext(xmlStructuredErrorContext),
          m_generic(xmlGenericError), m_genericContext(xmlGenericErrorContext)
    {
        xmlSetStructuredErrorFunc(&messages, ParseMessages::CollectUnbound);
        xmlSetGenericErrorFunc(nullptr, DropGenericMessage);
    }
    ~CParseErrorScope()
    {
        xmlSetStructuredErrorFunc(m_structuredContext, m_structured);
        xmlSetGenericErrorFunc(m_genericContext, m_generic);
    }
    CParseErrorScope(const CParseErrorScope&) = delete;
    CParseErrorScope& operator=(const CParseErrorScope&) = delete;

private:
    xmlStructuredErrorFunc m_structured;
    void* m_structuredContext;
    xmlGenericErrorFunc m_generic;
    void* m_genericContext;
};

// Length of the valid UTF-8 sequence starting at text[pos], or 0 when the
// bytes there do not form one.
size_t Utf8SequenceLength(const std::string& text, size_t pos)
{
    const auto b0 = static_cast<unsigned char>(text[pos]);
    size_t len = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) len = 2;
    else if (b0 >= 0xE0 && b0 <= 0xEF) len = 3;
    else if (b0 >= 0xF0 && b0 <= 0xF4) len = 4;
    else return 0;
    if (pos + len > text.size())
        return 0;
    for (size_t i = 1; i < len; ++i)
        if ((static_cast<unsigned char>(text[pos + i]) & 0xC0) != 0x80)
            return 0;
    const auto b1 = static_cast<unsigned char>(text[pos + 1]);
    if ((b0 == 0xE0 && b1 < 0xA0) || (b0 == 0xED && b1 > 0x9F)     // overlong, surrogates
        || (b0 == 0xF0 && b1 < 0x90) || (b0 == 0xF4 && b1 > 0x8F)) // overlong, beyond U+10FFFF
        return 0;
    return len;
}

const char* EntityFor(char c)
{
    switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '\'': return "&apos;";
    case '"': return "&quot;";
    case '\x92': return "&apos;"; // a Windows-1252 right single quote on its own
    default: return nullptr;
    }
}

template <class T>
bool NodeNumber(xmlNodePtr node, T& out)
{
    std::string text;
    if (!XmlNodeGetText(node, text))
        return false;
    return vlt::ParseNumberPrefix(text, out);
}

template <class T>
bool TextNumber(const char* text, T& out)
{
    return text && vlt::ParseNumberPrefix(std::string_view(text), out);
}

template <class T, class Reader>
int XPathGetValue(xmlDocPtr doc, const char* expr, T& out, xmlNodePtr context, Reader read)
{
    if (!doc || !expr)
        return kXmlMissingArgument;
    xmlNodePtr node = XPathFindNode(doc, expr, context);
    if (!node || !read(node, out))
        return kXmlItemMissing;
    return kXmlOk;
}

template <class T>
bool AttrNumber(xmlNodePtr node, const char* name, T& out)
{
    if (!node || !name)
        return false;
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return false;
    const bool ok = TextNumber(reinterpret_cast<const char*>(value), out);
    xmlFree(value);
    return ok;
}

} // namespace

void XmlAppendElement(std::string& out, const char* name, const std::string& value)
{
    out += '<';
    out += name;
    out += '>';
    out += value;
    out += "</";
    out += name;
    out += '>';
}

uint32_t XmlEscape(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    uint32_t count = 0;
    for (size_t pos = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) >= 0x80) {
            // Valid UTF-8 passes through whole, so 0x92 as a continuation
            // byte (U+0412 is D0 92) is never touched.
            if (const size_t len = Utf8SequenceLength(text, pos)) {
                out.append(text, pos, len);
                pos += len;
                continue;
            }
        }
        if (const char* entity = EntityFor(text[pos])) {
            out += entity;
            ++count;
        } else {
            out += text[pos];
        }
        ++pos;
    }
    if (count)
        text = std::move(out);
    return count;
}

xmlNodePtr XPathFindNode(xmlDocPtr doc, const char* expr, xmlNodePtr context)
{
    if (!doc || !expr)
        return nullptr;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        return nullptr;
    if (context)
        ctx->node = context;
    xmlNodePtr found = nullptr;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expr), ctx);
    if (result && result->type == XPATH_NODESET && result->nodesetval
        && result->nodesetval->nodeNr > 0 && result->nodesetval->nodeTab)
        found = result->nodesetval->nodeTab[0];
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return found;
}

int XPathFindNodes(xmlDocPtr doc, const char* expr, std::vector<xmlNodePtr>& nodes)
{
    if (!doc || !expr)
        return 0;
    xmlXPathContextPtr ctx = xmlXPathNewContext(doc);
    if (!ctx)
        return 0;
    xmlXPathObjectPtr result = xmlXPathEvalExpression(reinterpret_cast<const xmlChar*>(expr), ctx);
    if (result && result->type == XPATH_NODESET && result->nodesetval && result->nodesetval->nodeTab)
        for (int i = 0; i < result->nodesetval->nodeNr; ++i)
            nodes.push_back(result->nodesetval->nodeTab[i]);
    xmlXPathFreeObject(result);
    xmlXPathFreeContext(ctx);
    return 0;
}

bool XmlNodeGetText(xmlNodePtr node, std::string& out)
{
    xmlChar* content = node ? xmlNodeGetContent(node) : nullptr;
    if (!content) {
        out.clear();
        return false;
    }
    out = reinterpret_cast<const char*>(content);
    xmlFree(content);
    return true;
}

bool XmlNodeGetUInt32(xmlNodePtr node, uint32_t& out) { return NodeNumber(node, out); }
bool XmlNodeGetUInt64(xmlNodePtr node, uint64_t& out) { return NodeNumber(node, out); }
bool XmlNodeGetInt32(xmlNodePtr node, int32_t& out) { return NodeNumber(node, out); }
bool XmlNodeGetLong(xmlNodePtr node, int32_t& out) { return NodeNumber(node, out); }
bool XmlNodeGetUInt16(xmlNodePtr node, uint16_t& out) { return NodeNumber(node, out); }

int XPathGetString(xmlDocPtr doc, const char* expr, std::string& out, xmlNodePtr context)
{
    return XPathGetValue(doc, expr, out, context, XmlNodeGetText);
}

int XPathGetUInt32(xmlDocPtr doc, const char* expr, uint32_t& out, xmlNodePtr context)
{
    return XPathGetValue(doc, expr, out, context, XmlNodeGetUInt32);
}

int XPathGetUInt64(xmlDocPtr doc, const char* expr, uint64_t& out, xmlNodePtr context)
{
    return XPathGetValue(doc, expr, out, context, XmlNodeGetUInt64);
}

int XPathGetInt32(xmlDocPtr doc, const char* expr, int32_t& out, xmlNodePtr context)
{
    return XPathGetValue(doc, expr, out, context, XmlNodeGetInt32);
}

bool ParseUInt32(const char* text, uint32_t& out) { return TextNumber(text, out); }
bool ParseUInt16(const char* text, uint16_t& out) { return TextNumber(text, out); }

bool XmlGetAttrUInt32(xmlNodePtr node, const char* name, uint32_t& out) { return AttrNumber(node, name, out); }
bool XmlGetAttrUInt16(xmlNodePtr node, const char* name, uint16_t& out) { return AttrNumber(node, name, out); }

bool XmlGetAttrString(xmlNodePtr node, const char* name, std::string& out)
{
    if (!node || !name)
        return false;
    xmlChar* value = xmlGetProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return false;
    out = reinterpret_cast<const char*>(value);
    xmlFree(value);
    return true;
}

bool XmlNodeGetAttribute(xmlNodePtr node, const char* name, std::string& out)
{
    return XmlGetAttrString(node, name, out);
}

xmlDocPtr XmlReadFile(const std::string& path, const char* encoding, int options, std::string* error,
                      uint64_t maxBytes)
{
    std::string data;
    if (!vlt::ReadWholeFile(path, data, error, std::min<uint64_t>(maxBytes, INT_MAX)))
        return nullptr;
    return XmlReadMemory(data, path, encoding, options, error);
}

xmlDocPtr XmlReadMemory(std::string_view data, const std::string& path, const char* encoding, int options,
                        std::string* error)
{
    if (data.size() > INT_MAX) {
        if (error)
            *error = "'" + path + "' is too large";
        return nullptr;
    }
    xmlParserCtxtPtr parser = xmlNewParserCtxt();
    if (!parser) {
        if (error)
            *error = "Out of memory";
        return nullptr;
    }
    ParseMessages messages;
    parser->_private = &messages;
    parser->sax->serror = ParseMessages::Collect;
    xmlDocPtr doc = nullptr;
    {
        CParseErrorScope scope(messages);
        doc = xmlCtxtReadMemory(parser, data.data(), static_cast<int>(data.size()), path.c_str(), encoding, options);
    }
    if (!doc && error)
        *error = messages.Text(path);
    xmlFreeParserCtxt(parser);
    return doc;
}
