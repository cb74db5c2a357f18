#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "DialogItems.h"
#include "MessageBox.h"
#include "TestApp.h"

TEST(DialogNumbers, WholeNumberTextRules)
{
    uint32_t v = 99;
    EXPECT_TRUE(ParseDlgUInt32(L"0x10", v));
    EXPECT_EQ(v, 16u);
    EXPECT_TRUE(ParseDlgUInt32(L"1,024", v));
    EXPECT_EQ(v, 1024u);
    EXPECT_TRUE(ParseDlgUInt32(L"65536 : 64 Ki", v));
    EXPECT_EQ(v, 65536u);
    EXPECT_TRUE(ParseDlgUInt32(L"010", v));
    EXPECT_EQ(v, 8u);
    v = 99;
    EXPECT_FALSE(ParseDlgUInt32(L"12abc", v));
    EXPECT_EQ(v, 99u);
    EXPECT_TRUE(ParseDlgUInt32(L"  ", v));
    EXPECT_EQ(v, 0u);
}

TEST(DialogNumbers, SignsAndRanges)
{
    uint32_t u = 7;
    EXPECT_FALSE(ParseDlgUInt32(L"-1", u));
    EXPECT_FALSE(ParseDlgUInt32(L"4294967296", u));
    EXPECT_TRUE(ParseDlgUInt32(L"4294967295", u));
    EXPECT_EQ(u, 4294967295u);
    EXPECT_FALSE(ParseDlgUInt32(L"0x", u));
    EXPECT_FALSE(ParseDlgUInt32(L"08", u));
    int32_t i = 0;
    EXPECT_TRUE(ParseDlgInt32(L"-2147483648", i));
    EXPECT_EQ(i, INT32_MIN);
    EXPECT_FALSE(ParseDlgInt32(L"2147483648", i));
    EXPECT_TRUE(ParseDlgInt32(L"-0x10", i));
    EXPECT_EQ(i, -16);
    EXPECT_FALSE(ParseDlgInt32(L"--5", i));
    uint64_t w = 0;
    EXPECT_TRUE(ParseDlgUInt64(L"18,446,744,073,709,551,615", w));
    EXPECT_EQ(w, UINT64_MAX);
    EXPECT_FALSE(ParseDlgUInt64(L"18446744073709551616", w));
    EXPECT_FALSE(ParseDlgUInt64(L"-0", w));
    EXPECT_FALSE(ParseDlgUInt64(L"1 024", w));
}

TEST(DialogNumbers, FloatingPointText)
{
    double d = -1;
    EXPECT_TRUE(ParseDlgDouble(L" 12.5 ", d));
    EXPECT_EQ(d, 12.5);
    EXPECT_TRUE(ParseDlgDouble(L"5.", d));
    EXPECT_EQ(d, 5.0);
    EXPECT_TRUE(ParseDlgDouble(L"1e3", d));
    EXPECT_EQ(d, 1000.0);
    d = -1;
    EXPECT_FALSE(ParseDlgDouble(L"", d));
    EXPECT_FALSE(ParseDlgDouble(L".", d));
    EXPECT_FALSE(ParseDlgDouble(L"12 dB", d));
    EXPECT_FALSE(ParseDlgDouble(L"nan", d));
    EXPECT_FALSE(ParseDlgDouble(L"inf", d));
    EXPECT_EQ(d, -1);
}

TEST(DialogNumbers, WidgetReadersNeedAWidgetAndText)
{
    App();
    uint32_t v = 3;
    EXPECT_FALSE(GetDlgItemUInt32(nullptr, v));
    QLineEdit edit;
    EXPECT_FALSE(GetDlgItemUInt32(&edit, v));
    edit.setText(QStringLiteral("0x20"));
    EXPECT_TRUE(GetDlgItemUInt32(&edit, v));
    EXPECT_EQ(v, 32u);
    QComboBox combo;
    combo.setEditable(true);
    combo.setEditText(QStringLiteral("0 : Transfer only"));
    EXPECT_TRUE(GetDlgItemUInt32(&combo, v));
    EXPECT_EQ(v, 0u);
    ASSERT_TRUE(SetDlgItemDouble(&edit, 1.23456, nullptr));
    EXPECT_EQ(edit.text(), QStringLiteral("1.235"));
    double d = 0;
    EXPECT_TRUE(GetDlgItemDouble(&edit, d));
    EXPECT_DOUBLE_EQ(d, 1.235);
}

TEST(CountWithUnits, SplitAndCombine)
{
    uint64_t number = 0;
    int index = -1;
    SplitCountToUnits(3145728, number, index);
    EXPECT_EQ(number, 3u);
    EXPECT_EQ(index, 2);
    SplitCountToUnits(1536, number, index);
    EXPECT_EQ(number, 1536u);
    EXPECT_EQ(index, 0);
    SplitCountToUnits(0, number, index);
    EXPECT_EQ(number, 0u);
    EXPECT_EQ(index, 0);
    SplitCountToUnits(uint64_t(5) << 40, number, index);
    EXPECT_EQ(number, 5u);
    EXPECT_EQ(index, 4);
    uint64_t count = 0;
    EXPECT_TRUE(CombineCountWithUnits(3, 2, count));
    EXPECT_EQ(count, 3145728u);
    EXPECT_TRUE(CombineCountWithUnits(0xFFFFFF, 4, count));
    EXPECT_FALSE(CombineCountWithUnits(0x1000000, 4, count));
    EXPECT_FALSE(CombineCountWithUnits(0x40000000000000ull, 1, count));
    EXPECT_TRUE(CombineCountWithUnits(7, -1, count));
    EXPECT_EQ(count, 7u);
}

TEST(CountWithUnits, ExchangeWithWidgets)
{
    App();
    QLineEdit edit;
    QComboBox units;
    units.addItems({"S", "KiS", "MiS", "GiS", "TiS"});
    uint64_t count = 3145728;
    DDX_CountWithUnits(false, &edit, &units, count);
    EXPECT_EQ(edit.text(), QStringLiteral("3"));
    EXPECT_EQ(units.currentIndex(), 2);
    edit.setText(QStringLiteral("5"));
    ASSERT_TRUE(DDX_CountWithUnits(true, &edit, &units, count));
    EXPECT_EQ(count, 5u * 1024 * 1024);

    vlt::MessageBoxRecorder boxes;
    edit.setText(QStringLiteral("five"));
    EXPECT_FALSE(DDX_CountWithUnits(true, &edit, &units, count));
    EXPECT_EQ(count, 5u * 1024 * 1024);
    EXPECT_EQ(boxes.Count(), 1u);
}

TEST(CountWithUnits, ThirtyTwoBitFieldRefusesTooLarge)
{
    App();
    QLineEdit edit;
    QComboBox units;
    units.addItems({"S", "KiS", "MiS", "GiS", "TiS"});
    uint32_t count = 77;
    edit.setText(QStringLiteral("4"));
    units.setCurrentIndex(3);
    vlt::MessageBoxRecorder boxes;
    EXPECT_FALSE(DDX_CountWithUnits32(true, &edit, &units, count));
    EXPECT_EQ(count, 77u);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.LastText(), L"Specified value is too large. Maximum value cannot be larger than 4294967295");
    EXPECT_EQ(boxes.Boxes()[0].style & MB_ICONMASK, MB_ICONERROR);
    edit.setText(QStringLiteral("3"));
    EXPECT_TRUE(DDX_CountWithUnits32(true, &edit, &units, count));
    EXPECT_EQ(count, 3u << 30);
}

TEST(CheckFlag, AllBitsOfTheMask)
{
    App();
    QCheckBox box;
    box.setTristate(true);
    uint32_t flags = 0x5;
    DDX_CheckFlag(false, &box, 0x5, flags);
    EXPECT_EQ(box.checkState(), Qt::Checked);
    DDX_CheckFlag(false, &box, 0x7, flags);
    EXPECT_EQ(box.checkState(), Qt::Unchecked);
    box.setCheckState(Qt::Checked);
    DDX_CheckFlag(true, &box, 0x30, flags);
    EXPECT_EQ(flags, 0x35u);
    box.setCheckState(Qt::PartiallyChecked);
    DDX_CheckFlag(true, &box, 0x11, flags);
    EXPECT_EQ(flags, 0x24u);
}

TEST(SampleCountCombo, PresetsWithTransferOnly)
{
    App();
    std::setlocale(LC_ALL, "C");
    QComboBox combo;
    FillSampleCountCombo(&combo, false);
    ASSERT_EQ(combo.count(), 16);
    EXPECT_EQ(combo.itemText(0), QStringLiteral("0 : Transfer only"));
    EXPECT_EQ(combo.itemData(0).toULongLong(), 0u);
    EXPECT_EQ(combo.itemText(15), QStringLiteral("2,147,483,648"));
    EXPECT_EQ(combo.itemData(15).toULongLong(), 2147483648u);
    FillSampleCountCombo(&combo, true);
    EXPECT_EQ(combo.count(), 15);
    EXPECT_TRUE(SelectComboItemByData(&combo, 65536));
    EXPECT_EQ(combo.currentText(), QStringLiteral("65,536"));
    EXPECT_FALSE(SelectComboItemByData(&combo, 12345));
    EXPECT_EQ(combo.currentIndex(), -1);
    // A board of 1 GiS is offered no larger count.
    FillSampleCountCombo(&combo, false, 1073741824u);
    ASSERT_EQ(combo.count(), 15);
    EXPECT_EQ(combo.itemText(14), QStringLiteral("1,073,741,824"));
    FillSampleCountCombo(&combo, true, 1073741823u);
    EXPECT_EQ(combo.count(), 13);
}

TEST(ControlGeometry, ResizeAndMoveBy)
{
    App();
    QWidget parent;
    QWidget child(&parent);
    child.setGeometry(10, 20, 100, 50);
    ResizeControlBy(&child, 5, -10);
    MoveControlBy(&child, -3, 4);
    EXPECT_EQ(child.geometry(), QRect(7, 24, 105, 40));
}
