#include "RecParamsImp.h"

#include "CDeviceManagerTQ8.h"
#include "CRecParamsManager.h"
#include "XmlRoutines.h"

namespace {

const wchar_t kInvalidWorkspace[] = L"Invalid TQ3300 workspace file";

template <class T>
void AppendNumber(std::string& out, const char* name, T value)
{
    out += '<';
    out += name;
    out += '>';
    out += std::to_string(value);
    out += "</";
    out += name;
    out += '>';
}

xmlNodePtr FirstElementChild(xmlNodePtr node)
{
    for (xmlNodePtr child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE)
            return child;
    return nullptr;
}

bool IsDeviceParams(xmlNodePtr node)
{
    return node->type == XML_ELEMENT_NODE && xmlStrcasecmp(node->name, BAD_CAST "DeviceParams") == 0;
}

void ReadValues(CRecParamsManager& m, xmlDocPtr doc, xmlNodePtr element)
{
    XPathGetUInt32(doc, "Flags", m.Flags, element);
    XPathGetInt32(doc, "RecType", m.RecType, element);
    XPathGetInt32(doc, "RecDurType", m.RecDurType, element);
    XPathGetUInt64(doc, "DurSamples", m.DurSamples, element);
    XPathGetUInt64(doc, "DurMs", m.DurMs, element);
    XPathGetUInt32(doc, "AcqSamples", m.AcqSamples, element);
    XPathGetUInt32(doc, "SnapshotSamples", m.SnapshotSamples, element);
    XPathGetUInt32(doc, "SnapshotFreqMs", m.SnapshotFreqMs, element);
    XPathGetUInt32(doc, "TransferSamples", m.TransferSamples, element);
}

// false for an entry that makes the whole file invalid.
bool ReadDeviceParams(CRecParamsManager& m, xmlDocPtr doc, xmlNodePtr node)
{
    uint32_t serial = 0;
    if (!XmlGetAttrUInt32(node, "Sn", serial))
        return false;
    CDeviceManagerTQ8* devices = m.GetDeviceManager();
    TQ8_HANDLE handle = devices ? devices->FindDeviceBySerial(serial) : nullptr;
    if (!handle)
        return true;
    xmlNodePtr options = FirstElementChild(node);
    if (!options)
        return false;
    // Read into a copy so that a bad entry leaves the board's options alone.
    CDestFileOpts read = m.GetDeviceParams(handle).RecParams.DestFileOpts;
    if (!read.ReadXml(doc, options))
        return false;
    m.GetDeviceParams(handle).RecParams.DestFileOpts = read;
    return true;
}

} // namespace

bool WriteRecParamsImp(const CRecParamsManager& m, std::string& out)
{
    std::string text = "<RecParamsImp>";
    AppendNumber(text, "Flags", m.Flags);
    AppendNumber(text, "RecType", m.RecType);
    AppendNumber(text, "RecDurType", m.RecDurType);
    AppendNumber(text, "DurSamples", m.DurSamples);
    AppendNumber(text, "DurMs", m.DurMs);
    AppendNumber(text, "AcqSamples", m.AcqSamples);
    AppendNumber(text, "SnapshotSamples", m.SnapshotSamples);
    AppendNumber(text, "SnapshotFreqMs", m.SnapshotFreqMs);
    AppendNumber(text, "TransferSamples", m.TransferSamples);
    for (const auto& [handle, entry] : m.Devices()) {
        uint32_t serial = 0;
        // A board that no longer answers could not be matched on reading.
        if (GetSerialNumberTQ8(handle, &serial) != TQ8_OK)
            continue;
        text += "<DeviceParams Sn=\"" + std::to_string(serial) + "\">";
        if (!entry.RecParams.DestFileOpts.WriteXml(text))
            return false;
        text += "</DeviceParams>";
    }
    text += "</RecParamsImp>";
    out += text;
    return true;
}

bool ReadRecParamsImp(CRecParamsManager& m, xmlDocPtr doc, xmlNodePtr element)
{
    if (!doc || !element)
        return false;
    ReadValues(m, doc, element);
    for (xmlNodePtr node = element->children; node; node = node->next) {
        if (!IsDeviceParams(node))
            continue;
        if (!ReadDeviceParams(m, doc, node)) {
            m.SetLastErrorText(kInvalidWorkspace);
            return false;
        }
    }
    return true;
}
