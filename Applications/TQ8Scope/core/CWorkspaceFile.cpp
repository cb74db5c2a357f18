#include "CWorkspaceFile.h"

#include <libxml/parser.h>

#include "CAutoXmlDoc.h"
#include "IBoardDocument.h"
#include "WorkspaceXml.h"
#include "XmlRoutines.h"

namespace {

constexpr char kRootName[] = "TQ8Scope_Workspace";
// Nothing is fetched from the network for a document type, and the parser's
// messages go into the reason, not to the terminal.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;

std::optional<std::string> Attribute(xmlNodePtr node, const char* name)
{
    std::string value;
    if (!XmlGetAttrString(node, name, value))
        return std::nullopt;
    return value;
}

// An entry whose serial number is its text (Slave, Controlled).
CWorkspaceFile::Related TextEntry(xmlNodePtr node)
{
    CWorkspaceFile::Related r;
    r.valid = XmlNodeGetUInt32(node, r.serial);
    r.cfg = Attribute(node, "Cfg");
    return r;
}

// An entry whose serial number is its Sn attribute (Master, Controller,
// SyncRelation).
template <class Entry>
Entry AttributeEntry(xmlNodePtr node)
{
    Entry r;
    r.valid = XmlGetAttrUInt32(node, "Sn", r.serial);
    r.cfg = Attribute(node, "Cfg");
    return r;
}

CWorkspaceFile::Device ReadDevice(xmlDocPtr doc, xmlNodePtr element)
{
    CWorkspaceFile::Device d;
    d.valid = XmlGetAttrUInt32(element, "Sn", d.serial);
    d.isVirtual = xmlHasProp(element, BAD_CAST "Virtual") != nullptr;
    d.remote = xmlHasProp(element, BAD_CAST "Remote") != nullptr;
    if (d.remote)
        d.locationValid = XmlGetAttrUInt16(element, "Port", d.port) && XmlGetAttrString(element, "Server", d.server);
    if (xmlNodePtr settings = wsxml::FirstElementChild(wsxml::ChildElement(element, "LibSettings", true)))
        d.settingsState = wsxml::DumpElement(doc, settings, d.settings) ? CWorkspaceFile::Settings::Present
                                                                       : CWorkspaceFile::Settings::Unserialisable;
    d.docFlags = docstate::kLimitPlotData;
    if (xmlNodePtr node = wsxml::ChildElement(element, "DocFlags", false))
        XmlNodeGetUInt32(node, d.docFlags);
    d.state.ReadXml(element);
    return d;
}

} // namespace

CWorkspaceFile::Result CWorkspaceFile::ReadFile(const std::string& path, std::string& reason)
{
    CAutoXmlDoc doc(XmlReadFile(path, nullptr, kParseOptions, &reason));
    return Read(doc);
}

CWorkspaceFile::Result CWorkspaceFile::ReadText(std::string_view text, const std::string& name, std::string& reason)
{
    CAutoXmlDoc doc(XmlReadMemory(text, name, nullptr, kParseOptions, &reason));
    return Read(doc);
}

CWorkspaceFile::Result CWorkspaceFile::Read(xmlDocPtr doc)
{
    if (!doc)
        return Result::Unreadable;
    xmlNodePtr root = xmlDocGetRootElement(doc);
    if (!root || !wsxml::SameNameIgnoringCase(root->name, kRootName))
        return Result::NotWorkspace;
    for (xmlNodePtr element : wsxml::ChildElements(wsxml::ChildElement(root, "Devices", false), "Device", false))
        devices.push_back(ReadDevice(doc, element));
    xmlNodePtr section = wsxml::ChildElement(root, "DeviceMsRelations", false);
    for (xmlNodePtr element : wsxml::ChildElements(section, "Master", false)) {
        Master& master = masters.emplace_back(AttributeEntry<Master>(element));
        for (xmlNodePtr slave : wsxml::ChildElements(element, "Slave", true))
            master.slaves.push_back(TextEntry(slave));
    }
    section = wsxml::ChildElement(root, "ControllerRelations", false);
    for (xmlNodePtr element : wsxml::ChildElements(section, "Controller", false)) {
        Controller& controller = controllers.emplace_back(AttributeEntry<Controller>(element));
        for (xmlNodePtr controlled : wsxml::ChildElements(element, "Controlled", true))
            controller.controlled.push_back(TextEntry(controlled));
    }
    section = wsxml::ChildElement(root, "SyncDevices", false);
    hasSyncSection = section != nullptr;
    for (xmlNodePtr element : wsxml::ChildElements(section, "SyncDevice", false))
        syncDevices.push_back(ReadDevice(doc, element));
    section = wsxml::ChildElement(root, "SyncDeviceRelations", false);
    for (xmlNodePtr element : wsxml::ChildElements(section, "SyncRelation", false)) {
        SyncRelation& relation = syncRelations.emplace_back(AttributeEntry<SyncRelation>(element));
        for (xmlNodePtr output : wsxml::ChildElements(element, "Output", true)) {
            SyncOutput& o = relation.outputs.emplace_back();
            const bool hasIndex = XmlGetAttrUInt32(output, "Idx", o.index);
            o.valid = hasIndex && XmlNodeGetUInt32(output, o.serial);
        }
    }
    xmlNodePtr parameters = wsxml::FirstElementChild(wsxml::ChildElement(root, "RecordingParameters", false));
    hasRecordingParameters = parameters != nullptr;
    if (parameters)
        recordingParameters = ReadRecParamsRecords(doc, parameters);
    return Result::Ok;
}
