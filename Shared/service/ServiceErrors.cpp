#include "ServiceErrors.h"

#include <cerrno>
#include <cstring>
#include <libxml/xmlerror.h>

namespace {

struct CodeText {
    int32_t code;
    const char* text;
};

constexpr CodeText kServiceTexts[] = {
    {-540, "Invalid service context file"},
    {-539, "Failed to create a service class instance implementation"},
    {-538, "Unknown service name specified"},
    {-537, "Service name is invalid or missing"},
    {-536, "Client disconnected at some point"},
    {-535, "Client is requesting another service"},
    {-534, "A malformed client request was received"},
    {-533, "XML data was well formed, but not valid"},
    {-532, "Malformed XML data was encountered"},
    {-531, "Generic XML releated error"},
    {-530, "Failed to determine host address"},
    {-529, "Failed to allocate a resource (mutex, event, etc)"},
    {-528, "An invalid service ID was used"},
    {-527, "No ports available"},
    {-526, "Failed to create a thread"},
    {-525, "A socket error occurred"},
    {-524, "Failed to create service class implementation"},
    {-523, "Specified library is not a service implementor library"},
    {-522, "Failed to load service implementor library"},
    {-521, "Port is already in use"},
    {-512, "This operation is not currently implemented"},
    {-10, "Operation cancelled"},
    {-9, "Invalid operation for current operating mode"},
    {-8, "This feature is only available on the Windows NT platform"},
    {-7, "Board with given serial number not found"},
    {-6, "Failed to allocate DMA buffer"},
    {-5, "Failed to allocate memory from heap"},
    {-4, "Not attached to a RW7700 device"},
    {-3, "An argument was out of valid bounds"},
    {-2, "Invalid argument"},
    {-1, "Non-specific error"},
    {0, "No error"},
    {1, "Operation is pending"},
    {512, "Operation was quasi-successful; one or more items failed"},
};

constexpr CodeText kSocketTexts[] = {
    {0, "No error"},
    {6, "Specified event object handle is invalid"},
    {8, "Insufficient memory available"},
    {87, "One or more parameters are invalid"},
    {995, "Overlapped operation aborted"},
    {996, "Overlapped I/O event object not in signaled state"},
    {997, "Overlapped operations will complete later"},
    {10004, "Interrupted function call"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Resource temporarily unavailable"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message too long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Address already in use"},
    {10049, "Cannot assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Network dropped connection on reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Cannot send after socket shutdown"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10067, "Too many processes"},
    {10091, "Network subsystem is unavailable"},
    {10092, "Winsock.dll version out of range"},
    {10093, "Successful WSAStartup (or SocketsInitD16) not yet performed"},
    {10101, "Graceful shutdown in progress"},
    {10107, "System call failure"},
    {10109, "Class type not found"},
    {11001, "Host not found"},
    {11002, "Nonauthoritative host not found"},
    {11003, "This is a nonrecoverable error"},
    {11004, "Valid name, no data record of requested type"},
};

// errno values of socket calls, in the numbering of the socket error table.
struct ErrnoToSocket {
    int errnoValue;
    int32_t socketError;
};

constexpr ErrnoToSocket kErrnoToSocket[] = {
    {ENOMEM, 8}, {ECANCELED, 995}, {EINTR, 10004}, {EACCES, 10013}, {EPERM, 10013},
    {EFAULT, 10014}, {EINVAL, 10022}, {EMFILE, 10024}, {ENFILE, 10024},
    {EAGAIN, 10035}, {EINPROGRESS, 10036}, {EALREADY, 10037}, {EBADF, 10038},
    {ENOTSOCK, 10038}, {EDESTADDRREQ, 10039}, {EMSGSIZE, 10040}, {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042}, {EPROTONOSUPPORT, 10043}, {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045}, {EPFNOSUPPORT, 10046}, {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048}, {EADDRNOTAVAIL, 10049}, {ENETDOWN, 10050},
    {ENETUNREACH, 10051}, {ENETRESET, 10052}, {ECONNABORTED, 10053},
    {ECONNRESET, 10054}, {ENOBUFS, 10055}, {EISCONN, 10056}, {ENOTCONN, 10057},
    {ESHUTDOWN, 10058}, {EPIPE, 10058}, {ETIMEDOUT, 10060}, {ECONNREFUSED, 10061},
    {EHOSTDOWN, 10064}, {EHOSTUNREACH, 10065},
};

thread_local int32_t t_lastSocketError = 0;

template <size_t N>
const char* FindText(const CodeText (&table)[N], int32_t code)
{
    for (const CodeText& entry : table)
        if (entry.code == code)
            return entry.text;
    return nullptr;
}

std::string UnknownText(int32_t code)
{
    return "Unknown error (" + std::to_string(code) + ")";
}

std::string Trim(const char* text)
{
    std::string s(text);
    const char* blanks = " \t\r\n\v\f";
    size_t first = s.find_first_not_of(blanks);
    if (first == std::string::npos)
        return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

bool HasLibxmlSuffix(int32_t code)
{
    return code == -531 || code == -532 || code == -533;
}

std::string ServiceTableText(int32_t code, bool& known)
{
    if (code >= -520 && code <= -513) {
        known = true;
        return "Function argument #" + std::to_string(-512 - code) + " was invalid";
    }
    const char* text = FindText(kServiceTexts, code);
    known = text != nullptr;
    return known ? text : UnknownText(code);
}

} // namespace

int32_t SocketErrorFromErrno(int errnoValue)
{
    if (errnoValue == 0)
        return 0;
    for (const ErrnoToSocket& entry : kErrnoToSocket)
        if (entry.errnoValue == errnoValue)
            return entry.socketError;
    return errnoValue;
}

void SetLastSocketError(int errnoValue)
{
    t_lastSocketError = SocketErrorFromErrno(errnoValue);
}

int32_t GetLastSocketError()
{
    return t_lastSocketError;
}

std::string SocketErrorText(int32_t socketError)
{
    const char* text = FindText(kSocketTexts, socketError);
    return text ? text : UnknownText(socketError);
}

int32_t GetSocketErrorText(std::string& text)
{
    text = SocketErrorText(t_lastSocketError);
    return 0;
}

int32_t GetXmlErrorText(std::string& text)
{
    const xmlError* error = xmlGetLastError();
    if (!error || error->code == XML_ERR_OK || !error->message)
        return -1;
    text = Trim(error->message);
    return 0;
}

bool FormatSystemError(uint32_t code, std::string& text)
{
    char buffer[256];
    // GNU strerror_r: the text may live in the buffer or be static.
    const char* message = strerror_r(static_cast<int>(code), buffer, sizeof buffer);
    if (!message || std::strncmp(message, "Unknown error", 13) == 0)
        return false;
    text = message;
    return true;
}

int32_t GetServiceErrorText(int32_t code, std::string& text)
{
    const uint32_t systemError = static_cast<uint32_t>(errno);
    bool known = false;
    text = ServiceTableText(code, known);
    std::string detail;
    if (HasLibxmlSuffix(code)) {
        if (GetXmlErrorText(detail) == 0)
            text += " (libxml: " + detail + ")";
    } else if (code == kSvcSocketError) {
        GetSocketErrorText(detail);
        text += " (sockets: " + detail + ")";
    } else if (code == kSvcThreadNotCreated || code == kSvcNonSpecific || !known) {
        text += " (LastError=" + std::to_string(systemError);
        if (FormatSystemError(systemError, detail))
            text += " : " + detail;
        text += ")";
    }
    return 0;
}
