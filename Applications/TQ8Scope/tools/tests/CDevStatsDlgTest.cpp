#include "CDevStatsDlg.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "CommandIds.h"
#include "DocToolsFixture.h"
#include "DocumentToolWindows.h"
#include "TitleFit.h"

using doc_tools_test::BoardName;
using doc_tools_test::PumpUntil;
using doc_tools_test::ToQt;

namespace {

const char* const kValues[] = {"activeConnections",   "interrupts",            "dmaTransfersCompleted",
                               "dmaTransfersStarted", "acquisitionsStarted",   "acquisitionsCompleted",
                               "clockModuleResets",   "bytesTransferred"};

class DevStatsTest : public doc_tools_test::DocToolsTest {
protected:
    static QString Value(CDevStatsDlg& dlg, const char* name) { return dlg.findChild<QLabel*>(name)->text(); }
    static QCheckBox* Box(CDevStatsDlg& dlg, const char* name) { return dlg.findChild<QCheckBox*>(name); }
    static void ClickRefresh(CDevStatsDlg& dlg)
    {
        QTest::mouseClick(dlg.findChild<QPushButton*>("refreshStats"), Qt::LeftButton);
    }
    static TQ8_DRIVER_STATS Query(TQ8_HANDLE h)
    {
        TQ8_DRIVER_STATS s{};
        s.size = sizeof s;
        EXPECT_EQ(GetDriverStatsTQ8(h, &s, 0), TQ8_OK);
        return s;
    }
};

} // namespace

TEST(DevStatsTexts, PlainDecimalInRecordOrder)
{
    TQ8_DRIVER_STATS s{};
    s.activeConnections = -1;
    s.interrupts = 4294967295u;
    s.dmaTransfersCompleted = 1000;
    s.dmaTransfersStarted = 1001;
    s.acquisitionsStarted = 7;
    s.acquisitionsCompleted = 6;
    s.clockModuleResets = 0;
    s.bytesTransferred = 12345678901234ull;
    const auto texts = CDevStatsDlg::FieldTexts(s);
    const std::array<std::wstring, 8> expected = {L"-1", L"4294967295", L"1000", L"1001",
                                                  L"7",  L"6",          L"0",    L"12345678901234"};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(std::wstring(CDevStatsDlg::kFieldLabels[0]), L"Active device connections:");
    EXPECT_EQ(std::wstring(CDevStatsDlg::kFieldLabels[7]), L"Total bytes transferred:");
}

TEST_F(DevStatsTest, ShowsTheBoardsCountersAfterAnAcquisition)
{
    CMainDoc& doc = NewDoc();
    doc.SetSampleCount(65536);
    ASSERT_TRUE(doc.StartAcquisition(nullptr));
    ASSERT_TRUE(PumpUntil([&] { return !(doc.GetStateFlags() & docstate::kAcquiring); }));
    std::vector<uint8_t> buffer(3 * 65536);
    ASSERT_EQ(ReadSampleRamBufTQ8(doc.GetDeviceHandle(), 0, uint32_t(buffer.size()), buffer.data(), 0), TQ8_OK);

    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    EXPECT_EQ(boxes.Count(), 0u);
    const TQ8_DRIVER_STATS now = Query(doc.GetDeviceHandle());
    EXPECT_EQ(now.activeConnections, 2); // the document's handle and its thread's duplicate
    EXPECT_EQ(now.acquisitionsStarted, 1u);
    EXPECT_EQ(now.acquisitionsCompleted, 1u);
    EXPECT_EQ(now.dmaTransfersStarted, 3u);
    EXPECT_EQ(now.bytesTransferred, buffer.size());
    const auto texts = CDevStatsDlg::FieldTexts(now);
    for (size_t i = 0; i < 8; ++i)
        EXPECT_EQ(Value(dlg, kValues[i]), ToQt(texts[i])) << kValues[i];
    EXPECT_TRUE(dlg.findChild<QLabel*>("lastRefresh")->text().startsWith(QStringLiteral("Last refresh: ")));
}

TEST_F(DevStatsTest, RefreshShowsNewCounts)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("0"));
    ASSERT_EQ(AcquireToBoardRamTQ8(doc.GetDeviceHandle(), 0, 65536, 0, 0), TQ8_OK);
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("0"));
    ClickRefresh(dlg);
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("1"));
    EXPECT_EQ(dlg.Stats().size, 40u);
}

TEST_F(DevStatsTest, ResetIsAskedOnceAndTheBoxIsClearedFirst)
{
    CMainDoc& doc = NewDoc();
    TQ8_HANDLE h = doc.GetDeviceHandle();
    CDevStatsDlg dlg(nullptr, h);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 65536, 0, 0), TQ8_OK);
    Box(dlg, "resetCounters")->setChecked(true);
    ClickRefresh(dlg);
    EXPECT_FALSE(Box(dlg, "resetCounters")->isChecked());
    // The counts as they were, and the board's counters are now zero.
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("1"));
    EXPECT_EQ(Query(h).acquisitionsCompleted, 0u);
    // A second refresh does not reset again.
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 65536, 0, 0), TQ8_OK);
    ClickRefresh(dlg);
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("1"));
    EXPECT_EQ(Query(h).acquisitionsCompleted, 1u);
}

TEST_F(DevStatsTest, FailedQueryStillClearsTheResetBox)
{
    CMainDoc& doc = NewDoc();
    TQ8_HANDLE h = doc.GetDeviceHandle();
    CDevStatsDlg dlg(nullptr, h);
    ASSERT_EQ(AcquireToBoardRamTQ8(h, 0, 65536, 0, 0), TQ8_OK);
    Box(dlg, "resetCounters")->setChecked(true);
    ASSERT_EQ(TQ8Sim_InjectResult("GetDriverStatsTQ8", TQ8_ERR_GENERAL, 1), TQ8_OK);
    EXPECT_FALSE(dlg.Refresh());
    EXPECT_FALSE(Box(dlg, "resetCounters")->isChecked());
    ASSERT_EQ(boxes.Count(), 1u);
    const std::wstring prefix = BoardName(h) + L": Failed to get driver stats: ";
    EXPECT_EQ(boxes.LastText().rfind(prefix, 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    // The next refresh shows the counts and resets nothing.
    EXPECT_TRUE(dlg.Refresh());
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("1"));
    EXPECT_EQ(Query(h).acquisitionsCompleted, 1u);
}

TEST_F(DevStatsTest, CaptionsFollowAutoRefresh)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    EXPECT_EQ(dlg.windowTitle(), ToQt(L"TQ3300 Driver Statistics - " + BoardName(doc.GetDeviceHandle())));
    EXPECT_FALSE(dlg.IsAutoRefreshing());
    Box(dlg, "autoRefresh")->setChecked(true);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("TQ3300 Driver Statistics - Auto Refreshing"));
    EXPECT_TRUE(dlg.IsAutoRefreshing());
    EXPECT_EQ(dlg.AutoRefreshInterval(), 1000);
    Box(dlg, "autoRefresh")->setChecked(false);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("TQ3300 Driver Statistics"));
    EXPECT_FALSE(dlg.IsAutoRefreshing());
}

TEST_F(DevStatsTest, WindowIsWideEnoughForEachOfItsTitles)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    dlg.show();
    QCoreApplication::processEvents();
    EXPECT_GE(dlg.width(), vlt::TitleBarWidth(dlg.windowTitle()));
    Box(dlg, "autoRefresh")->setChecked(true);
    QCoreApplication::processEvents();
    EXPECT_GE(dlg.width(), vlt::TitleBarWidth(dlg.windowTitle()));
    Box(dlg, "autoRefresh")->setChecked(false);
}

TEST_F(DevStatsTest, TimerTickRefreshes)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    Box(dlg, "autoRefresh")->setChecked(true);
    ASSERT_EQ(AcquireToBoardRamTQ8(doc.GetDeviceHandle(), 0, 65536, 0, 0), TQ8_OK);
    dlg.OnTimer(CDevStatsDlg::kRefreshTimer);
    EXPECT_EQ(Value(dlg, "acquisitionsCompleted"), QStringLiteral("1"));
    EXPECT_TRUE(dlg.IsAutoRefreshing());
}

TEST_F(DevStatsTest, FailingAutoRefreshStopsTheTimerAfterOneBox)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    Box(dlg, "autoRefresh")->setChecked(true);
    ASSERT_EQ(TQ8Sim_InjectResult("GetDriverStatsTQ8", TQ8_ERR_GENERAL, 100), TQ8_OK);
    // Each recorded box is answered at once; the timer must already be off
    // when it is shown, so that no second tick follows.
    bool timerOffAtTheBox = false;
    vlt::MessageBoxHandler previous = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) {
        timerOffAtTheBox = !dlg.IsAutoRefreshing();
        return IDOK;
    });
    dlg.OnTimer(CDevStatsDlg::kRefreshTimer);
    vlt::SetMessageBoxHandler(previous);
    EXPECT_TRUE(timerOffAtTheBox);
    EXPECT_FALSE(dlg.IsAutoRefreshing());
    EXPECT_FALSE(Box(dlg, "autoRefresh")->isChecked());
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("TQ3300 Driver Statistics"));
}

TEST_F(DevStatsTest, TickWhileTheErrorBoxIsOpenQueriesNothing)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    Box(dlg, "autoRefresh")->setChecked(true);
    ASSERT_EQ(TQ8Sim_InjectResult("GetDriverStatsTQ8", TQ8_ERR_GENERAL, 2), TQ8_OK);
    int shown = 0;
    vlt::MessageBoxHandler previous = vlt::SetMessageBoxHandler([&](const vlt::MessageBoxRequest&) {
        // A tick, and a press of the button, delivered by the box's own loop.
        if (++shown == 1) {
            dlg.OnTimer(CDevStatsDlg::kRefreshTimer);
            EXPECT_FALSE(dlg.Refresh());
        }
        return IDOK;
    });
    dlg.OnTimer(CDevStatsDlg::kRefreshTimer);
    vlt::SetMessageBoxHandler(previous);
    EXPECT_EQ(shown, 1);
    // The second injected failure was never reached by a query.
    TQ8_DRIVER_STATS s{};
    s.size = sizeof s;
    EXPECT_EQ(GetDriverStatsTQ8(doc.GetDeviceHandle(), &s, 0), TQ8_ERR_GENERAL);
    EXPECT_TRUE(dlg.Refresh());
}

TEST_F(DevStatsTest, RunningTimerShowsOneErrorBox)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    ASSERT_EQ(TQ8Sim_InjectResult("GetDriverStatsTQ8", TQ8_ERR_GENERAL, 100), TQ8_OK);
    Box(dlg, "autoRefresh")->setChecked(true);
    ASSERT_TRUE(PumpUntil([&] { return boxes.Count() > 0; }));
    EXPECT_FALSE(dlg.IsAutoRefreshing());
    for (int i = 0; i < 20; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(DevStatsTest, FailedFirstQueryShowsItsBox)
{
    CMainDoc& doc = NewDoc();
    ASSERT_EQ(TQ8Sim_InjectResult("GetDriverStatsTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"Failed to get driver stats: "), std::wstring::npos);
    EXPECT_TRUE(dlg.findChild<QLabel*>("lastRefresh")->text().isEmpty());
    EXPECT_EQ(dlg.windowTitle(), ToQt(L"TQ3300 Driver Statistics - " + BoardName(doc.GetDeviceHandle())));
}

TEST_F(DevStatsTest, CloseAndEscapeOnlyHide)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    QPointer<CDevStatsDlg> alive(&dlg);
    dlg.show();
    QTest::mouseClick(dlg.findChild<QPushButton*>("close"), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    dlg.show();
    QTest::keyClick(&dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg.isVisible());
    dlg.show();
    dlg.close();
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(alive.isNull());
}

TEST_F(DevStatsTest, KeepOnTopKeepsTheWindowShown)
{
    CMainDoc& doc = NewDoc();
    CDevStatsDlg dlg(nullptr, doc.GetDeviceHandle());
    dlg.show();
    const QSize size = dlg.size();
    Box(dlg, "keepOnTop")->setChecked(true);
    EXPECT_TRUE(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(dlg.size(), size);
    Box(dlg, "keepOnTop")->setChecked(false);
    EXPECT_FALSE(dlg.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(DevStatsTest, DocumentMakesTheWindowOnceAndToggles)
{
    RegisterDocumentToolWindows();
    CMainDoc& doc = NewDoc();
    ASSERT_TRUE(doc.OnCommand(cmd::kDriverStatistics));
    auto* dlg = qobject_cast<CDevStatsDlg*>(doc.GetDriverStatisticsWindow());
    ASSERT_NE(dlg, nullptr);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(boxes.Count(), 0u);
    QTest::keyClick(dlg, Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    ASSERT_TRUE(doc.OnCommand(cmd::kDriverStatistics));
    EXPECT_EQ(doc.GetDriverStatisticsWindow(), dlg);
    EXPECT_TRUE(dlg->isVisible());
    ASSERT_TRUE(doc.OnCommand(cmd::kDriverStatistics));
    EXPECT_FALSE(dlg->isVisible());
}
