#include "CSaveBrdDataDlg.h"
#include "CSaveBrdDataCtx.h"
#include "DocToolsFixture.h"
#include "ErrorBeep.h"
#include "ErrorBox.h"

#include <filesystem>
#include <sys/stat.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>

#include "BadFiles.h"
#include "CVltEditBrowseCtrl.h"
#include "FullDisk.h"
#include "RemoteTestHost.h"
#include "ScopeTestSupport.h"
#include "TextConv.h"
#include "ValueFormat.h"

using namespace doc_tools_test;

namespace {

// Counts the library calls; can stand in for a library with given progress.
class CountingSaveDlg : public CSaveBrdDataDlg {
public:
    using CSaveBrdDataDlg::CSaveBrdDataDlg;
    int32_t ReadFast(uint32_t s, uint32_t c, uint8_t* d, uint32_t b, const TQ8_FILE_WRITE_PARAMS* f) override
    {
        ++fast;
        return CSaveBrdDataDlg::ReadFast(s, c, d, b, f);
    }
    int32_t ReadBuffered(uint32_t s, uint32_t c, const TQ8_FILE_WRITE_PARAMS* f) override
    {
        ++buffered;
        auto cb = reinterpret_cast<TQ8_FILE_PROGRESS_CALLBACK>(f->Fwp_progressCb);
        if (!steps.empty()) { // a library calling back with these done counts of a total of 4
            for (uint64_t done : steps)
                cb(nullptr, f->Fwp_progressCtx, 0, 0, 0, done, 0, 4);
            return stepsResult;
        }
        return CSaveBrdDataDlg::ReadBuffered(s, c, f);
    }
    bool ReadScopePlot(bool& hs, uint32_t& s, bool& hw, uint32_t& w) override
    {
        if (!plot)
            return false;
        hs = hw = true;
        s = plotStart;
        w = plotWidth;
        return true;
    }
    std::vector<uint64_t> steps;
    int32_t stepsResult = 0; // what the library with those steps returns
    std::atomic<int> fast{0}, buffered{0};
    bool plot = false;
    uint32_t plotStart = 0, plotWidth = 0;
};

// Counts the queued calls that reach an object: the worker's messages to the dialog.
class PostCounter : public QObject {
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MetaCall)
            ++posts;
        return false;
    }
    int posts = 0;
};

// Lets a held library go before the dialog joins its worker, also when a test fails.
struct HoldReleaser {
    ~HoldReleaser() { TQ8Sim_HoldFileWriteCallbacks(0); }
};

std::vector<std::wstring> Texts(const vlt::MessageBoxRecorder& r)
{
    std::vector<std::wstring> t;
    for (const auto& b : r.Boxes())
        t.push_back(b.text);
    return t;
}

template <class W>
W* Find(QWidget& w, const char* name)
{
    W* c = w.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
}

class SaveBrdDataTest : public DocToolsTest {
protected:
    std::wstring File(const char* name) { return (dir.path() + "/" + name).toStdWString(); }
    void Setup(CountingSaveDlg& dlg, uint32_t count, const char* file)
    {
        Find<QComboBox>(dlg, "count")->setEditText(QString::number(count));
        Find<CVltEditBrowseCtrl>(dlg, "dest")->SetText(File(file));
    }
    bool Save(CountingSaveDlg& dlg)
    {
        Find<QPushButton>(dlg, "save")->click();
        return PumpUntil([&] { return !dlg.IsSaving(); });
    }
    QTemporaryDir dir;
};

} // namespace

TEST(CSaveBrdDataDlgMath, ProgressGuardsEmptyTotalAndClamps)
{
    EXPECT_EQ(CSaveBrdDataDlg::ProgressOf(5, 0), 0);
    EXPECT_EQ(CSaveBrdDataDlg::ProgressOf(1, 3), 3333);
    EXPECT_EQ(CSaveBrdDataDlg::ProgressOf(9, 3), 10000);
    EXPECT_EQ(CSaveBrdDataDlg::ProgressOf(UINT64_MAX / 2, UINT64_MAX), 5000);
    EXPECT_FALSE(CSaveBrdDataDlg::UsesFastPath(1048576));
    EXPECT_FALSE(CSaveBrdDataDlg::UsesFastPath(1048576 + 4096 + 1));
    EXPECT_TRUE(CSaveBrdDataDlg::UsesFastPath(1048576 + 4096));
}

TEST_F(SaveBrdDataTest, PathChosenByCountAndFilesHoldBoardMemory)
{
    CMainDoc& doc = NewDoc();
    ASSERT_EQ(TQ8Sim_SetCountingPattern(kSerial, 1), TQ8_OK);
    CountingSaveDlg dlg(nullptr, doc);
    Setup(dlg, 1048576, "a.rd8");
    ASSERT_TRUE(Save(dlg));
    Setup(dlg, 1048576 + 4096 + 1, "b.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(dlg.buffered.load(), 2);
    EXPECT_EQ(dlg.fast.load(), 0);
    Setup(dlg, 1048576 + 4096, "c.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(dlg.fast.load(), 1);
    EXPECT_EQ(Find<QLabel>(dlg, "status")->text(), QStringLiteral("Save operation complete"));
    EXPECT_EQ(Find<QProgressBar>(dlg, "progress")->value(), 10000);
    EXPECT_EQ(Find<QComboBox>(dlg, "count")->currentText(), QStringLiteral("1,052,672"));
    EXPECT_TRUE(Texts(boxes).empty());
    QFile c(dir.path() + "/c.rd8");
    ASSERT_TRUE(c.open(QIODevice::ReadOnly));
    EXPECT_EQ(c.size(), 1048576 + 4096);
    // Compared with what the library reads from board memory directly.
    std::vector<uint8_t> ram(8192);
    ASSERT_EQ(ReadSampleRamBufTQ8(doc.GetDeviceHandle(), 0, 8192, ram.data(), 0), TQ8_OK);
    QByteArray head = c.read(8192);
    ASSERT_EQ(head.size(), 8192);
    EXPECT_EQ(std::memcmp(head.constData(), ram.data(), 8192), 0);
    EXPECT_TRUE(QFile::exists(dir.path() + "/c.rd8.vrdc"));
}

TEST_F(SaveBrdDataTest, ProgressIsPostedOnlyWhenItChanges)
{
    CMainDoc& doc = NewDoc();
    CountingSaveDlg dlg(nullptr, doc);
    // Progress 0, 0, 2500, 2500, 2500, 10000, 10000: two changes.
    dlg.steps = {0, 0, 1, 1, 1, 4, 4};
    PostCounter counter;
    dlg.installEventFilter(&counter);
    std::vector<int> shown;
    QObject::connect(Find<QProgressBar>(dlg, "progress"), &QProgressBar::valueChanged,
                     [&](int value) { shown.push_back(value); });
    Setup(dlg, 4096, "p.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(counter.posts, 3); // the two changes and the worker's end
    EXPECT_EQ(shown, (std::vector<int>{CSaveBrdDataDlg::ProgressOf(1, 4), 10000}));
}

TEST_F(SaveBrdDataTest, ChecksInOrderWithTheirTexts)
{
    CMainDoc& doc = NewDoc();
    CountingSaveDlg dlg(nullptr, doc);
    Find<QComboBox>(dlg, "count")->setEditText(QStringLiteral("12x"));
    Find<QPushButton>(dlg, "save")->click();
    ASSERT_EQ(Texts(boxes).size(), 1u);
    EXPECT_NE(Texts(boxes)[0].find(L"total sample count"), std::wstring::npos);
    Find<QComboBox>(dlg, "count")->setEditText(QStringLiteral("0x1000"));
    doc.GetSaveBrdDataCtx().DestFileOpts.SpanFiles = 1;
    doc.GetSaveBrdDataCtx().DestFileOpts.Template.Fwp_flags |= 0x4;
    Find<QPushButton>(dlg, "save")->click();
    ASSERT_EQ(Texts(boxes).size(), 2u);
    EXPECT_EQ(Texts(boxes)[1], L"Spanning data across multiple files is only implemented for binary files.");
    doc.GetSaveBrdDataCtx().DestFileOpts.SpanFiles = 0;
    Find<QPushButton>(dlg, "save")->click();
    ASSERT_EQ(Texts(boxes).size(), 3u);
    EXPECT_EQ(Texts(boxes)[2], L"No output file(s) have been specified.");
    EXPECT_EQ(doc.GetSaveBrdDataCtx().SampleCount, 4096u);
    EXPECT_EQ(dlg.buffered.load() + dlg.fast.load(), 0);
}

TEST_F(SaveBrdDataTest, LibraryFailureNamesTheBoard)
{
    CMainDoc& doc = NewDoc();
    CountingSaveDlg dlg(nullptr, doc);
    Setup(dlg, 4096, "f.rd8");
    ASSERT_EQ(TQ8Sim_InjectResult("ReadSampleRamFileBufTQ8", TQ8_ERR_FILE_WRITE, 1), TQ8_OK);
    ASSERT_TRUE(Save(dlg));
    ASSERT_EQ(Texts(boxes).size(), 1u);
    EXPECT_NE(Texts(boxes)[0].find(L"Save operation failed: "), std::wstring::npos) << vlt::WideToUtf8(Texts(boxes)[0]);
    EXPECT_NE(Texts(boxes)[0].find(BoardName(doc.GetDeviceHandle())), std::wstring::npos);
    EXPECT_TRUE(Find<QPushButton>(dlg, "save")->isEnabled());
}

// A count beyond the board's memory is told with what the board holds; a
// failed save leaves the progress bar empty, even after a full one.
TEST_F(SaveBrdDataTest, ACountBeyondTheMemorySaysWhatTheBoardHolds)
{
    CMainDoc& doc = NewDoc();
    uint32_t ramSize = 0;
    ASSERT_EQ(GetSampleRamSizeTQ8(doc.GetDeviceHandle(), &ramSize), TQ8_OK);
    CountingSaveDlg dlg(nullptr, doc);
    Setup(dlg, ramSize + 4096, "big.rd8");
    ASSERT_TRUE(Save(dlg));
    std::wstring outOfBounds;
    FormatDeviceErrorText(outOfBounds, TQ8_ERR_OUT_OF_BOUNDS, L"Save operation failed: ", doc.GetDeviceHandle());
    ASSERT_EQ(Texts(boxes).size(), 1u);
    EXPECT_EQ(Texts(boxes)[0], outOfBounds + L"\n\nThe board's memory holds " + FormatWithThousandsSeparator(ramSize)
                                   + L" samples; the save asks for " + FormatWithThousandsSeparator(ramSize + 4096)
                                   + L" samples from sample 0.");
    EXPECT_FALSE(std::filesystem::exists(vlt::WideToUtf8(File("big.rd8"))));

    auto* progress = Find<QProgressBar>(dlg, "progress");
    dlg.steps = {2, 4};
    dlg.stepsResult = TQ8_ERR_FILE_WRITE;
    std::vector<int> shown;
    QObject::connect(progress, &QProgressBar::valueChanged, [&](int value) { shown.push_back(value); });
    Setup(dlg, 4096, "late.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(shown, (std::vector<int>{5000, 10000, 0}));
    EXPECT_EQ(progress->value(), 0);
}

// "Use hexadecimal output" left ticked after "Save data as text" was
// unticked has no effect: the file holds the samples in binary.
TEST_F(SaveBrdDataTest, HexadecimalWithoutTextSavesBinary)
{
    CMainDoc& doc = NewDoc();
    ASSERT_EQ(TQ8Sim_SetCountingPattern(kSerial, 1), TQ8_OK);
    ASSERT_EQ(AcquireToBoardRamTQ8(doc.GetDeviceHandle(), 0, 4096, 0, 0), TQ8_OK);
    doc.GetSaveBrdDataCtx().DestFileOpts.Template.Fwp_flags = TQ8_FWP_FLAG_DEFAULT | TQ8_FWP_HEX;
    CountingSaveDlg dlg(nullptr, doc);
    Setup(dlg, 4096, "hex.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_TRUE(Texts(boxes).empty());
    EXPECT_EQ(std::filesystem::file_size(vlt::WideToUtf8(File("hex.rd8"))), 4096u);
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    ASSERT_EQ(GetRecordedDataInfoWTQ8(File("hex.rd8").c_str(), &info, nullptr), TQ8_OK);
    EXPECT_EQ(info.bytesPerSample, 1u);
}

TEST_F(SaveBrdDataTest, CloseWhileLibraryHoldsWaitsWithoutKilling)
{
    CMainDoc& doc = NewDoc();
    CountingSaveDlg dlg(nullptr, doc);
    HoldReleaser releaser;
    ASSERT_EQ(TQ8Sim_HoldFileWriteCallbacks(1), TQ8_OK);
    Setup(dlg, 4096, "s.rd8");
    dlg.show();
    Find<QPushButton>(dlg, "save")->click();
    ASSERT_TRUE(PumpUntil([] { return TQ8Sim_HeldFileWriteCalls() == 1; }));
    boxes.QueueAnswer(IDNO);
    Find<QPushButton>(dlg, "close")->click();
    EXPECT_TRUE(dlg.isVisible());
    boxes.QueueAnswer(IDYES);
    Find<QPushButton>(dlg, "close")->click();
    EXPECT_EQ(Texts(boxes), (std::vector<std::wstring>(2, L"Cancel save operation?")));
    // Well past a second: the UI thread runs its timers, the dialog neither
    // blocks on the worker nor gives up on it.
    bool fired = false;
    QTimer::singleShot(1100, [&] { fired = true; });
    ASSERT_TRUE(PumpUntil([&] { return fired; }));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(dlg.IsSaving());
    EXPECT_EQ(TQ8Sim_HeldFileWriteCalls(), 1u);
    EXPECT_FALSE(Find<QPushButton>(dlg, "save")->isEnabled());
    ASSERT_EQ(TQ8Sim_HoldFileWriteCallbacks(0), TQ8_OK);
    ASSERT_TRUE(PumpUntil([&] { return !dlg.isVisible(); }));
    EXPECT_FALSE(dlg.IsSaving());
    EXPECT_EQ(Texts(boxes).size(), 2u); // a cancelled save reports nothing
    // The library ran to its end: the piece written before the cancel is in the file.
    EXPECT_EQ(QFile(dir.path() + "/s.rd8").size(), 4096);
}

TEST_F(SaveBrdDataTest, CancelInTheMiddleOfARealSave)
{
    CMainDoc& doc = NewDoc();
    CountingSaveDlg dlg(nullptr, doc);
    dlg.show();
    Setup(dlg, 16u << 20, "m.rd8");
    boxes.QueueAnswer(IDYES);
    Find<QPushButton>(dlg, "save")->click();
    ASSERT_TRUE(PumpUntil([&] { return Find<QProgressBar>(dlg, "progress")->value() > 0 || !dlg.IsSaving(); }));
    dlg.close();
    ASSERT_TRUE(PumpUntil([&] { return !dlg.isVisible(); }));
    EXPECT_FALSE(dlg.IsSaving());
}

// The list offers only the counts that the board's memory holds.
TEST_F(SaveBrdDataTest, SampleCountListOffersWhatTheBoardHolds)
{
    TQ8SIM_BOARD_DESC desc;
    TQ8Sim_DefaultBoardDesc(&desc, 4242);
    desc.ramSize = 1u << 30;
    ASSERT_EQ(TQ8Sim_AddLocalBoard(&desc), TQ8_OK);
    const TQ8_HANDLE h = devices->ConnectLocalDevice(4242);
    ASSERT_NE(h, nullptr);
    docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), h, docstate::kLimitPlotData));
    CountingSaveDlg dlg(nullptr, *docs.back());
    auto* count = Find<QComboBox>(dlg, "count");
    ASSERT_GT(count->count(), 0);
    EXPECT_EQ(count->itemData(count->count() - 1).toULongLong(), 1u << 30);
}

// A named pipe as destination is refused at once, with the reason: the
// dialog never waits for a reader of the pipe and closes as always.
TEST_F(SaveBrdDataTest, ANamedPipeAsDestinationIsRefusedAtOnce)
{
    badfiles::HangGuard guard; // a save blocked on the pipe ends the test program
    CMainDoc& doc = NewDoc();
    CountingSaveDlg dlg(nullptr, doc);
    dlg.show();
    const std::wstring pipe = File("pipe.rd8");
    ASSERT_EQ(::mkfifo(vlt::WideToUtf8(pipe).c_str(), 0600), 0);
    Setup(dlg, 4096, "pipe.rd8");
    Find<QPushButton>(dlg, "save")->click();
    EXPECT_FALSE(dlg.IsSaving());
    EXPECT_EQ(Texts(boxes), std::vector<std::wstring>{ErrorBoxNamePrefix(doc.GetDeviceHandle())
                                                      + L"Save operation failed: Cannot write '" + pipe
                                                      + L"': not a regular file"});
    EXPECT_TRUE(Find<QPushButton>(dlg, "save")->isEnabled());
    Find<QPushButton>(dlg, "close")->click();
    EXPECT_FALSE(dlg.isVisible());
}

// A file that cannot be written: the library's text and the system's reason.
TEST_F(SaveBrdDataTest, AFailedWriteSaysTheSystemsReason)
{
    CMainDoc& doc = NewDoc();
    std::wstring failed;
    FormatDeviceErrorText(failed, TQ8_ERR_FILE_WRITE, L"Save operation failed: ", doc.GetDeviceHandle());
    CountingSaveDlg dlg(nullptr, doc);
    Setup(dlg, 4096, "missing/m.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_EQ(Texts(boxes), std::vector<std::wstring>{failed + L"\n\nNo such file or directory"});

    // A full disk, on the fast path: no part of the file is left.
    const std::string folder = vlt::WideToUtf8(File("full"));
    std::filesystem::create_directories(folder);
    const auto outcome = fulldisk::Run(folder, 1 << 20, 0, [&](const std::string& inside) {
        CountingSaveDlg full(nullptr, doc);
        Find<QComboBox>(full, "count")->setEditText(QStringLiteral("4194304"));
        Find<CVltEditBrowseCtrl>(full, "dest")->SetText(vlt::Utf8ToWide(inside + "/full.rd8"));
        if (!Save(full))
            return std::string("still saving");
        std::string left;
        for (const auto& entry : std::filesystem::directory_iterator(inside))
            if (entry.path().filename() != "filler")
                left += " " + entry.path().filename().string();
        return vlt::WideToUtf8(boxes.LastText()) + "|" + left;
    });
    if (!outcome)
        GTEST_SKIP() << "no full file system can be mounted here";
    EXPECT_EQ(*outcome, vlt::WideToUtf8(failed) + "\n\nNo space left on device|");
}

TEST_F(SaveBrdDataTest, WithoutSnapshotOnlyRamStaysOffered)
{
    CMainDoc& doc = NewDoc();
    doc.GetSaveBrdDataCtx().Source = CSaveBrdDataCtx::kSourceSnapshot;
    CountingSaveDlg dlg(nullptr, doc);
    EXPECT_TRUE(Find<QRadioButton>(dlg, "sourceRam")->isChecked());
    EXPECT_FALSE(Find<QRadioButton>(dlg, "sourceSnapshot")->isEnabled());
    Setup(dlg, 4096, "r.rd8");
    ASSERT_TRUE(Save(dlg));
    EXPECT_FALSE(Find<QRadioButton>(dlg, "sourceSnapshot")->isEnabled());
    EXPECT_TRUE(Find<QLineEdit>(dlg, "start")->isEnabled());
}

TEST_F(SaveBrdDataTest, ScopeDataKeepsStartBeyondRamAndBeepsWithoutPlot)
{
    CMainDoc& doc = NewDoc();
    int beeps = 0;
    auto old = vlt::SetErrorBeepHandler([&] { ++beeps; });
    CountingSaveDlg dlg(nullptr, doc);
    Find<QPushButton>(dlg, "scopeData")->click();
    EXPECT_EQ(beeps, 1);
    uint32_t ram = 0;
    ASSERT_EQ(GetSampleRamSizeTQ8(doc.GetDeviceHandle(), &ram), TQ8_OK);
    Find<QLineEdit>(dlg, "start")->setText(QStringLiteral("7"));
    dlg.plot = true;
    dlg.plotStart = ram;
    dlg.plotWidth = 32768;
    Find<QPushButton>(dlg, "scopeData")->click();
    EXPECT_EQ(Find<QLineEdit>(dlg, "start")->text(), QStringLiteral("7"));
    EXPECT_EQ(Find<QComboBox>(dlg, "count")->currentText(), QStringLiteral("32,768"));
    dlg.plotStart = ram - 1;
    Find<QPushButton>(dlg, "scopeData")->click();
    EXPECT_EQ(Find<QLineEdit>(dlg, "start")->text(), QString::number(ram - 1));
    Find<QPushButton>(dlg, "allRam")->click();
    EXPECT_EQ(Find<QLineEdit>(dlg, "start")->text(), QStringLiteral("0"));
    vlt::SetErrorBeepHandler(old);
}

namespace {

class SaveScopeDataTest : public scope_test::ScopeTest {};

} // namespace

TEST_F(SaveScopeDataTest, ScopeDataReadsTheBoardWindowsPlot)
{
    form_test::FormDoc& doc = NewDoc();
    Build(doc);
    IScopeTQ8* plot = Control();
    ASSERT_NE(plot, nullptr);
    ASSERT_EQ(doc.GetScopeFormView()->GetScopeControl(), plot);
    // A plotted file longer than the board's memory lets the plot start beyond it.
    uint32_t serial = 0;
    ASSERT_EQ(GetSerialNumberTQ8(doc.GetDeviceHandle(), &serial), TQ8_OK);
    ASSERT_EQ(TQ8Sim_ReportRamSize(serial, 4096), TQ8_OK);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("long.rd8"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(16384, '\x60'));
    file.close();
    panel->AddFileSource(path.toStdWString());
    ASSERT_EQ(plot->put_PageWidth(2048), S_OK);
    ASSERT_EQ(plot->put_StartSample(8192), S_OK);

    CSaveBrdDataDlg dlg(nullptr, doc);
    auto* start = Find<QLineEdit>(dlg, "start");
    start->setText(QStringLiteral("7"));
    Find<QPushButton>(dlg, "scopeData")->click();
    EXPECT_EQ(start->text(), QStringLiteral("7"));
    EXPECT_EQ(Find<QComboBox>(dlg, "count")->currentText(), QStringLiteral("2,048"));
    ASSERT_EQ(plot->put_StartSample(4095), S_OK);
    ASSERT_EQ(plot->put_PageWidth(1000), S_OK);
    Find<QPushButton>(dlg, "scopeData")->click();
    EXPECT_EQ(start->text(), QStringLiteral("4095"));
    EXPECT_EQ(Find<QComboBox>(dlg, "count")->currentText(), QStringLiteral("1,000"));
    EXPECT_EQ(beeps, 0);
    EXPECT_EQ(boxes.Count(), 0u);
}

// A remote board saves on its server: a path that is none there is refused
// with the path and an example of one.
TEST_F(SaveBrdDataTest, ARemoteBoardNeedsAPathOnItsServer)
{
    RemoteTestHost server(dir.path().toStdString());
    ASSERT_TRUE(server.Started());
    TQ8_HANDLE remote = devices->ConnectRemoteDevice(L"127.0.0.1", server.Port(), 4711, true, true);
    ASSERT_NE(remote, nullptr);
    docs.push_back(std::make_unique<CMainDoc>(nullptr, devices.get(), remote, docstate::kLimitPlotData));
    CountingSaveDlg dlg(nullptr, *docs.back());
    Find<QComboBox>(dlg, "count")->setEditText(QStringLiteral("4096"));
    Find<CVltEditBrowseCtrl>(dlg, "dest")->SetText(L"relative.rd8");
    ASSERT_TRUE(Save(dlg));
    ASSERT_EQ(Texts(boxes).size(), 1u);
    const std::wstring text = Texts(boxes)[0];
    EXPECT_NE(text.find(L"Save operation failed: "), std::wstring::npos) << vlt::WideToUtf8(text);
    EXPECT_NE(text.find(L"\"relative.rd8\" is not a path on the board's server"), std::wstring::npos)
        << vlt::WideToUtf8(text);
    EXPECT_NE(text.find(L"such as C:\\recs\\file.rd8."), std::wstring::npos) << vlt::WideToUtf8(text);
    docs.pop_back();
    devices->ReleaseDevice(remote);
}
