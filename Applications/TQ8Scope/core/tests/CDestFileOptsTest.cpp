#include <algorithm>
#include <cstring>
#include <memory>

#include <libxml/parser.h>

#include <gtest/gtest.h>

#include "CAutoXmlDoc.h"
#include "CDestFileOpts.h"
#include "MessageBox.h"

namespace {

template <class T>
T At(const TQ8_FILE_WRITE_PARAMS& record, size_t offset)
{
    T value;
    std::memcpy(&value, reinterpret_cast<const char*>(&record) + offset, sizeof value);
    return value;
}

const char* TextAt(const TQ8_FILE_WRITE_PARAMS& record, size_t offset)
{
    return At<const char*>(record, offset);
}

// Parses text and reads its root element into opts.
bool ReadFrom(const std::string& text, CDestFileOpts& opts)
{
    CAutoXmlDoc doc(xmlReadMemory(text.data(), static_cast<int>(text.size()), nullptr, "UTF-8", 0));
    if (doc.IsEmpty())
        return false;
    return opts.ReadXml(doc, xmlDocGetRootElement(doc));
}

CDestFileOpts FilledOptions()
{
    CDestFileOpts o;
    o.Template.Fwp_flags = 0x321;
    o.Template.Fwp_hdrskp = 77;
    o.Template.Fwp_maxseg = 0x123456789ULL;
    o.Template.Fwp_chanSel = -3;
    o.Pathname1 = L"/data/a <&> \"b\".rd8";
    o.Pathname2 = L"/data/\u00e9t\u00e9.rd8";
    o.Pathname3 = L"c.rd8";
    o.Pathname4 = L"d'.rd8";
    o.OpNotes = L"line one\nline two \u2713\r\nthree";
    o.TsPath = L"/ts/stamps.tq8ts";
    o.SpanFiles = 1;
    o.SpanBytes = 5000000000ULL;
    o.SkipHdr = 1;
    o.SkipBytes = 4096;
    return o;
}

} // namespace

TEST(CDestFileOptsTest, DefaultsMatchTheTemplateRecord)
{
    CDestFileOpts o;
    EXPECT_EQ(o.Template.Fwp_ss, 104u);
    EXPECT_EQ(o.Template.Fwp_flags, 0x100u);
    EXPECT_EQ(o.Template.Fwp_hdrskp, 0u);
    EXPECT_EQ(o.Template.Fwp_maxseg, 0u);
    EXPECT_EQ(o.Template.Fwp_chanSel, 0);
    EXPECT_EQ(o.SpanFiles, 0);
    EXPECT_EQ(o.SpanBytes, 1048576u);
    EXPECT_EQ(o.SkipHdr, 0);
    EXPECT_EQ(o.SkipBytes, 0u);
}

TEST(CDestFileOptsTest, BuiltRecordHoldsEachFieldAtItsOffset)
{
    CDestFileOpts o = FilledOptions();
    // Channel files and a time-stamp path count with their options on.
    o.Template.Fwp_flags = 0x100 | TQ8_FWP_DEINTERLEAVE | TQ8_FWP_TS_BINARY;
    TQ8_FILE_WRITE_PARAMS r;
    std::memset(&r, 0xAB, sizeof r);
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(At<uint32_t>(r, 0), 104u);
    EXPECT_EQ(At<uint32_t>(r, 4), 0u);
    EXPECT_STREQ(TextAt(r, 8), "/data/a <&> \"b\".rd8");
    EXPECT_STREQ(TextAt(r, 16), "/data/\xc3\xa9t\xc3\xa9.rd8");
    EXPECT_STREQ(TextAt(r, 24), "c.rd8");
    EXPECT_STREQ(TextAt(r, 32), "d'.rd8");
    EXPECT_EQ(At<uint32_t>(r, 40), 0x100u | TQ8_FWP_DEINTERLEAVE | TQ8_FWP_TS_BINARY);
    EXPECT_EQ(At<uint32_t>(r, 44), 4096u);
    EXPECT_EQ(At<uint64_t>(r, 48), 5000000000ULL);
    EXPECT_EQ(At<int32_t>(r, 56), -3);
    EXPECT_EQ(At<uint32_t>(r, 60), 0u);
    EXPECT_EQ(At<void*>(r, 64), nullptr);
    EXPECT_EQ(At<void*>(r, 72), nullptr);
    EXPECT_EQ(At<uint64_t>(r, 80), 0u);
    EXPECT_STREQ(TextAt(r, 88), "line one\nline two \xe2\x9c\x93\r\nthree");
    EXPECT_STREQ(TextAt(r, 96), "/ts/stamps.tq8ts");
}

TEST(CDestFileOptsTest, SpanAndSkipCountOnlyWhenSwitchedOn)
{
    CDestFileOpts o = FilledOptions();
    o.SpanFiles = 0;
    o.SkipHdr = 0;
    o.Template.Fwp_hdrskp = 99;
    o.Template.Fwp_maxseg = 99;
    TQ8_FILE_WRITE_PARAMS r{};
    o.Template.Fwp_flags = 0x100;
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(r.Fwp_maxseg, 0u);
    EXPECT_EQ(r.Fwp_hdrskp, 0u);
}

TEST(CDestFileOptsTest, EmptyTextsGiveNullPointers)
{
    CDestFileOpts o;
    o.Pathname2 = L"/x/y.rd8";
    o.Template.Fwp_flags |= TQ8_FWP_DEINTERLEAVE;
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(o.BuildFileWriteParams(r, L"/base"));
    EXPECT_EQ(r.Fwp_path1, nullptr);
    EXPECT_STREQ(r.Fwp_path2, "/x/y.rd8");
    EXPECT_EQ(r.Fwp_path3, nullptr);
    EXPECT_EQ(r.Fwp_path4, nullptr);
    EXPECT_EQ(r.Fwp_opNotes, nullptr);
    EXPECT_EQ(r.Fwp_tsPath, nullptr);
}

TEST(CDestFileOptsTest, BareFileNamesGetTheBaseFolder)
{
    CDestFileOpts o;
    o.Pathname1 = L"bare.rd8";
    o.Pathname2 = L"sub/inner.rd8";
    o.Pathname3 = L"/abs/file.rd8";
    o.Pathname4 = L"win\\style.rd8";
    o.TsPath = L"stamps.tq8ts";
    o.Template.Fwp_flags |= TQ8_FWP_DEINTERLEAVE | TQ8_FWP_TS_BINARY;
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(o.BuildFileWriteParams(r, L"/rec/dir"));
    EXPECT_STREQ(r.Fwp_path1, "/rec/dir/bare.rd8");
    EXPECT_STREQ(r.Fwp_path2, "sub/inner.rd8");
    EXPECT_STREQ(r.Fwp_path3, "/abs/file.rd8");
    EXPECT_STREQ(r.Fwp_path4, "win\\style.rd8");
    EXPECT_STREQ(r.Fwp_tsPath, "/rec/dir/stamps.tq8ts");

    ASSERT_TRUE(o.BuildFileWriteParams(r, L"/rec/dir/"));
    EXPECT_STREQ(r.Fwp_path1, "/rec/dir/bare.rd8");
    ASSERT_TRUE(o.BuildFileWriteParams(r, L""));
    EXPECT_STREQ(r.Fwp_path1, "bare.rd8");
}

// An option that its enabling option has turned off has no effect: not its
// flag, not its path.
TEST(CDestFileOptsTest, OptionsWhoseEnablingOptionIsOffAreLeftOut)
{
    CDestFileOpts o = FilledOptions();
    o.Template.Fwp_flags = 0x100 | TQ8_FWP_HEX | TQ8_FWP_TS_TEXT | TQ8_FWP_TS_MARKER | TQ8_FWP_FAIL_ON_TS_OVERFLOW;
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(r.Fwp_flags, 0x100u);
    EXPECT_NE(r.Fwp_path1, nullptr);
    EXPECT_EQ(r.Fwp_path2, nullptr);
    EXPECT_EQ(r.Fwp_path3, nullptr);
    EXPECT_EQ(r.Fwp_path4, nullptr);
    EXPECT_EQ(r.Fwp_tsPath, nullptr);
    // The options keep what was typed, for when the option is on again.
    EXPECT_EQ(o.Template.Fwp_flags & TQ8_FWP_HEX, TQ8_FWP_HEX);
    EXPECT_FALSE(o.Pathname2.empty());

    o.Template.Fwp_flags |= TQ8_FWP_TEXT | TQ8_FWP_TS_BINARY;
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(r.Fwp_flags, o.Template.Fwp_flags);
    EXPECT_NE(r.Fwp_tsPath, nullptr);
}

TEST(CDestFileOptsTest, NotesNeedAFlagAndText)
{
    CDestFileOpts o;
    o.OpNotes = L"notes";
    TQ8_FILE_WRITE_PARAMS r{};
    o.Template.Fwp_flags = 0;
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(r.Fwp_opNotes, nullptr);
    o.Template.Fwp_flags = 0x100;
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_STREQ(r.Fwp_opNotes, "notes");
    o.OpNotes.clear();
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(r.Fwp_opNotes, nullptr);
}

TEST(CDestFileOptsTest, NamedStreamsAreOfferedAndOkClearsTheFlag)
{
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDOK);
    CDestFileOpts o;
    o.Template.Fwp_flags = 0x300;
    o.Pathname1 = L"/tmp/a.rd8";
    o.OpNotes = L"kept";
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].style, MB_OKCANCEL | MB_ICONWARNING);
    EXPECT_EQ(boxes.LastText(),
              L"One or more destination volumes do not support named streams. Embedded acquisition data details "
              L"will be disabled for this operation.\n\nSelect OK to continue or Cancel to abort the operation");
    EXPECT_EQ(r.Fwp_flags, 0x100u);
    EXPECT_EQ(o.Template.Fwp_flags, 0x300u) << "only the built record loses the flag";
    EXPECT_STREQ(r.Fwp_opNotes, "kept");
}

TEST(CDestFileOptsTest, CancellingTheNamedStreamQuestionFailsTheBuild)
{
    vlt::MessageBoxRecorder boxes;
    boxes.QueueAnswer(IDCANCEL);
    CDestFileOpts o;
    o.Template.Fwp_flags = 0x200;
    o.Pathname3 = L"/tmp/c.rd8";
    TQ8_FILE_WRITE_PARAMS r{};
    r.Fwp_ss = 1;
    EXPECT_FALSE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(r.Fwp_ss, 1u) << "a failed build leaves the record alone";
}

TEST(CDestFileOptsTest, NoDestinationNoNamedStreamQuestion)
{
    vlt::MessageBoxRecorder boxes;
    CDestFileOpts o;
    o.Template.Fwp_flags = 0x200;
    o.TsPath = L"/tmp/ts";
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(r.Fwp_flags, 0x200u);
}

TEST(CDestFileOptsTest, XmlRoundTripKeepsEveryField)
{
    const CDestFileOpts written = FilledOptions();
    std::string xml;
    ASSERT_TRUE(written.WriteXml(xml));
    EXPECT_EQ(std::count(xml.begin(), xml.end(), '\n'), 2) << "only those inside the notes";
    EXPECT_EQ(xml.find('\r'), std::string::npos);
    EXPECT_EQ(xml.rfind("<DestFileOpts><Fwp_ss>104</Fwp_ss><Fwp_flags>801</Fwp_flags>", 0), 0u);

    CDestFileOpts read;
    ASSERT_TRUE(ReadFrom(xml, read));
    EXPECT_EQ(read.Template.Fwp_ss, 104u);
    EXPECT_EQ(read.Template.Fwp_flags, written.Template.Fwp_flags);
    EXPECT_EQ(read.Template.Fwp_hdrskp, written.Template.Fwp_hdrskp);
    EXPECT_EQ(read.Template.Fwp_maxseg, written.Template.Fwp_maxseg);
    EXPECT_EQ(read.Template.Fwp_chanSel, written.Template.Fwp_chanSel);
    EXPECT_EQ(read.Pathname1, written.Pathname1);
    EXPECT_EQ(read.Pathname2, written.Pathname2);
    EXPECT_EQ(read.Pathname3, written.Pathname3);
    EXPECT_EQ(read.Pathname4, written.Pathname4);
    EXPECT_EQ(read.OpNotes, written.OpNotes);
    EXPECT_EQ(read.TsPath, written.TsPath);
    EXPECT_EQ(read.SpanFiles, written.SpanFiles);
    EXPECT_EQ(read.SpanBytes, written.SpanBytes);
    EXPECT_EQ(read.SkipHdr, written.SkipHdr);
    EXPECT_EQ(read.SkipBytes, written.SkipBytes);
}

TEST(CDestFileOptsTest, ZeroOrMissingSizeIsRefused)
{
    CDestFileOpts o;
    EXPECT_FALSE(ReadFrom("<DestFileOpts><Fwp_ss>0</Fwp_ss></DestFileOpts>", o));
    EXPECT_FALSE(ReadFrom("<DestFileOpts><Fwp_flags>1</Fwp_flags></DestFileOpts>", o));
    EXPECT_FALSE(ReadFrom("<DestFileOpts><Fwp_ss>-5</Fwp_ss></DestFileOpts>", o));
    EXPECT_EQ(o.Template.Fwp_flags, 0x100u);
}

TEST(CDestFileOptsTest, SizeFromTheFileIsNeverTaken)
{
    CDestFileOpts o;
    ASSERT_TRUE(ReadFrom("<DestFileOpts><Fwp_ss>4000</Fwp_ss></DestFileOpts>", o));
    EXPECT_EQ(o.Template.Fwp_ss, 104u);
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(o.BuildFileWriteParams(r, nullptr));
    EXPECT_EQ(r.Fwp_ss, 104u);
}

TEST(CDestFileOptsTest, MissingOrMalformedItemsKeepTheirValues)
{
    CDestFileOpts o = FilledOptions();
    ASSERT_TRUE(ReadFrom("<DestFileOpts><Fwp_ss>104</Fwp_ss><Fwp_flags>-1</Fwp_flags>"
                         "<SpanBytes>99999999999999999999999</SpanBytes><SkipBytes>x</SkipBytes>"
                         "<Pathname2></Pathname2></DestFileOpts>",
                         o));
    const CDestFileOpts before = FilledOptions();
    EXPECT_EQ(o.Template.Fwp_flags, before.Template.Fwp_flags);
    EXPECT_EQ(o.SpanBytes, before.SpanBytes);
    EXPECT_EQ(o.SkipBytes, before.SkipBytes);
    EXPECT_EQ(o.Pathname1, before.Pathname1);
    EXPECT_EQ(o.Pathname2, L"") << "a present but empty text element clears its field";
}

TEST(CDestFileOptsTest, CopyNeverSharesTheBuiltTexts)
{
    auto source = std::make_unique<CDestFileOpts>(FilledOptions());
    source->Template.Fwp_flags = 0x100 | TQ8_FWP_DEINTERLEAVE | TQ8_FWP_TS_BINARY;
    TQ8_FILE_WRITE_PARAMS fromSource{};
    ASSERT_TRUE(source->BuildFileWriteParams(fromSource, nullptr));
    CDestFileOpts copy(*source);
    CDestFileOpts assigned;
    assigned = *source;
    source.reset();
    TQ8_FILE_WRITE_PARAMS r{};
    ASSERT_TRUE(copy.BuildFileWriteParams(r, nullptr));
    EXPECT_STREQ(r.Fwp_path3, "c.rd8");
    ASSERT_TRUE(assigned.BuildFileWriteParams(r, nullptr));
    EXPECT_STREQ(r.Fwp_tsPath, "/ts/stamps.tq8ts");
}
