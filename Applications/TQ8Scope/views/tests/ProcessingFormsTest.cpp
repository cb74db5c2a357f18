#include <algorithm>
#include <fstream>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CForm_FLPC2_Dec.h"
#include "CForm_FLPC4_FFT.h"
#include "CForm_FLPC5_FIR1.h"
#include "CForm_FLPC6_FIR2.h"
#include "CForm_FPGAProc.h"
#include "CVltEditBrowseCtrl.h"
#include "FormTestSupport.h"

namespace {

using form_test::FormDoc;

class ProcessingFormsTest : public form_test::FormTest {
protected:
    template <class Form>
    Form& Extra(FormDoc& doc)
    {
        auto* form = new Form(doc, window.get());
        form->OnInitialUpdate();
        return *form;
    }
    std::wstring WriteFile(const std::string& name, const std::string& text)
    {
        const auto path = std::filesystem::temp_directory_path() / ("proc_" + std::to_string(getpid()) + name);
        std::ofstream(path) << text;
        m_files.push_back(path);
        return path.wstring();
    }
    static std::string Values(int count, const char* value)
    {
        std::string text;
        for (int i = 0; i < count; ++i)
            text += std::string(value) + "\n";
        return text;
    }
    static uint32_t Serial(const FormDoc& doc)
    {
        uint32_t serial = 0;
        EXPECT_EQ(GetSerialNumberTQ8(doc.GetDeviceHandle(), &serial), 0);
        return serial;
    }
    // The coefficients of a FIR bank (0: FIR1, 1 and 2: the two channels of FIR2) as the board has them.
    static std::vector<int16_t> BoardTaps(const FormDoc& doc, int bank)
    {
        std::vector<int16_t> taps(bank == 0 ? 129 : 65, 1);
        EXPECT_EQ(TQ8Sim_GetFirCoefficients(Serial(doc), bank, taps.data(), uint32_t(taps.size())), 0);
        return taps;
    }
    static std::vector<uint16_t> BoardParams(const FormDoc& doc, uint32_t count)
    {
        std::vector<uint16_t> params(count, 1);
        EXPECT_EQ(TQ8Sim_GetProcessingParams(Serial(doc), 0, params.data(), count), 0);
        return params;
    }
    static void SetPath(CSettingFormView& form, int id, const std::wstring& path)
    {
        form.ItemAs<CVltEditBrowseCtrl>(id)->SetText(path);
    }
    void TearDown() override
    {
        for (const auto& path : m_files)
            std::filesystem::remove(path);
        FormTest::TearDown();
    }

private:
    std::vector<std::filesystem::path> m_files;
};

TEST_F(ProcessingFormsTest, ShortCoefficientFileIsPaddedAndSaysSo)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC5_FIR1>(doc);
    auto* upload = form.ItemAs<QPushButton>(CForm_FLPC5_FIR1::kUploadId);
    EXPECT_FALSE(upload->isEnabled());
    SetPath(form, CForm_FLPC5_FIR1::kFileId, WriteFile("ten.txt", "1.0 -1.0 -2.0 0.5 0.25\n" + Values(5, "0.5")));
    EXPECT_TRUE(upload->isEnabled());
    upload->click();
    EXPECT_EQ(doc.LastText(), L"Uploaded 129 filter coefficients (10 coefficients from file + zero padding)");
    std::vector<int16_t> sent(129, 0);
    const int16_t head[10] = {32767, -32768, -32768, 16384, 8192, 16384, 16384, 16384, 16384, 16384};
    std::copy(std::begin(head), std::end(head), sent.begin());
    EXPECT_EQ(BoardTaps(doc, 0), sent);
    SetPath(form, CForm_FLPC5_FIR1::kFileId, WriteFile("many.txt", Values(200, "0.5")));
    upload->click();
    EXPECT_EQ(doc.LastText(), L"Uploaded 129 filter coefficients");
    EXPECT_FALSE(doc.IsModified());
}

TEST_F(ProcessingFormsTest, TwoChannelFilterUploadsEachChannel)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC6_FIR2>(doc);
    SetPath(form, CForm_FLPC6_FIR2::kFile2Id, WriteFile("ch2.txt", Values(65, "1")));
    EXPECT_FALSE(form.ItemAs<QPushButton>(CForm_FLPC6_FIR2::kUpload1Id)->isEnabled());
    form.ItemAs<QPushButton>(CForm_FLPC6_FIR2::kUpload2Id)->click();
    EXPECT_EQ(doc.LastText(), L"Uploaded 65 Ch. 2 filter coefficients");
    EXPECT_EQ(BoardTaps(doc, 2), std::vector<int16_t>(65, 32767)); // 1.0
    form.ItemAs<QCheckBox>(CForm_FLPC6_FIR2::kFormatBoxId)->click();
    SetPath(form, CForm_FLPC6_FIR2::kFile2Id, WriteFile("native.txt", "70000 -70000 -5"));
    form.ItemAs<QPushButton>(CForm_FLPC6_FIR2::kUpload2Id)->click();
    std::vector<int16_t> native(65, 0);
    native[0] = 32767;
    native[1] = -32768;
    native[2] = -5;
    EXPECT_EQ(BoardTaps(doc, 2), native);
    EXPECT_EQ(BoardTaps(doc, 1), std::vector<int16_t>(65, 0));
    TQ8Sim_InjectResult("FLPC6_LoadCoefficientsCh2TQ8", -5, 1);
    form.ItemAs<QPushButton>(CForm_FLPC6_FIR2::kUpload2Id)->click();
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(-5, L"Failed to upload Ch. 2 filter coefficients: ", doc.GetDeviceHandle()));
}

TEST_F(ProcessingFormsTest, EmptyPathOnlyBeeps)
{
    auto& form = NewForm<CForm_FLPC5_FIR1>(NewDoc());
    SetPath(form, CForm_FLPC5_FIR1::kFileId, L"   ");
    form.ItemAs<QPushButton>(CForm_FLPC5_FIR1::kUploadId)->click();
    EXPECT_EQ(beeps, 1);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(ProcessingFormsTest, ValuesAreClampedToSixteenBits)
{
    const std::wstring fractions = WriteFile("frac.txt", "1.0 -1.0 -2.0 0.5");
    std::vector<int16_t> params;
    ASSERT_TRUE(CProcessingForm::ReadParams(fractions, 0, false, params));
    EXPECT_EQ(params, (std::vector<int16_t>{32767, -32768, -32768, 16384}));
    const std::wstring native = WriteFile("native.txt", "70000 -70000 -5 32767");
    ASSERT_TRUE(CProcessingForm::ReadParams(native, 0, true, params));
    EXPECT_EQ(params, (std::vector<int16_t>{32767, -32768, -5, 32767}));
}

TEST_F(ProcessingFormsTest, FormatTextFollowsTheNativeBox)
{
    auto& form = NewForm<CForm_FLPC5_FIR1>(NewDoc());
    auto* text = form.ItemAs<QLabel>(CForm_FLPC5_FIR1::kFormatTextId);
    EXPECT_EQ(text->text(), QStringLiteral("Element format: Floating-point, normalized data [-1,1]"));
    form.ItemAs<QCheckBox>(CForm_FLPC5_FIR1::kFormatBoxId)->click();
    EXPECT_EQ(text->text(), QStringLiteral("Element format: Signed 16-bit value: [-1,1)"));
}

TEST_F(ProcessingFormsTest, FftSizesComeFromTheLimitsOrTheFallback)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC4_FFT>(doc);
    auto* sizes = form.ItemAs<QComboBox>(CForm_FLPC4_FFT::kSizeId);
    uint32_t minSize = 0;
    uint32_t maxSize = 0;
    ASSERT_EQ(FLPC4_GetFftSizeLimitsTQ8(doc.GetDeviceHandle(), &minSize, &maxSize), 0);
    ASSERT_GT(sizes->count(), 1);
    EXPECT_EQ(sizes->itemData(0).toUInt(), minSize);
    EXPECT_EQ(sizes->itemData(sizes->count() - 1).toUInt(), maxSize);
    EXPECT_EQ(sizes->currentIndex(), -1);
    TQ8Sim_InjectResult("FLPC4_GetFftSizeLimitsTQ8", -5, 1);
    auto& fallback = Extra<CForm_FLPC4_FFT>(doc);
    auto* fallbackSizes = fallback.ItemAs<QComboBox>(CForm_FLPC4_FFT::kSizeId);
    ASSERT_EQ(fallbackSizes->count(), 2);
    EXPECT_EQ(fallbackSizes->itemText(0), QStringLiteral("1024"));
    EXPECT_EQ(fallbackSizes->itemText(1), QStringLiteral("2048"));
    EXPECT_EQ(CForm_FLPC4_FFT::WindowLimit(1u << 20), 65536u);
    EXPECT_EQ(CForm_FLPC4_FFT::WindowLimit(4096), 4096u);
}

TEST_F(ProcessingFormsTest, WindowUploadStopsAtTheFirstFailure)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC4_FFT>(doc);
    SetPath(form, CForm_FLPC4_FFT::kWindowFileId, WriteFile("win.txt", Values(300, "0.25")));
    form.ItemAs<QPushButton>(CForm_FLPC4_FFT::kWindowUploadId)->click();
    EXPECT_EQ(doc.texts.at(doc.texts.size() - 2), L"Uploading window data (300 points)...");
    EXPECT_EQ(doc.LastText(), L"Uploaded window data (300 points)...");
    EXPECT_EQ(BoardParams(doc, 301), [] {
        std::vector<uint16_t> params(301, 8192);
        params.back() = 0;
        return params;
    }());
    // The 101st point fails: the 100 before it are the new ones, the rest keep the old.
    SetPath(form, CForm_FLPC4_FFT::kWindowFileId, WriteFile("win2.txt", Values(300, "-0.5")));
    TQ8Sim_InjectResultAfter("SetBoardProcessingParamTQ8", 100, -5, 1);
    form.ItemAs<QPushButton>(CForm_FLPC4_FFT::kWindowUploadId)->click();
    EXPECT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(-5, L"Failed to write board processing parameter: ", doc.GetDeviceHandle()));
    EXPECT_EQ(doc.LastText(), L"Uploading window data (300 points)...");
    const std::vector<uint16_t> after = BoardParams(doc, 300);
    EXPECT_EQ(std::count(after.begin(), after.begin() + 100, uint16_t(-16384)), 100);
    EXPECT_EQ(std::count(after.begin() + 100, after.end(), 8192), 200);
}

TEST_F(ProcessingFormsTest, NoDecimationIsIndexZero)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC2_Dec>(doc);
    auto* factor = form.ItemAs<QComboBox>(CForm_FLPC2_Dec::kFactorId);
    EXPECT_EQ(factor->count(), 14);
    EXPECT_EQ(factor->itemText(13), QStringLiteral("8192"));
    Choose(factor, 0);
    EXPECT_EQ(doc.LastText(), L"Decimation factor updated");
    TQ8Sim_InjectResult("FLPC2_SetDecimationFactorTQ8", -5, 1);
    Choose(factor, 3);
    EXPECT_EQ(factor->currentIndex(), -1);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(ProcessingFormsTest, NcoIsReappliedOnClockChangeUntilItFails)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC2_Dec>(doc);
    auto* nco = form.ItemAs<QLineEdit>(CForm_FLPC2_Dec::kNcoId);
    Enter(nco, "12.5");
    Focus(form.ItemAs<QComboBox>(CForm_FLPC2_Dec::kFactorId));
    EXPECT_EQ(doc.CountTexts(L"Editing NCO frequency. Press ENTER to apply changes"), 1u);
    EXPECT_EQ(doc.LastText(), L"NCO frequency updated");
    EXPECT_EQ(form.GetLastNcoFrequency(), 12.5);
    TQ8Sim_InjectResult("FLPC2_SetNcoFrequencyTQ8", -5, 1);
    doc.UpdateAllViews(dochint::kClock);
    EXPECT_EQ(boxes.LastText(),
              form_test::BoxText(-5, L"Failed to auto-update NCO frequency: ", doc.GetDeviceHandle()));
    EXPECT_LT(form.GetLastNcoFrequency(), 0);
    TQ8Sim_InjectResult("FLPC2_SetNcoFrequencyTQ8", -5, 1);
    doc.UpdateAllViews(dochint::kClock);
    EXPECT_EQ(boxes.Count(), 1u);
    TQ8Sim_ClearInjections();
}

TEST_F(ProcessingFormsTest, NcoRefusesNonFiniteValues)
{
    FormDoc& doc = NewDoc();
    auto& form = NewForm<CForm_FLPC2_Dec>(doc);
    for (const char* text : {"nan", "inf", "", "x"}) {
        Enter(form.ItemAs<QLineEdit>(CForm_FLPC2_Dec::kNcoId), text);
        Focus(form.ItemAs<QComboBox>(CForm_FLPC2_Dec::kFactorId));
        if (*text) {
            EXPECT_EQ(boxes.LastText(), L"Please enter a valid NCO frequency") << text;
        }
    }
    EXPECT_LT(form.GetLastNcoFrequency(), 0);
}

TEST_F(ProcessingFormsTest, EnableIsMirroredOnEveryProcessingPage)
{
    FormDoc& doc = NewDoc();
    auto& fft = NewForm<CForm_FLPC4_FFT>(doc);
    auto& dec = Extra<CForm_FLPC2_Dec>(doc);
    auto& fir1 = Extra<CForm_FLPC5_FIR1>(doc);
    auto& fir2 = Extra<CForm_FLPC6_FIR2>(doc);
    auto& proc = Extra<CForm_FPGAProc>(doc);
    SetBoardProcessingEnableTQ8(doc.GetDeviceHandle(), 0);
    doc.UpdateAllViews(dochint::kBoardSettings);
    fft.EnableBox()->click();
    EXPECT_EQ(doc.LastText(), L"FFT enable updated");
    for (CProcessingForm* form : {static_cast<CProcessingForm*>(&dec), static_cast<CProcessingForm*>(&fir1),
                                  static_cast<CProcessingForm*>(&fir2)})
        EXPECT_TRUE(form->EnableBox()->isChecked());
    auto* procBox = proc.ItemAs<QCheckBox>(CForm_FPGAProc::kEnableId);
    EXPECT_TRUE(procBox->isChecked());
    procBox->click();
    EXPECT_FALSE(fft.EnableBox()->isChecked());
    EXPECT_FALSE(dec.EnableBox()->isChecked());
    EXPECT_FALSE(doc.IsModified());
}

} // namespace
