#include "CAdcCalDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include "CommandIds.h"
#include "DocToolsFixture.h"
#include "DocumentToolWindows.h"

using doc_tools_test::BoardName;
using doc_tools_test::Calibrations;
using doc_tools_test::ToQt;

namespace {

class AdcCalTest : public doc_tools_test::DocToolsTest {
protected:
    void Calibrate(CAdcCalDlg& dlg, int choice)
    {
        dlg.findChild<QComboBox*>("targetAdcs")->setCurrentIndex(choice);
        QTest::mouseClick(dlg.findChild<QPushButton*>("calibrateNow"), Qt::LeftButton);
    }
    // Runs the document's command; `inside` acts on the modal dialog.
    void RunCommand(CMainDoc& doc, std::function<void(CAdcCalDlg&)> inside)
    {
        bool reached = false;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<CAdcCalDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            reached = true;
            inside(*dlg);
        });
        ASSERT_TRUE(doc.OnCommand(cmd::kCalibrateAdcs));
        EXPECT_TRUE(reached);
    }
};

} // namespace

TEST(AdcCalChoice, IndexesOfEachChoice)
{
    EXPECT_EQ(CAdcCalDlg::AdcIndexesOf(CAdcCalDlg::kBoth), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(CAdcCalDlg::AdcIndexesOf(CAdcCalDlg::kAdc1), (std::vector<int32_t>{0}));
    EXPECT_EQ(CAdcCalDlg::AdcIndexesOf(CAdcCalDlg::kAdc2), (std::vector<int32_t>{1}));
    EXPECT_TRUE(CAdcCalDlg::AdcIndexesOf(3).empty());
    EXPECT_TRUE(CAdcCalDlg::AdcIndexesOf(-1).empty());
}

TEST_F(AdcCalTest, EachChoiceCalibratesItsAdcs)
{
    CMainDoc& doc = NewDoc();
    CAdcCalDlg dlg(nullptr, doc.GetDeviceHandle(), 0);
    const uint32_t expected[3][2] = {{1, 1}, {2, 1}, {2, 2}}; // running totals after choices 0, 1, 2
    for (int choice = 0; choice < 3; ++choice) {
        boxes.Clear();
        Calibrate(dlg, choice);
        EXPECT_EQ(Calibrations(kSerial, 0), expected[choice][0]) << choice;
        EXPECT_EQ(Calibrations(kSerial, 1), expected[choice][1]) << choice;
        ASSERT_EQ(boxes.Count(), 1u) << choice;
        EXPECT_EQ(boxes.LastText(), L"Select ADC(s) calibrated");
        EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONINFORMATION);
    }
}

TEST_F(AdcCalTest, FirstAdcFailingStillCalibratesTheSecondWithoutSuccessMessage)
{
    CMainDoc& doc = NewDoc();
    CAdcCalDlg dlg(nullptr, doc.GetDeviceHandle(), CAdcCalDlg::kBoth);
    ASSERT_EQ(TQ8Sim_InjectResult("CalibrateAdcTQ8", TQ8_ERR_TIMEOUT, 1), TQ8_OK);
    Calibrate(dlg, CAdcCalDlg::kBoth);
    EXPECT_EQ(Calibrations(kSerial, 0), 0u);
    EXPECT_EQ(Calibrations(kSerial, 1), 1u);
    ASSERT_EQ(boxes.Count(), 1u);
    const std::wstring prefix = BoardName(doc.GetDeviceHandle()) + L": Failed to calibrate ADC#1: ";
    EXPECT_EQ(boxes.LastText().rfind(prefix, 0), 0u) << vlt::WideToUtf8(boxes.LastText());
    EXPECT_GT(boxes.LastText().size(), prefix.size()); // the library's text follows
    EXPECT_EQ(boxes.Boxes().back().style & MB_ICONMASK, MB_ICONERROR);
}

TEST_F(AdcCalTest, SecondAdcFailingIsReportedAsAdc2)
{
    CMainDoc& doc = NewDoc();
    CAdcCalDlg dlg(nullptr, doc.GetDeviceHandle(), CAdcCalDlg::kAdc2);
    ASSERT_EQ(TQ8Sim_InjectResult("CalibrateAdcTQ8", TQ8_ERR_BUSY, 1), TQ8_OK);
    Calibrate(dlg, CAdcCalDlg::kAdc2);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_NE(boxes.LastText().find(L"Failed to calibrate ADC#2: "), std::wstring::npos);
    EXPECT_EQ(boxes.LastText().find(L"ADC#1"), std::wstring::npos);
    EXPECT_EQ(Calibrations(kSerial, 0), 0u);
}

TEST_F(AdcCalTest, BothFailingGiveTwoBoxes)
{
    CMainDoc& doc = NewDoc();
    CAdcCalDlg dlg(nullptr, doc.GetDeviceHandle(), CAdcCalDlg::kBoth);
    ASSERT_EQ(TQ8Sim_InjectResult("CalibrateAdcTQ8", TQ8_ERR_GENERAL, 2), TQ8_OK);
    Calibrate(dlg, CAdcCalDlg::kBoth);
    ASSERT_EQ(boxes.Count(), 2u);
    EXPECT_NE(boxes.Boxes()[0].text.find(L"ADC#1"), std::wstring::npos);
    EXPECT_NE(boxes.Boxes()[1].text.find(L"ADC#2"), std::wstring::npos);
}

TEST_F(AdcCalTest, CaptionAndInformation)
{
    CMainDoc& doc = NewDoc();
    CAdcCalDlg dlg(nullptr, doc.GetDeviceHandle(), 0);
    EXPECT_EQ(dlg.windowTitle(), ToQt(L"TQ3300 ADC Calibration - " + BoardName(doc.GetDeviceHandle())));
    const QString info = dlg.findChild<QLabel*>("information")->text();
    EXPECT_TRUE(info.startsWith(QStringLiteral("Initial calibration is performed automatically by the TQ3300 driver.\n\nADC")));
    EXPECT_FALSE(info.contains(QChar('\r')));
    EXPECT_TRUE(info.contains(QString::fromUtf8("trims the 100\xCE\xA9 analog input")));
    EXPECT_TRUE(info.endsWith(QStringLiteral("Internal bias currents are also set during the calibration process.")));
    auto* combo = dlg.findChild<QComboBox*>("targetAdcs");
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), QStringLiteral("Calibrate both ADCs"));
    EXPECT_EQ(combo->itemText(1), QStringLiteral("Calibrate ADC#1 only"));
    EXPECT_EQ(combo->itemText(2), QStringLiteral("Calibrate ADC#2 only"));
}

TEST_F(AdcCalTest, ChoiceOutsideTheListStartsWithBoth)
{
    CMainDoc& doc = NewDoc();
    for (int32_t bad : {-1, 3, 77}) {
        CAdcCalDlg dlg(nullptr, doc.GetDeviceHandle(), bad);
        EXPECT_EQ(dlg.findChild<QComboBox*>("targetAdcs")->currentIndex(), 0) << bad;
        EXPECT_EQ(dlg.GetAdcChoice(), 0) << bad;
    }
}

TEST_F(AdcCalTest, CloseHandsTheComboChoiceToTheDocument)
{
    RegisterDocumentToolWindows();
    CMainDoc& doc = NewDoc();
    RunCommand(doc, [](CAdcCalDlg& dlg) {
        EXPECT_EQ(dlg.findChild<QComboBox*>("targetAdcs")->currentIndex(), 0);
        dlg.findChild<QComboBox*>("targetAdcs")->setCurrentIndex(2);
        QTest::mouseClick(dlg.findChild<QPushButton*>("close"), Qt::LeftButton);
    });
    EXPECT_EQ(doc.GetLastAdcChoice(), 2);
    // The next dialog starts with it; Escape keeps it.
    RunCommand(doc, [](CAdcCalDlg& dlg) {
        EXPECT_EQ(dlg.findChild<QComboBox*>("targetAdcs")->currentIndex(), 2);
        dlg.findChild<QComboBox*>("targetAdcs")->setCurrentIndex(1);
        QTest::keyClick(&dlg, Qt::Key_Escape);
    });
    EXPECT_EQ(doc.GetLastAdcChoice(), 2);
    EXPECT_EQ(Calibrations(kSerial, 0) + Calibrations(kSerial, 1), 0u); // closing calibrates nothing
}

TEST_F(AdcCalTest, CalibrateNowFromTheDocumentsDialog)
{
    RegisterDocumentToolWindows();
    CMainDoc& doc = NewDoc();
    RunCommand(doc, [](CAdcCalDlg& dlg) {
        dlg.findChild<QComboBox*>("targetAdcs")->setCurrentIndex(1);
        QTest::mouseClick(dlg.findChild<QPushButton*>("calibrateNow"), Qt::LeftButton);
        QTest::mouseClick(dlg.findChild<QPushButton*>("close"), Qt::LeftButton);
    });
    EXPECT_EQ(Calibrations(kSerial, 0), 1u);
    EXPECT_EQ(Calibrations(kSerial, 1), 0u);
    EXPECT_EQ(doc.GetLastAdcChoice(), 1);
}
