#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <dlfcn.h>
#include <filesystem>
#include <numbers>
#include <unistd.h>

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTabBar>
#include <QTreeWidget>

#include "CColorKeyButton.h"
#include "CFreqDomainDlg.h"
#include "CComPtr.h"
#include "DocToolsFixture.h"
#include "DocumentToolWindows.h"
#include "FreqDomainFakes.h"
#include "IFreqDomainWindow.h"
#include "IScopePanel.h"
#include "Mnemonic.h"
#include "InprocServer.h"
#include "OleColor.h"
#include "ValueFormat.h"

using namespace fd_test;

namespace {

constexpr int kN = 8192;

std::vector<int16_t> Tone(int bin, uint64_t frames, int channels = 1)
{
    std::vector<int16_t> out;
    for (uint64_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out.push_back(static_cast<int16_t>(
                std::lround(12000.0 * std::sin(2 * std::numbers::pi * bin * (c + 1) * double(i) / kN))));
    return out;
}

// A host that lends the window's tests its fake main plot.
class LentHost : public IFreqDomainHost {
public:
    explicit LentHost(FakeHost& host) : m_host(host) {}
    IScopeTQ8* GetMainPlot() override { return m_host.GetMainPlot(); }
    TQ8_HANDLE GetSourceBoardHandle(uint32_t id) override { return m_host.GetSourceBoardHandle(id); }
    IScopeTQ8ChannelArbiter* GetSourceArbiter(uint32_t id) override { return m_host.GetSourceArbiter(id); }
    bool GetSourceDataInfo(uint32_t id, TQ8_RECORDED_DATA_INFO& info) override { return m_host.GetSourceDataInfo(id, info); }
    std::wstring GetDeviceDisplayName() override { return m_host.GetDeviceDisplayName(); }
    CPersistentOpts* GetOptions() override { return m_host.GetOptions(); }
    bool IsUnsafeMode() override { return false; }
    double GetMinSnrThreshold() override { return -1000.0; }
    bool IsContinuousMode() override { return false; }
    void EndContinuousMode() override {}

private:
    FakeHost& m_host;
};

class FreqDomainDlgTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        doc_tools_test::EnsureApp();
        host.main = &main;
    }
    void AddSource(uint32_t id, int channels, const wchar_t* name = L"Data")
    {
        sources.push_back(std::make_unique<FakeSource>(name, channels, VT_I2));
        sources.back()->SetFrames(Tone(100, kN, channels));
        main.AddSource(id, sources.back().get(), id * 4);
        host.SetRate(id, 200.0, 14);
    }
    // The window with the fake as its own plot and a bare widget for it.
    std::unique_ptr<CFreqDomainDlg> NewWindow()
    {
        auto factory = [this](QWidget* parent, QWidget** widget) -> IScopeTQ8* {
            *widget = new QWidget(parent);
            own.AddRef();
            return &own;
        };
        return std::make_unique<CFreqDomainDlg>(nullptr, std::make_unique<LentHost>(host), factory);
    }

    FakePlot main;
    FakePlot own;
    FakeHost host;
    std::vector<std::unique_ptr<FakeSource>> sources;
};

} // namespace

TEST_F(FreqDomainDlgTest, WithoutSourcesTheTextExplains)
{
    auto window = NewWindow();
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Frequency Domain (FFT) - TQ3300 #1600"));
    EXPECT_FALSE(window->findChild<QLabel*>("noSources")->isHidden());
    EXPECT_TRUE(window->Tabs()->isHidden());
    EXPECT_TRUE(window->FigureValue(CFreqDomainDlg::kSnr)->isHidden());
    EXPECT_TRUE(window->findChild<QPushButton*>("resetScale")->isHidden());
    EXPECT_TRUE(window->findChild<QPushButton*>("restartAveraging")->isHidden());
    EXPECT_EQ(window->ColorKey()->FillColor(), window->palette().color(QPalette::Button));
    EXPECT_EQ(own.ints["MaxSampleValue"], 255);
    EXPECT_EQ(own.texts["LabelYB"], L"-153");
    EXPECT_EQ(own.texts["LabelXL"], L"0 MHz");
}

TEST_F(FreqDomainDlgTest, TabsAndFiguresFollowTheMainPlot)
{
    AddSource(2, 2);
    auto window = NewWindow();
    window->LoadOptions();
    ASSERT_EQ(window->Tabs()->count(), 2);
    EXPECT_EQ(window->Tabs()->tabText(1), QStringLiteral("Data - Ch. 2"));
    EXPECT_TRUE(window->findChild<QLabel*>("noSources")->isHidden());
    EXPECT_EQ(window->FigureValue(CFreqDomainDlg::kFftSize)->text(), QStringLiteral("8192"));
    EXPECT_EQ(window->FigureValue(CFreqDomainDlg::kRate)->text().toStdWString(), FormatFrequencyMHz(200.0));
    EXPECT_EQ(window->FigureValue(CFreqDomainDlg::kFundamental)->text().toStdWString(),
              FormatFrequencyMHz(200.0 * 100 / kN));
    EXPECT_TRUE(window->FigureValue(CFreqDomainDlg::kSnr)->text().endsWith(QStringLiteral(" dB")));
    EXPECT_TRUE(window->FigureValue(CFreqDomainDlg::kMinMax)->text().startsWith(QStringLiteral("-")));
    EXPECT_TRUE(window->FigureValue(CFreqDomainDlg::kAveraged)->isHidden());
    EXPECT_EQ(window->ColorKey()->FillColor(), vlt::OleColorToQColor(CFreqDomainController::kPlotBackColour));
    window->Tabs()->setCurrentIndex(1);
    EXPECT_EQ(window->FigureValue(CFreqDomainDlg::kFundamental)->text().toStdWString(),
              FormatFrequencyMHz(200.0 * 200 / kN));

    // Peak tracking and averaging, as the options dialog would set them.
    CFFTOptions o = window->Controller().Options();
    o.flags = CFFTOptions::kFlagAveraging | CFFTOptions::kFlagPeakTracking;
    o.maxPeaks = 4;
    window->Controller().ApplyOptions(o);
    window->UpdateSpectra(-1);
    ASSERT_EQ(window->Tabs()->count(), 4);
    EXPECT_EQ(window->Tabs()->tabText(3), QStringLiteral("Data - Ch. 2 (Avg.)"));
    ASSERT_EQ(window->PeakList()->topLevelItemCount(), 4);
    EXPECT_EQ(window->PeakList()->topLevelItem(0)->text(2), QStringLiteral("200"));
    QHeaderView* header = window->PeakList()->header();
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    emit header->sectionClicked(0);
    EXPECT_EQ(header->sortIndicatorSection(), 0);
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::AscendingOrder);
    EXPECT_NE(window->PeakList()->topLevelItem(0)->text(2), QStringLiteral("200"));

    window->ChooseTab(3);
    EXPECT_FALSE(window->FigureValue(CFreqDomainDlg::kAveraged)->isHidden());
    EXPECT_TRUE(window->FigureValue(CFreqDomainDlg::kMinMax)->isHidden());
    EXPECT_EQ(window->FigureValue(CFreqDomainDlg::kAveraged)->text(), QStringLiteral("2"));
    auto menu = window->BuildTabMenu();
    ASSERT_EQ(menu->actions().size(), 4);
    EXPECT_EQ(menu->actions()[3]->text(), QStringLiteral("Data - Ch. 2 (Avg.)"));
    EXPECT_EQ(menu->actions()[3]->data().toInt(), 4);

    window->OnSourceRemoved(2);
    EXPECT_EQ(window->Tabs()->count(), 0);
    EXPECT_FALSE(window->findChild<QLabel*>("noSources")->isHidden());
    EXPECT_TRUE(own.traces.empty());
}

TEST_F(FreqDomainDlgTest, SourceNamesWithAnAmpersandShowAsTheyAre)
{
    AddSource(1, 1, L"/data/R&D a&b.rd16");
    auto window = NewWindow();
    ASSERT_EQ(window->Tabs()->count(), 1);
    EXPECT_EQ(vlt::RemoveMnemonic(window->Tabs()->tabText(0)).toStdString(), "/data/R&D a&b.rd16 - Ch. 1");
    auto menu = window->BuildTabMenu();
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(vlt::RemoveMnemonic(menu->actions()[0]->text()).toStdString(), "/data/R&D a&b.rd16 - Ch. 1");
}

TEST_F(FreqDomainDlgTest, HideBoxHidesTheTrace)
{
    AddSource(1, 1);
    auto window = NewWindow();
    auto* box = window->findChild<QCheckBox*>("hideChannel");
    box->click();
    const uint32_t trace = static_cast<uint32_t>(window->Controller().Channel(0).current.traceId);
    EXPECT_FALSE(own.visible[trace * FakePlot::kChannelIdStep]);
    EXPECT_TRUE(box->isChecked());
    box->click();
    EXPECT_TRUE(own.visible[trace * FakePlot::kChannelIdStep]);
}

TEST_F(FreqDomainDlgTest, ResizingMovesAndGrowsTheControls)
{
    AddSource(1, 1);
    auto window = NewWindow();
    window->show();
    const QSize start = window->size();
    EXPECT_EQ(window->minimumSize(), start);
    auto rect = [&](const char* name) { return window->findChild<QWidget*>(name)->geometry(); };
    const QRect close = rect("close"), restart = rect("restartAveraging"), options = rect("options");
    const QRect reset = rect("resetScale"), peaks = rect("peakList"), tabs = rect("tabPanel"), hide = rect("hideChannel");
    const QRect plot = window->PlotWidget()->geometry();
    window->resize(start + QSize(120, 60));
    EXPECT_EQ(rect("close"), close.translated(120, 60));
    EXPECT_EQ(rect("restartAveraging"), restart.translated(0, 60));
    EXPECT_EQ(rect("options"), options.translated(0, 60));
    EXPECT_EQ(rect("hideChannel"), hide.translated(0, 60));
    EXPECT_EQ(rect("resetScale"), reset.translated(120, 0));
    EXPECT_EQ(rect("peakList").size(), peaks.size() + QSize(0, 60));
    EXPECT_EQ(rect("tabPanel").size(), tabs.size() + QSize(0, 60));
    EXPECT_EQ(window->Tabs()->height(), 24);
    EXPECT_EQ(window->PlotWidget()->geometry(), plot.adjusted(0, 0, 120, 60));
    window->resize(start - QSize(200, 100)); // not below the size it was made with
    EXPECT_EQ(window->size(), start);
    EXPECT_EQ(rect("close"), close);
}

TEST_F(FreqDomainDlgTest, SpectrumTakesThePeakListsRoomWhileItIsHidden)
{
    AddSource(1, 1);
    auto window = NewWindow();
    window->show();
    QTreeWidget* peaks = window->PeakList();
    CFFTOptions o = window->Controller().Options();
    o.flags |= CFFTOptions::kFlagPeakTracking;
    o.maxPeaks = 4;
    window->Controller().ApplyOptions(o);
    window->UpdateSpectra(-1);
    ASSERT_FALSE(peaks->isHidden());
    const QRect beside = window->PlotWidget()->geometry();
    EXPECT_GT(beside.left(), peaks->geometry().right());
    // The columns take the widest level, frequency and bin.
    const char* widest[] = {"-100.000 dB", "1234.567 MHz", "65535"};
    for (int column = 0; column < 3; ++column)
        EXPECT_GT(peaks->columnWidth(column), peaks->fontMetrics().horizontalAdvance(QString::fromLatin1(widest[column])))
            << column;

    o.flags &= ~CFFTOptions::kFlagPeakTracking;
    window->Controller().ApplyOptions(o);
    window->UpdateSpectra(-1);
    ASSERT_TRUE(peaks->isHidden());
    const QRect alone = window->PlotWidget()->geometry();
    EXPECT_EQ(alone.left(), peaks->x());
    EXPECT_EQ(alone.right(), beside.right());
    EXPECT_EQ(alone.height(), beside.height());
}

TEST_F(FreqDomainDlgTest, CloseOnlyHides)
{
    auto window = NewWindow();
    window->show();
    window->findChild<QPushButton*>("close")->click();
    EXPECT_TRUE(window->isHidden());
    window->show();
    window->close();
    EXPECT_TRUE(window->isHidden());
}

TEST(ColorKeyButton, FillWithALineAcrossTheMiddle)
{
    doc_tools_test::EnsureApp();
    CColorKeyButton key;
    EXPECT_EQ(key.FillColor(), key.palette().color(QPalette::Button));
    EXPECT_EQ(key.LineColor(), key.FillColor());
    key.resize(40, 12);
    key.SetFillColor(Qt::blue);
    key.SetLineColor(Qt::red);
    const QImage image = key.grab().toImage();
    EXPECT_EQ(image.pixelColor(20, 6), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(20, 5), QColor(Qt::red)); // 3 pixels wide
    EXPECT_EQ(image.pixelColor(20, 7), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(20, 3), QColor(Qt::blue));
}

#ifdef TQ8UI_LIBRARY_PATH
// The window hosting the real plot control, registered in a registry of
// the test's own.
class FreqDomainRealPlotTest : public FreqDomainDlgTest {
protected:
    void SetUp() override
    {
        FreqDomainDlgTest::SetUp();
        const char* tmp = std::getenv("VLT_TEST_TMP");
        m_dir = std::filesystem::path(tmp ? tmp : std::filesystem::temp_directory_path().string()) /
                ("fd-" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + "-" +
                 std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
        setenv("VLT_REGISTRY_DIR", m_dir.c_str(), 1);
        m_lib = dlopen(TQ8UI_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(m_lib, nullptr) << dlerror();
        auto reg = reinterpret_cast<PfnDllRegisterServer>(dlsym(m_lib, "DllRegisterServer"));
        ASSERT_TRUE(reg);
        ASSERT_EQ(reg(), S_OK);
    }
    void TearDown() override
    {
        unsetenv("VLT_REGISTRY_DIR");
        std::filesystem::remove_all(m_dir);
    }
    std::filesystem::path m_dir;
    void* m_lib = nullptr;
};

TEST_F(FreqDomainRealPlotTest, SpectraAreDrawnByTheRealControl)
{
    AddSource(1, 2);
    CFreqDomainDlg window(nullptr, std::make_unique<LentHost>(host));
    ASSERT_NE(window.PlotWidget(), nullptr);
    IScopeTQ8* plot = window.Controller().GetPlot();
    ASSERT_NE(plot, nullptr);
    uint32_t count = 0;
    ASSERT_EQ(plot->GetChannelSourceCount(&count), S_OK);
    EXPECT_EQ(count, 2u);
    uint32_t page = 0;
    plot->get_PageWidth(&page);
    EXPECT_EQ(page, kN / 2u);
    window.show();
    window.resize(window.size() + QSize(50, 50));
    window.PlotWidget()->repaint(); // reads the traces
    // Larger arrays: the control lets go of the old ones first.
    CFFTOptions o = window.Controller().Options();
    o.fftSize = 32768;
    window.Controller().ApplyOptions(o);
    window.PlotWidget()->repaint();
    window.UpdateSpectra(-1);
    window.PlotWidget()->repaint();
    plot->get_PageWidth(&page);
    EXPECT_EQ(page, 16384u);
    const QImage image = window.PlotWidget()->grab().toImage();
    const QColor back = vlt::OleColorToQColor(CFreqDomainController::kPlotBackColour);
    int other = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 0; x < image.width(); x += 2)
            other += image.pixelColor(x, y) != back;
    EXPECT_GT(other, 0);
}
#endif

// ---- The document's command ------------------------------------------------------

namespace {
class PlotPanel : public IScopePanel {
public:
    explicit PlotPanel(IScopeTQ8* plot) : m_plot(plot) {}
    int32_t AddBoardSource(TQ8_HANDLE, CMainDoc*) override { return -1; }
    bool RemoveBoardSource() override { return false; }
    bool ShowSnapshot(const uint8_t*, uint32_t, int32_t, uint32_t, TQ8_HANDLE) override { return false; }
    void RemoveSnapshotSource() override {}
    int32_t GetSnapshotSourceId() const override { return -1; }
    void ApplySampleLimit(uint32_t) override {}
    void OnOpenFileForPlotting() override {}
    void AddFileSource(const std::wstring&) override {}
    IScopeTQ8* GetScopeControl() const override { return m_plot; }

private:
    IScopeTQ8* m_plot;
};
} // namespace

class FreqDomainCommandTest : public doc_tools_test::DocToolsTest {};

TEST_F(FreqDomainCommandTest, CommandCreatesThenToggles)
{
    RegisterDocumentToolWindows();
    CMainDoc& doc = NewDoc();
    FakePlot mainPlot;
    FakeSource source(L"Board", 1, VT_I2);
    source.SetFrames(Tone(100, kN));
    mainPlot.AddSource(5, &source, 0);
    PlotPanel panel(&mainPlot);
    doc.SetScopeFormView(&panel);
    doc.OnFrequencyDomain();
    auto* window = dynamic_cast<CFreqDomainDlg*>(doc.GetFreqDomainWindow());
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->windowTitle().toStdWString(), L"Frequency Domain (FFT) - " + doc.GetDeviceDisplayName());
    EXPECT_EQ(window->Tabs()->count(), 1);
    EXPECT_EQ(window->Tabs()->tabText(0), QStringLiteral("Board - Ch. 1"));
    const int reads = source.reads;
    doc.OnFrequencyDomain();
    EXPECT_FALSE(window->isVisible());
    doc.OnFrequencyDomain();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(source.reads, reads + 1); // recomputed when shown again
    doc.OnChannelSourceRemoved(5);
    EXPECT_EQ(window->Tabs()->count(), 0);
    doc.SetScopeFormView(nullptr);
}

TEST_F(FreqDomainDlgTest, AFailedReadIsShownUnderTheFiguresItKeeps)
{
    AddSource(2, 1);
    auto window = NewWindow();
    QLabel* note = window->Note();
    EXPECT_TRUE(note->isHidden());
    const QString snr = window->FigureValue(CFreqDomainDlg::kSnr)->text();
    ASSERT_NE(snr, QStringLiteral("0.000 dB"));
    sources.back()->failWith = E_FAIL;
    window->UpdateSpectra(-1);
    EXPECT_FALSE(note->isHidden());
    EXPECT_EQ(note->text(), QStringLiteral("Trace, figures and peaks are those of the last good block; the new one "
                                           "gave none. Failed to obtain data for data source 2 (HRESULT=0x80004005)"));
    EXPECT_EQ(window->FigureValue(CFreqDomainDlg::kSnr)->text(), snr);
    EXPECT_NE(window->FigureValue(CFreqDomainDlg::kFftSize)->text(), QStringLiteral("0"));
    sources.back()->failWith = S_OK;
    window->UpdateSpectra(-1);
    EXPECT_TRUE(note->isHidden());
}
