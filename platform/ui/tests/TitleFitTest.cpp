// Windows kept as wide as their titles.
#include <gtest/gtest.h>

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "TestApp.h"
#include "TitleFit.h"

TEST(TitleFit, WindowGrowsWithItsTitleAndKeepsItsLayoutsWidth)
{
    App();
    const QString shortTitle = QStringLiteral("A");
    const QString longTitle = QStringLiteral("A window title that is a good deal wider than the window's own text");
    EXPECT_GT(vlt::TitleBarWidth(longTitle), vlt::TitleBarWidth(shortTitle));

    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    layout->addWidget(new QLabel(QStringLiteral("A label wider than the short title, shown whole"), &window));
    window.setWindowTitle(shortTitle);
    vlt::KeepTitleShown(&window);
    window.show();
    const int layoutWidth = layout->minimumSize().width();
    EXPECT_GE(window.width(), layoutWidth);
    EXPECT_LT(window.minimumWidth(), vlt::TitleBarWidth(longTitle));
    window.setWindowTitle(longTitle);
    EXPECT_GE(window.minimumWidth(), vlt::TitleBarWidth(longTitle));
    EXPECT_GE(window.width(), vlt::TitleBarWidth(longTitle));
}
