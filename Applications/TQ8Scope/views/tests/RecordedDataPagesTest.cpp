#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QLayout>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

#include "CPlotSrcFormatPP.h"
#include "CRecDataCtxAdvPP.h"
#include "CRecDataCtxStdPP.h"
#include "CVltPropertySheet.h"
#include "FileDialog.h"
#include "MainFrameSheets.h"
#include "Mnemonic.h"
#include "RecordedDataTexts.h"
#include "ScopeTestSupport.h"
#include "SystemErrorText.h"
#include "TextConv.h"
#include "TitleFit.h"

namespace {

using form_test::FormDoc;

class RecordedDataPagesTest : public scope_test::ScopeTest {
protected:
    void SetUp() override
    {
        ScopeTest::SetUp();
        const char* base = std::getenv("VLT_TEST_TMP");
        m_dir = std::filesystem::path(base ? base : "/tmp") / ("recdata_pages_" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override
    {
        ScopeTest::TearDown();
        std::filesystem::remove_all(m_dir);
    }
    // A finished recording of the board with a header and notes.
    std::wstring Record(TQ8_HANDLE device, const std::string& name = "rec.rd8")
    {
        std::filesystem::create_directories((m_dir / name).parent_path());
        const std::string path = (m_dir / name).string();
        TQ8_FILE_WRITE_PARAMS fw{};
        fw.Fwp_ss = sizeof fw;
        fw.Fwp_flags = TQ8_FWP_FLAG_DEFAULT;
        fw.Fwp_path1 = path.c_str();
        fw.Fwp_opNotes = "Probe 3";
        fw.Fwp_hdrskp = 256;
        TQ8_REC_SESSION_PARAMS rp{};
        rp.Rsp_ss = sizeof rp;
        rp.Rsp_flags = TQ8_RSP_FLAGS_TO_HOST;
        rp.Rsp_acqSamples = 65536;
        rp.Rsp_samplesToRecord = 20000;
        rp.Rsp_fileWrite = &fw;
        TQ8_REC_SESSION session = nullptr;
        EXPECT_EQ(CreateRecordingSessionTQ8(device, &rp, &session), TQ8_OK);
        EXPECT_EQ(ArmRecordingSessionTQ8(session), TQ8_OK);
        // Only a guard against a hang.
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            TQ8_REC_SESSION_PROGRESS p{};
            p.Rpr_ss = sizeof p;
            EXPECT_EQ(GetRecordingSessionProgressTQ8(session, &p, 0), TQ8_OK);
            FreeMemoryTQ8(p.Rpr_errorText);
            if (p.Rpr_status != TQ8_REC_STATUS_RUNNING || std::chrono::steady_clock::now() > end)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        EXPECT_EQ(DeleteRecordingSessionTQ8(session), TQ8_OK);
        return vlt::Utf8ToWide(path);
    }
    static uint64_t Size(const std::wstring& path) { return std::filesystem::file_size(vlt::WideToUtf8(path)); }

    std::filesystem::path m_dir;
};

// Re-adding in the chosen format fails once.
class FailingFormatPage : public CPlotSrcFormatPP {
protected:
    bool AddFile(const std::wstring& path, VARTYPE type, uint32_t channels, std::wstring* reason) override
    {
        if (failures-- > 0) {
            if (reason)
                *reason = L"Refused by the test";
            return false;
        }
        return CPlotSrcFormatPP::AddFile(path, type, channels, reason);
    }

public:
    int failures = 1;
};

TEST_F(RecordedDataPagesTest, GeneralAndAdvancedDescribeARecording)
{
    FormDoc& doc = NewDoc();
    const std::wstring path = Record(doc.GetDeviceHandle());
    CRecDataCtxStdPP general;
    ASSERT_TRUE(general.LoadFromFile(path));
    general.Activate();
    EXPECT_EQ(general.GetDataLength(), Size(path) - 256);
    EXPECT_EQ(general.Value("headerBytes"), QStringLiteral("256"));
    EXPECT_TRUE(general.Value("dataLength").startsWith(QString::number(Size(path) - 256) + QStringLiteral(" samples")));
    EXPECT_TRUE(general.Value("board").endsWith(QStringLiteral(" (SN:%1)").arg(general.GetInfo().serialNumber)));
    EXPECT_EQ(general.Value("rate"), QString::fromStdWString(FormatRecordedRate(general.GetInfo().samplingRateMHz)));
    EXPECT_EQ(general.findChild<QPlainTextEdit*>()->toPlainText(), QStringLiteral("Probe 3"));

    CRecDataCtxAdvPP advanced;
    ASSERT_TRUE(advanced.OpenContextFile(path));
    advanced.Activate();
    QTreeWidget* list = advanced.ElementList();
    ASSERT_GT(list->topLevelItemCount(), 3);
    TQ8_VRDC_HANDLE vrdc = nullptr;
    ASSERT_EQ(OpenVrdcFileWTQ8(nullptr, &vrdc, path.c_str(), 10), 0);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const std::wstring name = list->topLevelItem(i)->text(0).toStdWString();
        wchar_t* value = nullptr;
        ASSERT_EQ(GetVrdcItemWTQ8(vrdc, name.c_str(), &value), 0) << vlt::WideToUtf8(name);
        EXPECT_EQ(list->topLevelItem(i)->text(1).toStdWString(), value ? std::wstring(value) : std::wstring());
        FreeMemoryTQ8(value);
    }
    CloseVrdcFileTQ8(vrdc);
    EXPECT_FALSE(advanced.OpenContextFile(path + L".missing"));
    EXPECT_TRUE(advanced.IsOpen());
}

// A path is shown as it is: its '&' is no mnemonic.
TEST_F(RecordedDataPagesTest, PagesShowTheSourcePathAsItIs)
{
    vlt::InstallMnemonicRule();
    const std::wstring path = Record(NewDoc().GetDeviceHandle(), "R&D/rec.rd8");
    CRecDataCtxStdPP general;
    ASSERT_TRUE(general.LoadFromFile(path));
    general.Activate();
    CRecDataCtxAdvPP advanced;
    ASSERT_TRUE(advanced.OpenContextFile(path));
    advanced.Activate();
    for (QWidget* page : std::initializer_list<QWidget*>{&general, &advanced}) {
        page->show();
        QCoreApplication::processEvents();
        auto* source = page->findChild<QLabel*>(QStringLiteral("sourceFile"));
        ASSERT_NE(source, nullptr);
        EXPECT_EQ(source->text(), QString::fromStdWString(path));
        EXPECT_EQ(source->buddy(), nullptr);
    }
}

TEST_F(RecordedDataPagesTest, GeneralShowsHowLongAFourChannelRecordingLasted)
{
    // 4,194,304 samples of four channels at 1.5 GHz: 1,048,576 frames.
    const std::filesystem::path data = m_dir / "four.rd8";
    {
        std::ofstream out(data.string() + ".vrdc");
        out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<VltRecordedDataContext version=\"1\">\n"
               "  <BoardName>TQ3300-4</BoardName>\n  <ChannelCount>4</ChannelCount>\n"
               "  <ChannelNumber>4294967295</ChannelNumber>\n  <BytesPerSample>1</BytesPerSample>\n"
               "  <BitsPerSample>8</BitsPerSample>\n  <SamplingRateMHz>1500</SamplingRateMHz>\n"
               "  <HeaderBytes>0</HeaderBytes>\n</VltRecordedDataContext>\n";
    }
    { std::ofstream touch(data); }
    std::filesystem::resize_file(data, 4194304);
    CRecDataCtxStdPP general;
    ASSERT_TRUE(general.LoadFromFile(vlt::Utf8ToWide(data.string())));
    general.Activate();
    EXPECT_EQ(general.Value("channelCount"), QStringLiteral("4"));
    EXPECT_EQ(general.Value("dataLength").toStdWString(), L"4194304 samples (4.00 MiS), 699.051 \u03BCs");
}

TEST_F(RecordedDataPagesTest, HeaderLargerThanTheFileGivesNoDataLength)
{
    FormDoc& doc = NewDoc();
    const std::wstring path = Record(doc.GetDeviceHandle());
    std::filesystem::resize_file(vlt::WideToUtf8(path), 100);
    CRecDataCtxStdPP general;
    ASSERT_TRUE(general.LoadFromFile(path));
    general.Activate();
    EXPECT_EQ(general.GetDataLength(), 0u);
    EXPECT_EQ(general.Value("dataLength"), QStringLiteral("<Unknown>"));
}

TEST_F(RecordedDataPagesTest, BoardMemoryRecordWithUnterminatedName)
{
    TQ8_RECORDED_DATA_INFO info{};
    info.size = sizeof info;
    std::memset(info.boardName, 'A', sizeof info.boardName);
    info.channelNumber = 0xFFFFFFFF;
    info.channelCount = 4;
    info.bytesPerSample = 2;
    info.bitsPerSample = 12;
    CRecDataCtxStdPP general;
    ASSERT_TRUE(general.SetRecordedDataInfo(info));
    general.Activate();
    EXPECT_EQ(general.findChild<QLabel*>(QStringLiteral("sourceFileLabel"))->text(), QStringLiteral("Source: "));
    EXPECT_EQ(general.Value("sourceFile"), QStringLiteral("Board RAM or data snapshot"));
    EXPECT_TRUE(general.findChild<QLabel*>(QStringLiteral("dataLength"))->isHidden());
    EXPECT_EQ(general.Value("board"), QString(16, QLatin1Char('A')));
    EXPECT_EQ(general.Value("channel"), QStringLiteral("Multi-channel"));
    EXPECT_EQ(general.Value("sampleSize"), QStringLiteral("2 bytes (12 bits)"));
    EXPECT_EQ(general.Value("segment"), QStringLiteral("Non-segmented"));
    EXPECT_EQ(general.Value("sampleFormat"), QStringLiteral("Unsigned"));
    EXPECT_EQ(general.Value("rate"), QStringLiteral("<Unspecified>"));
}

TEST_F(RecordedDataPagesTest, DisplayFormatReplotsTheFileAndKeepsItWhenThatFails)
{
    FormDoc& doc = NewDoc();
    const std::wstring path = Record(doc.GetDeviceHandle());
    Build(doc);
    ASSERT_TRUE(panel->AddFileSource(path, CFormView_Scope::kAutomaticType, 0));
    auto fileSource = [&]() -> std::pair<uint32_t, const CFormView_Scope::CPlotSrcState*> {
        for (const auto& [id, state] : panel->Sources())
            if (state.type == CFormView_Scope::kFileSource)
                return {id, &state};
        return {CFormView_Scope::kNoSource, nullptr};
    };
    auto [id, state] = fileSource();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetSampleVarType(), VT_UI1);

    FailingFormatPage page;
    ASSERT_TRUE(page.AttachSource(panel, id));
    EXPECT_EQ(page.SampleFormatCombo()->currentIndex(), 0);
    page.SampleSizeCombo()->setCurrentIndex(1);
    page.SampleFormatCombo()->setCurrentIndex(1);
    page.ChannelCountCombo()->setCurrentIndex(3);
    EXPECT_FALSE(page.OnApply());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(path), std::wstring::npos);
    std::tie(id, state) = fileSource();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetSampleVarType(), VT_UI1);
    EXPECT_EQ(panel->Sources().size(), 1u);

    EXPECT_TRUE(page.OnApply());
    std::tie(id, state) = fileSource();
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetSampleVarType(), VT_I2);
    EXPECT_EQ(state->GetChannelCount(), 4u);
    EXPECT_EQ(panel->Sources().size(), 1u);
}

// What the panel plots of a file, found by its path.
const CFormView_Scope::CPlotSrcState* PlottedFile(CFormView_Scope* panel, const std::wstring& path, uint32_t* id)
{
    for (const auto& [srcId, state] : panel->Sources())
        if (state.type == CFormView_Scope::kFileSource && state.path == path) {
            *id = srcId;
            return &state;
        }
    return nullptr;
}

// A file without context data has only its format page: the sheet is as
// wide as its title, not only as its page.
TEST_F(RecordedDataPagesTest, SheetWithOnlyTheFormatPageShowsItsWholeTitle)
{
    FormDoc& doc = NewDoc();
    Build(doc);
    const std::filesystem::path file = m_dir / "bare.rd8";
    std::ofstream(file, std::ios::binary) << std::string(4096, 'x');
    const std::wstring path = vlt::Utf8ToWide(file.string());
    ASSERT_TRUE(panel->AddFileSource(path, CFormView_Scope::kAutomaticType, 0));
    uint32_t id = 0;
    ASSERT_NE(PlottedFile(panel, path, &id), nullptr);
    CVltPropertySheet sheet(QString::fromWCharArray(kRecordedDataDetailsTitle), nullptr, 0);
    sheet.HideApplyButton();
    auto* format = new CPlotSrcFormatPP;
    ASSERT_TRUE(format->AttachSource(panel, id));
    sheet.AddPage(format, format->GetCaption());
    sheet.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(sheet.Tabs()->count(), 1);
    EXPECT_GE(sheet.width(), vlt::TitleBarWidth(sheet.windowTitle()));
    EXPECT_GE(sheet.width(), sheet.layout()->minimumSize().width());
}

// A format the file holds no whole frame of, or a file that can no longer be
// read, is refused with the reason before the plotted file is touched; a
// re-add that fails anyway puts the file back, or says that it could not.
TEST_F(RecordedDataPagesTest, DisplayFormatTheFileCannotBeShownInIsRefusedWithTheReason)
{
    FormDoc& doc = NewDoc();
    Build(doc);
    const std::filesystem::path file = m_dir / "six.rd8";
    std::ofstream(file, std::ios::binary) << "abcdef";
    const std::wstring path = vlt::Utf8ToWide(file.string());
    ASSERT_TRUE(panel->AddFileSource(path, CFormView_Scope::kAutomaticType, 0));
    const std::wstring headline = L"Failed to plot the data file " + path + L" in the chosen format.\n\n";
    uint32_t id = 0;

    CPlotSrcFormatPP page;
    ASSERT_NE(PlottedFile(panel, path, &id), nullptr);
    ASSERT_TRUE(page.AttachSource(panel, id));
    page.SampleSizeCombo()->setCurrentIndex(1);
    page.ChannelCountCombo()->setCurrentIndex(3);
    EXPECT_FALSE(page.OnApply());
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(),
              headline + L"The file's 6 bytes of samples do not make up one frame of 4 channels of 16-bit samples "
                         L"(8 bytes).");
    const CFormView_Scope::CPlotSrcState* state = PlottedFile(panel, path, &id);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->GetSampleVarType(), VT_UI1);
    EXPECT_EQ(state->GetChannelCount(), 1u);
    EXPECT_EQ(panel->GetSourceList()->topLevelItemCount(), 1);

    std::filesystem::remove(file);
    page.ChannelCountCombo()->setCurrentIndex(1);
    EXPECT_FALSE(page.OnApply());
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText().rfind(headline, 0), 0u);
    EXPECT_NE(boxes.LastText().find(vlt::Utf8ToWide(vlt::SystemErrorText(ENOENT))), std::wstring::npos);
    EXPECT_NE(PlottedFile(panel, path, &id), nullptr);

    std::ofstream(file, std::ios::binary) << "abcdef";
    FailingFormatPage failing;
    failing.failures = 2; // the chosen format, then the previous one
    ASSERT_NE(PlottedFile(panel, path, &id), nullptr);
    ASSERT_TRUE(failing.AttachSource(panel, id));
    failing.ChannelCountCombo()->setCurrentIndex(1);
    EXPECT_FALSE(failing.OnApply());
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(boxes.LastText(), headline + L"Refused by the test\n\nThe file could not be plotted again as it was "
                                           L"either and has left the plot.");
    EXPECT_EQ(PlottedFile(panel, path, &id), nullptr);
}

// "Recorded Data Details...": a context file that is there but damaged is
// not reported as missing; the box gives the parser's reason.
TEST_F(RecordedDataPagesTest, DetailsOfADataFileWithADamagedContextSayItIsDamagedAndWhy)
{
    const std::filesystem::path data = m_dir / "run.rd8";
    std::ofstream(data, std::ios::binary) << "raw";
    const std::wstring path = vlt::Utf8ToWide(data.string());
    auto dialog = vlt::SetFileDialogHandler(
        [&](const vlt::FileDialogRequest&) { return std::optional<std::wstring>(path); });
    auto showDetails = [] {
        QTimer::singleShot(0, [] {
            if (QWidget* sheet = QApplication::activeModalWidget())
                sheet->close();
        });
        ShowRecordedDataDetails(nullptr);
    };
    showDetails();
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText().rfind(L"Context data could not be found for the selected acquisition", 0), 0u);

    std::ofstream(data.string() + ".vrdc") << "<VltRecordedDataContext>\n  <ChannelCount>2</Chan";
    showDetails();
    vlt::SetFileDialogHandler(dialog);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_EQ(boxes.LastText().rfind(L"The context data file of the selected acquisition or playback data file is "
                                     L"damaged and could not be read:\n\n'"
                                     + path + L".vrdc' is not well-formed XML (line 2: ",
                                     0),
              0u)
        << vlt::WideToUtf8(boxes.LastText());

    // A context file that is there but cannot be read is not "not found".
    std::filesystem::remove(data.string() + ".vrdc");
    std::filesystem::create_directory(data.string() + ".vrdc");
    vlt::SetFileDialogHandler([&](const vlt::FileDialogRequest&) { return std::optional<std::wstring>(path); });
    showDetails();
    vlt::SetFileDialogHandler(dialog);
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(boxes.LastText(), L"The context data file of the selected acquisition or playback data file is not "
                                L"readable:\n\nCannot read '"
                                    + path + L".vrdc': not a regular file");
    std::filesystem::remove(data.string() + ".vrdc");
}

} // namespace
