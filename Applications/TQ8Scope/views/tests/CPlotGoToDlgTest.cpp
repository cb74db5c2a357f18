#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

#include "CPlotGoToDlg.h"
#include "ScopeTestSupport.h"

namespace {

using scope_test::ScopeTest;

class GoToTest : public ScopeTest {
protected:
    void SetUp() override
    {
        ScopeTest::SetUp();
        form_test::FormDoc& doc = NewDoc();
        Build(doc);
        ASSERT_NE(Control(), nullptr);
        const std::vector<uint8_t> samples(65536, 0x50);
        ASSERT_TRUE(panel->ShowSnapshot(samples.data(), uint32_t(samples.size()), 1, 0, doc.GetDeviceHandle()));
        Control()->put_PageWidth(1024);
        Control()->put_StartSample(0);
        dialog = std::make_unique<CPlotGoToDlg>(nullptr, doc.GetDeviceHandle(), view);
        ASSERT_TRUE(dialog->Create());
    }
    void TearDown() override
    {
        dialog.reset();
        ScopeTest::TearDown();
    }
    void UseSegments(uint32_t size)
    {
        Control()->put_SegmentSize(size);
        dialog->OnActivate();
    }
    QLineEdit* Edit(int id) const { return dialog->findChild<QLineEdit*>(QString::number(id)); }
    void Click(int id) const { dialog->findChild<QPushButton*>(QString::number(id))->click(); }
    void SetUnit(int unit) const { dialog->findChild<QComboBox*>(QString::number(CPlotGoToDlg::kUnitId))->setCurrentIndex(unit); }
    uint64_t Start() const
    {
        uint64_t start = 0;
        Control()->get_StartSample(&start);
        return start;
    }

    std::unique_ptr<CPlotGoToDlg> dialog;
};

TEST_F(GoToTest, SegmentNumberGoesToItsFirstSampleInTheMiddleOfThePage)
{
    UseSegments(1024);
    EXPECT_TRUE(dialog->findChild<QPushButton*>(QString::number(CPlotGoToDlg::kNextId))->isEnabled());
    SetUnit(1);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("3"));
    Click(CPlotGoToDlg::kGoId);
    EXPECT_EQ(Start(), 3072u - 512u);
    uint64_t low = 0, high = 0;
    if (SUCCEEDED(Control()->GetSelection(&low, &high))) {
        EXPECT_EQ(low, 3072u);
        EXPECT_EQ(high, 3072u);
    }
    // A sample at the first position of the page is also brought to the middle.
    SetUnit(0);
    Control()->put_StartSample(2048);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("2048"));
    Click(CPlotGoToDlg::kGoId);
    EXPECT_EQ(Start(), 1536u);
    // One on the page leaves the page where it is.
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("1600"));
    Click(CPlotGoToDlg::kGoId);
    EXPECT_EQ(Start(), 1536u);
}

TEST_F(GoToTest, NextAndPreviousSegmentWithAnExtraOffset)
{
    UseSegments(1024);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("1500"));
    Click(CPlotGoToDlg::kNextId);
    EXPECT_EQ(Start(), 2048u);
    EXPECT_EQ(Edit(CPlotGoToDlg::kPositionId)->text(), QStringLiteral("2048"));
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("-100"));
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("1500"));
    Click(CPlotGoToDlg::kNextId);
    EXPECT_EQ(Start(), 1948u);
    EXPECT_EQ(Edit(CPlotGoToDlg::kPositionId)->text(), QStringLiteral("2048"));
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("0"));
    Click(CPlotGoToDlg::kPreviousId);
    EXPECT_EQ(Start(), 1024u);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("1500"));
    Click(CPlotGoToDlg::kPreviousId);
    EXPECT_EQ(Start(), 1024u);
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("-100"));
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("0"));
    Click(CPlotGoToDlg::kPreviousId);
    EXPECT_EQ(Start(), 0u);
    SetUnit(1);
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("0"));
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("1"));
    Click(CPlotGoToDlg::kNextId);
    EXPECT_EQ(Edit(CPlotGoToDlg::kPositionId)->text(), QStringLiteral("2"));
    EXPECT_EQ(Start(), 2048u);
}

TEST_F(GoToTest, ZoomToSegmentShowsExactlyOneSegment)
{
    UseSegments(2048);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("5000"));
    Click(CPlotGoToDlg::kZoomId);
    EXPECT_EQ(Start(), 4096u);
    uint32_t width = 0;
    Control()->get_PageWidth(&width);
    EXPECT_EQ(width, 2048u);
}

TEST_F(GoToTest, SegmentUnitWithoutSegmentsWarnsAndEmptiesThePosition)
{
    vlt::MessageBoxRecorder boxes;
    UseSegments(0);
    EXPECT_FALSE(dialog->findChild<QPushButton*>(QString::number(CPlotGoToDlg::kNextId))->isEnabled());
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("100"));
    SetUnit(1);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Segment size is not currently defined");
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, unsigned(MB_ICONWARNING));
    EXPECT_TRUE(Edit(CPlotGoToDlg::kPositionId)->text().isEmpty());
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("1"));
    Click(CPlotGoToDlg::kGoId);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, unsigned(MB_ICONERROR));
}

TEST_F(GoToTest, ExtraOffsetPrefixesAndText)
{
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("0x10"));
    EXPECT_EQ(dialog->GetExtraOffset(), 16);
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("010"));
    EXPECT_EQ(dialog->GetExtraOffset(), 8);
    Edit(CPlotGoToDlg::kExtraId)->setText(QStringLiteral("ten"));
    EXPECT_EQ(dialog->GetExtraOffset(), 0);
    Edit(CPlotGoToDlg::kExtraId)->setText(QString());
    EXPECT_EQ(dialog->GetExtraOffset(), 0);
}

TEST_F(GoToTest, OverflowingPositionsAreInvalidNumbers)
{
    vlt::MessageBoxRecorder boxes;
    UseSegments(1024);
    Control()->put_StartSample(1000);
    SetUnit(1);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("0x40000000000000"));
    Click(CPlotGoToDlg::kGoId);
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"sample or segment count"), std::wstring::npos);
    EXPECT_EQ(Start(), 1000u);
    SetUnit(0);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("18446744073709551610"));
    Click(CPlotGoToDlg::kNextId);
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(Start(), 1000u);
    Edit(CPlotGoToDlg::kPositionId)->setText(QStringLiteral("-5"));
    Click(CPlotGoToDlg::kGoId);
    EXPECT_EQ(boxes.Count(), 3u);
}

TEST(GoToSegmentWalkTest, StartsAndOffsets)
{
    EXPECT_EQ(CPlotGoToDlg::NextSegmentStart(1500, 1024), 2048u);
    EXPECT_EQ(CPlotGoToDlg::NextSegmentStart(2048, 1024), 3072u);
    EXPECT_FALSE(CPlotGoToDlg::NextSegmentStart(UINT64_MAX - 5, 1024));
    EXPECT_EQ(CPlotGoToDlg::PreviousSegmentStart(2048, 1024), 1024u);
    EXPECT_EQ(CPlotGoToDlg::PreviousSegmentStart(1500, 1024), 1024u);
    EXPECT_EQ(CPlotGoToDlg::PreviousSegmentStart(0, 1024), 0u);
    EXPECT_EQ(CPlotGoToDlg::WithExtraOffset(50, -100), 0u);
    EXPECT_EQ(CPlotGoToDlg::WithExtraOffset(2048, -100), 1948u);
    EXPECT_EQ(CPlotGoToDlg::WithExtraOffset(10, INT32_MIN), 0u);
    EXPECT_FALSE(CPlotGoToDlg::WithExtraOffset(UINT64_MAX - 1, 5));
}

} // namespace
