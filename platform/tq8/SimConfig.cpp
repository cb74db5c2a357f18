#include "SimConfig.h"

#include <memory>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

#include "NumberParse.h"
#include "TQ8_64.h"

namespace tq8 {

namespace {
struct DocFree {
    void operator()(xmlDoc* d) const { xmlFreeDoc(d); }
};
struct CtxtFree {
    void operator()(xmlParserCtxt* c) const { xmlFreeParserCtxt(c); }
};

std::string ParserReason(const xmlError& error)
{
    std::string message = error.message ? error.message : "not well-formed XML";
    while (!message.empty() && (message.back() == '\n' || message.back() == ' '))
        message.pop_back();
    return "line " + std::to_string(error.line) + ": " + message;
}

bool Attr(xmlNode* node, const char* name, std::string& out)
{
    xmlChar* v = xmlGetProp(node, BAD_CAST name);
    if (v == nullptr)
        return false;
    out = reinterpret_cast<const char*>(v);
    xmlFree(v);
    return true;
}

// Missing attributes keep the target; present ones must parse.
template <class T>
bool Number(xmlNode* node, const char* name, T& target)
{
    std::string text;
    if (!Attr(node, name, text))
        return true;
    vlt::ParseRules rules;
    std::string_view body = text;
    if constexpr (std::is_integral_v<T>) {
        if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
            body.remove_prefix(2);
            rules.base = 16;
        }
    }
    return vlt::ParseNumber(body, target, rules);
}

bool ChannelFlags(xmlNode* node, std::array<uint32_t, 4>& flags)
{
    std::string text;
    if (!Attr(node, "chanFlags", text))
        return true;
    size_t pos = 0;
    for (size_t i = 0; i < 4; ++i) {
        size_t end = text.find(',', pos);
        std::string part = text.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        vlt::ParseRules rules;
        std::string_view body = part;
        while (!body.empty() && body.front() == ' ')
            body.remove_prefix(1);
        if (body.size() > 2 && body[0] == '0' && (body[1] == 'x' || body[1] == 'X')) {
            body.remove_prefix(2);
            rules.base = 16;
        }
        if (!vlt::ParseNumber(body, flags[i], rules))
            return false;
        if (end == std::string::npos)
            return i == 3;
        pos = end + 1;
    }
    return false;
}

bool ParseSignal(xmlNode* node, uint32_t serial, SimSignalEntry& entry)
{
    entry.serial = serial;
    return Number(node, "channel", entry.channel) && entry.channel >= 0 && entry.channel < 4
           && Number(node, "freqMHz", entry.signal.frequencyMHz) && Number(node, "amplitude", entry.signal.amplitude)
           && Number(node, "noise", entry.signal.noise) && Number(node, "offset", entry.signal.offset)
           && Number(node, "harmonicsDbc", entry.signal.harmonicsDbc);
}

bool ParseBoard(xmlNode* node, SimConfig& cfg)
{
    SimBoardEntry entry;
    BoardDescription& d = entry.desc;
    d.kind = BoardKind::Local;
    uint64_t seed = 0;
    std::string seedText;
    bool ok = Number(node, "serial", d.serial) && Number(node, "revision", d.revision)
              && Number(node, "features", d.features) && Number(node, "packages", d.packages)
              && Number(node, "masterSlave", d.masterSlave) && Number(node, "sync", d.syncConfig)
              && Number(node, "extTrigger", d.extTriggerConfig) && Number(node, "inputFilter", d.inputFilterConfig)
              && Number(node, "zabFpgaType", d.zabFpgaType) && Number(node, "fpgaType", d.fpgaType)
              && Number(node, "ramSize", d.ramSize) && Number(node, "seed", seed) && ChannelFlags(node, d.channelFlags);
    if (!ok || !IsPlausible(d))
        return false;
    if (Attr(node, "seed", seedText))
        entry.seed = seed;
    uint32_t overflowFlag = 1;
    if (!Number(node, "tsOverflowFlag", overflowFlag) || overflowFlag > 1)
        return false;
    d.timestampOverflowFlag = overflowFlag != 0;
    for (xmlNode* c = node->children; c != nullptr; c = c->next) {
        if (c->type == XML_ELEMENT_NODE && xmlStrcmp(c->name, BAD_CAST "Eeprom") == 0) {
            uint32_t word = 0, value = 0;
            if (!Number(c, "word", word) || !Number(c, "value", value) || word >= kEepromChecksumWord
                || value > 0xFFFF)
                return false;
            d.eepromWords.emplace_back(word, static_cast<uint16_t>(value));
            continue;
        }
        if (c->type != XML_ELEMENT_NODE || xmlStrcmp(c->name, BAD_CAST "Signal") != 0)
            continue;
        SimSignalEntry sig;
        if (!ParseSignal(c, d.serial, sig))
            return false;
        cfg.signals.push_back(sig);
    }
    cfg.boards.push_back(entry);
    return true;
}
} // namespace

int32_t ParseSimConfig(std::string_view xml, SimConfig& out, std::string* reason)
{
    const auto fail = [reason](std::string text) {
        if (reason)
            *reason = std::move(text);
        return TQ8_ERR_BAD_SETTINGS;
    };
    if (xml.empty())
        return fail("the text is empty");
    if (xml.size() > kMaxSimConfigBytes)
        return fail("the text is larger than " + std::to_string(kMaxSimConfigBytes) + " bytes");
    std::unique_ptr<xmlParserCtxt, CtxtFree> parser(xmlNewParserCtxt());
    if (parser == nullptr)
        return fail("out of memory");
    std::unique_ptr<xmlDoc, DocFree> doc(xmlCtxtReadMemory(parser.get(), xml.data(), static_cast<int>(xml.size()),
                                                           nullptr, "UTF-8",
                                                           XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING));
    if (doc == nullptr)
        return fail(ParserReason(parser->lastError));
    xmlNode* root = xmlDocGetRootElement(doc.get());
    if (root == nullptr || xmlStrcmp(root->name, BAD_CAST "TQ8Sim") != 0)
        return fail("the root element is not TQ8Sim");
    SimConfig cfg;
    double factor = 0;
    std::string text;
    if (Attr(root, "timeFactor", text)) {
        if (!vlt::ParseNumberExact(text, factor))
            return fail("timeFactor is not a number");
        cfg.timeFactor = factor;
    }
    for (xmlNode* n = root->children; n != nullptr; n = n->next) {
        if (n->type != XML_ELEMENT_NODE)
            continue;
        if (xmlStrcmp(n->name, BAD_CAST "Board") != 0 || !ParseBoard(n, cfg))
            return fail("line " + std::to_string(xmlGetLineNo(n)) + ": element " + reinterpret_cast<const char*>(n->name)
                        + " is not a valid Board");
    }
    out = std::move(cfg);
    return TQ8_OK;
}

} // namespace tq8
