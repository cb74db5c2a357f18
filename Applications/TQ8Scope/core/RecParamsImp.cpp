#include "RecParamsImp.h"

#include "CDeviceManagerTQ8.h"
#include "CRecParamsManager.h"
#include "TextConv.h"
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

// The value of a child element when it is there and a number of its type.
template <class T, class Getter>
void ReadValue(xmlDocPtr doc, xmlNodePtr element, const char* name, std::optional<T>& out, Getter get)
{
    T value{};
    if (get(doc, name, value, element) == kXmlOk)
        out = value;
}

template <class T>
void SetIfRead(T& field, const std::optional<T>& value)
{
    if (value)
        field = *value;
}

std::wstring Utf8Name(const xmlChar* name)
{
    return vlt::Utf8ToWide(reinterpret_cast<const char*>(name));
}

// Which element of an entry is at fault, for the user; empty when none.
std::wstring DeviceParamsFault(const RecParamsRecords::Device& entry, xmlNodePtr node, xmlNodePtr options)
{
    const std::wstring element = L"the " + Utf8Name(node->name) + L" element";
    std::string sn;
    if (!entry.valid)
        return XmlGetAttrString(node, "Sn", sn) ? element + L" has Sn=\"" + vlt::Utf8ToWide(sn) + L"\", no serial number"
                                                : element + L" has no Sn attribute";
    const std::wstring owner = element + L" with Sn=\"" + std::to_wstring(entry.serial) + L"\"";
    if (!options)
        return owner + L" holds no DestFileOpts element";
    if (!entry.optionsValid)
        return owner + L": its " + Utf8Name(options->name) + L" element has no Fwp_ss record size above 0";
    return {};
}

RecParamsRecords::Device ReadDeviceParams(xmlDocPtr doc, xmlNodePtr node)
{
    RecParamsRecords::Device entry;
    entry.valid = XmlGetAttrUInt32(node, "Sn", entry.serial);
    xmlNodePtr options = FirstElementChild(node);
    entry.optionsValid = options && entry.options.ReadXml(doc, options);
    entry.fault = DeviceParamsFault(entry, node, options);
    return entry;
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

RecParamsRecords ReadRecParamsRecords(xmlDocPtr doc, xmlNodePtr element)
{
    RecParamsRecords r;
    if (!doc || !element)
        return r;
    ReadValue(doc, element, "Flags", r.flags, XPathGetUInt32);
    ReadValue(doc, element, "RecType", r.recType, XPathGetInt32);
    ReadValue(doc, element, "RecDurType", r.recDurType, XPathGetInt32);
    ReadValue(doc, element, "DurSamples", r.durSamples, XPathGetUInt64);
    ReadValue(doc, element, "DurMs", r.durMs, XPathGetUInt64);
    ReadValue(doc, element, "AcqSamples", r.acqSamples, XPathGetUInt32);
    ReadValue(doc, element, "SnapshotSamples", r.snapshotSamples, XPathGetUInt32);
    ReadValue(doc, element, "SnapshotFreqMs", r.snapshotFreqMs, XPathGetUInt32);
    ReadValue(doc, element, "TransferSamples", r.transferSamples, XPathGetUInt32);
    for (xmlNodePtr node = element->children; node; node = node->next)
        if (IsDeviceParams(node))
            r.devices.push_back(ReadDeviceParams(doc, node));
    return r;
}

bool ApplyRecParamsRecords(CRecParamsManager& m, const RecParamsRecords& r, std::wstring* fault)
{
    SetIfRead(m.Flags, r.flags);
    SetIfRead(m.RecType, r.recType);
    SetIfRead(m.RecDurType, r.recDurType);
    SetIfRead(m.DurSamples, r.durSamples);
    SetIfRead(m.DurMs, r.durMs);
    SetIfRead(m.AcqSamples, r.acqSamples);
    SetIfRead(m.SnapshotSamples, r.snapshotSamples);
    SetIfRead(m.SnapshotFreqMs, r.snapshotFreqMs);
    SetIfRead(m.TransferSamples, r.transferSamples);
    CDeviceManagerTQ8* devices = m.GetDeviceManager();
    for (const RecParamsRecords::Device& entry : r.devices) {
        TQ8_HANDLE handle = entry.valid && devices ? devices->FindDeviceBySerial(entry.serial) : nullptr;
        // Boards that are not connected are skipped; their entries are only
        // checked for a serial number.
        if (entry.valid && !handle)
            continue;
        if (!entry.valid || !entry.optionsValid) {
            m.SetLastErrorText(kInvalidWorkspace);
            if (fault)
                *fault = entry.fault;
            return false;
        }
        m.GetDeviceParams(handle).RecParams.DestFileOpts = entry.options;
    }
    return true;
}

bool ReadRecParamsImp(CRecParamsManager& m, xmlDocPtr doc, xmlNodePtr element)
{
    if (!doc || !element)
        return false;
    return ApplyRecParamsRecords(m, ReadRecParamsRecords(doc, element));
}
