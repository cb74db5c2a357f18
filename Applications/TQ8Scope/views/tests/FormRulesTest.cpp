#include <gtest/gtest.h>

#include "ActionFormRules.h"
#include "CSysLink.h"
#include "DataFormRules.h"
#include "FormApply.h"
#include "FormTestSupport.h"

namespace {

using formapply::EditAction;

TEST(FormApplyRules, LeavingAnEditField)
{
    struct Case {
        bool editing, valid;
        uint32_t typed, current;
        EditAction action;
    };
    const Case cases[] = {
        {false, true, 5, 4, EditAction::None},        {false, false, 0, 0, EditAction::None},
        {true, false, 0, 0, EditAction::Refuse},      {true, true, 4, 4, EditAction::ClearStatus},
        {true, true, 0xFFFFFFFFu, 0, EditAction::Apply},
    };
    for (const Case& c : cases)
        EXPECT_EQ(formapply::DecideEditAction(c.editing, c.valid, c.typed, c.current), c.action);
    EXPECT_EQ(formapply::AppliedText(L"Segment size updated", 1000, 1000), L"Segment size updated");
    EXPECT_EQ(formapply::AppliedText(L"Segment size updated", 1000, 1024),
              L"Segment size updated; setting realigned or clipped");
}

TEST(FormApplyRules, SliderTexts)
{
    EXPECT_EQ(formapply::SliderTrackingText(L"trigger level A", 200), L"Tracking: trigger level A to set: 200");
    EXPECT_EQ(formapply::SliderUpdatedText(L"DC offset", 4095), L"Updated DC offset. (New value: 4,095)");
    EXPECT_EQ(formapply::SliderFailurePrefix(L"trigger level B"), L"Failed to change trigger level B: ");
    EXPECT_EQ(formapply::RangeText(255), L"[0, 255]");
}

TEST(ActionFormRules, CaptionsAndLinks)
{
    using actionform::StartButtonCaption;
    EXPECT_EQ(StartButtonCaption(false, true, true), L"&Acquire and Display Data");
    EXPECT_EQ(StartButtonCaption(true, true, true), L"C&ancel Recording");
    EXPECT_EQ(StartButtonCaption(true, false, true), L"C&ancel Continuous Mode");
    EXPECT_EQ(StartButtonCaption(true, false, false), L"C&ancel Acquisition");

    const std::wstring name = L"TQ3300 #1601";
    EXPECT_EQ(actionform::ControllerLinkText(true, &name), L"None; This device is a controller");
    EXPECT_EQ(actionform::ControllerLinkText(false, &name), L"<a>TQ3300 #1601</a>");
    EXPECT_EQ(actionform::ControllerLinkText(false, nullptr), L"<a>None</a>");

    EXPECT_EQ(actionform::SyncLinkText(0, L"", -1, true), L"<a>No association</a>");
    EXPECT_EQ(actionform::SyncLinkText(0, L"", -1, false), L"Not available");
    EXPECT_EQ(actionform::SyncLinkText(3, L"HUB3300-6 #6000", 1, false), L"<a>HUB3300-6 #6000::2</a>");
    EXPECT_EQ(actionform::SyncLinkText(3, L"HUB3300-6 #6000", -1, true), L"<a>HUB3300-6 #6000</a>");
}

TEST(ActionFormRules, RateAndDeadline)
{
    EXPECT_EQ(actionform::RateText(1), L"1 acquisition per second");
    EXPECT_EQ(actionform::RateText(0), L"0 acquisitions per second");
    EXPECT_EQ(actionform::RateText(12), L"12 acquisitions per second");
    EXPECT_EQ(actionform::AcquisitionsSince(57, 50), 7u);
    // A count that started again is no negative rate.
    EXPECT_EQ(actionform::AcquisitionsSince(2, 50), 0u);

    const auto now = actionform::Clock::now();
    EXPECT_FALSE(actionform::DeadlineReached(std::nullopt, now));
    EXPECT_FALSE(actionform::DeadlineReached(now + std::chrono::milliseconds(1), now));
    EXPECT_TRUE(actionform::DeadlineReached(now, now));
    // A deadline at the clock's epoch is still a deadline.
    EXPECT_TRUE(actionform::DeadlineReached(actionform::Clock::time_point{}, now));
}

TEST(ActionFormRules, LabelFontFitting)
{
    // Text width grows with the size: 10 pixels per point.
    auto width = [](int tenths) { return tenths; };
    EXPECT_EQ(actionform::FitLabelFontTenths(115, width), 107);
    EXPECT_EQ(actionform::FitLabelFontTenths(114, width), 97);
    EXPECT_EQ(actionform::FitLabelFontTenths(45, width), 37);
    EXPECT_EQ(actionform::FitLabelFontTenths(44, width), 0);
    int tried = 0;
    EXPECT_EQ(actionform::FitLabelFontTenths(10, [&](int) { return ++tried, -1; }), 0);
    EXPECT_EQ(tried, 1);
}

TEST(DataFormRules, FreeRunWordsAndLists)
{
    for (const wchar_t* text : {L"free run", L"FREE RUN", L" Free_Run ", L"free-RUN"})
        EXPECT_TRUE(dataform::IsFreeRunText(text)) << text;
    for (const wchar_t* text : {L"freerun", L"free  run", L"free run!", L"", L"0"})
        EXPECT_FALSE(dataform::IsFreeRunText(text)) << text;
    EXPECT_EQ(dataform::ListedChannelSelections(true), (std::vector<int32_t>{1, 5, 6, 10}));
    EXPECT_EQ(dataform::ListedChannelSelections(false), (std::vector<int32_t>{0, 1, 2, 3, 5, 6, 7, 8, 9, 10, 11}));
    for (int32_t s = 0; s <= 11; ++s)
        EXPECT_EQ(dataform::AllowsSdram2Route(s), s == 0 || s == 3 || s == 9) << s;
}

TEST(DataFormRules, PulseRegionAndRanges)
{
    int32_t first = -1, second = -1;
    std::wstring text;
    ASSERT_TRUE(dataform::PlanPulse(0, first, second, text));
    EXPECT_EQ(std::make_pair(first, second), std::make_pair(3, 0));
    EXPECT_EQ(text, L"Low-High-Low pulse generated on digital IO port");
    ASSERT_TRUE(dataform::PlanPulse(3, first, second, text));
    EXPECT_EQ(std::make_pair(first, second), std::make_pair(0, 3));
    for (int32_t mode : {1, 2, 4, 7}) {
        EXPECT_FALSE(dataform::PlanPulse(mode, first, second, text)) << mode;
        EXPECT_FALSE(dataform::AllowsPulse(mode)) << mode;
    }

    EXPECT_EQ(dataform::RegionUpdatedText(false, false), L"");
    EXPECT_EQ(dataform::RegionUpdatedText(false, true), L"Active memory region updated; sample count clipped or realigned");

    const double ranges[] = {0.5, 0.5, 1.0, 0.5};
    const bool read[] = {true, true, true, true};
    const bool failed[] = {true, false, true, true};
    EXPECT_TRUE(dataform::AllRangesEqual(ranges, read, 2));
    EXPECT_FALSE(dataform::AllRangesEqual(ranges, read, 4));
    EXPECT_FALSE(dataform::AllRangesEqual(ranges, failed, 2));
}

TEST(SysLinkMarkup, LinksAreNumberedAndTextEscaped)
{
    App();
    EXPECT_EQ(CSysLink::ToRichText(L"Not available"), QStringLiteral("Not available"));
    EXPECT_EQ(CSysLink::ToRichText(L"<a>No association</a>"), QStringLiteral("<a href=\"0\">No association</a>"));
    EXPECT_EQ(CSysLink::ToRichText(L"x & <a>A<1></a> <a>B</a> <a>open"),
              QStringLiteral("x &amp; <a href=\"0\">A&lt;1&gt;</a> <a href=\"1\">B</a> &lt;a&gt;open"));
    CSysLink link;
    int clicked = -1;
    QObject::connect(&link, &CSysLink::linkClicked, [&](int index) { clicked = index; });
    emit link.linkActivated(QStringLiteral("1"));
    EXPECT_EQ(clicked, 1);
}

} // namespace
