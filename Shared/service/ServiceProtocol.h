#pragma once
// The service protocol on a connected TCP socket: each message a 4-byte
// big-endian length, then one XML document. All routines return 0 or a
// negative result code (ServiceErrors.h).
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

#include <libxml/parser.h>
#include <libxml/tree.h>

struct ServiceHostOptions;

constexpr size_t kReceiveBufferSize = 4096;
constexpr const char* kRequestRoot = "VltServiceRequest";

// The host's two fixed replies.
constexpr const char kReplySuccess[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse error=\"false\"></VltServiceResponse>";
constexpr const char kReplyNotHandled[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?><VltServiceResponse handled=\"false\"></VltServiceResponse>";
// Text of the error reply to a call that a service failed.
constexpr const char kInvalidRequestText[] = "Invalid or missing request data";

// -536 when the peer has closed, -525 on a failed call (or a time-out).
int32_t SendAll(int socket, const char* data, size_t count, int flags);
int32_t ReceiveAll(int socket, char* buffer, size_t count, int flags);

int32_t SendFramedMessage(int socket, const char* text, size_t count);
int32_t SendFramedMessage(int socket, const std::string& text);

// errorText null or empty: no ErrorText element. Always 0.
int32_t BuildResponse(std::string& out, bool success, const char* errorText);
int32_t SendResponse(int socket, bool success, const char* errorText);

// Receives one message through the 4096-byte buffer and parses it while it
// arrives, without network access, DTD loading or entity substitution.
// 0: well-formed document. -532: not well formed, a zero length or one over
// the options' limit (doc may hold a partial document the caller frees).
// -525: socket failure, time-out or a length with the top bit set; -536: the
// peer closed before a message began; -531: the parser failed. options may
// be null (no limit below 2^31, no time-outs). The wait for a message to
// begin is bounded by the options' idle time-out, the message from its first
// byte to its last by their message time-out.
int32_t ReceiveFramedMessage(int socket, char* buffer, const ServiceHostOptions* options,
                             xmlDocPtr& doc, uint32_t& length);
// What a connection keeps from one message to the next: the parser (null at
// first), and the receive time-out it last gave the socket (-1: unknown), so
// that a conversation sets it once and not twice per message. Whoever else
// changes the socket's time-out sets receiveTimeoutMs back to -1.
struct MessageReceiveState {
    xmlParserCtxtPtr parser = nullptr;
    int32_t receiveTimeoutMs = -1;
    std::string pending; // bytes received past the last message
    // By when the message under way must have arrived whole; none (the
    // epoch) until its first wait, so that a message that comes with one
    // receive reads no clock. Set it before a message to bound the wait for
    // the message's beginning as well. Cleared when a message ends.
    std::chrono::steady_clock::time_point deadline{};
    // Told when the first bytes of a message have come (none: nobody is);
    // false ends the receive as if the peer had closed (-536).
    std::function<bool()> messageBegins;
};
// The same with the state kept by the caller (free it with FreeMessageParser).
// This one reads ahead: a message usually arrives with one receive.
int32_t ReceiveFramedMessage(int socket, char* buffer, const ServiceHostOptions* options,
                             xmlDocPtr& doc, uint32_t& length, MessageReceiveState& state);
void FreeMessageParser(xmlParserCtxtPtr& parser);

// The first element at /VltServiceRequest/<path...> in document order, as
// that XPath finds it (names exact, no namespace), by walking the tree: no
// XPath context to build and no expression to compile for every request.
// An empty path gives the root element when it is a request.
xmlNodePtr FindRequestNode(xmlDocPtr doc, std::initializer_list<const char*> path);

// Text of /VltServiceRequest/Call/Parameters/<name>; -534 when missing.
int32_t GetCallParameter(xmlDocPtr doc, const char* name, std::string& text);
// Its leading signed decimal number; -534 when missing, not a number or out
// of range, -2 without a document.
int32_t GetCallParameterInt(xmlDocPtr doc, const char* name, int32_t& value);

// Sets the socket's receive and send time-outs (0: none).
void SetSocketTimeouts(int socket, int32_t receiveMs, int32_t sendMs);
