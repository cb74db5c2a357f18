#include "CPersistentOpts.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <libxml/parser.h>
#include <libxml/tree.h>
#include <sys/stat.h>

#include "AtomicFile.h"
#include "CAutoXmlDoc.h"
#include "NumberParse.h"
#include "TextConv.h"
#include "XmlRoutines.h"

namespace {

const char kRootName[] = "TQ8_ScopeAppWsOpts";

std::string TrimLower(std::string k)
{
    const auto isBlank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    size_t first = 0;
    size_t last = k.size();
    while (first < last && isBlank(k[first]))
        ++first;
    while (last > first && isBlank(k[last - 1]))
        --last;
    k = k.substr(first, last - first);
    for (char& c : k)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return k;
}

std::string NormalizeKey(const wchar_t* key)
{
    return key ? TrimLower(vlt::WideToUtf8(key)) : std::string();
}

// The keys become element names, so they must be XML names (ASCII subset:
// a letter or '_' first, then letters, digits, '_', '-', '.'), and not
// start with "xml", which XML reserves.
bool IsElementName(const std::string& key)
{
    if (key.empty() || key.compare(0, 3, "xml") == 0)
        return false;
    const auto first = static_cast<unsigned char>(key[0]);
    if (!(std::isalpha(first) || first == '_'))
        return false;
    for (unsigned char c : key)
        if (!(std::isalnum(c) || c == '_' || c == '-' || c == '.'))
            return false;
    return true;
}

// Anything at the path counts: a folder or a FIFO there is a file that
// cannot be read, not a missing one.
bool PathExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 || errno != ENOENT;
}

std::wstring Format(const wchar_t* format, const std::wstring& arg)
{
    std::wstring text = format;
    const auto pos = text.find(L"%s");
    if (pos != std::wstring::npos)
        text.replace(pos, 2, arg);
    return text;
}

} // namespace

bool CPersistentOpts::GetItem(const wchar_t* key, std::wstring* value)
{
    const std::string k = NormalizeKey(key);
    if (k.empty()) {
        m_lastError = L"Empty workdspace item name specified";
        return false;
    }
    const auto it = m_items.find(k);
    if (it == m_items.end())
        return false;
    if (value)
        *value = vlt::Utf8ToWide(it->second);
    return true;
}

bool CPersistentOpts::Load(const wchar_t* path)
{
    m_path = path ? path : L"";
    m_damaged = false;
    const std::string narrowPath = vlt::WideToUtf8(m_path);
    if (!PathExists(narrowPath)) {
        m_lastError = Format(L"Workspace options file not found: '%s'", m_path);
        return false;
    }
    std::string reason;
    CAutoXmlDoc doc(XmlReadFile(narrowPath, "UTF-8", XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING,
                                &reason));
    if (doc.IsEmpty()) {
        // The reader's or the parser's reason: "not a regular file", too
        // large, or the line and what is wrong there.
        m_lastError = L"Failed to load workspace options file";
        if (!reason.empty())
            m_lastError += L": " + vlt::Utf8ToWide(reason);
        m_damaged = true;
        return false;
    }
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!root || xmlStrcasecmp(root->name, reinterpret_cast<const xmlChar*>(kRootName)) != 0) {
        m_lastError = L"Invalid workspace options file";
        m_damaged = true;
        return false;
    }
    for (xmlNodePtr child = root->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        const std::string key = TrimLower(reinterpret_cast<const char*>(child->name));
        xmlChar* content = xmlNodeGetContent(child);
        m_items[key] = content ? reinterpret_cast<const char*>(content) : "";
        xmlFree(content);
    }
    return true;
}

std::wstring CPersistentOpts::GetDamagedCopyPath() const
{
    return m_path + L".bad";
}

bool CPersistentOpts::SetAsideDamaged()
{
    if (!m_damaged)
        return true;
    const std::wstring bad = GetDamagedCopyPath();
    if (::rename(vlt::WideToUtf8(m_path).c_str(), vlt::WideToUtf8(bad).c_str()) != 0) {
        m_lastError = L"Cannot keep the damaged file as '" + bad + L"': " + vlt::Utf8ToWide(std::strerror(errno));
        return false;
    }
    m_damaged = false;
    return true;
}

bool CPersistentOpts::Save(const wchar_t* path)
{
    const std::wstring target = path ? std::wstring(path) : m_path;
    // The file that could not be read is kept, never replaced.
    if (m_damaged && target == m_path && !SetAsideDamaged()) {
        m_lastError = L"Failed to save workspace options file: " + m_lastError;
        return false;
    }
    CAutoXmlDoc doc(xmlNewDoc(reinterpret_cast<const xmlChar*>("1.0")));
    xmlNodePtr root = doc.IsEmpty() ? nullptr : xmlNewNode(nullptr, reinterpret_cast<const xmlChar*>(kRootName));
    bool built = root != nullptr;
    if (built) {
        xmlDocSetRootElement(doc, root);
        // xmlNewTextChild escapes the value, so "R&D" or "<" round-trip.
        for (const auto& [key, value] : m_items)
            built = built && xmlNewTextChild(root, nullptr, reinterpret_cast<const xmlChar*>(key.c_str()),
                                             value.empty() ? nullptr : reinterpret_cast<const xmlChar*>(value.c_str()))
                != nullptr;
    }
    xmlChar* text = nullptr;
    int size = 0;
    if (built)
        xmlDocDumpFormatMemoryEnc(doc, &text, &size, "UTF-8", 1);
    std::string reason;
    const bool written = text && size > 0
        && vlt::AtomicWriteFile(vlt::WideToUtf8(target), std::string_view(reinterpret_cast<char*>(text), size), &reason);
    xmlFree(text);
    if (!written) {
        m_lastError = L"Failed to save workspace options file";
        if (!reason.empty())
            m_lastError += L": " + vlt::Utf8ToWide(reason);
        return false;
    }
    return true;
}

bool CPersistentOpts::GetItemString(const wchar_t* key, std::wstring& out, const wchar_t* def)
{
    if (!GetItem(key, &out))
        out = def ? def : L"";
    return true;
}

template <class T>
bool CPersistentOpts::GetItemNumber(const wchar_t* key, T& out, T def, const wchar_t* errorFormat)
{
    out = def;
    std::wstring text;
    if (!GetItem(key, &text))
        return true;
    T value{};
    const std::string narrow = vlt::WideToUtf8(text);
    // An empty text reads as 0; otherwise the whole text must be the number,
    // leading blanks and a sign allowed, and it must fit the type.
    if (!narrow.empty() && !vlt::ParseNumberExact(narrow, value)) {
        m_lastError = Format(errorFormat, text);
        return false;
    }
    out = value;
    return true;
}

bool CPersistentOpts::GetItemInt(const wchar_t* key, int32_t& out, int32_t def)
{
    return GetItemNumber(key, out, def, L"Item not integer format: %s");
}

bool CPersistentOpts::GetItemUInt(const wchar_t* key, uint32_t& out, uint32_t def)
{
    return GetItemNumber(key, out, def, L"Item not unsigned integer format: %s");
}

bool CPersistentOpts::GetItemU64(const wchar_t* key, uint64_t& out, uint64_t def)
{
    return GetItemNumber(key, out, def, L"Item not 64-bit unsigned integer format: %s");
}

bool CPersistentOpts::SetItem(const wchar_t* key, const wchar_t* value)
{
    const std::string k = NormalizeKey(key);
    if (!IsElementName(k)) {
        m_lastError = Format(L"Invalid workspace item name: '%s'", key ? key : L"");
        return false;
    }
    m_items[k] = vlt::WideToUtf8(value ? value : L"");
    return true;
}

bool CPersistentOpts::SetItemInt(const wchar_t* key, int32_t value)
{
    return SetItem(key, std::to_wstring(value).c_str());
}

bool CPersistentOpts::SetItemUInt(const wchar_t* key, uint32_t value)
{
    return SetItem(key, std::to_wstring(value).c_str());
}

bool CPersistentOpts::SetItemU64(const wchar_t* key, uint64_t value)
{
    return SetItem(key, std::to_wstring(value).c_str());
}
