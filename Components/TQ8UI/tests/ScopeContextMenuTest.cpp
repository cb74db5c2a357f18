// The context menu: when it opens, what it offers, and its commands.
#include "PopupMenu.h"
#include "ScopeInputCodes.h"
#include "ScopeOnScreen.h"

#include <QTest>
#include <algorithm>

using namespace scopeinput;

namespace {

class ScopeContextMenu : public ScopeOnScreen {
protected:
    void RightClick(QPoint p) { QTest::mouseClick(wnd(), Qt::RightButton, Qt::NoModifier, p); }
    void Open() { RightClick(InPlot(50, 30)); }
    const vlt::MenuItemInfo* Item(int id)
    {
        const auto& items = menus.Last();
        auto it = std::find_if(items.begin(), items.end(), [id](const vlt::MenuItemInfo& i) { return i.id == id; });
        return it == items.end() ? nullptr : &*it;
    }
    std::vector<vlt::MenuItemInfo> ChannelItems()
    {
        std::vector<vlt::MenuItemInfo> out;
        for (const auto& i : menus.Last())
            if (i.depth == 2)
                out.push_back(i);
        return out;
    }
    void Choose(int id)
    {
        menus.QueueChoice(id);
        Open();
    }

    vlt::PopupMenuRecorder menus;
};

TEST_F(ScopeContextMenu, ARightClickOpensItOnlyWhenEnabled)
{
    AddFake(1000);
    Open();
    EXPECT_EQ(menus.Count(), 0u);
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Open();
    ASSERT_EQ(menus.Count(), 1u);
    EXPECT_EQ(menus.LastPosition(), wnd()->mapToGlobal(InPlot(50, 30)));
    RightClick(QPoint(1, 1)); // outside the plot
    EXPECT_EQ(menus.Count(), 1u);
}

TEST_F(ScopeContextMenu, ItHasTheItemsOfItsResource)
{
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Open();
    std::vector<QString> texts;
    for (const auto& i : menus.Last())
        texts.push_back(i.separator ? QStringLiteral("-") : i.text);
    EXPECT_EQ(texts, (std::vector<QString>{"Zoom", "Out to Ma&ximum", "To &Selection", "Display", "Channels",
                                           "No channels available", "Refresh Content", "-", "&Legend..."}));
    EXPECT_FALSE(Item(ID_CHANNEL_FIRST)->enabled);
    EXPECT_FALSE(Item(ID_LEGEND)->enabled);
    EXPECT_EQ(Item(ID_REFRESH_CONTENT)->depth, 0);
}

TEST_F(ScopeContextMenu, FiveChannelsGiveFiveItems)
{
    AddFake(1000, 5);
    scope->put_ChannelVisibility(3, VARIANT_FALSE);
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Open();
    const auto items = ChannelItems();
    ASSERT_EQ(items.size(), 5u);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(items[i].text, QStringLiteral("Channel %1").arg(i + 1));
        EXPECT_EQ(items[i].id, ID_CHANNEL_FIRST + i);
        EXPECT_EQ(items[i].checked, i != 3);
    }
}

TEST_F(ScopeContextMenu, ChannelItemsCarryTheChannelsOwnIds)
{
    Add(MakeFakeSource(1, 1000), 4); // keeps ids 0 to 3
    Add(MakeFakeSource(1, 1000));
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Open();
    const auto items = ChannelItems();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[1].text, QStringLiteral("Channel 5"));
    EXPECT_EQ(items[1].id, ID_CHANNEL_FIRST + 4);
}

TEST_F(ScopeContextMenu, TheZoomItemsAreEnabledWhenTheyCanAct)
{
    AddFake(100000);
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Open();
    EXPECT_TRUE(Item(ID_ZOOM_OUT_TO_MAXIMUM)->enabled);
    EXPECT_FALSE(Item(ID_ZOOM_TO_SELECTION)->enabled);
    scope->put_PageWidth(32768);
    scope->SetSelection(1, 2);
    Open();
    EXPECT_FALSE(Item(ID_ZOOM_OUT_TO_MAXIMUM)->enabled);
    EXPECT_TRUE(Item(ID_ZOOM_TO_SELECTION)->enabled);
}

TEST_F(ScopeContextMenu, OutToMaximumShowsAsMuchAsItCanFromTheStart)
{
    AddFake(20000);
    scope->put_PageWidth(100);
    scope->put_StartSample(500);
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Choose(ID_ZOOM_OUT_TO_MAXIMUM);
    EXPECT_EQ(Page(), 20000u);
    EXPECT_EQ(Start(), 0u);
}

TEST_F(ScopeContextMenu, ToSelectionZooms)
{
    AddFake(20000);
    scope->SetSelection(300, 340);
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Choose(ID_ZOOM_TO_SELECTION);
    EXPECT_EQ(Start(), 300u);
    EXPECT_EQ(Page(), 40u);
}

TEST_F(ScopeContextMenu, AChannelItemTogglesItsVisibility)
{
    AddFake(1000, 2);
    scope->put_ContextMenuEnabled(VARIANT_TRUE);
    Choose(ID_CHANNEL_FIRST + 1);
    VARIANT_BOOL visible = 1;
    scope->get_ChannelVisibility(1, &visible);
    EXPECT_EQ(visible, 0);
    Choose(ID_CHANNEL_FIRST + 1);
    scope->get_ChannelVisibility(1, &visible);
    EXPECT_EQ(visible, 1);
}

} // namespace
