#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <libxml/parser.h>

#include "BadFiles.h"
#include "CAutoXmlDoc.h"
#include "XmlRoutines.h"

namespace {

xmlDocPtr Parse(const char* text)
{
    return xmlReadMemory(text, static_cast<int>(std::strlen(text)), "test.xml", "UTF-8", 0);
}

class XmlReaders : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc.Attach(Parse("<r><a>42abc</a><b>abc</b><c/><d> 7</d><e>4294967296</e><f>70000</f>"
                         "<g>-1</g><h>12 dB</h><i>-2147483648</i><j>2147483648</j>"
                         "<k>+5</k><m>x<n>1</n></m><p>1</p><p>2</p>"
                         "<q at=\"17 Hz\" neg=\"-3\" big=\"65536\" text=\"a&amp;b\"/></r>"));
        ASSERT_FALSE(doc.IsEmpty());
    }
    xmlNodePtr Node(const char* expr) { return XPathFindNode(doc, expr); }
    CAutoXmlDoc doc;
};

} // namespace

TEST(XmlEscape, ReplacesEachMarkupCharacterOnce)
{
    std::string s = "a&b<c";
    EXPECT_EQ(XmlEscape(s), 2u);
    EXPECT_EQ(s, "a&amp;b&lt;c");

    s = "&amp;";
    EXPECT_EQ(XmlEscape(s), 1u);
    EXPECT_EQ(s, "&amp;amp;");

    s = "plain text 123";
    EXPECT_EQ(XmlEscape(s), 0u);
    EXPECT_EQ(s, "plain text 123");

    s = "'>\"";
    EXPECT_EQ(XmlEscape(s), 3u);
    EXPECT_EQ(s, "&apos;&gt;&quot;");

    s.clear();
    EXPECT_EQ(XmlEscape(s), 0u);
}

TEST(XmlEscape, StrayWindowsQuoteBecomesApostropheButUtf8PassesThrough)
{
    std::string s = "it\x92s";
    EXPECT_EQ(XmlEscape(s), 1u);
    EXPECT_EQ(s, "it&apos;s");

    // U+0412 (CYRILLIC CAPITAL LETTER VE) is D0 92 in UTF-8.
    const std::string cyrillic = "\xD0\x92\xD0\xB5\xD0\xBB\xD1\x8C\xD1\x82\xD1\x80\xD0\xB0\xD0\xBD";
    s = cyrillic;
    EXPECT_EQ(XmlEscape(s), 0u);
    EXPECT_EQ(s, cyrillic);

    // A 0x92 after a complete sequence, or after a truncated one, is stray.
    s = "\xD0\x92\x92";
    EXPECT_EQ(XmlEscape(s), 1u);
    EXPECT_EQ(s, "\xD0\x92&apos;");
    s = "\xE2\x82\x92&";   // E2 82 92 is U+2092, valid
    EXPECT_EQ(XmlEscape(s), 1u);
    EXPECT_EQ(s, "\xE2\x82\x92&amp;");
    s = "\xE2\x92";        // truncated three-byte sequence
    EXPECT_EQ(XmlEscape(s), 1u);
    EXPECT_EQ(s, "\xE2&apos;");
}

TEST_F(XmlReaders, NumbersReadAsFarAsTheyGo)
{
    uint32_t u = 99;
    EXPECT_TRUE(XmlNodeGetUInt32(Node("/r/a"), u));
    EXPECT_EQ(u, 42u);
    u = 99;
    EXPECT_FALSE(XmlNodeGetUInt32(Node("/r/b"), u));
    EXPECT_EQ(u, 99u);
    EXPECT_FALSE(XmlNodeGetUInt32(Node("/r/c"), u));
    EXPECT_EQ(u, 99u);
    EXPECT_TRUE(XmlNodeGetUInt32(Node("/r/d"), u));
    EXPECT_EQ(u, 7u);
    EXPECT_TRUE(XmlNodeGetUInt32(Node("/r/h"), u));
    EXPECT_EQ(u, 12u);
    EXPECT_TRUE(XmlNodeGetUInt32(Node("/r/k"), u));
    EXPECT_EQ(u, 5u);
    EXPECT_FALSE(XmlNodeGetUInt32(nullptr, u));
}

TEST_F(XmlReaders, RangesAreCheckedPerTargetType)
{
    uint32_t u32 = 1;
    EXPECT_FALSE(XmlNodeGetUInt32(Node("/r/e"), u32));
    EXPECT_EQ(u32, 1u);
    uint64_t u64 = 1;
    EXPECT_TRUE(XmlNodeGetUInt64(Node("/r/e"), u64));
    EXPECT_EQ(u64, 4294967296ull);
    uint16_t u16 = 3;
    EXPECT_FALSE(XmlNodeGetUInt16(Node("/r/f"), u16));
    EXPECT_EQ(u16, 3u);

    int32_t i32 = 5;
    EXPECT_TRUE(XmlNodeGetInt32(Node("/r/i"), i32));
    EXPECT_EQ(i32, INT32_MIN);
    i32 = 5;
    EXPECT_FALSE(XmlNodeGetInt32(Node("/r/j"), i32));
    EXPECT_EQ(i32, 5);
    int32_t l = 5;
    EXPECT_FALSE(XmlNodeGetLong(Node("/r/j"), l)); // the platform long is 32 bits in our files
    EXPECT_TRUE(XmlNodeGetLong(Node("/r/g"), l));
    EXPECT_EQ(l, -1);
}

TEST_F(XmlReaders, MinusIsRefusedForUnsignedTargets)
{
    uint32_t u32 = 8;
    EXPECT_FALSE(XmlNodeGetUInt32(Node("/r/g"), u32));
    EXPECT_EQ(u32, 8u);
    uint64_t u64 = 8;
    EXPECT_FALSE(XmlNodeGetUInt64(Node("/r/g"), u64));
    EXPECT_EQ(u64, 8u);
    uint16_t u16 = 8;
    EXPECT_FALSE(XmlNodeGetUInt16(Node("/r/g"), u16));
    EXPECT_FALSE(ParseUInt32("-0", u32));
    EXPECT_FALSE(ParseUInt32(" -5", u32));
    EXPECT_EQ(u32, 8u);
}

TEST_F(XmlReaders, TextIsTheConcatenatedContent)
{
    std::string s = "old";
    EXPECT_TRUE(XmlNodeGetText(Node("/r/m"), s));
    EXPECT_EQ(s, "x1");
    EXPECT_TRUE(XmlNodeGetText(Node("/r/c"), s));
    EXPECT_EQ(s, "");
    s = "old";
    EXPECT_FALSE(XmlNodeGetText(nullptr, s));
    EXPECT_EQ(s, "");
}

TEST_F(XmlReaders, XPathGettersReportMissingArgumentsAndItems)
{
    uint32_t u = 77;
    EXPECT_EQ(XPathGetUInt32(nullptr, "/r/a", u), kXmlMissingArgument);
    EXPECT_EQ(XPathGetUInt32(doc, nullptr, u), kXmlMissingArgument);
    EXPECT_EQ(u, 77u);
    EXPECT_EQ(XPathGetUInt32(doc, "/r/nothing", u), kXmlItemMissing);
    EXPECT_EQ(XPathGetUInt32(doc, "/r/b", u), kXmlItemMissing);
    EXPECT_EQ(u, 77u);
    EXPECT_EQ(XPathGetUInt32(doc, "/r/p", u), kXmlOk);
    EXPECT_EQ(u, 1u); // the first of several matches, in document order

    uint64_t u64 = 0;
    EXPECT_EQ(XPathGetUInt64(doc, "/r/e", u64), kXmlOk);
    int32_t i = 0;
    EXPECT_EQ(XPathGetInt32(doc, "/r/g", i), kXmlOk);
    EXPECT_EQ(i, -1);

    std::string s = "untouched";
    EXPECT_EQ(XPathGetString(doc, "/r/none", s), kXmlItemMissing);
    EXPECT_EQ(s, "untouched");
    EXPECT_EQ(XPathGetString(doc, "/r/c", s), kXmlOk);
    EXPECT_EQ(s, "");
    EXPECT_EQ(XPathGetString(nullptr, "/r/c", s), kXmlMissingArgument);
}

TEST_F(XmlReaders, RelativeExpressionsUseTheContextNode)
{
    xmlNodePtr m = Node("/r/m");
    ASSERT_NE(m, nullptr);
    uint32_t u = 0;
    EXPECT_EQ(XPathGetUInt32(doc, "n", u, m), kXmlOk);
    EXPECT_EQ(u, 1u);
    EXPECT_EQ(XPathFindNode(doc, "a", m), nullptr);
    // A result that is not a node set gives none.
    EXPECT_EQ(XPathFindNode(doc, "count(/r/p)"), nullptr);
    EXPECT_EQ(XPathFindNode(doc, "/r/["), nullptr); // malformed expression
}

TEST_F(XmlReaders, FindNodesAppendsInDocumentOrder)
{
    std::vector<xmlNodePtr> nodes{nullptr};
    EXPECT_EQ(XPathFindNodes(doc, "/r/p", nodes), 0);
    ASSERT_EQ(nodes.size(), 3u);
    std::string s;
    XmlNodeGetText(nodes[1], s);
    EXPECT_EQ(s, "1");
    XmlNodeGetText(nodes[2], s);
    EXPECT_EQ(s, "2");
    EXPECT_EQ(XPathFindNodes(doc, "/r/none", nodes), 0);
    EXPECT_EQ(XPathFindNodes(nullptr, "/r/p", nodes), 0);
    EXPECT_EQ(nodes.size(), 3u);
}

TEST_F(XmlReaders, AttributesParseOrCopy)
{
    xmlNodePtr q = Node("/r/q");
    uint32_t u = 5;
    EXPECT_TRUE(XmlGetAttrUInt32(q, "at", u));
    EXPECT_EQ(u, 17u);
    u = 5;
    EXPECT_FALSE(XmlGetAttrUInt32(q, "neg", u));
    EXPECT_FALSE(XmlGetAttrUInt32(q, "absent", u));
    EXPECT_EQ(u, 5u);
    uint16_t w = 6;
    EXPECT_FALSE(XmlGetAttrUInt16(q, "big", w));
    EXPECT_EQ(w, 6u);
    EXPECT_TRUE(XmlGetAttrUInt16(q, "at", w));
    EXPECT_EQ(w, 17u);

    std::string s = "keep";
    EXPECT_FALSE(XmlGetAttrString(q, "absent", s));
    EXPECT_EQ(s, "keep");
    EXPECT_TRUE(XmlGetAttrString(q, "text", s));
    EXPECT_EQ(s, "a&b");
    EXPECT_FALSE(XmlNodeGetAttribute(nullptr, "text", s));
    EXPECT_FALSE(XmlNodeGetAttribute(q, nullptr, s));
    EXPECT_TRUE(XmlNodeGetAttribute(q, "at", s));
    EXPECT_EQ(s, "17 Hz");
}

TEST(XmlParse, MissingTextFails)
{
    uint32_t u = 1;
    uint16_t w = 1;
    EXPECT_FALSE(ParseUInt32(nullptr, u));
    EXPECT_FALSE(ParseUInt16(nullptr, w));
    EXPECT_FALSE(ParseUInt32("", u));
    EXPECT_TRUE(ParseUInt16("65535", w));
    EXPECT_EQ(w, 65535u);
    EXPECT_FALSE(ParseUInt16("65536", w));
}

TEST(CAutoXmlDocTest, AttachFreesThePreviousDocumentAtOnce)
{
    // Under AddressSanitizer a leak or double free here fails the run.
    CAutoXmlDoc holder;
    EXPECT_TRUE(holder.IsEmpty());
    holder.Attach(Parse("<a/>"));
    xmlDocPtr second = Parse("<b/>");
    holder.Attach(second);
    EXPECT_EQ(holder.Get(), second);
    holder.Attach(second); // the same document again is kept, not freed
    EXPECT_EQ(holder.Get(), second);
    holder.Free();
    EXPECT_TRUE(holder.IsEmpty());
    holder.Free();
    holder.Attach(Parse("<c/>"));
}

TEST(XmlReadFile, ParsesPlainFilesAndRefusesTheRestAtOnce)
{
    const char* base = std::getenv("VLT_TEST_TMP");
    const std::filesystem::path dir = std::filesystem::path(base ? base : "/tmp") / "xml_read_file";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "in.xml").string();
    std::filesystem::remove_all(path);
    std::ofstream(path) << "<r>\n<a>1</a>\n</r>\n";
    std::string error;
    CAutoXmlDoc doc(XmlReadFile(path, nullptr, XML_PARSE_NONET, &error));
    ASSERT_FALSE(doc.IsEmpty()) << error;
    EXPECT_NE(XPathFindNode(doc, "/r/a"), nullptr);

    std::ofstream(path) << "<r>\n<a>1</b>\n</r>\n";
    EXPECT_EQ(XmlReadFile(path, nullptr, XML_PARSE_NONET | XML_PARSE_NOERROR, &error), nullptr);
    EXPECT_EQ(error.rfind("'" + path + "' is not well-formed XML (line 2: ", 0), 0u) << error;
    for (badfiles::Kind kind : badfiles::kAll) {
        SCOPED_TRACE(badfiles::Name(kind));
        std::filesystem::remove_all(path);
        ASSERT_TRUE(badfiles::Make(kind, path));
        badfiles::HangGuard guard;
        error.clear();
        EXPECT_EQ(XmlReadFile(path, nullptr, XML_PARSE_NONET, &error), nullptr);
        EXPECT_NE(error.find(path), std::string::npos) << error;
    }
    std::filesystem::remove_all(path);
}

// Every message of a parse goes into the reason, the parser's and those an
// input encoding raises without it; none reaches the standard error, and
// the thread's own handlers are back afterwards.
TEST(XmlReadMemory, MessagesGoIntoTheReasonAndNothingIsPrinted)
{
    const std::string ucs4("\0\0\0<\0\0\0a\xff\xff\xff\xff", 12);
    std::string error;
    testing::internal::CaptureStderr();
    EXPECT_EQ(XmlReadMemory(ucs4, "in.xml", nullptr, XML_PARSE_NONET, &error), nullptr);
    const std::string conversion = error;
    EXPECT_EQ(XmlReadMemory("<r>\n<a>&x;</a>\n<b></r>", "in.xml", nullptr, XML_PARSE_NONET, &error), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    EXPECT_NE(conversion.find("input conversion failed"), std::string::npos) << conversion;
    EXPECT_EQ(error.rfind("'in.xml' is not well-formed XML (line 2: Entity 'x' not defined; line 3: ", 0), 0u)
        << error;
    EXPECT_EQ(xmlStructuredError, nullptr);
}
