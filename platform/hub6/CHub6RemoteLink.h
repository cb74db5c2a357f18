#pragma once
// One connection of the component to the sync-device service of another
// computer: the service host's framing, its connect handshake, and one call
// and its reply at a time. Every wait is bounded; a connection whose peer has
// gone or answered nonsense is closed and every later call fails at once.
#include <cstdint>
#include <string>

#include "CAutoXmlDoc.h"
#include "ServiceRequestRoutines.h"

class CHub6RemoteLink {
public:
    CHub6RemoteLink() = default;
    ~CHub6RemoteLink();
    CHub6RemoteLink(const CHub6RemoteLink&) = delete;
    CHub6RemoteLink& operator=(const CHub6RemoteLink&) = delete;

    // Connects to the service; false with the reason in error.
    bool Open(const std::wstring& server, uint16_t port, std::wstring& error);
    // Says goodbye and closes; a closed link stays closed.
    void Close();
    bool IsOpen() const { return m_socket >= 0; }

    // One call; true with the reply's ReturnData in reply. An error reply
    // gives false with the service's own text.
    bool Call(const char* method, const ServiceRequestParams* params, CAutoXmlDoc& reply, std::wstring& error);
    // A call whose reply must carry the item; its text in value.
    bool CallForItem(const char* method, const ServiceRequestParams* params, const char* item, std::string& value,
                     std::wstring& error);

private:
    bool Exchange(const std::string& request, CAutoXmlDoc& reply, std::wstring& error);
    std::wstring Where() const;
    bool Lost(std::wstring& error);

    int m_socket = -1;
    std::wstring m_server;
    uint16_t m_port = 0;
};
