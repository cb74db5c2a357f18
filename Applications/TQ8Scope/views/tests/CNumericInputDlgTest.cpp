#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "CNumericInputDlg.h"
#include "FormTestSupport.h"
#include "Mnemonic.h"
#include "TextFitCheck.h"

namespace {

class NumericInputTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    template <class T>
    static T* Item(QDialog& dlg, int id)
    {
        return dlg.findChild<T*>(QString::number(id));
    }
    vlt::MessageBoxRecorder boxes;
};

TEST_F(NumericInputTest, RefusesValuesOutsideTheRangeAndStaysOpen)
{
    CNumericInputDlg dlg(nullptr, 128, L"Trigger Level A", L"[0, 255]", L"Select Trigger Level");
    dlg.SetRange(0, 255);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Select Trigger Level"));
    EXPECT_EQ(Item<QLabel>(dlg, CNumericInputDlg::kLabelId)->text(), QStringLiteral("Trigger Level A"));
    EXPECT_EQ(Item<QLabel>(dlg, CNumericInputDlg::kNoteId)->text(), QStringLiteral("[0, 255]"));
    auto* edit = Item<QLineEdit>(dlg, CNumericInputDlg::kEditId);
    EXPECT_EQ(edit->text(), QStringLiteral("128"));
    // Without a default the button stays as it is.
    EXPECT_FALSE(Item<QPushButton>(dlg, CNumericInputDlg::kUseDefaultId)->isVisible());

    for (const char* refused : {"256", "-1", "abc"}) {
        edit->setText(QString::fromLatin1(refused));
        QTest::mouseClick(Item<QPushButton>(dlg, 1), Qt::LeftButton);
        EXPECT_TRUE(dlg.isVisible()) << refused;
        EXPECT_EQ(dlg.GetValue(), 128u) << refused;
    }
    ASSERT_EQ(boxes.Count(), 3u);
    EXPECT_EQ(boxes.Boxes()[0].text, L"Please enter an integer between 0 and 255.");
    edit->setText(QStringLiteral("0xff"));
    QTest::mouseClick(Item<QPushButton>(dlg, 1), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.GetValue(), 255u);
}

TEST_F(NumericInputTest, DefaultButtonOnlyWithADefault)
{
    CNumericInputDlg dlg(nullptr, 7);
    dlg.SetDefault(128);
    dlg.show();
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("TQ3300 Numeric Input"));
    EXPECT_EQ(Item<QLabel>(dlg, CNumericInputDlg::kLabelId)->text(), QStringLiteral("Numeric value:"));
    auto* useDefault = Item<QPushButton>(dlg, CNumericInputDlg::kUseDefaultId);
    ASSERT_TRUE(useDefault->isVisible());
    EXPECT_EQ(useDefault->text(), QStringLiteral("Use &Default"));
    QTest::mouseClick(useDefault, Qt::LeftButton);
    auto* edit = Item<QLineEdit>(dlg, CNumericInputDlg::kEditId);
    EXPECT_EQ(edit->text(), QStringLiteral("128"));
    EXPECT_EQ(edit->selectedText(), QStringLiteral("128"));
    QTest::mouseClick(Item<QPushButton>(dlg, 2), Qt::LeftButton);
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
    EXPECT_EQ(dlg.GetValue(), 7u);
}

} // namespace

namespace {

// The DC offset form's box: its label's mnemonic shown as one, its edit wide
// enough for the largest number of the range.
TEST_F(NumericInputTest, LabelMnemonicAndWidestNumberFit)
{
    vlt::InstallMnemonicRule();
    CNumericInputDlg dlg(nullptr, 2048, L"Ch. &2 DC offset", L"[0, 65535]", L"Select DC Offset");
    dlg.SetRange(0, 65535);
    dlg.SetDefault(2048);
    dlg.show();
    QCoreApplication::processEvents();
    auto* label = Item<QLabel>(dlg, CNumericInputDlg::kLabelId);
    EXPECT_EQ(label->buddy(), Item<QLineEdit>(dlg, CNumericInputDlg::kEditId));
    Item<QLineEdit>(dlg, CNumericInputDlg::kEditId)->setText(QStringLiteral("65535"));
    vlt::TextFitCheck check;
    check.CheckWindow(&dlg);
    EXPECT_EQ(check.Report(), QString()) << check.Report().toStdString();
}

} // namespace
