#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "CDeviceManagerTQ8.h"
#include "CMainApp.h"
#include "CPersistentOpts.h"
#include "ValueFormat.h"
#include "ScopeTestSupport.h"

namespace {

using form_test::FormDoc;

constexpr int32_t kSingleChannel = 5;

// Scope panels with their plots for several boards, for the labels and the
// controller synchronisation.
class ScopeLabelsTest : public scope_test::ScopeTest {
protected:
    struct Board {
        FormDoc* doc;
        CFormView_Scope* panel;
        CScopeView* view;
    };
    void TearDown() override
    {
        hosts.clear();
        ScopeTest::TearDown();
        app.reset();
    }
    Board NewBoard(CMainApp* options = nullptr)
    {
        if (options)
            docs.push_back(std::make_unique<FormDoc>(options, devices.get(), devices->ConnectVirtualDevice(),
                                                     docstate::kLimitPlotData));
        FormDoc& boardDoc = options ? *docs.back() : NewDoc();
        auto host = std::make_unique<QWidget>();
        host->resize(900, 640);
        auto* boardPanel = new CFormView_Scope(boardDoc, host.get());
        boardPanel->OnInitialUpdate();
        auto* boardView = new CScopeView(boardDoc, host.get());
        boardView->setGeometry(0, 0, 900, 300);
        boardPanel->setGeometry(0, 300, 900, 340);
        host->show();
        boardView->Create();
        doc_test::PumpUntil([&] { return boardDoc.GetScopeView() == boardView && boardPanel->GetControl(); });
        hosts.push_back(std::move(host));
        return {&boardDoc, boardPanel, boardView};
    }
    void Control(Board& controlled, Board& controller)
    {
        ASSERT_TRUE(devices->SetController(controlled.doc->GetDeviceHandle(), controller.doc->GetDeviceHandle()));
        controlled.doc->SetControlled(controller.doc->GetDeviceHandle());
        controller.doc->RefreshControllerFlag();
        controlled.doc->UpdateAllViews(dochint::kControllerRole);
    }
    static void Check(Board& board, bool on)
    {
        auto* box = board.panel->ItemAs<QCheckBox>(CFormView_Scope::kSyncId);
        if (box->isChecked() != on)
            box->click();
    }
    static uint32_t PageWidth(const Board& board)
    {
        uint32_t width = 0;
        board.panel->GetControl()->get_PageWidth(&width);
        return width;
    }
    static VARIANT Sample(VARTYPE type, uint32_t value)
    {
        VARIANT v;
        v.vt = type;
        v.ulVal = value;
        return v;
    }

    std::vector<std::unique_ptr<QWidget>> hosts;
    // Outlives the documents that use its options.
    std::unique_ptr<CMainApp> app;
};

TEST_F(ScopeLabelsTest, TimeLabelsFollowTheSamplingRateAndTrigger)
{
    Board board = NewBoard();
    const TQ8_HANDLE device = board.doc->GetDeviceHandle();
    ASSERT_EQ(SetInternalAdcClockRateTQ8(device, 500.0), 0);
    ASSERT_EQ(SetActiveChannelsTQ8(device, kSingleChannel), 0);
    board.doc->UpdateAllViews(dochint::kClock);
    ASSERT_EQ(board.panel->GetLabelInfo().samplingRateMHz, 500.0);
    std::wstring text;
    ASSERT_TRUE(board.panel->XAxisLabel(1000, text));
    EXPECT_EQ(text, L"2\u00b5s");
    ASSERT_TRUE(board.panel->XSelLabel(1000, text));
    EXPECT_EQ(text.substr(text.find(L" (")), L" (Sample 1000)");
    ASSERT_TRUE(board.panel->XSelSpanLabel(0, 1000, text));
    EXPECT_EQ(text, L"\u0394 2\u00b5s");
    ASSERT_EQ(SetPreTriggerSamplesTQ8(device, 512), 0);
    board.doc->UpdateAllViews(dochint::kBoardSettings);
    ASSERT_TRUE(board.panel->XAxisLabel(0, text));
    double t = 0;
    ASSERT_TRUE(SampleIndexToTime(0, board.panel->GetLabelInfo(), t));
    EXPECT_LT(t, 0);
    EXPECT_EQ(text, L"Pre-Trigger: " + FormatTime(t, kFormatMicroSign, 1.0));
    EXPECT_NE(text.find(L"-1.02\u00b5s"), std::wstring::npos) << text;
    ASSERT_TRUE(board.panel->XAxisLabel(1, text));
    EXPECT_EQ(text.find(L"Pre-Trigger"), std::wstring::npos);
}

// With nothing plotted the page is the user's: no hint narrows it to the
// board's acquired samples.
TEST_F(ScopeLabelsTest, EmptyPlotKeepsTheTypedPageWidth)
{
    Board board = NewBoard();
    ASSERT_GT(board.doc->GetPlotDataLimit(), 0u);
    const uint32_t typed = board.doc->GetPlotDataLimit() - 1;
    auto* page = board.panel->findChild<QLineEdit*>(QString::number(CFormView_Scope::kPageSizeId));
    page->setText(QString::number(typed));
    board.panel->ItemAs<QPushButton>(CFormView_Scope::kApplyId)->click();
    ASSERT_EQ(PageWidth(board), typed);
    for (int hint : {dochint::kAcquisitionRegion, dochint::kBoardSettings, dochint::kTriggerMode, dochint::kClock,
                     dochint::kPlotOptions}) {
        board.doc->UpdateAllViews(hint);
        EXPECT_EQ(PageWidth(board), typed) << "hint " << hint;
    }
    EXPECT_EQ(page->text(), QString::number(typed));
}

TEST_F(ScopeLabelsTest, VoltLabelsAndTheirCodes)
{
    Board board = NewBoard();
    std::wstring text;
    double volts = 0;
    ASSERT_TRUE(SampleValueToVolts(200.0, board.panel->GetLabelInfo(), volts));
    ASSERT_TRUE(board.panel->YAxisLabel(200.0, text));
    EXPECT_EQ(text, FormatVoltage(volts, kFormatMicroSign));
    std::wstring tip;
    ASSERT_TRUE(board.panel->SampleTipLabel(0, Sample(VT_UI1, 128), tip));
    ASSERT_TRUE(SampleValueToVolts(128.0, board.panel->GetLabelInfo(), volts));
    EXPECT_EQ(tip, L"128 (" + FormatVoltage(volts, kFormatMicroSign) + L")");
    // A 16-bit value keeps its high byte.
    ASSERT_TRUE(board.panel->SampleTipLabel(0, Sample(VT_UI2, 0x1234), tip));
    EXPECT_EQ(tip.substr(0, 4), L"4660");
}


TEST_F(ScopeLabelsTest, HexCodesForWholeValuesAndChannelPrefixWithTwoSources)
{
    app = std::make_unique<CMainApp>();
    app->GetPersistentOpts().SetItemInt(L"PlotAxisY", 1);
    app->GetPersistentOpts().SetItemInt(L"PlotHexAdcVal", 1);
    app->GetPersistentOpts().SetItemInt(L"PlotSampTips", 2);
    Board board = NewBoard(app.get());
    ASSERT_EQ(SetActiveChannelsTQ8(board.doc->GetDeviceHandle(), kSingleChannel), 0);
    board.doc->UpdateAllViews(dochint::kPlotOptions);
    std::wstring text;
    ASSERT_TRUE(board.panel->YAxisLabel(128.0, text));
    EXPECT_EQ(text, L"0x80");
    EXPECT_FALSE(board.panel->YAxisLabel(127.5, text));
    board.panel->AddBoardSource(board.doc->GetDeviceHandle(), board.doc);
    ASSERT_EQ(board.panel->GetTotalChannelCount(), 1u);
    uint32_t first = 0;
    ASSERT_TRUE(SUCCEEDED(board.panel->GetControl()->GetFirstChannelIdForSource(board.panel->Sources().begin()->first,
                                                                                &first)));
    ASSERT_TRUE(board.panel->SampleTipLabel(first, Sample(VT_UI1, 0x80), text));
    EXPECT_EQ(text, L"0x80");
    Board other = NewBoard(app.get());
    ASSERT_EQ(SetActiveChannelsTQ8(other.doc->GetDeviceHandle(), kSingleChannel), 0);
    uint32_t otherId = 0;
    ASSERT_TRUE(board.panel->AddBoardSource(other.doc->GetDeviceHandle(), other.doc, &otherId));
    ASSERT_EQ(board.panel->GetTotalChannelCount(), 2u);
    ASSERT_TRUE(SUCCEEDED(board.panel->GetControl()->GetFirstChannelIdForSource(otherId, &first)));
    ASSERT_TRUE(board.panel->SampleTipLabel(first, Sample(VT_UI1, 0x80), text));
    EXPECT_EQ(text, L"Ch. 1: 0x80");
    // The board's own source describes the labels, whatever came later.
    EXPECT_EQ(board.panel->ChooseLabelSource(), board.panel->FindBoardSourceId(board.doc->GetDeviceHandle()));
}

TEST_F(ScopeLabelsTest, PageWidthReachesOnlyCheckedControlledBoards)
{
    Board controller = NewBoard();
    Board checked = NewBoard();
    Board unchecked = NewBoard();
    Control(checked, controller);
    Control(unchecked, controller);
    Check(checked, true);
    Check(unchecked, false);
    const uint32_t before = PageWidth(unchecked);
    const uint32_t width = before == 4096 ? 2048 : 4096;
    controller.panel->GetControl()->put_PageWidth(width);
    EXPECT_EQ(PageWidth(checked), width);
    EXPECT_EQ(PageWidth(unchecked), before);
}

TEST_F(ScopeLabelsTest, ChangeReachesEveryBoardBelowTheController)
{
    Board top = NewBoard();
    Board middle = NewBoard();
    Board bottom = NewBoard();
    // A board that has a controller may not take controlled boards.
    Control(bottom, middle);
    Control(middle, top);
    Check(middle, false);
    Check(bottom, true);
    // The board below an unchecked one is told too, and follows its own
    // controller, which kept its width.
    const uint32_t kept = PageWidth(middle);
    const size_t bottomBefore = bottom.doc->CountHints(dochint::kPlotParameters);
    top.panel->GetControl()->put_PageWidth(kept == 4096 ? 2048 : 4096);
    EXPECT_EQ(bottom.doc->CountHints(dochint::kPlotParameters) - bottomBefore, 1u);
    EXPECT_EQ(PageWidth(middle), kept);
    EXPECT_EQ(PageWidth(bottom), kept);
    // With both checked the change reaches the bottom through the middle.
    Check(middle, true);
    const uint32_t width = PageWidth(top) == 1024 ? 512 : 1024;
    top.panel->GetControl()->put_PageWidth(width);
    EXPECT_EQ(PageWidth(middle), width);
    EXPECT_EQ(PageWidth(bottom), width);
}

TEST_F(ScopeLabelsTest, SavingAfterOnlyTheBoxChangedMarksModified)
{
    Board controller = NewBoard();
    Board board = NewBoard();
    Control(board, controller);
    board.doc->UpdateAllViews(dochint::kBeforeWorkspaceSave);
    board.doc->SetModified(false);
    board.doc->UpdateAllViews(dochint::kBeforeWorkspaceSave);
    EXPECT_FALSE(board.doc->IsModified());
    Check(board, !board.panel->ItemAs<QCheckBox>(CFormView_Scope::kSyncId)->isChecked());
    board.doc->UpdateAllViews(dochint::kBeforeWorkspaceSave);
    EXPECT_TRUE(board.doc->IsModified());
    board.doc->GetWsData().PlotPageWidth = 1024;
    board.doc->GetWsData().PlotSyncController = 0;
    board.doc->UpdateAllViews(dochint::kAfterWorkspaceLoad);
    EXPECT_EQ(PageWidth(board), 1024u);
    EXPECT_FALSE(board.panel->ItemAs<QCheckBox>(CFormView_Scope::kSyncId)->isChecked());
}

TEST_F(ScopeLabelsTest, BoxIsOfferedOnlyToControlledBoards)
{
    Board controller = NewBoard();
    Board board = NewBoard();
    auto* box = board.panel->ItemAs<QCheckBox>(CFormView_Scope::kSyncId);
    EXPECT_FALSE(box->isEnabled());
    Control(board, controller);
    EXPECT_TRUE(box->isEnabled());
}

} // namespace
