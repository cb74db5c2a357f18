#pragma once
// The workspace's recording parameters: the values every board records
// with, and one entry per board with its own settings and destination files.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <libxml/tree.h>

#include "CRecParams.h"
#include "TQ8RecordTypes.h"
#include "TQ8_64.h"

class CDeviceManagerTQ8;
class CMainDoc;

class CRecParamsManager {
public:
    // Bits of CDevState::StateFlags.
    static constexpr uint32_t kStateSelected = 0x1;

    class CDevState {
    public:
        CDevState() = default;
        // A copy's session record no longer points at a file-write record:
        // the source's belongs to the source.
        CDevState(const CDevState& other);
        CDevState& operator=(const CDevState& other);
        virtual ~CDevState() = default;

        CRecParams RecParams;
        CMainDoc* Document = nullptr;
        uint32_t StateFlags = kStateSelected;
        uint32_t SnapshotCounter = 0;
        uint64_t RecordedSamples = 0;
        TQ8_REC_SESSION_PARAMS SessionParams{};
    };

    CRecParamsManager() = default;
    CRecParamsManager(const CRecParamsManager&) = delete;
    CRecParamsManager& operator=(const CRecParamsManager&) = delete;
    virtual ~CRecParamsManager() = default;

    // The RecParamsImp element, appended to out.
    bool WriteXml(std::string& out) const;
    // false, with the last error text, for an unreadable board entry.
    bool ReadXml(xmlDocPtr doc, xmlNodePtr element);

    // Every board with a document gets a fresh default entry.
    bool LinkDeviceManager(CDeviceManagerTQ8* devices);
    CDeviceManagerTQ8* GetDeviceManager() const { return m_devices; }
    bool AddDevice(TQ8_HANDLE handle);
    size_t RemoveDevice(TQ8_HANDLE handle);
    // The board's entry, created with defaults when missing.
    CDevState& GetDeviceParams(TQ8_HANDLE handle);
    const CDevState* FindDeviceParams(TQ8_HANDLE handle) const;
    // Appends the boards (only the selected ones when onlySelected); slaves
    // go to the front. Returns how many were added.
    uint32_t GetDevices(std::vector<TQ8_HANDLE>& list, bool onlySelected) const;
    const std::map<TQ8_HANDLE, CDevState>& Devices() const { return m_entries; }

    const std::wstring& GetLastErrorText() const { return m_lastError; }
    void SetLastErrorText(const std::wstring& text) { m_lastError = text; }

    uint32_t Flags = 0;
    int32_t RecType = 0;
    int32_t RecDurType = 0;
    uint64_t DurSamples = 104857600;
    uint64_t DurMs = 60000;
    uint32_t AcqSamples = 1048576;
    uint32_t TransferSamples = 0;
    uint32_t SnapshotSamples = 8192;
    uint32_t SnapshotFreqMs = 1000;

private:
    CMainDoc* DocumentOf(TQ8_HANDLE handle) const;

    CDeviceManagerTQ8* m_devices = nullptr;
    std::map<TQ8_HANDLE, CDevState> m_entries;
    std::wstring m_lastError;
};
