#include <filesystem>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "AtomicFile.h"
#include "CForm_Timestamps.h"
#include "CVltEditBrowseCtrl.h"
#include "FormTestSupport.h"
#include "TextConv.h"

namespace {

namespace fs = std::filesystem;
using form_test::FormDoc;

class TimestampsFormTest : public form_test::FormTest {
protected:
    void SetUp() override
    {
        FormTest::SetUp();
        const char* base = std::getenv("VLT_TEST_TMP");
        dir = fs::path(base ? base : "/tmp") / ("tsform_" + std::to_string(getpid()));
        fs::create_directories(dir);
    }
    void TearDown() override
    {
        FormTest::TearDown();
        fs::remove_all(dir);
    }
    CForm_Timestamps& NewForm(FormDoc& doc)
    {
        auto& form = Show(new CForm_Timestamps(doc));
        form.OnInitialUpdate();
        return form;
    }
    static CVltEditBrowseCtrl* Destination(CForm_Timestamps& form)
    {
        return form.ItemAs<CVltEditBrowseCtrl>(CForm_Timestamps::kDestinationId);
    }
    // One acquisition of a local board that leaves timestamps in its FIFO.
    FormDoc& BoardWithTimestamps(uint32_t serial, int32_t segments)
    {
        FormDoc& doc = NewLocalDoc(serial, [](TQ8SIM_BOARD_DESC&) {});
        const TQ8_HANDLE device = doc.GetDeviceHandle();
        EXPECT_EQ(SetTimestampModeTQ8(device, segments > 1 ? 1 : 2), 0);
        if (segments > 1) {
            EXPECT_EQ(SetTriggerModeTQ8(device, 1), 0);
            EXPECT_EQ(SetSegmentSizeTQ8(device, doc.GetSampleCount() / uint32_t(segments)), 0);
        }
        EXPECT_TRUE(doc.StartAcquisition(nullptr));
        EXPECT_TRUE(form_test::PumpUntil([&] { return doc.IsIdle(); }));
        return doc;
    }
    fs::path dir;
};

TEST_F(TimestampsFormTest, VirtualBoardRefusesBeforeLookingAtThePath)
{
    FormDoc& doc = NewDoc();
    CForm_Timestamps& form = NewForm(doc);
    EXPECT_EQ(form.ItemAs<QLabel>(CForm_Timestamps::kFifoDepthId)->text(), QStringLiteral("2048 timestamps"));
    EXPECT_FALSE(form.Item(CForm_Timestamps::kSaveNowId)->isEnabled());
    EXPECT_FALSE(form.Item(CForm_Timestamps::kResetFifoId)->isVisibleTo(&form));
    form.OnSaveNow();
    EXPECT_EQ(boxes.LastText(), L"TQ3300 is virtual, no timestamp data exists");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
    Destination(form)->SetText(L"x");
    EXPECT_TRUE(form.Item(CForm_Timestamps::kSaveNowId)->isEnabled());
    doc.UpdateAllViews(dochint::kAcquisitionState, &doc);
    EXPECT_FALSE(form.Item(CForm_Timestamps::kSaveNowId)->isEnabled());
    doc.UpdateAllViews(dochint::kAcquisitionState, nullptr);
    EXPECT_TRUE(form.Item(CForm_Timestamps::kSaveNowId)->isEnabled());
}

TEST_F(TimestampsFormTest, SaveNowWritesWhatTheFifoHolds)
{
    FormDoc& doc = BoardWithTimestamps(91, 1);
    const TQ8_HANDLE device = doc.GetDeviceHandle();
    ASSERT_EQ(GetTimestampAvailabilityTQ8(device), 1);
    doc.unsafe = true;
    CForm_Timestamps& form = NewForm(doc);
    EXPECT_TRUE(form.Item(CForm_Timestamps::kResetFifoId)->isVisibleTo(&form));

    // A file name without an extension, as text: one line, in the singular.
    Destination(form)->SetText(vlt::Utf8ToWide((dir / "ts").string()));
    form.ItemAs<QCheckBox>(CForm_Timestamps::kAsTextId)->setChecked(true);
    form.ItemAs<QPushButton>(CForm_Timestamps::kSaveNowId)->click();
    EXPECT_EQ(boxes.LastText(), L"Wrote 1 timestamp to output file");
    std::string text;
    ASSERT_TRUE(vlt::ReadWholeFile((dir / "ts.tq8ts.txt").string(), text));
    EXPECT_EQ(text.size() - text.find("\r\n"), 2u);

    // Now empty.
    form.ItemAs<QPushButton>(CForm_Timestamps::kSaveNowId)->click();
    EXPECT_EQ(boxes.LastText(), L"Timestamp FIFO is empty; no timestamp data is available");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONINFORMATION);
}

// Whether the board is virtual cannot be told: nothing is read or written.
TEST_F(TimestampsFormTest, FailedVirtualQueryRefusesAsAVirtualBoard)
{
    FormDoc& doc = BoardWithTimestamps(94, 1);
    CForm_Timestamps& form = NewForm(doc);
    const fs::path path = dir / "ts";
    Destination(form)->SetText(vlt::Utf8ToWide(path.string()));
    ASSERT_EQ(TQ8Sim_InjectResult("IsDeviceVirtualTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    form.OnSaveNow();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"TQ3300 is virtual, no timestamp data exists");
    EXPECT_FALSE(fs::exists(path.string() + ".tq8ts"));
    EXPECT_EQ(GetTimestampAvailabilityTQ8(doc.GetDeviceHandle()), 1);
}

TEST_F(TimestampsFormTest, RawSaveOfSegmentsKeepsTheTypedExtension)
{
    FormDoc& doc = BoardWithTimestamps(92, 8);
    const int32_t n = GetTimestampAvailabilityTQ8(doc.GetDeviceHandle());
    ASSERT_GT(n, 1);
    CForm_Timestamps& form = NewForm(doc);
    const fs::path path = dir / "run.bin";
    Destination(form)->SetText(vlt::Utf8ToWide(path.string()));
    form.ItemAs<QPushButton>(CForm_Timestamps::kSaveNowId)->click();
    EXPECT_EQ(boxes.LastText(), L"Wrote " + std::to_wstring(n) + L" timestamps to output file");
    EXPECT_EQ(fs::file_size(path), 8u * uint32_t(n));
}

TEST_F(TimestampsFormTest, FailuresAreReportedWithoutTheWroteBox)
{
    FormDoc& doc = BoardWithTimestamps(93, 8);
    CForm_Timestamps& form = NewForm(doc);
    Destination(form)->SetText(vlt::Utf8ToWide((dir / "none" / "ts").string()));
    form.OnSaveNow();
    std::wstring expected;
    FormatSystemErrorText(ENOENT, expected, L"Failed to open timestamp output file: ");
    EXPECT_EQ(boxes.LastText(), expected);
    EXPECT_GT(GetTimestampAvailabilityTQ8(doc.GetDeviceHandle()), 0); // nothing was read

    Destination(form)->SetText(vlt::Utf8ToWide((dir / "ts").string()));
    ASSERT_EQ(TQ8Sim_InjectResult("ReadTimestampDataTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    boxes.Clear();
    form.OnSaveNow();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to read timestamp FIFO: ", doc.GetDeviceHandle()));

    // The drain takes the rest.
    boxes.Clear();
    form.ItemAs<QPushButton>(CForm_Timestamps::kDrainId)->click();
    EXPECT_EQ(boxes.LastText(), L"Drained 8 timestamps from timestamp FIFO");
    EXPECT_EQ(GetTimestampAvailabilityTQ8(doc.GetDeviceHandle()), 0);
}

TEST_F(TimestampsFormTest, ModesApplyAndMarkTheDocument)
{
    FormDoc& doc = NewDoc();
    CForm_Timestamps& form = NewForm(doc);
    Choose(form.ItemAs<QComboBox>(CForm_Timestamps::kModeId), 3);
    EXPECT_EQ(doc.LastText(), L"Timestamp mode updated");
    EXPECT_EQ(GetTimestampModeTQ8(doc.GetDeviceHandle(), 0), 3);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_EQ(TQ8Sim_InjectResult("SetTimestampCounterModeTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    Choose(form.ItemAs<QComboBox>(CForm_Timestamps::kCounterModeId), 1);
    EXPECT_EQ(boxes.LastText(), form_test::BoxText(TQ8_ERR_GENERAL, L"Failed to change timestamp counter mode: "));
    EXPECT_EQ(form.ItemAs<QComboBox>(CForm_Timestamps::kCounterModeId)->currentIndex(), 0);
}

} // namespace
