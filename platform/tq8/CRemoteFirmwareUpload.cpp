#include "CRemoteFirmwareUpload.h"

#include <algorithm>

#include "AtomicFile.h"
#include "Base64.h"
#include "CFirmwarePackage.h"
#include "CRemoteLink.h"
#include "NumberParse.h"
#include "ServiceRequestRoutines.h"
#include "XmlRoutines.h"

namespace tq8 {

static_assert(tq8wire::kMaxFirmwareBytes == CFirmwarePackage::kMaxPackageBytes, "the server takes what this side reads");

namespace {

template <class T>
bool Item(xmlDocPtr reply, const char* name, T& value)
{
    std::string text;
    return GetServiceReturnString(reply, name, text) == 0 && vlt::ParseNumberExact(text, value);
}

// The step's progress, an empty item when there was none.
bool Events(xmlDocPtr reply, std::vector<tq8wire::FirmwareEvent>& events)
{
    const xmlNodePtr node = XPathFindNode(reply, "/VltServiceResponse/ReturnData/Events");
    std::string text;
    if (node == nullptr)
        return false;
    XmlNodeGetText(node, text);
    return tq8wire::DecodeEvents(text, events);
}

} // namespace

CRemoteFirmwareUpload::CRemoteFirmwareUpload(CRemoteLink& link, TQ8_HANDLE handle, TQ8_FW_PROGRESS_CALLBACK callback,
                                             void* context)
    : m_link(link), m_handle(handle), m_callback(callback), m_context(context)
{
}

int32_t CRemoteFirmwareUpload::Run(const std::string& path, uint32_t& out)
{
    out = 0;
    CFirmwarePackage package;
    if (int32_t rc = package.Open(path); rc != TQ8_OK)
        return rc;
    std::string bytes;
    if (!vlt::ReadWholeFile(path, bytes, nullptr, CFirmwarePackage::kMaxPackageBytes))
        return TQ8_ERR_FILE_UNREADABLE;
    int32_t rc = Send(path, bytes);
    if (rc == TQ8_OK)
        rc = m_link.CallForResult(tq8wire::Method::FwUpload, {});
    return rc == TQ8_OK ? Follow(out) : rc;
}

int32_t CRemoteFirmwareUpload::Send(const std::string& path, const std::string& bytes)
{
    // The server keeps the name: its extension tells a package from an image.
    const std::string name = path.substr(path.find_last_of('/') + 1);
    int32_t rc = m_link.CallForResult(tq8wire::Method::FwBegin, {std::to_string(bytes.size()), name});
    std::string coded;
    for (size_t sent = 0; rc == TQ8_OK && sent < bytes.size();) {
        const size_t n = std::min<size_t>(tq8wire::kReadChunkBytes, bytes.size() - sent);
        vlt::Base64Encode(reinterpret_cast<const uint8_t*>(bytes.data()) + sent, n, coded);
        rc = m_link.CallForResult(tq8wire::Method::FwData, {coded});
        sent += n;
    }
    return rc;
}

int32_t CRemoteFirmwareUpload::Follow(uint32_t& out)
{
    for (;;) {
        CAutoXmlDoc reply;
        const int32_t rc = m_link.Call(tq8wire::Method::FwStep, {}, reply);
        if (rc != TQ8_OK)
            return rc;
        int32_t result = 0;
        uint32_t finished = 0, flags = 0;
        std::vector<tq8wire::FirmwareEvent> events;
        if (!Item(reply, tq8wire::kResult, result))
            return TQ8_ERR_BAD_REPLY;
        // A server with no upload for this connection answers its code alone.
        if (!Item(reply, "Finished", finished))
            return result != TQ8_OK ? result : TQ8_ERR_BAD_REPLY;
        if (!Item(reply, "OutFlags", flags) || finished > 1 || !Events(reply, events))
            return TQ8_ERR_BAD_REPLY;
        if (m_callback)
            for (const tq8wire::FirmwareEvent& e : events)
                m_callback(m_handle, m_context, e.position, e.range, e.fileIndex, e.countOrWait);
        if (finished) {
            out = flags;
            return result;
        }
    }
}

} // namespace tq8
