#include "CFftOptionsDlg.h"
#include "FftOptionsChecks.h"
#include "MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>

namespace {

void EnsureApp()
{
    if (QApplication::instance())
        return;
    // Headless, also when started outside CTest.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "tq8scope_tools_tests";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
}

template <class W>
W* Child(QDialog& dlg, const char* name)
{
    W* w = dlg.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
}

void PressOk(QDialog& dlg)
{
    auto* box = dlg.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

void PressCancel(QDialog& dlg)
{
    auto* box = dlg.findChild<QDialogButtonBox*>();
    ASSERT_NE(box, nullptr);
    QTest::mouseClick(box->button(QDialogButtonBox::Cancel), Qt::LeftButton);
}

void SetText(QDialog& dlg, const char* name, const QString& text)
{
    auto* edit = Child<QLineEdit>(dlg, name);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void SetPeaks(QDialog& dlg, const QString& text)
{
    auto* spin = Child<QSpinBox>(dlg, "maxPeaks");
    spin->selectAll();
    QTest::keyClicks(spin, text);
}

CFFTOptions Sample()
{
    CFFTOptions o;
    o.flags = CFFTOptions::kFlagPeakTracking;
    o.fftSize = 1024;
    o.windowChoice = 1;
    o.grabMode = 2;
    o.explicitOffset = 123456789012ull;
    o.avgRestartCount = 5;
    o.maxPeaks = 7;
    o.peakSort = 0x80000001;
    o.exclusionPercent = 2.5;
    return o;
}

class FftOptionsDlgTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }
    vlt::MessageBoxRecorder boxes;
};

} // namespace

TEST_F(FftOptionsDlgTest, ShowsTheRecord)
{
    CFFTOptions o = Sample();
    CFftOptionsDlg dlg(nullptr, o);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("FFT Options"));
    auto* size = Child<QComboBox>(dlg, "fftSize");
    ASSERT_EQ(size->count(), 9);
    EXPECT_EQ(size->itemText(0), QStringLiteral("256"));
    EXPECT_EQ(size->itemData(8).toInt(), 65536);
    EXPECT_EQ(size->currentData().toInt(), 1024);
    EXPECT_EQ(Child<QComboBox>(dlg, "window")->currentText(), QStringLiteral("Hanning"));
    EXPECT_TRUE(Child<QRadioButton>(dlg, "grab2")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(dlg, "offset")->text(), QStringLiteral("123456789012"));
    EXPECT_FALSE(Child<QCheckBox>(dlg, "averaging")->isChecked());
    EXPECT_TRUE(Child<QCheckBox>(dlg, "peakTracking")->isChecked());
    EXPECT_EQ(Child<QLineEdit>(dlg, "restart")->text(), QStringLiteral("5"));
    EXPECT_EQ(Child<QSpinBox>(dlg, "maxPeaks")->value(), 7);
    EXPECT_EQ(Child<QSpinBox>(dlg, "maxPeaks")->maximum(), 2147483647);
    EXPECT_EQ(Child<QLineEdit>(dlg, "exclusion")->text(), QStringLiteral("2.5"));
}

TEST_F(FftOptionsDlgTest, UnlistedSizeSelectsTheDefault)
{
    CFFTOptions o;
    o.fftSize = 1000;
    CFftOptionsDlg dlg(nullptr, o);
    EXPECT_EQ(Child<QComboBox>(dlg, "fftSize")->currentData().toInt(), 8192);
    dlg.show();
    PressOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(o.fftSize, 8192);
}

TEST_F(FftOptionsDlgTest, OkWritesTheControlsBack)
{
    CFFTOptions o = Sample();
    CFftOptionsDlg dlg(nullptr, o);
    dlg.show();
    Child<QComboBox>(dlg, "fftSize")->setCurrentIndex(8);
    Child<QComboBox>(dlg, "window")->setCurrentIndex(3);
    QTest::mouseClick(Child<QRadioButton>(dlg, "grab0"), Qt::LeftButton, {}, QPoint(5, 5));
    SetText(dlg, "offset", QStringLiteral(" 42 "));
    QTest::mouseClick(Child<QCheckBox>(dlg, "averaging"), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(Child<QCheckBox>(dlg, "peakTracking"), Qt::LeftButton, {}, QPoint(5, 5));
    SetText(dlg, "restart", QStringLiteral("-3"));
    SetPeaks(dlg, QStringLiteral("64"));
    SetText(dlg, "exclusion", QStringLiteral("12.75"));
    PressOk(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(o.fftSize, 65536);
    EXPECT_EQ(o.windowChoice, 3);
    EXPECT_EQ(o.grabMode, 0);
    EXPECT_EQ(o.explicitOffset, 42u);
    EXPECT_EQ(o.flags, CFFTOptions::kFlagAveraging);
    EXPECT_EQ(o.avgRestartCount, -3);
    EXPECT_EQ(o.maxPeaks, 64);
    EXPECT_EQ(o.exclusionPercent, 12.75);
    EXPECT_EQ(o.peakSort, static_cast<int32_t>(0x80000001));
}

TEST_F(FftOptionsDlgTest, CancelLeavesEveryField)
{
    CFFTOptions o = Sample();
    CFftOptionsDlg dlg(nullptr, o);
    dlg.show();
    Child<QComboBox>(dlg, "fftSize")->setCurrentIndex(0);
    SetText(dlg, "exclusion", QStringLiteral("50"));
    SetPeaks(dlg, QStringLiteral("3"));
    PressCancel(dlg);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(o.fftSize, 1024);
    EXPECT_EQ(o.exclusionPercent, 2.5);
    EXPECT_EQ(o.maxPeaks, 7);
}

TEST_F(FftOptionsDlgTest, PeakCountOutsideTheRangeKeepsTheDialogOpen)
{
    for (bool tracking : {true, false}) {
        SCOPED_TRACE(tracking);
        CFFTOptions o = Sample();
        if (!tracking)
            o.flags = 0;
        CFftOptionsDlg dlg(nullptr, o);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        SetText(dlg, "exclusion", QStringLiteral("9"));
        SetPeaks(dlg, QStringLiteral("65"));
        boxes.Clear();
        PressOk(dlg);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), L"Please enter an integer between 1 and 64.");
        EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_NE(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(Child<QSpinBox>(dlg, "maxPeaks")->hasFocus());
        EXPECT_EQ(o.maxPeaks, 7);
        EXPECT_EQ(o.exclusionPercent, 2.5);
        SetPeaks(dlg, QStringLiteral("1"));
        PressOk(dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(o.maxPeaks, 1);
        EXPECT_EQ(o.exclusionPercent, 9.0);
    }
}

TEST_F(FftOptionsDlgTest, TextThatIsNotANumberIsRefusedWithItsMessage)
{
    struct Case {
        const char* field;
        QString text;
        const wchar_t* message;
    };
    const Case cases[] = {
        {"offset", QStringLiteral("abc"), L"Please enter a positive integer."},
        {"offset", QStringLiteral("-1"), L"Please enter a positive integer."},
        {"offset", QStringLiteral("18446744073709551616"), L"Please enter a positive integer."},
        {"restart", QStringLiteral("1.5"), L"Please enter an integer."},
        {"restart", QStringLiteral(""), L"Please enter an integer."},
        {"restart", QStringLiteral("3000000000"), L"Please enter an integer."},
        {"exclusion", QStringLiteral("five"), L"Please enter a number."},
        {"exclusion", QStringLiteral("nan"), L"Please enter a number."},
        {"exclusion", QStringLiteral("-5"), L"Please enter a number of 0 or more."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        CFFTOptions o = Sample();
        CFftOptionsDlg dlg(nullptr, o);
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
        SetText(dlg, c.field, c.text);
        boxes.Clear();
        PressOk(dlg);
        ASSERT_EQ(boxes.Count(), 1u);
        EXPECT_EQ(boxes.LastText(), c.message);
        EXPECT_TRUE(dlg.isVisible());
        EXPECT_TRUE(Child<QLineEdit>(dlg, c.field)->hasFocus());
        EXPECT_EQ(o.explicitOffset, 123456789012ull);
        EXPECT_EQ(o.avgRestartCount, 5);
        EXPECT_EQ(o.exclusionPercent, 2.5);
        dlg.reject();
    }
}

TEST(FftOptionsChecks, FirstProblemWinsAndNothingIsWritten)
{
    CFFTOptions o = Sample();
    FftOptionsInput in = FftOptionsToInput(o);
    in.offsetText = L"x";
    in.maxPeaksText = L"0";
    in.fftSize = 2048;
    const FftOptionsProblem p = ApplyFftOptionsInput(in, o);
    EXPECT_EQ(p.field, FftOptionsField::Offset);
    EXPECT_EQ(o.fftSize, 1024);
    in.offsetText = L"1";
    EXPECT_EQ(ApplyFftOptionsInput(in, o).field, FftOptionsField::MaxPeaks);
    in.fftSize = 3000;
    EXPECT_EQ(ApplyFftOptionsInput(in, o).field, FftOptionsField::FftSize);
}

TEST(FftOptionsChecks, ControlsFallBackForValuesTheyCannotShow)
{
    CFFTOptions o;
    o.windowChoice = 9;
    o.grabMode = -1;
    o.fftSize = 128;
    const FftOptionsInput in = FftOptionsToInput(o);
    EXPECT_EQ(in.windowChoice, 3);
    EXPECT_EQ(in.grabMode, 1);
    EXPECT_EQ(in.fftSize, 8192);
}

TEST(FftOptionsChecks, ControlTextsReadBackToTheSameRecord)
{
    for (double exclusion : {0.0, 0.1, 123.456, 1e-7, 1e6}) {
        CFFTOptions o = Sample();
        o.exclusionPercent = exclusion;
        o.explicitOffset = 0xFFFFFFFFFFFFFFFFull;
        o.avgRestartCount = -2147483647 - 1;
        CFFTOptions back;
        ASSERT_EQ(ApplyFftOptionsInput(FftOptionsToInput(o), back).field, FftOptionsField::None);
        EXPECT_EQ(back.exclusionPercent, exclusion);
        EXPECT_EQ(back.explicitOffset, o.explicitOffset);
        EXPECT_EQ(back.avgRestartCount, o.avgRestartCount);
        EXPECT_EQ(back.flags, o.flags);
        EXPECT_EQ(back.fftSize, o.fftSize);
        EXPECT_EQ(back.windowChoice, o.windowChoice);
        EXPECT_EQ(back.grabMode, o.grabMode);
        EXPECT_EQ(back.maxPeaks, o.maxPeaks);
    }
}
