#include <gtest/gtest.h>

#include "SettingsXml.h"
#include "TQ8_64.h"

using namespace tq8;

namespace {
BoardDescription Desc(uint32_t revision)
{
    BoardDescription d;
    d.serial = 1;
    d.revision = revision;
    return d;
}
} // namespace

TEST(SettingsXml, EverySettingSurvivesTheRoundTrip)
{
    CBoardSettings a(Desc(2));
    ASSERT_EQ(a.Set(SettingId::ActiveChannels, 11), TQ8_OK);
    ASSERT_EQ(a.Set(SettingId::InternalAdcClockRate, 1234), TQ8_OK);
    ASSERT_EQ(a.Set(SettingId::ExternalClockRate, 123.456789), TQ8_OK);
    ASSERT_EQ(a.Set(SettingId::NcoFrequency, 0.1), TQ8_OK);
    ASSERT_EQ(a.SetProcessingParam(3, 65535), TQ8_OK);
    CBoardSettings b(Desc(2));
    ASSERT_EQ(SettingsFromXml(SettingsToXmlFile(a), b, b), TQ8_OK);
    for (int i = 0; i < kSettingCount; ++i)
        EXPECT_EQ(a.Get(static_cast<SettingId>(i)), b.Get(static_cast<SettingId>(i))) << SettingName(static_cast<SettingId>(i));
}

TEST(SettingsXml, RefusedValueForTheTargetBoardFailsTheLoad)
{
    CBoardSettings four(Desc(2));
    CBoardSettings two(Desc(1));
    CBoardSettings out(two);
    EXPECT_EQ(SettingsFromXml(SettingsToXmlElement(four), two, out), TQ8_ERR_BAD_SETTINGS);
}

TEST(SettingsXml, UnknownItemsAreSkipped)
{
    CBoardSettings s(Desc(2));
    CBoardSettings out(s);
    ASSERT_EQ(SettingsFromXml("<TQ8Settings><FutureThing>3</FutureThing><ZabClock>2</ZabClock></TQ8Settings>", s, out),
              TQ8_OK);
    EXPECT_EQ(out.GetInt(SettingId::ZabClock), 2);
}
