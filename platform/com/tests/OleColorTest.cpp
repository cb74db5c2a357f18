#include "OleColor.h"

#include <QGuiApplication>
#include <QPalette>
#include <gtest/gtest.h>

TEST(OleColor, PlainColoursPassThrough)
{
    COLORREF c = 0;
    EXPECT_EQ(OleTranslateColor(0x00808000, &c), S_OK);
    EXPECT_EQ(c, 0x00808000u);
    EXPECT_EQ(OleTranslateColor(0x02123456, &c), S_OK);
    EXPECT_EQ(c, 0x00123456u);
    EXPECT_EQ(vlt::OleColorToQColor(0x00241CED), QColor(0xED, 0x1C, 0x24));
}

TEST(OleColor, SystemColoursComeFromThePalette)
{
    const QPalette saved = QGuiApplication::palette();
    QPalette pal = saved;
    pal.setColor(QPalette::Active, QPalette::Button, QColor(0x12, 0x34, 0x56));
    pal.setColor(QPalette::Active, QPalette::Text, QColor(0xAB, 0xCD, 0xEF));
    QGuiApplication::setPalette(pal);
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RGB(0x12, 0x34, 0x56));
    COLORREF c = 0;
    EXPECT_EQ(OleTranslateColor(OleSysColor(COLOR_BTNFACE), &c), S_OK);
    EXPECT_EQ(c, RGB(0x12, 0x34, 0x56));
    EXPECT_EQ(vlt::OleColorToQColor(OleSysColor(COLOR_WINDOWTEXT)), QColor(0xAB, 0xCD, 0xEF));
    QGuiApplication::setPalette(saved);
}

TEST(OleColor, UntranslatableColoursAreRefusedAndDrawWhite)
{
    COLORREF c = 0x42;
    EXPECT_EQ(OleTranslateColor(0x80000019, &c), E_INVALIDARG); // unused index
    EXPECT_EQ(OleTranslateColor(0x80000040, &c), E_INVALIDARG);
    EXPECT_EQ(OleTranslateColor(0x80010005, &c), E_INVALIDARG);
    EXPECT_EQ(OleTranslateColor(0x01000003, &c), E_INVALIDARG); // palette index
    EXPECT_EQ(OleTranslateColor(0xFF000000, &c), E_INVALIDARG);
    EXPECT_EQ(c, 0x42u);
    EXPECT_EQ(vlt::OleColorToQColor(0x01000003), QColor(Qt::white));
    EXPECT_EQ(GetSysColor(99), 0u);
}

TEST(OleColor, ColorRefConversionsAreInverse)
{
    for (COLORREF c : {0x000000u, 0xFFFFFFu, 0x0EC9FFu, 0x11DDEEu})
        EXPECT_EQ(vlt::QColorToColorRef(vlt::ColorRefToQColor(c)), c);
}
