#include <gtest/gtest.h>

#include "PopupMenu.h"
#include "TestApp.h"
#include "ToolTip.h"

#include <QAction>
#include <QMenu>

TEST(PopupMenu, RecorderDescribesTheMenuAndChoosesOnlyEnabledItems)
{
    App();
    QMenu menu;
    QMenu* sub = menu.addMenu(QStringLiteral("Zoom"));
    vlt::AddMenuCommand(*sub, 7, QStringLiteral("In"));
    vlt::AddMenuCommand(menu, 9, QStringLiteral("Off"))->setEnabled(false);
    EXPECT_EQ(vlt::MenuCommandId(vlt::FindMenuCommand(menu, 7)), 7);
    EXPECT_EQ(vlt::FindMenuCommand(menu, 8), nullptr);

    vlt::PopupMenuRecorder menus;
    menus.QueueChoice(9);
    menus.QueueChoice(7);
    EXPECT_EQ(vlt::TrackPopupMenu(menu, QPoint(3, 4)), 0); // disabled
    EXPECT_EQ(vlt::TrackPopupMenu(menu, QPoint(3, 4)), 7);
    EXPECT_EQ(vlt::TrackPopupMenu(menu, QPoint(3, 4)), 0); // nothing queued: dismissed
    ASSERT_EQ(menus.Count(), 3u);
    const auto& items = menus.Last();
    ASSERT_EQ(items.size(), 3u);
    EXPECT_TRUE(items[0].submenu);
    EXPECT_EQ(items[1].depth, 1);
    EXPECT_EQ(items[1].text, QStringLiteral("In"));
    EXPECT_FALSE(items[2].enabled);
    EXPECT_EQ(menus.LastPosition(), QPoint(3, 4));
}

TEST(ToolTip, RecorderKeepsWhatWasShownAndHidden)
{
    vlt::ToolTipRecorder tips;
    vlt::ToolTipRequest request;
    request.text = L"0A";
    vlt::ShowToolTip(request);
    EXPECT_TRUE(tips.Visible());
    EXPECT_EQ(tips.LastText(), L"0A");
    vlt::HideToolTip();
    EXPECT_FALSE(tips.Visible());
    EXPECT_EQ(tips.HideCount(), 1u);
}
