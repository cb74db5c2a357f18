#include <cerrno>
#include <cstring>
#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <thread>

#include "ServiceErrors.h"

namespace {

std::string TextOf(int32_t code, int systemError = 0)
{
    std::string text;
    errno = systemError;
    EXPECT_EQ(GetServiceErrorText(code, text), 0);
    return text;
}

std::string SystemSuffix(int systemError)
{
    std::string detail;
    std::string suffix = " (LastError=" + std::to_string(systemError);
    if (FormatSystemError(systemError, detail))
        suffix += " : " + detail;
    return suffix + ")";
}

} // namespace

TEST(ServiceErrors, PlainTextsCarryNoSuffix)
{
    EXPECT_EQ(TextOf(0, EINVAL), "No error");
    EXPECT_EQ(TextOf(1), "Operation is pending");
    EXPECT_EQ(TextOf(512), "Operation was quasi-successful; one or more items failed");
    EXPECT_EQ(TextOf(-10), "Operation cancelled");
    EXPECT_EQ(TextOf(-4), "Not attached to a RW7700 device");
    EXPECT_EQ(TextOf(-540), "Invalid service context file");
    EXPECT_EQ(TextOf(-537), "Service name is invalid or missing");
    EXPECT_EQ(TextOf(-529), "Failed to allocate a resource (mutex, event, etc)");
    EXPECT_EQ(TextOf(-521), "Port is already in use");
    EXPECT_EQ(TextOf(-512), "This operation is not currently implemented");
}

TEST(ServiceErrors, ArgumentCodesNameTheirArgument)
{
    EXPECT_EQ(TextOf(-513), "Function argument #1 was invalid");
    EXPECT_EQ(TextOf(-516), "Function argument #4 was invalid");
    EXPECT_EQ(TextOf(-520), "Function argument #8 was invalid");
}

TEST(ServiceErrors, MisspellingIsPartOfTheText)
{
    std::thread([] {
        // A fresh thread: libxml has recorded no error here.
        EXPECT_EQ(TextOf(-531), "Generic XML releated error");
    }).join();
}

TEST(ServiceErrors, UnknownCodesGetTheSystemSuffix)
{
    EXPECT_EQ(TextOf(2, ENOMEM), "Unknown error (2)" + SystemSuffix(ENOMEM));
    EXPECT_EQ(TextOf(7, 0), "Unknown error (7)" + SystemSuffix(0));
    EXPECT_EQ(TextOf(-11, EACCES), "Unknown error (-11)" + SystemSuffix(EACCES));
    EXPECT_EQ(TextOf(-511), "Unknown error (-511)" + SystemSuffix(0));
}

TEST(ServiceErrors, ThreadAndNonSpecificCodesGetTheSystemSuffix)
{
    std::string detail;
    ASSERT_TRUE(FormatSystemError(ENOMEM, detail));
    EXPECT_EQ(TextOf(-526, ENOMEM), "Failed to create a thread (LastError=" + std::to_string(ENOMEM) + " : " + detail + ")");
    EXPECT_EQ(TextOf(-1, ENOMEM), "Non-specific error (LastError=" + std::to_string(ENOMEM) + " : " + detail + ")");
}

TEST(ServiceErrors, SystemErrorWithoutTextHasNoColon)
{
    std::string detail;
    EXPECT_FALSE(FormatSystemError(99999, detail));
    EXPECT_EQ(TextOf(-1, 99999), "Non-specific error (LastError=99999)");
}

TEST(ServiceErrors, SocketSuffixFollowsTheThreadsLastSocketError)
{
    std::thread([] {
        EXPECT_EQ(TextOf(-525), "A socket error occurred (sockets: No error)");
        SetLastSocketError(ECONNRESET);
        EXPECT_EQ(TextOf(-525), "A socket error occurred (sockets: Connection reset by peer)");
        SetLastSocketError(ETIMEDOUT);
        EXPECT_EQ(TextOf(-525), "A socket error occurred (sockets: Connection timed out)");
    }).join();
    // Another thread's failure does not show here.
    std::thread([] { EXPECT_EQ(GetLastSocketError(), 0); }).join();
}

TEST(ServiceErrors, SocketTextsKeepTheirNumbers)
{
    EXPECT_EQ(SocketErrorText(10048), "Address already in use");
    EXPECT_EQ(SocketErrorText(10093), "Successful WSAStartup (or SocketsInitD16) not yet performed");
    EXPECT_EQ(SocketErrorText(11004), "Valid name, no data record of requested type");
    EXPECT_EQ(SocketErrorText(995), "Overlapped operation aborted");
    EXPECT_EQ(SocketErrorText(10059), "Unknown error (10059)");
    EXPECT_EQ(SocketErrorText(-3), "Unknown error (-3)");
    EXPECT_EQ(SocketErrorFromErrno(EADDRINUSE), 10048);
    EXPECT_EQ(SocketErrorFromErrno(ECONNREFUSED), 10061);
    EXPECT_EQ(SocketErrorFromErrno(EMFILE), 10024);
    EXPECT_EQ(SocketErrorFromErrno(0), 0);
}

TEST(ServiceErrors, XmlCodesCarryTheParsersMessage)
{
    std::thread([] {
        xmlDocPtr doc = xmlReadMemory("<a><b></a>", 10, nullptr, nullptr, XML_PARSE_NOERROR | XML_PARSE_NOWARNING);
        xmlFreeDoc(doc);
        std::string message;
        ASSERT_EQ(GetXmlErrorText(message), 0);
        EXPECT_FALSE(message.empty());
        EXPECT_NE(message.back(), '\n');
        EXPECT_EQ(TextOf(-532), "Malformed XML data was encountered (libxml: " + message + ")");
        EXPECT_EQ(TextOf(-533), "XML data was well formed, but not valid (libxml: " + message + ")");
        xmlResetLastError();
        EXPECT_EQ(GetXmlErrorText(message), -1);
        EXPECT_EQ(TextOf(-532), "Malformed XML data was encountered");
    }).join();
}
