#pragma once
// Result codes of the service host and their one-line texts. The numbers are
// the host's own; the device library uses some of them with other meanings.
#include <cstdint>
#include <string>

constexpr int32_t kSvcOk = 0;
constexpr int32_t kSvcPending = 1;
constexpr int32_t kSvcPartial = 512;
constexpr int32_t kSvcNonSpecific = -1;
constexpr int32_t kSvcInvalidArgument = -2;
constexpr int32_t kSvcOutOfBounds = -3;
constexpr int32_t kSvcOutOfMemory = -5;
constexpr int32_t kSvcCancelled = -10;
constexpr int32_t kSvcNotImplemented = -512;
constexpr int32_t kSvcArgument1 = -513; // -512 - n names argument n
constexpr int32_t kSvcArgument2 = -514;
constexpr int32_t kSvcPortInUse = -521;
constexpr int32_t kSvcLibraryNotLoaded = -522;
constexpr int32_t kSvcNotServiceLibrary = -523;
constexpr int32_t kSvcClassNotCreated = -524;
constexpr int32_t kSvcSocketError = -525;
constexpr int32_t kSvcThreadNotCreated = -526;
constexpr int32_t kSvcNoPorts = -527;
constexpr int32_t kSvcInvalidServiceId = -528;
constexpr int32_t kSvcResourceNotAllocated = -529;
constexpr int32_t kSvcNoHostAddress = -530;
constexpr int32_t kSvcXmlError = -531;
constexpr int32_t kSvcMalformedXml = -532;
constexpr int32_t kSvcInvalidXml = -533;
constexpr int32_t kSvcMalformedRequest = -534;
constexpr int32_t kSvcOtherService = -535;
constexpr int32_t kSvcClientDisconnected = -536;
constexpr int32_t kSvcNameInvalid = -537;
constexpr int32_t kSvcUnknownService = -538;
constexpr int32_t kSvcInstanceNotCreated = -539;
constexpr int32_t kSvcInvalidContextFile = -540;

// The code's text, with the libxml, socket or system-error detail that some
// codes carry. Always forms a text; returns 0.
int32_t GetServiceErrorText(int32_t code, std::string& text);

// Text of the calling thread's last socket error (see SetLastSocketError).
int32_t GetSocketErrorText(std::string& text);
// Text of one socket error number (the numbering of the socket error table).
std::string SocketErrorText(int32_t socketError);

// The XML library's last error of this thread, trimmed; -1 when there is none.
int32_t GetXmlErrorText(std::string& text);

// The system's message for an errno value; false when it has none.
bool FormatSystemError(uint32_t code, std::string& text);

// The socket routines record the errno of a failed socket call here, turned
// into the socket error numbering, so that a later text can name it even
// after other calls have changed errno. Per thread; 0 until the first failure.
void SetLastSocketError(int errnoValue);
int32_t GetLastSocketError();
int32_t SocketErrorFromErrno(int errnoValue);
