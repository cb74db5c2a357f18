#include <cerrno>
#include <fstream>

#include <sys/stat.h>

#include <QApplication>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QPushButton>
#include <QTreeWidget>

#include "CComBSTR.h"
#include "CFormView_Scope.h"
#include "CVltPropertySheet.h"
#include "FileDialog.h"
#include "SystemErrorText.h"
#include "TextConv.h"
#include "ScopeTestSupport.h"

namespace {

using scope_test::ScopeTest;
using State = CFormView_Scope::CPlotSrcState;

// Hears the control's source events after the panel, and asks the panel
// what it knows of the source at that moment.
struct EventProbe : _IScopeTQ8Events {
    CFormView_Scope* panel = nullptr;
    std::vector<uint32_t> added, removed;
    bool recordKnownWhenAdded = false;
    HRESULT QueryInterface(const IID& iid, void** ppv) override
    {
        *ppv = (iid == IUnknown::iid || iid == _IScopeTQ8Events::iid) ? this : nullptr;
        return *ppv ? S_OK : E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }
    HRESULT OnSelectionChange(uint64_t, uint64_t) override { return S_OK; }
    HRESULT OnSourceAdded(uint32_t id) override
    {
        added.push_back(id);
        recordKnownWhenAdded = panel->FindSourceState(id) != nullptr;
        return S_OK;
    }
    HRESULT OnSourceRemoved(uint32_t id) override
    {
        removed.push_back(id);
        return S_OK;
    }
};

class ScopePanelTest : public ScopeTest {
protected:
    void SetUp() override
    {
        ScopeTest::SetUp();
        doc = &NewDoc();
        Build(*doc);
        ASSERT_NE(Control(), nullptr);
    }
    void TearDown() override
    {
        if (m_probeCookie)
            ProbePoint()->Unadvise(m_probeCookie);
        ScopeTest::TearDown();
    }
    EventProbe& Probe()
    {
        probe.panel = panel;
        ProbePoint()->Advise(&probe, &m_probeCookie);
        return probe;
    }
    uint32_t PlotBoard()
    {
        uint32_t id = CFormView_Scope::kNoSource;
        EXPECT_TRUE(panel->AddBoardSource(doc->GetDeviceHandle(), doc, &id));
        return id;
    }
    QStringList Column(int column) const
    {
        QStringList texts;
        for (int i = 0; i < panel->GetSourceList()->topLevelItemCount(); ++i)
            texts << panel->GetSourceList()->topLevelItem(i)->text(column);
        return texts;
    }
    IScopeTQ8ChannelSource* Source(uint32_t id)
    {
        CComPtr<IScopeTQ8ChannelSource> source;
        Control()->GetChannelSource(id, &source);
        return source.p; // the control keeps its own reference
    }
    uint64_t TotalSamples(uint32_t id)
    {
        uint64_t total = 0;
        Source(id)->GetTotalSampleCount(0, &total);
        return total;
    }
    std::wstring Caption()
    {
        CComBSTR caption;
        Control()->get_Caption(&caption);
        return std::wstring(caption.View());
    }
    bool Snapshot(size_t bytes, int32_t channels, uint8_t value = 0x40)
    {
        const std::vector<uint8_t> samples(bytes, value);
        return panel->ShowSnapshot(samples.data(), uint32_t(bytes), channels, 0, doc->GetDeviceHandle());
    }

    form_test::FormDoc* doc = nullptr;
    EventProbe probe;

private:
    CComPtr<IConnectionPoint> ProbePoint()
    {
        CComPtr<IConnectionPointContainer> container;
        CComPtr<IConnectionPoint> point;
        Control()->QueryInterface(&container);
        container->FindConnectionPoint(_IScopeTQ8Events::iid, &point);
        return point;
    }
    uint32_t m_probeCookie = 0;
};

TEST_F(ScopePanelTest, SameBoardTwiceKeepsItsSourceAndOtherChannelsReplaceIt)
{
    EventProbe& events = Probe();
    const uint32_t first = PlotBoard();
    ASSERT_NE(first, CFormView_Scope::kNoSource);
    EXPECT_TRUE(events.recordKnownWhenAdded);
    EXPECT_EQ(panel->Sources().at(first).type, CFormView_Scope::kBoardSource);
    EXPECT_EQ(static_cast<IScopePanel*>(panel)->GetSourceBoardHandle(first), doc->GetDeviceHandle());
    EXPECT_EQ(PlotBoard(), first);
    EXPECT_EQ(events.added.size(), 1u);
    EXPECT_EQ(Column(1), (QStringList{"Channel 1", "Channel 2", "Channel 3", "Channel 4"}));
    EXPECT_EQ(Caption(), L"Data Source: Board: " + doc->GetDeviceDisplayName(true));

    ASSERT_EQ(SetActiveChannelsTQ8(doc->GetDeviceHandle(), 5), 0);
    PlotBoard();
    EXPECT_EQ(events.added.size(), 2u);
    EXPECT_EQ(events.removed.size(), 1u); // the last source goes with a reset
    EXPECT_EQ(Column(1), QStringList{"Single"});
    EXPECT_EQ(panel->Sources().size(), 1u);
    EXPECT_EQ(panel->Sources().begin()->second.channelSelection, 5u);
}

TEST_F(ScopePanelTest, UncheckingARowHidesOnlyItsChannel)
{
    PlotBoard();
    QTreeWidget* list = panel->GetSourceList();
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("Source"));
    EXPECT_EQ(list->headerItem()->text(2), QStringLiteral("Color"));
    // Rows the panel inserted leave every channel shown.
    for (uint32_t ch = 0; ch < 4; ++ch) {
        VARIANT_BOOL shown = VARIANT_FALSE;
        Control()->get_ChannelVisibility(ch, &shown);
        EXPECT_NE(shown, VARIANT_FALSE);
    }
    const uint32_t second = list->topLevelItem(1)->data(0, Qt::UserRole).toUInt();
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    for (int row = 0; row < 4; ++row) {
        VARIANT_BOOL shown = VARIANT_FALSE;
        const uint32_t ch = list->topLevelItem(row)->data(0, Qt::UserRole).toUInt();
        Control()->get_ChannelVisibility(ch, &shown);
        EXPECT_EQ(shown != VARIANT_FALSE, ch != second);
    }
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    VARIANT_BOOL shown = VARIANT_FALSE;
    Control()->get_ChannelVisibility(second, &shown);
    EXPECT_NE(shown, VARIANT_FALSE);
}

TEST_F(ScopePanelTest, RemovingOneRowRemovesTheWholeSource)
{
    ASSERT_TRUE(Snapshot(4096, 2));
    ASSERT_EQ(Column(1), (QStringList{"Channel 1", "Channel 2"}));
    QTreeWidget* list = panel->GetSourceList();
    list->clearSelection();
    list->topLevelItem(1)->setSelected(true);
    ItemClick(CFormView_Scope::kRemoveId);
    EXPECT_EQ(list->topLevelItemCount(), 0);
    EXPECT_TRUE(panel->Sources().empty());
    EXPECT_EQ(panel->GetSnapshotSourceId(), -1);
    EXPECT_FALSE(panel->findChild<QPushButton*>(QString::number(CFormView_Scope::kGoToId))->isEnabled());
}

TEST_F(ScopePanelTest, RemovingEveryRowResetsThePlotFirst)
{
    PlotBoard();
    ASSERT_TRUE(Snapshot(1024, 1));
    EventProbe& events = Probe();
    panel->GetSourceList()->selectAll();
    ItemClick(CFormView_Scope::kRemoveId);
    ASSERT_FALSE(events.removed.empty());
    EXPECT_EQ(events.removed.front(), CFormView_Scope::kNoSource);
    EXPECT_TRUE(panel->Sources().empty());
}

TEST_F(ScopePanelTest, SnapshotsTakeTheirOwnLengthAndChannelCount)
{
    ASSERT_TRUE(Snapshot(8192, 1, 0x10));
    const int32_t id = panel->GetSnapshotSourceId();
    IScopeTQ8ChannelSource* source = Source(uint32_t(id));
    Control()->put_StartSample(100);

    // A smaller one reuses buffer and source, and plots only its own samples.
    ASSERT_TRUE(Snapshot(1024, 1, 0x20));
    EXPECT_EQ(panel->GetSnapshotSourceId(), id);
    EXPECT_EQ(Source(uint32_t(id)), source);
    EXPECT_EQ(TotalSamples(uint32_t(id)), 1024u);
    uint64_t start = 0;
    Control()->get_StartSample(&start);
    EXPECT_EQ(start, 100u);

    // Another channel count gives the source the new count.
    ASSERT_TRUE(Snapshot(1024, 2, 0x30));
    uint32_t channels = 0;
    Source(uint32_t(panel->GetSnapshotSourceId()))->GetChannelCount(&channels);
    EXPECT_EQ(channels, 2u);
    EXPECT_EQ(TotalSamples(uint32_t(panel->GetSnapshotSourceId())), 512u);
    EXPECT_EQ(Column(1), (QStringList{"Channel 1", "Channel 2"}));

    // A larger one replaces buffer and source.
    source = Source(uint32_t(panel->GetSnapshotSourceId()));
    ASSERT_TRUE(Snapshot(16384, 2));
    EXPECT_NE(Source(uint32_t(panel->GetSnapshotSourceId())), source);
    EXPECT_EQ(panel->Sources().size(), 1u);
    EXPECT_EQ(Caption(), L"Data Source: Data Snapshot: " + doc->GetDeviceDisplayName(true));
    EXPECT_FALSE(Snapshot(0, 1));
    EXPECT_FALSE(Snapshot(16, 0));
}

TEST_F(ScopePanelTest, BoardAndSnapshotTogetherAreMixedSources)
{
    PlotBoard();
    ASSERT_TRUE(Snapshot(1024, 1));
    // The board's new plot replaces this board's snapshot.
    EXPECT_EQ(panel->Sources().size(), 2u);
    EXPECT_EQ(Caption(), L"Mixed data sources");
    PlotBoard();
    EXPECT_EQ(panel->Sources().size(), 1u);
    EXPECT_EQ(panel->GetSnapshotSourceId(), -1);
}

TEST_F(ScopePanelTest, OnlyTheBoardsMemoryIsGuardedByItsDocument)
{
    const uint32_t board = PlotBoard();
    EXPECT_EQ(panel->GetSourceArbiter(board), doc->GetChannelArbiter());
    EXPECT_EQ(panel->GetSourceArbiter(board + 1), nullptr);
    panel->RemoveBoardSource();
    ASSERT_TRUE(Snapshot(1024, 1));
    EXPECT_EQ(panel->GetSourceArbiter(uint32_t(panel->GetSnapshotSourceId())), nullptr);
}

TEST_F(ScopePanelTest, SourceDataErrorBox)
{
    vlt::MessageBoxRecorder boxes;
    const uint32_t id = PlotBoard();
    panel->OnSourceDataError(id, nullptr);
    const std::wstring name = doc->GetDeviceDisplayName(false);
    EXPECT_EQ(boxes.LastText(), L"Failed to obtain source data for scope. (Source:" + name + L")");
    EXPECT_EQ(boxes.Boxes().back().style, unsigned(MB_OK));
    CComBSTR reason(L"board busy");
    panel->OnSourceDataError(77, reason);
    EXPECT_EQ(boxes.LastText(), L"Failed to obtain source data for scope. (SourceId:77, Reason: board busy)");

    TQ8Sim_SetTimeFactor(1000.0);
    doc->SetAcquireContinuouslyChecked(true);
    ASSERT_TRUE(doc->StartAcquisition(nullptr));
    ASSERT_TRUE(doc->IsContinuousMode());
    panel->OnSourceDataError(id, reason);
    EXPECT_EQ(boxes.LastText(), L"Failed to obtain source data for scope. (Source:" + name +
                                    L", Reason: board busy)\n\nContinuous data acquisitions stopped");
    EXPECT_FALSE(doc->IsContinuousMode());
    doc->StopAcquisition();
}

TEST_F(ScopePanelTest, SourceInfoOfABoardShowsItsGeneralPageOnly)
{
    PlotBoard();
    panel->GetSourceList()->clearSelection();
    panel->GetSourceList()->topLevelItem(0)->setSelected(true);
    ASSERT_TRUE(panel->findChild<QPushButton*>(QString::number(CFormView_Scope::kSourceInfoId))->isEnabled());
    QStringList tabs;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* sheet = qobject_cast<CVltPropertySheet*>(QApplication::activeModalWidget());
        if (!sheet)
            return;
        title = sheet->windowTitle();
        for (int i = 0; i < sheet->Tabs()->count(); ++i)
            tabs << sheet->Tabs()->tabText(i);
        sheet->reject();
    });
    const int before = beeps;
    ItemClick(CFormView_Scope::kSourceInfoId);
    EXPECT_EQ(beeps, before);
    EXPECT_EQ(title, QStringLiteral("Veltrane Recorded Data Details"));
    EXPECT_EQ(tabs, QStringList{QStringLiteral("General")});
}

TEST_F(ScopePanelTest, ApplyReadsARefusedPropertyBack)
{
    PlotBoard();
    auto* offset = panel->findChild<QLineEdit*>(QString::number(CFormView_Scope::kOffsetId));
    auto* page = panel->findChild<QLineEdit*>(QString::number(CFormView_Scope::kPageSizeId));
    offset->setText(QStringLiteral("999999999999"));
    page->setText(QStringLiteral("2048"));
    ItemClick(CFormView_Scope::kApplyId);
    EXPECT_EQ(offset->text(), QStringLiteral("0"));
    uint32_t width = 0;
    Control()->get_PageWidth(&width);
    EXPECT_EQ(width, 2048u);
    EXPECT_EQ(page->text(), QStringLiteral("2048"));

    vlt::MessageBoxRecorder boxes;
    page->setText(QStringLiteral("many"));
    ItemClick(CFormView_Scope::kApplyId);
    EXPECT_EQ(boxes.Count(), 1u);
    Control()->get_PageWidth(&width);
    EXPECT_EQ(width, 2048u);
}

TEST_F(ScopePanelTest, ApplySaysWhenThePlotClipsAValue)
{
    PlotBoard();
    auto* page = panel->findChild<QLineEdit*>(QString::number(CFormView_Scope::kPageSizeId));
    doc->texts.clear();
    page->setText(QStringLiteral("4096"));
    ItemClick(CFormView_Scope::kApplyId);
    EXPECT_TRUE(doc->texts.empty());
    // Beyond the plot's largest page, twice: the second time the plot
    // already holds its largest page.
    for (int i = 0; i < 2; ++i) {
        doc->texts.clear();
        page->setText(QStringLiteral("536870912"));
        ItemClick(CFormView_Scope::kApplyId);
        EXPECT_EQ(page->text(), QStringLiteral("1048576"));
        EXPECT_EQ(doc->LastText(), L"Plot parameters updated; setting realigned or clipped");
    }
}

TEST_F(ScopePanelTest, SampleLimitMovesAPageBeyondItToTheStart)
{
    PlotBoard();
    Control()->put_PageWidth(1024);
    ASSERT_EQ(Control()->put_StartSample(4096), S_OK);
    panel->ApplySampleLimit(2048);
    uint64_t start = 1;
    Control()->get_StartSample(&start);
    EXPECT_EQ(start, 0u);
}

TEST(PlotSrcStateTest, ChannelCountAndSampleTypeOfEachKind)
{
    State file;
    file.type = CFormView_Scope::kFileSource;
    EXPECT_EQ(file.GetChannelCount(), 1u);
    EXPECT_EQ(file.GetSampleVarType(), VT_UI1);
    file.info.size = sizeof(file.info);
    file.info.channelCount = 2;
    file.info.bytesPerSample = 4;
    file.info.isSigned = 1;
    EXPECT_EQ(file.GetChannelCount(), 2u);
    EXPECT_EQ(file.GetSampleVarType(), VT_I4);
    file.info.isSigned = 0;
    EXPECT_EQ(file.GetSampleVarType(), VT_UI4);
    file.info.bytesPerSample = 3;
    EXPECT_EQ(file.GetSampleVarType(), VT_UI1);
    file.forcedChannels = 3;
    file.forcedType = VT_I2;
    EXPECT_EQ(file.GetChannelCount(), 3u);
    EXPECT_EQ(file.GetSampleVarType(), VT_I2);
    State board;
    board.type = CFormView_Scope::kBoardSource;
    EXPECT_EQ(board.GetChannelCount(), 4u);
    EXPECT_EQ(State().GetChannelCount(), 1u);
}

} // namespace

namespace {

class ScopeFileTest : public ScopePanelTest {
protected:
    void SetUp() override
    {
        ScopePanelTest::SetUp();
        const char* base = std::getenv("VLT_TEST_TMP");
        m_files = std::filesystem::path(base ? base : "/tmp") / ("scope_files_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_files);
    }
    void TearDown() override
    {
        ScopePanelTest::TearDown();
        std::filesystem::remove_all(m_files);
    }
    std::wstring WriteSamples(const std::string& name, size_t bytes)
    {
        const std::filesystem::path path = m_files / name;
        std::ofstream(path, std::ios::binary) << std::string(bytes, '\x60');
        return vlt::Utf8ToWide(path.string());
    }
    std::filesystem::path m_files;
};

TEST_F(ScopeFileTest, FileBesideTheBoardIsAMixedPlot)
{
    const std::wstring path = WriteSamples("trace.rd8", 4096);
    panel->AddFileSource(path);
    ASSERT_EQ(panel->Sources().size(), 1u);
    const auto& [id, state] = *panel->Sources().begin();
    EXPECT_EQ(state.type, CFormView_Scope::kFileSource);
    EXPECT_EQ(state.path, path);
    EXPECT_EQ(Column(0), QStringList{"File: trace.rd8"});
    EXPECT_EQ(Column(1), QStringList{"Single"});
    EXPECT_EQ(Caption(), L"Data Source: File: trace.rd8");
    EXPECT_EQ(TotalSamples(id), 4096u);
    PlotBoard();
    EXPECT_EQ(Caption(), L"Mixed data sources");
    // Forced format: two channels of 16-bit samples.
    EXPECT_TRUE(panel->AddFileSource(path, VT_UI2, 2));
    EXPECT_EQ(panel->Sources().size(), 3u);
}

TEST_F(ScopeFileTest, FileThatCannotBePlottedIsNamedInABox)
{
    vlt::MessageBoxRecorder boxes;
    const std::wstring missing = vlt::Utf8ToWide((m_files / "gone.rd8").string());
    panel->AddFileSource(missing);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(missing), std::wstring::npos);
    EXPECT_TRUE(panel->Sources().empty());

    // The open dialog's choice goes the same way.
    const std::wstring path = WriteSamples("picked.rd8", 512);
    vlt::FileDialogRequest asked;
    auto previous = vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest& r) -> std::optional<std::wstring> {
        asked = r;
        return path;
    });
    panel->OnOpenFileForPlotting();
    vlt::SetFileDialogHandler(previous);
    EXPECT_EQ(asked.title, L"Open File for Plotting");
    EXPECT_EQ(asked.defaultExt, L"rd8");
    EXPECT_EQ(asked.filter, L"8-bit Sample Files (*.rd8)|*.rd8|All Files (*.*)|*.*||");
    EXPECT_EQ(panel->Sources().size(), 1u);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ScopeFileTest, AFileThatCannotBePlottedSaysWhy)
{
    vlt::MessageBoxRecorder boxes;
    const std::filesystem::path fifo = m_files / "pipe.rd8";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::wstring pipe = vlt::Utf8ToWide(fifo.string());
    panel->AddFileSource(pipe);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Failed to plot the data file " + pipe + L"\n\nCannot read '" + pipe
                                    + L"': not a regular file");
    const std::wstring empty = WriteSamples("empty.rd8", 0);
    panel->AddFileSource(empty);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText(), L"Failed to plot the data file " + empty + L"\n\nThe file is empty: it holds no samples.");
    const std::wstring missing = vlt::Utf8ToWide((m_files / "gone.rd8").string());
    panel->AddFileSource(missing);
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_NE(boxes.LastText().find(vlt::Utf8ToWide(vlt::SystemErrorText(ENOENT))), std::wstring::npos);
    EXPECT_TRUE(panel->Sources().empty());
}

} // namespace

namespace {

// A context file beside the data file, as a recording leaves it.
void WriteContext(const std::wstring& dataPath, uint32_t channels, uint32_t bytes, uint32_t isSigned,
                  uint32_t header)
{
    std::ofstream(vlt::WideToUtf8(dataPath) + ".vrdc")
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VltRecordedDataContext version=\"1\">\n"
        << "  <ChannelCount>" << channels << "</ChannelCount>\n  <BytesPerSample>" << bytes
        << "</BytesPerSample>\n  <Signed>" << isSigned << "</Signed>\n  <HeaderBytes>" << header
        << "</HeaderBytes>\n  <OperatorNotes>bench run</OperatorNotes>\n</VltRecordedDataContext>\n";
}

TEST_F(ScopeFileTest, FourByteSamplesArePlottedAsThirtyTwoBitValues)
{
    const std::wstring path = WriteSamples("wide.rd8", 16 + 8 * 4 * 2);
    WriteContext(path, 2, 4, 1, 16);
    ASSERT_TRUE(panel->AddFileSource(path, CFormView_Scope::kAutomaticType, 0));
    ASSERT_EQ(panel->Sources().size(), 1u);
    const auto& [id, state] = *panel->Sources().begin();
    EXPECT_TRUE(state.HasInfo());
    EXPECT_EQ(state.description, L"bench run");
    VARTYPE vt = 0;
    Source(id)->GetChannelSampleType(0, &vt);
    EXPECT_EQ(vt, VT_I4);
    EXPECT_EQ(TotalSamples(id), 8u);
    EXPECT_EQ(Column(1), (QStringList{"Channel 1", "Channel 2"}));
    // The spectrum window asks through the document's panel interface.
    const IScopePanel* asked = panel;
    const TQ8_RECORDED_DATA_INFO* info = nullptr;
    ASSERT_TRUE(asked->GetSourceDataInfo(id, &info));
    EXPECT_EQ(info->headerBytes, 16u);
    EXPECT_EQ(asked->GetScopeControl(), Control());
    EXPECT_EQ(asked->GetSourceBoardHandle(id), nullptr);
    // The file's own information names the labels' source.
    EXPECT_EQ(panel->GetLabelSourceId(), id);
}

// A context file that describes more than the data file holds: no whole
// frame, or not even the header.
TEST_F(ScopeFileTest, AFileWithoutOneWholeFrameIsNotPlottedAndSaysWhy)
{
    vlt::MessageBoxRecorder boxes;
    const std::wstring shortFile = WriteSamples("short.rd16", 3);
    WriteContext(shortFile, 2, 2, 1, 0);
    panel->AddFileSource(shortFile);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Failed to plot the data file " + shortFile
                                    + L"\n\nThe file's 3 bytes of samples do not make up one frame of 2 channels of "
                                      L"16-bit samples (4 bytes).");
    const std::wstring headerOnly = WriteSamples("header.rd8", 16);
    WriteContext(headerOnly, 1, 1, 0, 16);
    panel->AddFileSource(headerOnly);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText(), L"Failed to plot the data file " + headerOnly
                                    + L"\n\nThe file holds no samples after its header of 16 bytes.");
    EXPECT_TRUE(panel->Sources().empty());
    // One frame is enough.
    EXPECT_TRUE(panel->AddFileSource(WriteSamples("one.rd8", 1), CFormView_Scope::kAutomaticType, 0));
}

// A recording whose context file is damaged, or there but not readable, is
// plotted as its bytes, and the user is told why and what the plot assumes.
TEST_F(ScopeFileTest, AContextFileThatCannotBeUsedIsToldWithWhatThePlotAssumes)
{
    vlt::MessageBoxRecorder boxes;
    const std::wstring path = WriteSamples("four.rd8", 4096);
    std::ofstream(vlt::WideToUtf8(path) + ".vrdc") << "<VltRecordedDataContext>\n  <ChannelCount>4</Chan";
    const std::wstring assumed = L"\n\nThe data is plotted as one channel of unsigned 8-bit samples, without a header.";
    panel->AddFileSource(path);
    ASSERT_EQ(boxes.Count(), 1u);
    const std::wstring damaged = boxes.LastText();
    EXPECT_EQ(damaged.rfind(L"The context data file of " + path + L" is damaged and could not be read:\n\n'" + path
                                + L".vrdc' is not well-formed XML (line 2: ",
                            0),
              0u)
        << vlt::WideToUtf8(damaged);
    EXPECT_EQ(damaged.substr(damaged.size() - assumed.size()), assumed);
    ASSERT_EQ(panel->Sources().size(), 1u);
    EXPECT_EQ(Column(1), QStringList{"Single"});

    const std::wstring other = WriteSamples("other.rd8", 4096);
    std::filesystem::create_directory(vlt::WideToUtf8(other) + ".vrdc");
    panel->AddFileSource(other);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText(), L"The context data file of " + other + L" is not readable:\n\nCannot read '" + other
                                    + L".vrdc': not a regular file" + assumed);
    // Without a context file the bytes are plotted without a word.
    panel->AddFileSource(WriteSamples("bare.rd8", 64));
    EXPECT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(panel->Sources().size(), 3u);
}

TEST_F(ScopeFileTest, FileWithoutContextHasNoInformation)
{
    const std::wstring path = WriteSamples("bare.rd8", 64);
    State state;
    EXPECT_FALSE(state.InitFromFile(path));
    EXPECT_FALSE(state.HasInfo());
    EXPECT_EQ(state.GetSampleVarType(), VT_UI1);
    EXPECT_EQ(state.GetChannelCount(), 1u);
}

} // namespace
