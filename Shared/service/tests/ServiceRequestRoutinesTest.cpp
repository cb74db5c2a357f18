#include <string>
#include <type_traits>

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include "CAutoFreeServiceResponse.h"
#include "ServiceRequestRoutines.h"
#include "ServiceRequestTransport.h"

namespace {

xmlDocPtr Parse(const std::string& text)
{
    return xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, nullptr, XML_PARSE_NONET);
}

std::string Reply(const std::string& returnData)
{
    return "<VltServiceResponse><ReturnData>" + returnData + "</ReturnData></VltServiceResponse>";
}

} // namespace

TEST(ServiceRequest, DeleteRequestText)
{
    ServiceRequestParams params;
    AddServiceRequestParam(params, "Pathname", "C:\\x");
    std::string text = "old";
    EXPECT_EQ(BuildServiceRequest("FSW32_REMOTE_FILE_DELETE", &params, text), 0);
    EXPECT_EQ(text, "<VltServiceRequest><Call method=\"FSW32_REMOTE_FILE_DELETE\"><Parameters>"
                    "<Pathname>C:\\x</Pathname></Parameters></Call></VltServiceRequest>");
}

TEST(ServiceRequest, PingWithoutParametersAndEmptyList)
{
    std::string text;
    BuildServiceRequest(nullptr, nullptr, text);
    EXPECT_EQ(text, "<VltServiceRequest><Call method=\"ping\"></Call></VltServiceRequest>");
    const ServiceRequestParams none;
    BuildServiceRequest("M", &none, text);
    EXPECT_EQ(text, "<VltServiceRequest><Call method=\"M\"><Parameters></Parameters></Call></VltServiceRequest>");
}

TEST(ServiceRequest, ParametersKeepOrderAndAreEscapedOnce)
{
    ServiceRequestParams params;
    AddServiceRequestParam(params, "Directory", "C:\\a&b");
    AddServiceRequestParam(params, "NewName", "<x>");
    AddServiceRequestParam(params, "OldName", "\"q\"");
    std::string text;
    BuildServiceRequest("FSW32_REMOTE_FILE_RENAME", &params, text);
    EXPECT_EQ(text, "<VltServiceRequest><Call method=\"FSW32_REMOTE_FILE_RENAME\"><Parameters>"
                    "<Directory>C:\\a&amp;b</Directory><NewName>&lt;x&gt;</NewName>"
                    "<OldName>&quot;q&quot;</OldName></Parameters></Call></VltServiceRequest>");
    // The text is well-formed and carries the values back unchanged.
    xmlDocPtr doc = Parse(text);
    ASSERT_NE(doc, nullptr);
    xmlNodePtr root = xmlDocGetRootElement(doc);
    xmlChar* content = xmlNodeGetContent(root);
    EXPECT_STREQ(reinterpret_cast<const char*>(content), "C:\\a&b<x>\"q\"");
    xmlFree(content);
    xmlFreeDoc(doc);
}

TEST(ServiceRequest, UIntToString)
{
    EXPECT_EQ(UIntToString(0), "0");
    EXPECT_EQ(UIntToString(4294967295u), "4294967295");
}

TEST(ServiceRequest, ReturnInt)
{
    CAutoFreeServiceResponse reply;
    *reply.Receive() = Parse(Reply("<Valid>1</Valid><Bad>12x</Bad><Neg> -7</Neg><Big>2147483648</Big>"));
    int32_t value = 99;
    EXPECT_EQ(GetServiceReturnInt(reply.Get(), "Valid", value), 0);
    EXPECT_EQ(value, 1);
    EXPECT_EQ(GetServiceReturnInt(reply.Get(), "Neg", value), 0);
    EXPECT_EQ(value, -7);
    value = 99;
    EXPECT_EQ(GetServiceReturnInt(reply.Get(), "Bad", value), kServiceResultMissing);
    EXPECT_EQ(GetServiceReturnInt(reply.Get(), "Big", value), kServiceResultMissing);
    EXPECT_EQ(GetServiceReturnInt(reply.Get(), "Missing", value), kServiceResultMissing);
    EXPECT_EQ(GetServiceReturnInt(nullptr, "Valid", value), -2);
    EXPECT_EQ(value, 99);
}

TEST(ServiceRequest, ReturnString)
{
    CAutoFreeServiceResponse reply;
    *reply.Receive() = Parse(Reply("<Path>C:\\Documents &amp; more</Path><Empty></Empty>"));
    std::string value = "unchanged";
    EXPECT_EQ(GetServiceReturnString(reply.Get(), "Empty", value), kServiceResultMissing);
    EXPECT_EQ(GetServiceReturnString(reply.Get(), "Missing", value), kServiceResultMissing);
    EXPECT_EQ(GetServiceReturnString(nullptr, "Path", value), -2);
    EXPECT_EQ(value, "unchanged");
    EXPECT_EQ(GetServiceReturnString(reply.Get(), "Path", value), 0);
    EXPECT_EQ(value, "C:\\Documents & more");
}

TEST(ServiceRequest, ErrorReplies)
{
    CAutoFreeServiceResponse reply;
    *reply.Receive() = Parse("<VltServiceResponse error=\"true\" ><ErrorText>Non-specific error</ErrorText></VltServiceResponse>");
    std::string text;
    EXPECT_TRUE(IsServiceErrorReply(reply.Get(), &text));
    EXPECT_EQ(text, "Non-specific error");
    *reply.Receive() = Parse("<VltServiceResponse handled=\"false\"></VltServiceResponse>");
    EXPECT_TRUE(IsServiceErrorReply(reply.Get(), &text));
    EXPECT_EQ(text, "");
    *reply.Receive() = Parse("<VltServiceResponse error=\"false\"></VltServiceResponse>");
    EXPECT_FALSE(IsServiceErrorReply(reply.Get()));
    EXPECT_FALSE(IsServiceErrorReply(nullptr));
}

TEST(ServiceRequest, StrictUnsignedParsers)
{
    uint32_t value = 5;
    EXPECT_TRUE(ParseULongStrict(" 42", value));
    EXPECT_EQ(value, 42u);
    value = 5;
    EXPECT_FALSE(ParseULongStrict("42 ", value));
    EXPECT_FALSE(ParseULongStrict("4x", value));
    EXPECT_FALSE(ParseULongStrict("-1", value));
    EXPECT_FALSE(ParseULongStrict("4294967296", value));
    EXPECT_FALSE(ParseULongStrict("", value));
    EXPECT_EQ(value, 5u);
    EXPECT_TRUE(ParseULongStrict("4294967295", value));
    EXPECT_EQ(value, 4294967295u);
    uint64_t wide = 0;
    EXPECT_TRUE(ParseUInt64Strict("18446744073709551615", wide));
    EXPECT_EQ(wide, 18446744073709551615ull);
    EXPECT_FALSE(ParseUInt64Strict("18446744073709551616", wide));
    EXPECT_FALSE(ParseUInt64Strict("-0", wide));
}

TEST(ServiceRequest, HolderFreesOnceAndBeforeTakingAnother)
{
    CAutoFreeServiceResponse reply;
    EXPECT_EQ(reply.Get(), nullptr);
    *reply.Receive() = Parse(Reply("<A>1</A>"));
    ASSERT_NE(reply.Get(), nullptr);
    // A second reply into the same holder frees the first (the leak checker
    // of the sanitizer build sees it otherwise).
    *reply.Receive() = Parse(Reply("<A>2</A>"));
    int32_t value = 0;
    EXPECT_EQ(GetServiceReturnInt(reply.Get(), "A", value), 0);
    EXPECT_EQ(value, 2);
    reply.Free();
    EXPECT_EQ(reply.Get(), nullptr);
    reply.Free(); // the second free does nothing
    EXPECT_EQ(reply.Get(), nullptr);
}

TEST(ServiceRequest, SendWithoutSender)
{
    CAutoFreeServiceResponse reply;
    EXPECT_EQ(SendServiceRequest({}, "x", reply, 3000), -2);
}

// A copy would free the same reply twice.
static_assert(!std::is_copy_constructible_v<CAutoFreeServiceResponse>);
static_assert(!std::is_copy_assignable_v<CAutoFreeServiceResponse>);
