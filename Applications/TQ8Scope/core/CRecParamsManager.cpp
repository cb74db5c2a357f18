#include "CRecParamsManager.h"

#include "CDeviceManagerTQ8.h"
#include "RecParamsImp.h"

CRecParamsManager::CDevState::CDevState(const CDevState& other)
    : RecParams(other.RecParams), Document(other.Document), StateFlags(other.StateFlags),
      SnapshotCounter(other.SnapshotCounter), RecordedSamples(other.RecordedSamples),
      SessionParams(other.SessionParams)
{
    SessionParams.Rsp_fileWrite = nullptr;
}

CRecParamsManager::CDevState& CRecParamsManager::CDevState::operator=(const CDevState& other)
{
    if (this != &other) {
        RecParams = other.RecParams;
        Document = other.Document;
        StateFlags = other.StateFlags;
        SnapshotCounter = other.SnapshotCounter;
        RecordedSamples = other.RecordedSamples;
        SessionParams = other.SessionParams;
        SessionParams.Rsp_fileWrite = nullptr;
    }
    return *this;
}

bool CRecParamsManager::WriteXml(std::string& out) const
{
    return WriteRecParamsImp(*this, out);
}

bool CRecParamsManager::ReadXml(xmlDocPtr doc, xmlNodePtr element)
{
    return ReadRecParamsImp(*this, doc, element);
}

CMainDoc* CRecParamsManager::DocumentOf(TQ8_HANDLE handle) const
{
    return m_devices ? m_devices->GetDocument(handle) : nullptr;
}

bool CRecParamsManager::LinkDeviceManager(CDeviceManagerTQ8* devices)
{
    m_devices = devices;
    if (!devices)
        return true;
    std::vector<TQ8_HANDLE> withDocument;
    devices->GetDevicesWithDocument(withDocument);
    for (TQ8_HANDLE handle : withDocument) {
        CDevState entry;
        entry.Document = devices->GetDocument(handle);
        m_entries[handle] = entry;
    }
    return true;
}

bool CRecParamsManager::AddDevice(TQ8_HANDLE handle)
{
    if (m_entries.count(handle))
        return true;
    CDevState& entry = m_entries[handle];
    entry.Document = DocumentOf(handle);
    return true;
}

size_t CRecParamsManager::RemoveDevice(TQ8_HANDLE handle)
{
    return m_entries.erase(handle);
}

CRecParamsManager::CDevState& CRecParamsManager::GetDeviceParams(TQ8_HANDLE handle)
{
    AddDevice(handle);
    return m_entries[handle];
}

const CRecParamsManager::CDevState* CRecParamsManager::FindDeviceParams(TQ8_HANDLE handle) const
{
    auto it = m_entries.find(handle);
    return it == m_entries.end() ? nullptr : &it->second;
}

uint32_t CRecParamsManager::GetDevices(std::vector<TQ8_HANDLE>& list, bool onlySelected) const
{
    uint32_t count = 0;
    for (const auto& [handle, entry] : m_entries) {
        if (onlySelected && !(entry.StateFlags & kStateSelected))
            continue;
        int32_t config = GetMasterSlaveConfigurationTQ8(handle, 1);
        if (config == 2 || config == 3)
            list.insert(list.begin(), handle);
        else
            list.push_back(handle);
        ++count;
    }
    return count;
}
