#include <gtest/gtest.h>

#include <QApplication>
#include <QStyle>
#include <QWidget>

#include "DisableWindowTheme.h"
#include "TestApp.h"

TEST(DisableWindowTheme, NullWindowIsRefused)
{
    EXPECT_EQ(DisableWindowTheme(nullptr), E_INVALIDARG);
}

TEST(DisableWindowTheme, OneClassicStyleServesEveryWindow)
{
    App();
    QWidget first;
    QWidget second;
    ASSERT_EQ(DisableWindowTheme(&first), S_OK);
    ASSERT_EQ(DisableWindowTheme(&second), S_OK);
    EXPECT_EQ(first.style(), second.style());
    EXPECT_NE(first.style(), QApplication::style());
    EXPECT_EQ(first.style()->name().toLower(), QStringLiteral("windows"));
}
