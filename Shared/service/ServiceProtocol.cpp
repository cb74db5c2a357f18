#include "ServiceProtocol.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>

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

// No network, no DTD loading, no entity substitution; names not shared with
// the parser's dictionary, which needs a process-wide lock per document.
constexpr int kParseOptions = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NODICT;
// A kept parser is replaced once its dictionary has grown this large, so
// that many messages with ever new names cannot grow it without end.
constexpr size_t kParserDictLimit = 4096;

// The push parser takes a new input buffer for every message, of twice the
// thread's default buffer size (8 KiB unless changed). Messages are mostly a
// few dozen bytes: a small start keeps that allocation in the allocator's
// per-thread cache, and a longer message grows the buffer as it comes.
constexpr int kPushBufferStart = 256;

// Starts a message: the first piece is the push parser's initial chunk. A
// kept parser is reset instead of created anew (creation takes a lock
// shared by the whole process).
bool StartParser(xmlParserCtxtPtr& ctxt, const char* piece, size_t count)
{
    if (ctxt && static_cast<size_t>(xmlDictSize(ctxt->dict)) > kParserDictLimit) {
        xmlFreeParserCtxt(ctxt);
        ctxt = nullptr;
    }
    // Only for the buffer made here: whatever else this thread reads with
    // libxml2 keeps its own default. (The thread's setting is looked up once:
    // each lookup goes through libxml2's per-thread state.)
    int& defaultBufferSize = xmlDefaultBufferSize;
    const int bufferSize = defaultBufferSize;
    defaultBufferSize = kPushBufferStart;
    if (ctxt && xmlCtxtResetPush(ctxt, piece, static_cast<int>(count), nullptr, nullptr) != 0) {
        xmlFreeParserCtxt(ctxt);
        ctxt = nullptr;
    }
    if (!ctxt)
        ctxt = xmlCreatePushParserCtxt(nullptr, nullptr, piece, static_cast<int>(count), nullptr);
    defaultBufferSize = bufferSize;
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

using Clock = std::chrono::steady_clock;

// What is left of a message's time, in whole milliseconds rounded up (0 when
// it is over). The deadline starts at the first wait of a message: the
// message's first byte came a moment before.
int RemainingMs(Clock::time_point& deadline, int32_t timeoutMs)
{
    const Clock::time_point now = Clock::now();
    if (deadline == Clock::time_point{})
        deadline = now + std::chrono::milliseconds(timeoutMs);
    if (now >= deadline)
        return 0;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    return static_cast<int>(std::min<int64_t>(left, INT32_MAX));
}

// A piece of a message that has begun. The rest usually came with the
// length, so a non-blocking receive takes it at once; only when it has not,
// the wait for it is bounded by the message's deadline (timeoutMs 0 and no
// deadline: none, -1: the socket's own blocking receive). -536 when the
// peer closed.
int32_t ReceiveMessagePiece(int socket, char* buffer, size_t count, size_t& received, int32_t timeoutMs,
                            Clock::time_point& deadline)
{
    const int flags = timeoutMs < 0 ? 0 : MSG_DONTWAIT;
    for (;;) {
        const ssize_t n = recv(socket, buffer, count, flags);
        if (n > 0) {
            received = static_cast<size_t>(n);
            return 0;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0) {
            SetLastSocketError(ECONNRESET);
            return kSvcClientDisconnected;
        }
        if (flags == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            RecordSocketFailure();
            return kSvcSocketError;
        }
        const bool bounded = timeoutMs > 0 || deadline != Clock::time_point{};
        const int waitMs = bounded ? RemainingMs(deadline, timeoutMs) : -1;
        pollfd wait{socket, POLLIN, 0};
        const int ready = waitMs == 0 ? 0 : poll(&wait, 1, waitMs);
        if (ready == 0) {
            SetLastSocketError(ETIMEDOUT);
            return kSvcSocketError;
        }
        if (ready < 0 && errno != EINTR) {
            RecordSocketFailure();
            return kSvcSocketError;
        }
    }
}

// The body: first what was read ahead with the length (initial), then the
// rest from the socket, fed to the parser piece by piece.
int32_t ReceiveBody(int socket, char* buffer, uint32_t length, std::string_view initial, xmlDocPtr& doc,
                    xmlParserCtxtPtr& ctxt, int32_t timeoutMs, Clock::time_point& deadline)
{
    bool started = false;
    auto feed = [&](const char* piece, size_t count) -> int32_t {
        if (started)
            return xmlParseChunk(ctxt, piece, static_cast<int>(count), 0) != 0 ? kSvcXmlError : 0;
        started = StartParser(ctxt, piece, count);
        return started ? 0 : kSvcXmlError;
    };
    uint32_t remaining = length;
    int32_t rc = initial.empty() ? 0 : feed(initial.data(), initial.size());
    remaining -= static_cast<uint32_t>(initial.size());
    while (rc == 0 && remaining > 0) {
        size_t received = 0;
        rc = ReceiveMessagePiece(socket, buffer, std::min<size_t>(remaining, kReceiveBufferSize), received, timeoutMs,
                                 deadline);
        if (rc == kSvcClientDisconnected)
            rc = kSvcSocketError; // closed within a message
        if (rc == 0)
            rc = feed(buffer, received);
        remaining -= static_cast<uint32_t>(received);
    }
    if (rc != 0) {
        if (started)
            DropDocument(ctxt);
        return rc;
    }
    xmlParseChunk(ctxt, nullptr, 0, 1);
    const bool wellFormed = ctxt->wellFormed != 0;
    doc = ctxt->myDoc;
    ctxt->myDoc = nullptr;
    return wellFormed && doc ? 0 : kSvcMalformedXml;
}

// The wait for a message to begin: the socket's own blocking receive, with
// the idle time-out.
int32_t ReceiveWaiting(int socket, char* buffer, size_t count, size_t& received)
{
    for (;;) {
        const ssize_t n = recv(socket, buffer, count, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0)
            return kSvcClientDisconnected;
        if (n < 0) {
            RecordSocketFailure();
            return kSvcSocketError;
        }
        received = static_cast<size_t>(n);
        return 0;
    }
}

// The length prefix and what came with it (ahead). readAhead: the first
// receive may take more than the prefix, usually the whole message. A first
// receive that holds the prefix is used where it lies, in buffer; otherwise
// the bytes gather in state.pending, which ahead then shows. A deadline set
// before the message bounds the wait for its beginning too.
int32_t ReceivePrefix(int socket, char* buffer, int32_t timeoutMs, bool readAhead, MessageReceiveState& state,
                      std::string_view& ahead)
{
    while (state.pending.size() < 4) {
        const size_t want = readAhead ? kReceiveBufferSize : 4 - state.pending.size();
        const bool begins = state.pending.empty();
        size_t received = 0;
        const int32_t rc = begins && state.deadline == Clock::time_point{}
            ? ReceiveWaiting(socket, buffer, want, received)
            : ReceiveMessagePiece(socket, buffer, want, received, timeoutMs, state.deadline);
        if (rc != 0)
            return rc;
        if (begins && state.messageBegins && !state.messageBegins())
            return kSvcClientDisconnected;
        if (begins && received >= 4) {
            ahead = std::string_view(buffer, received);
            return 0;
        }
        state.pending.append(buffer, received);
    }
    ahead = state.pending;
    return 0;
}

int32_t ReceiveOneMessage(int socket, char* buffer, const ServiceHostOptions* options, xmlDocPtr& doc,
                          uint32_t& length, MessageReceiveState& state, bool readAhead)
{
    doc = nullptr;
    // The wait for a message is the socket's blocking receive with the idle
    // time-out; within the message the time-out is kept by poll.
    if (options && state.receiveTimeoutMs != options->idleTimeoutMs) {
        SetReceiveTimeout(socket, options->idleTimeoutMs);
        state.receiveTimeoutMs = options->idleTimeoutMs;
    }
    const int32_t timeoutMs = options ? options->messageTimeoutMs : -1;
    std::string_view ahead;
    int32_t rc = ReceivePrefix(socket, buffer, timeoutMs, readAhead, state, ahead);
    if (rc != 0)
        return rc;
    uint32_t prefix = 0;
    std::memcpy(&prefix, ahead.data(), sizeof prefix);
    length = ntohl(prefix);
    // A broken frame ends the conversation: nothing read ahead is kept.
    if (length & kTopBit) {
        state.pending.clear();
        SetLastSocketError(EMSGSIZE);
        return kSvcSocketError;
    }
    if (length == 0 || (options && length > options->maxMessageBytes)) {
        state.pending.clear();
        return kSvcMalformedXml;
    }
    const size_t initial = std::min<size_t>(length, ahead.size() - sizeof prefix);
    // What came after this message in the buffer is kept before the body's
    // receives reuse the buffer (there are none when anything came after).
    const bool inBuffer = ahead.data() == buffer;
    if (inBuffer)
        state.pending.assign(ahead.substr(sizeof prefix + initial));
    rc = ReceiveBody(socket, buffer, length, ahead.substr(sizeof prefix, initial), doc, state.parser, timeoutMs,
                     state.deadline);
    if (rc != 0 && rc != kSvcMalformedXml)
        state.pending.clear();
    else if (!inBuffer)
        state.pending.erase(0, sizeof prefix + initial); // in place: the string keeps its room
    return rc;
}

int32_t ReceiveMessage(int socket, char* buffer, const ServiceHostOptions* options, xmlDocPtr& doc,
                       uint32_t& length, MessageReceiveState& state, bool readAhead)
{
    const int32_t rc = ReceiveOneMessage(socket, buffer, options, doc, length, state, readAhead);
    state.deadline = {}; // the next message's time starts with its own first byte
    return rc;
}

bool IsElementNamed(xmlNodePtr node, const char* name)
{
    return node->type == XML_ELEMENT_NODE && !node->ns && std::strcmp(reinterpret_cast<const char*>(node->name), name) == 0;
}

// Depth first, children in order: the first match is the first in document
// order, as XPath gives it.
xmlNodePtr FindPath(xmlNodePtr parent, const char* const* names, size_t count)
{
    for (xmlNodePtr child = parent->children; child; child = child->next) {
        if (!IsElementNamed(child, names[0]))
            continue;
        if (count == 1)
            return child;
        if (xmlNodePtr found = FindPath(child, names + 1, count - 1))
            return found;
    }
    return nullptr;
}

// The parts one after the other, as one stream; consumes the iovecs.
int32_t SendParts(int socket, iovec* parts, size_t partCount)
{
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = partCount;
    while (message.msg_iovlen > 0) {
        const ssize_t n = sendmsg(socket, &message, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            RecordSocketFailure();
            return kSvcSocketError;
        }
        if (n == 0)
            return kSvcClientDisconnected;
        // Skips what went out; a part sent in part keeps its rest.
        size_t sent = static_cast<size_t>(n);
        while (message.msg_iovlen > 0 && sent >= message.msg_iov->iov_len) {
            sent -= message.msg_iov->iov_len;
            ++message.msg_iov;
            --message.msg_iovlen;
        }
        if (message.msg_iovlen > 0) {
            message.msg_iov->iov_base = static_cast<char*>(message.msg_iov->iov_base) + sent;
            message.msg_iov->iov_len -= sent;
        }
    }
    return 0;
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
    uint32_t prefix = htonl(static_cast<uint32_t>(count));
    // Prefix and text in one call: one segment for a short message, and one
    // system call per message instead of two.
    iovec parts[2] = {{&prefix, sizeof prefix}, {const_cast<char*>(text), count}};
    return SendParts(socket, parts, count > 0 ? 2 : 1);
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
    MessageReceiveState state;
    const int32_t rc = ReceiveMessage(socket, buffer, options, doc, length, state, false);
    FreeMessageParser(state.parser);
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
                             xmlDocPtr& doc, uint32_t& length, MessageReceiveState& state)
{
    return ReceiveMessage(socket, buffer, options, doc, length, state, true);
}

xmlNodePtr FindRequestNode(xmlDocPtr doc, std::initializer_list<const char*> path)
{
    xmlNodePtr root = doc ? xmlDocGetRootElement(doc) : nullptr;
    if (!root || !IsElementNamed(root, kRequestRoot))
        return nullptr;
    return path.size() == 0 ? root : FindPath(root, path.begin(), path.size());
}

int32_t GetCallParameter(xmlDocPtr doc, const char* name, std::string& text)
{
    if (!doc || !name)
        return kSvcInvalidArgument;
    xmlNodePtr node = FindRequestNode(doc, {"Call", "Parameters", name});
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
