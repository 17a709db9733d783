// SPDX-License-Identifier: GPL-3.0-or-later
#include "directory/DvrConnectInfo.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
DvrConnectInfo Make(std::u16string_view port, int channel = 0, std::u16string_view user = u"ADMIN")
{
    return MakeConnectInfo(u"Shop", u"10.0.0.5", port, channel, user, u"1234");
}
} // namespace

TEST(DvrConnectInfoTest, PortKeepsTheLowSixteenBitsOfTheNumber)
{
    const struct
    {
        std::u16string_view text;
        uint16_t port;
    } cases[] = {
        {u"80", 80},       {u"70000", 4464},      {u"http", 0},       {u"", 0},
        {u"  8080x", 8080}, {u"+81", 81},         {u"-1", 65535},     {u"080", 80},
        {u"99999999999999999999", 65535},         {u"\t 443", 443},   {u"- 5", 0},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(Make(c.text).Port, c.port) << std::string(c.text.begin(), c.text.end());
    }
}

TEST(DvrConnectInfoTest, SpacesInTheUserBecomeUnderscores)
{
    EXPECT_EQ(FieldText(Make(u"80", 0, u"john doe").User), u"john_doe");
    EXPECT_EQ(FieldText(Make(u"80", 0, u" a  b ").User), u"_a__b_");
    EXPECT_EQ(FieldText(Make(u"80", 0, u"ADMIN").User), u"ADMIN");
}

TEST(DvrConnectInfoTest, ChannelIndexGivesOneBitOrNone)
{
    EXPECT_EQ(Make(u"80", 0).ChannelMask, 0x1u);
    EXPECT_EQ(Make(u"80", 15).ChannelMask, 0x8000u);
    EXPECT_EQ(Make(u"80", 31).ChannelMask, 0x80000000u);
    EXPECT_EQ(Make(u"80", 32).ChannelMask, 0u);
    EXPECT_EQ(Make(u"80", -1).ChannelMask, 0u);  // taken as 255
    EXPECT_EQ(Make(u"80", 256).ChannelMask, 1u); // only the low byte counts
}

TEST(DvrConnectInfoTest, OverLongValuesAreCutAtTheFieldWidthsAndTerminated)
{
    const std::u16string longText(80, u'x');
    const auto info = MakeConnectInfo(longText, longText, u"80", 2, u"abcdefghijkl", u"12345678");
    EXPECT_EQ(FieldText(info.Name), std::u16string(50, u'x'));
    EXPECT_EQ(FieldText(info.Address), std::u16string(50, u'x'));
    EXPECT_EQ(FieldText(info.User), u"abcdefghi");
    EXPECT_EQ(FieldText(info.Password), u"123456");
    EXPECT_EQ(info.Name[50], u'\0');
    EXPECT_EQ(info.Password[6], u'\0');
    // Fields after the long ones are intact.
    EXPECT_EQ(info.Port, 80);
    EXPECT_EQ(info.ChannelMask, 4u);
}

TEST(DvrConnectInfoTest, CopiesAreIndependentValues)
{
    auto a = Make(u"80", 3);
    DvrConnectInfo b = a;
    a.Address[0] = u'9';
    EXPECT_EQ(FieldText(b.Address), u"10.0.0.5");
    EXPECT_EQ(b.ChannelMask, 8u);
}
