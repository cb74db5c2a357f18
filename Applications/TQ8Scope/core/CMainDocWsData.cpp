#include "CMainDocWsData.h"

#include <array>
#include <variant>

#include "TextConv.h"
#include "XmlRoutines.h"

namespace {

using Field = std::variant<uint32_t CMainDocWsData::*, int32_t CMainDocWsData::*, uint64_t CMainDocWsData::*,
                           std::wstring CMainDocWsData::*>;

struct Item {
    const char* name;
    Field field;
};

// In the order the file carries them.
const std::array<Item, 13> kItems = {{
    {"data_start_sample", &CMainDocWsData::DataStartSample},
    {"data_sample_count", &CMainDocWsData::DataSampleCount},
    {"data_bLimitPlotData", &CMainDocWsData::LimitPlotData},
    {"dc_offset_sync_idx", &CMainDocWsData::DcOffsetSyncIdx},
    {"ts_strDestFile", &CMainDocWsData::TsDestFile},
    {"ts_bSaveAsText", &CMainDocWsData::TsSaveAsText},
    {"plot_offset", &CMainDocWsData::PlotOffset},
    {"plot_page_width", &CMainDocWsData::PlotPageWidth},
    {"plot_min_samp_val", &CMainDocWsData::PlotMinSampleValue},
    {"plot_max_samp_val", &CMainDocWsData::PlotMaxSampleValue},
    {"plot_bSyncController", &CMainDocWsData::PlotSyncController},
    {"action_bContinuous", &CMainDocWsData::ActionContinuous},
    {"doc_active_view", &CMainDocWsData::DocActiveView},
}};

const char kDocState[] = "DocState";

bool SameName(const xmlChar* name, const char* wanted)
{
    return name && xmlStrcasecmp(name, reinterpret_cast<const xmlChar*>(wanted)) == 0;
}

// XML cannot carry most control characters nor U+FFFE/U+FFFF, not even as
// character references; one of them would make the whole workspace file
// unreadable, so it is written as U+FFFD instead.
bool XmlCanCarry(wchar_t c)
{
    if (c < 0x20)
        return c == L'\t' || c == L'\n' || c == L'\r';
    return c != 0xFFFE && c != 0xFFFF;
}

std::string TextForXml(const std::wstring& value)
{
    std::wstring carried = value;
    for (wchar_t& c : carried)
        if (!XmlCanCarry(c))
            c = 0xFFFD;
    std::string text = vlt::WideToUtf8(carried);
    XmlEscape(text);
    // A reader turns a literal CR into LF: keep it as a character reference.
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (c == '\r')
            kept += "&#13;";
        else
            kept += c;
    }
    return kept;
}

std::string ValueText(uint32_t value) { return std::to_string(value); }
std::string ValueText(int32_t value) { return std::to_string(value); }
std::string ValueText(uint64_t value) { return std::to_string(value); }
std::string ValueText(const std::wstring& value) { return TextForXml(value); }

// The readers leave the field unchanged when the text is not a number of
// its type (out of range, a minus before an unsigned one, no digits).
void ReadValue(xmlNodePtr node, uint32_t& field) { XmlNodeGetUInt32(node, field); }
void ReadValue(xmlNodePtr node, int32_t& field) { XmlNodeGetInt32(node, field); }
void ReadValue(xmlNodePtr node, uint64_t& field) { XmlNodeGetUInt64(node, field); }
void ReadValue(xmlNodePtr node, std::wstring& field)
{
    std::string text;
    XmlNodeGetText(node, text); // an element without text is an empty name
    field = vlt::Utf8ToWide(text);
}

xmlNodePtr FindChildElement(xmlNodePtr parent, const char* name)
{
    for (xmlNodePtr child = parent ? parent->children : nullptr; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE && SameName(child->name, name))
            return child;
    return nullptr;
}

const Item* FindItem(const xmlChar* name)
{
    for (const Item& item : kItems)
        if (SameName(name, item.name))
            return &item;
    return nullptr;
}

} // namespace

void CMainDocWsData::Reset()
{
    CMainDocWsData defaults;
    defaults.TsDestFile = std::move(TsDestFile);
    *this = std::move(defaults);
}

void CMainDocWsData::WriteXml(std::string& out) const
{
    out += "<DocState>";
    for (const Item& item : kItems)
        std::visit([&](auto member) { XmlAppendElement(out, item.name, ValueText(this->*member)); }, item.field);
    out += "</DocState>";
}

bool CMainDocWsData::ReadXml(xmlNodePtr deviceElement)
{
    xmlNodePtr state = FindChildElement(deviceElement, kDocState);
    if (!state)
        return true;
    for (xmlNodePtr child = state->children; child; child = child->next) {
        if (child->type != XML_ELEMENT_NODE)
            continue;
        if (const Item* item = FindItem(child->name))
            std::visit([&](auto member) { ReadValue(child, this->*member); }, item->field);
    }
    return true;
}
