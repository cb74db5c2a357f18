#include "SettingsXml.h"

#include <charconv>
#include <memory>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "NumberParse.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
constexpr const char* kRoot = "TQ8Settings";
constexpr const char* kVersion = "1";

std::string FormatNumber(double v)
{
    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

void AppendTaps(std::string& out, const char* name, const std::vector<int16_t>& taps)
{
    out += "<";
    out += name;
    out += ">";
    for (size_t i = 0; i < taps.size(); ++i) {
        if (i != 0)
            out += ' ';
        out += std::to_string(taps[i]);
    }
    out += "</";
    out += name;
    out += ">";
}

struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};

std::string NodeText(xmlNode* node)
{
    xmlChar* t = xmlNodeGetContent(node);
    std::string s = t != nullptr ? reinterpret_cast<const char*>(t) : "";
    xmlFree(t);
    return s;
}

bool ParseTaps(const std::string& text, size_t count, std::vector<int16_t>& out)
{
    std::vector<int16_t> taps;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of(" \t\r\n", pos);
        if (end == std::string::npos)
            end = text.size();
        if (end > pos) {
            int16_t v = 0;
            if (!vlt::ParseNumberExact(std::string_view(text).substr(pos, end - pos), v))
                return false;
            taps.push_back(v);
        }
        pos = end + 1;
    }
    if (taps.size() != count)
        return false;
    out = std::move(taps);
    return true;
}

int32_t ApplyTaps(xmlNode* node, FirBank bank, size_t count, CBoardSettings& s)
{
    std::vector<int16_t> taps;
    if (!ParseTaps(NodeText(node), count, taps))
        return TQ8_ERR_BAD_SETTINGS;
    return s.LoadFir(bank, taps.data(), taps.size());
}

// Returns TQ8_ERR_BAD_SETTINGS, saying which element holds what.
int32_t Refuse(std::string* reason, std::string_view name, const std::string& value, const char* why)
{
    if (reason)
        *reason = "The element " + std::string(name) + " holds \"" + value + "\", " + why;
    return TQ8_ERR_BAD_SETTINGS;
}

constexpr const char* kNotANumber = "which is not a number";
constexpr const char* kNotTaken = "which this device does not take";
} // namespace

std::string SettingsToXmlElement(const CBoardSettings& settings)
{
    std::string out = std::string("<") + kRoot + " version=\"" + kVersion + "\">";
    for (int i = 0; i < kSettingCount; ++i) {
        auto id = static_cast<SettingId>(i);
        std::string name(SettingName(id));
        out += "<" + name + ">" + FormatNumber(settings.Get(id)) + "</" + name + ">";
    }
    AppendTaps(out, "Fir1Coefficients", settings.Fir(FirBank::Fir1));
    AppendTaps(out, "Fir2Ch1Coefficients", settings.Fir(FirBank::Fir2Ch1));
    AppendTaps(out, "Fir2Ch2Coefficients", settings.Fir(FirBank::Fir2Ch2));
    out += std::string("</") + kRoot + ">";
    return out;
}

std::string SettingsToXmlFile(const CBoardSettings& settings)
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + SettingsToXmlElement(settings) + "\n";
}

int32_t SettingsFromXml(std::string_view xml, const CBoardSettings& base, CBoardSettings& out, std::string* reason)
{
    if (xml.empty() || xml.size() > kMaxSettingsXmlBytes)
        return TQ8_ERR_BAD_SETTINGS;
    std::unique_ptr<xmlDoc, DocFree> doc(xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, "UTF-8",
                                                       XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    xmlNode* root = doc ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr || xmlStrcmp(root->name, BAD_CAST kRoot) != 0)
        return TQ8_ERR_BAD_SETTINGS;

    // Values are applied in setting order, whatever their order in the text.
    std::vector<xmlNode*> byId(kSettingCount, nullptr);
    CBoardSettings next(base);
    next.SetDefaults();
    bool namesASetting = false;
    for (xmlNode* n = root->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        std::string_view name = reinterpret_cast<const char*>(n->name);
        int32_t rc = TQ8_OK;
        bool known = true;
        if (name == "Fir1Coefficients")
            rc = ApplyTaps(n, FirBank::Fir1, kFir1Taps, next);
        else if (name == "Fir2Ch1Coefficients")
            rc = ApplyTaps(n, FirBank::Fir2Ch1, kFir2Taps, next);
        else if (name == "Fir2Ch2Coefficients")
            rc = ApplyTaps(n, FirBank::Fir2Ch2, kFir2Taps, next);
        else if (SettingId id = SettingFromName(name); id != SettingId::Count)
            byId[static_cast<size_t>(id)] = n;
        else
            known = false; // from a newer version: skipped
        namesASetting = namesASetting || known;
        if (rc != TQ8_OK)
            return Refuse(reason, name, NodeText(n), "which is not a list of coefficients this device takes");
    }
    // Applying a text that names no setting would only reset the board.
    if (!namesASetting)
        return TQ8_ERR_BAD_SETTINGS;
    double region[2] = {next.Get(SettingId::MemoryRegionStart), next.Get(SettingId::MemoryRegionCount)};
    for (int i = 0; i < kSettingCount; ++i) {
        if (byId[static_cast<size_t>(i)] == nullptr)
            continue;
        auto id = static_cast<SettingId>(i);
        const std::string text = NodeText(byId[static_cast<size_t>(i)]);
        double v = 0;
        if (!vlt::ParseNumberExact(text, v))
            return Refuse(reason, SettingName(id), text, kNotANumber);
        if (id == SettingId::MemoryRegionStart || id == SettingId::MemoryRegionCount) {
            if (!(v >= 0 && v <= 4294967295.0)) // NaN too
                return Refuse(reason, SettingName(id), text, kNotTaken);
            region[id == SettingId::MemoryRegionStart ? 0 : 1] = v;
            continue;
        }
        if (next.Set(id, v) != TQ8_OK)
            return Refuse(reason, SettingName(id), text, kNotTaken);
    }
    next.SetMemoryRegion(static_cast<uint32_t>(region[1]), static_cast<uint32_t>(region[0]));
    out = std::move(next);
    return TQ8_OK;
}

} // namespace tq8
