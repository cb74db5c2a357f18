#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include "COpts_ControllerPP.h"
#include "CommandIds.h"
#include "COpts_PlotPP.h"
#include "COpts_RecPP.h"
#include "COpts_WsPP.h"
#include "CRecParamsManager.h"
#include "CVltPropertySheet.h"
#include "MainFrameSheets.h"
#include "MessageBox.h"
#include "PersistentOptsKeys.h"
#include "ShellFixture.h"

namespace {

class RecWorkspace : public FakeWorkspace {
public:
    using FakeWorkspace::FakeWorkspace;
    CRecParamsManager* GetRecParamsManager() override { return withParams ? &params : nullptr; }
    CRecParamsManager params;
    bool withParams = true;
};

class ProgramOptionsTest : public ShellTest {
protected:
    RecWorkspace& Start(size_t boards)
    {
        auto ws = std::make_unique<RecWorkspace>(*app);
        RecWorkspace& ref = *ws;
        for (size_t i = 0; i < boards; ++i)
            ref.boards.push_back(FakeHandle(0x10 * (i + 1)));
        app->SetWorkspace(std::move(ws));
        app->SetDocumentFactory([this](TQ8_HANDLE d, uint32_t flags) {
            auto doc = std::make_unique<FakeDoc>(*app, d, flags);
            docs.push_back(doc.get());
            return doc;
        });
        EXPECT_TRUE(app->StartUp({}));
        return ref;
    }
    // Runs the sheet: shows the pages in order, acts, and ends with OK or Cancel.
    int Run(const std::vector<int>& shown, const std::function<void(CVltPropertySheet&)>& act, bool ok)
    {
        CVltPropertySheet sheet(QStringLiteral("Program Options"), nullptr, 0);
        AddProgramOptionsPages(sheet, *app);
        int result = -1;
        QTimer::singleShot(0, &sheet, [&] {
            for (int page : shown)
                sheet.Tabs()->setCurrentIndex(page);
            act(sheet);
            if (ok)
                sheet.accept();
            if (sheet.isVisible())
                sheet.reject();
            result = sheet.result();
        });
        sheet.exec();
        return result;
    }
    template <class Page>
    static Page* PageOf(CVltPropertySheet& sheet, int index)
    {
        return qobject_cast<Page*>(sheet.Tabs()->widget(index));
    }
    int32_t Item(const wchar_t* key)
    {
        int32_t value = 12345;
        app->GetPersistentOpts().GetItemInt(key, value, 12345);
        return value;
    }
    vlt::MessageBoxRecorder boxes;
};

TEST_F(ProgramOptionsTest, PlottingPageAppliedOnceNotifiesEveryDocumentAndControllerIsNotApplied)
{
    Start(2);
    app->SetAppFlags(0, 0x3);
    const std::vector<size_t> before = {docs[0]->notifications.size(), docs[1]->notifications.size()};
    Run({2}, [](CVltPropertySheet&) {}, true);
    EXPECT_EQ(Item(opts::kPlotAxisX), 0);
    EXPECT_EQ(Item(opts::kPlotHexAdcVal), 0);
    for (size_t i = 0; i < 2; ++i) {
        ASSERT_EQ(docs[i]->notifications.size(), before[i] + 1);
        EXPECT_EQ(docs[i]->notifications.back(), 0);
    }
    // The first page was shown and applied too; the controller page never was.
    EXPECT_EQ(Item(opts::kAppStartupType), 0);
    EXPECT_EQ(app->GetAppFlags() & 0x3, 0u);
}

TEST_F(ProgramOptionsTest, StartupTypeOutsideTheListShowsNothingAndIsWrittenAsMinusOne)
{
    Start(0);
    app->GetPersistentOpts().SetItemInt(opts::kAppStartupType, 7);
    Run({}, [](CVltPropertySheet& sheet) { EXPECT_EQ(PageOf<COpts_WsPP>(sheet, 0)->StartupCombo()->currentIndex(), -1); },
        true);
    EXPECT_EQ(Item(opts::kAppStartupType), -1);
}

TEST_F(ProgramOptionsTest, CancelChangesNothing)
{
    Start(1);
    const uint32_t flags = app->GetAppFlags();
    Run({0, 1, 2, 3},
        [](CVltPropertySheet& sheet) {
            PageOf<COpts_PlotPP>(sheet, 2)->AxisXCombo()->setCurrentIndex(1);
            PageOf<COpts_ControllerPP>(sheet, 3)->MastersBox()->click();
            EXPECT_TRUE(sheet.ApplyButton()->isEnabled());
        },
        false);
    EXPECT_EQ(Item(opts::kPlotAxisX), 12345);
    EXPECT_EQ(app->GetAppFlags(), flags);
    EXPECT_TRUE(docs[0]->notifications.empty());
}

TEST_F(ProgramOptionsTest, ControllerPageKeepsTheOtherFlagBit)
{
    Start(0);
    app->SetAppFlags(0x7, 0x7);
    Run({3},
        [](CVltPropertySheet& sheet) {
            auto* page = PageOf<COpts_ControllerPP>(sheet, 3);
            page->MastersBox()->click();
            page->SyncPlotsBox()->click();
        },
        true);
    EXPECT_EQ(app->GetAppFlags() & 0x7, 0x4u);
}

TEST_F(ProgramOptionsTest, TransferSizeLeavesTheWorkspaceUnmodifiedAndBadTextKeepsTheSheetOpen)
{
    RecWorkspace& ws = Start(0);
    ws.params.TransferSamples = 4096;
    Run({1},
        [&](CVltPropertySheet& sheet) {
            auto* edit = PageOf<COpts_RecPP>(sheet, 1)->TransferEdit();
            edit->setText(QStringLiteral("12k"));
            sheet.accept();
            EXPECT_TRUE(sheet.isVisible());
            EXPECT_EQ(sheet.GetActivePage(), 1);
            EXPECT_EQ(boxes.Count(), 1u);
            edit->setText(QStringLiteral("4096"));
            sheet.accept();
            EXPECT_FALSE(ws.modified);
        },
        false);
    Run({1}, [](CVltPropertySheet& sheet) { PageOf<COpts_RecPP>(sheet, 1)->TransferEdit()->setText("65536"); }, true);
    EXPECT_EQ(ws.params.TransferSamples, 65536u);
    EXPECT_FALSE(ws.modified);
}

TEST_F(ProgramOptionsTest, WithoutWorkspaceParametersTheTransferFieldIsDisabled)
{
    RecWorkspace& ws = Start(0);
    ws.withParams = false;
    Run({1},
        [](CVltPropertySheet& sheet) {
            auto* edit = PageOf<COpts_RecPP>(sheet, 1)->TransferEdit();
            EXPECT_FALSE(edit->isEnabled());
            edit->setText(QStringLiteral("junk"));
        },
        true);
    EXPECT_FALSE(ws.modified);
    EXPECT_EQ(boxes.Count(), 0u);
}

} // namespace

namespace {

TEST_F(ProgramOptionsTest, MainFrameCommandsFollowTheRegistration)
{
    Start(0);
    CMainFrame* frame = app->GetMainFrame();
    RegisterMainFrameSheets();
    frame->UpdateCommandUI();
    EXPECT_TRUE(frame->CommandAction(cmd::kProgramOptions)->isEnabled());
    EXPECT_TRUE(frame->CommandAction(cmd::kRecordedDataDetails)->isEnabled());
    CMainFrame::ProgramOptionsPages() = nullptr;
    CMainFrame::RecordedDataDetailsCommand() = nullptr;
    frame->UpdateCommandUI();
    EXPECT_FALSE(frame->CommandAction(cmd::kProgramOptions)->isEnabled());
    EXPECT_FALSE(frame->OnCommand(cmd::kRecordedDataDetails));
}

} // namespace
