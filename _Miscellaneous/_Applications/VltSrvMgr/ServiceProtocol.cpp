#include "ServiceProtocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/time.h>

#include <libxml/parser.h>

#include "NumberParse.h"
#include "ServiceErrors.h"
#include "ServiceHostOptions.h"
#include "XmlRoutines.h"

namespace {

constexpr uint32_t kTopBit = 0x80000000u;

void RecordSocketFailure()
{
    // A receive time-out shows as EAGAIN; name it as what it is.
    SetLastSocketError(errno == EAGAIN || errno == EWOULDBLOCK ? ETIMEDOUT : errno);
}

void SetReceiveTimeout(int socket, int32_t ms)
{
    timeval tv{ms / 1000, (ms % 1000) * 1000};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
}

// One receive into the buffer; 0 bytes or a failure gives -525.
int32_t ReceivePiece(int socket, char* buffer, size_t count, size_t& received)
{
    for (;;) {
        ssize_t n = recv(socket, buffer, count, 0);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return 0;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            SetLastSocketError(ECONNRESET);
        else
            RecordSocketFailure();
        return kSvcSocketError;
    }
}

// No network, no DTD loading, no entity substitution; names not shared with
// the parser's dictionary, which needs a process-wide lock per document.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NODICT;
// A kept parser is replaced once its dictionary has grown this large, so
// that many messages with ever new names cannot grow it without end.
constexpr size_t kParserDictLimit = 4096;

// Starts a message: the first piece is the push parser's initial chunk. A
// kept parser is reset instead of created anew (creation takes a lock
// shared by the whole process).
bool StartParser(xmlParserCtxtPtr& ctxt, const char* piece, size_t count)
{
    if (ctxt && static_cast<size_t>(xmlDictSize(ctxt->dict)) > kParserDictLimit) {
        xmlFreeParserCtxt(ctxt);
        ctxt = nullptr;
    }
    if (ctxt && xmlCtxtResetPush(ctxt, piece, static_cast<int>(count), nullptr, nullptr) != 0) {
        xmlFreeParserCtxt(ctxt);
        ctxt = nullptr;
    }
    if (!ctxt)
        ctxt = xmlCreatePushParserCtxt(nullptr, nullptr, piece, static_cast<int>(count), nullptr);
    if (ctxt)
        xmlCtxtUseOptions(ctxt, kParseOptions);
    return ctxt != nullptr;
}

void DropDocument(xmlParserCtxtPtr ctxt)
{
    if (ctxt && ctxt->myDoc)
        xmlFreeDoc(ctxt->myDoc);
    if (ctxt)
        ctxt->myDoc = nullptr;
}

int32_t ReceiveBody(int socket, char* buffer, uint32_t length, xmlDocPtr& doc, xmlParserCtxtPtr& ctxt)
{
    bool started = false;
    for (uint32_t remaining = length; remaining > 0;) {
        size_t received = 0;
        int32_t rc = ReceivePiece(socket, buffer, std::min<size_t>(remaining, kReceiveBufferSize), received);
        if (rc == 0 && !started) {
            started = StartParser(ctxt, buffer, received);
            if (!started)
                return kSvcXmlError;
        } else if (rc == 0 && xmlParseChunk(ctxt, buffer, static_cast<int>(received), 0) != 0) {
            rc = kSvcXmlError;
        }
        if (rc != 0) {
            if (started)
                DropDocument(ctxt);
            return rc;
        }
        remaining -= static_cast<uint32_t>(received);
    }
    xmlParseChunk(ctxt, nullptr, 0, 1);
    const bool wellFormed = ctxt->wellFormed != 0;
    doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    return wellFormed && doc ? 0 : kSvcMalformedXml;
}

} // namespace

int32_t SendAll(int socket, const char* data, size_t count, int flags)
{
    while (count > 0) {
        ssize_t n = send(socket, data, count, flags | MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            RecordSocketFailure();
            return kSvcSocketError;
        }
        if (n == 0)
            return kSvcClientDisconnected;
        data += n;
        count -= static_cast<size_t>(n);
    }
    return 0;
}

int32_t ReceiveAll(int socket, char* buffer, size_t count, int flags)
{
    while (count > 0) {
        ssize_t n = recv(socket, buffer, count, flags);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            RecordSocketFailure();
            return kSvcSocketError;
        }
        if (n == 0)
            return kSvcClientDisconnected;
        buffer += n;
        count -= static_cast<size_t>(n);
    }
    return 0;
}

int32_t SendFramedMessage(int socket, const char* text, size_t count)
{
    if (count > 0x7FFFFFFFu)
        return kSvcOutOfBounds;
    const uint32_t prefix = htonl(static_cast<uint32_t>(count));
    // MSG_MORE: the prefix leaves with the text, not as a tiny segment of its
    // own that Nagle's algorithm would then hold the text back behind.
    int32_t rc = SendAll(socket, reinterpret_cast<const char*>(&prefix), sizeof prefix, MSG_MORE);
    return rc != 0 ? rc : SendAll(socket, text, count, 0);
}

int32_t SendFramedMessage(int socket, const std::string& text)
{
    return SendFramedMessage(socket, text.data(), text.size());
}

int32_t BuildResponse(std::string& out, bool success, const char* errorText)
{
    const bool hasText = errorText && *errorText;
    if (success && !hasText) {
        out = kReplySuccess;
        return 0;
    }
    out = "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"";
    out += success ? "false" : "true";
    out += "\" >";
    if (hasText) {
        std::string escaped(errorText);
        XmlEscape(escaped);
        out += "<ErrorText>" + escaped + "</ErrorText>";
    }
    out += "</VltServiceResponse>";
    return 0;
}

int32_t SendResponse(int socket, bool success, const char* errorText)
{
    std::string reply;
    BuildResponse(reply, success, errorText);
    return SendFramedMessage(socket, reply);
}

int32_t ReceiveFramedMessage(int socket, char* buffer, const ServiceHostOptions* options,
                             xmlDocPtr& doc, uint32_t& length)
{
    xmlParserCtxtPtr parser = nullptr;
    const int32_t rc = ReceiveFramedMessage(socket, buffer, options, doc, length, parser);
    FreeMessageParser(parser);
    return rc;
}

void FreeMessageParser(xmlParserCtxtPtr& parser)
{
    if (parser) {
        DropDocument(parser);
        xmlFreeParserCtxt(parser);
    }
    parser = nullptr;
}

int32_t ReceiveFramedMessage(int socket, char* buffer, const ServiceHostOptions* options,
                             xmlDocPtr& doc, uint32_t& length, xmlParserCtxtPtr& parser)
{
    doc = nullptr;
    if (options)
        SetReceiveTimeout(socket, options->idleTimeoutMs);
    uint32_t prefix = 0;
    int32_t rc = ReceiveAll(socket, reinterpret_cast<char*>(&prefix), sizeof prefix, 0);
    if (rc != 0)
        return rc;
    length = ntohl(prefix);
    if (length & kTopBit) {
        SetLastSocketError(EMSGSIZE);
        return kSvcSocketError;
    }
    if (length == 0 || (options && length > options->maxMessageBytes))
        return kSvcMalformedXml;
    if (options)
        SetReceiveTimeout(socket, options->messageTimeoutMs);
    return ReceiveBody(socket, buffer, length, doc, parser);
}

int32_t GetCallParameter(xmlDocPtr doc, const char* name, std::string& text)
{
    if (!doc || !name)
        return kSvcInvalidArgument;
    const std::string path = std::string("/VltServiceRequest/Call/Parameters/") + name;
    xmlNodePtr node = XPathFindNode(doc, path.c_str());
    if (!node)
        return kSvcMalformedRequest;
    xmlChar* content = xmlNodeGetContent(node);
    if (!content)
        return kSvcMalformedRequest;
    text = reinterpret_cast<const char*>(content);
    xmlFree(content);
    return 0;
}

int32_t GetCallParameterInt(xmlDocPtr doc, const char* name, int32_t& value)
{
    if (!doc)
        return kSvcInvalidArgument;
    std::string text;
    int32_t rc = GetCallParameter(doc, name, text);
    if (rc != 0)
        return rc;
    return vlt::ParseNumberPrefix(text, value) ? 0 : kSvcMalformedRequest;
}

void SetSocketTimeouts(int socket, int32_t receiveMs, int32_t sendMs)
{
    SetReceiveTimeout(socket, receiveMs);
    timeval tv{sendMs / 1000, (sendMs % 1000) * 1000};
    setsockopt(socket, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
}
