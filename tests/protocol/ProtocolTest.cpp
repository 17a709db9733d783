// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/Protocol.h"

#include "directory/DvrConnectInfo.h"
#include "res/StringTable.h"

#include <gtest/gtest.h>

namespace
{
DvrConnectInfo Info(int channel, std::u16string_view user = u"ADMIN",
                    std::u16string_view password = u"1234")
{
    return MakeConnectInfo(u"Shop", u"127.0.0.1", u"80", channel, user, password);
}
} // namespace

TEST(ProtocolTest, LoginObjectCarriesTheMaskInHexadecimal)
{
    const struct
    {
        int channel;
        const char16_t* object;
    } cases[] = {
        {0, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=1"},
        {2, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=4"},
        {5, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=20"},
        {10, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=400"},
        {15, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=8000"},
        {31, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=80000000"},
        {-1, u"/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=0"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(BuildLoginObject(Info(c.channel)), c.object) << "channel " << c.channel;
    }
}

TEST(ProtocolTest, LoginQueryEncodesAllButLettersDigitsAndDashDotUnderscoreTildeAsUtf8)
{
    const struct
    {
        const char16_t* text;
        const char16_t* encoded;
    } cases[] = {
        {u"Az09-._~", u"Az09-._~"},
        {u"a&b%c+d=e", u"a%26b%25c%2Bd%3De"},
        {u"p w#?/", u"p%20w%23%3F%2F"},
        {u"\u00e9\r\n\x7f\t", u"%C3%A9%0D%0A%7F%09"},
        {u"\U0001F600", u"%F0%9F%98%80"},
        {u"\u20ac!*'();:@$,[]", u"%E2%82%AC%21%2A%27%28%29%3B%3A%40%24%2C%5B%5D"},
        {u"", u""},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(EncodeQueryValue(c.text), c.encoded);
    }
    // Spaces in the user were already underscores; a password holds six characters.
    EXPECT_EQ(BuildLoginObject(Info(0, u"a b&", u"&%+=#\u00e9")),
              u"/cgi-bin/webapp.cgi?MODE=8&ID=a_b%26&PW=%26%25%2B%3D%23%C3%A9&VER=3000&CH=1");
}

TEST(ProtocolTest, FormBodies)
{
    const struct
    {
        uint32_t mask;
        const char16_t* select;
        const char16_t* camera;
    } cases[] = {
        {1u << 0, u"MODE=5&CID=17&OP=3&CH=1", u"MODE=5&CID=17&OP=7&CH=0&LEN=1&REQ=5S2"},
        {1u << 5, u"MODE=5&CID=17&OP=3&CH=20", u"MODE=5&CID=17&OP=7&CH=5&LEN=1&REQ=5S2"},
        {1u << 10, u"MODE=5&CID=17&OP=3&CH=400", u"MODE=5&CID=17&OP=7&CH=10&LEN=1&REQ=5S2"},
        {1u << 15, u"MODE=5&CID=17&OP=3&CH=8000", u"MODE=5&CID=17&OP=7&CH=15&LEN=1&REQ=5S2"},
        {0x18u, u"MODE=5&CID=17&OP=3&CH=18", u"MODE=5&CID=17&OP=7&CH=3&LEN=1&REQ=5S2"},
        {0x10000u, u"MODE=5&CID=17&OP=3&CH=10000", u"MODE=5&CID=17&OP=7&CH=0&LEN=1&REQ=5S2"},
        {0u, u"MODE=5&CID=17&OP=3&CH=0", u"MODE=5&CID=17&OP=7&CH=0&LEN=1&REQ=5S2"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(FormatSelectChannelBody(17, c.mask), c.select);
        EXPECT_EQ(FormatCameraCommandBody(17, ChannelIndexFromMask(c.mask), u"5S2"), c.camera);
    }
    EXPECT_EQ(FormatLogoutBody(0), u"MODE=5&CID=0&OP=5");
    EXPECT_EQ(FormatLogoutBody(255), u"MODE=5&CID=255&OP=5");
}

TEST(ProtocolTest, ErrorCodesMapToTheirMessages)
{
    const struct
    {
        uint8_t code;
        const char16_t* text;
    } cases[] = {
        {1, u"User Unknown Error!!"},     {2, u"Password Miss Error!!"},
        {3, u"Protocol Version Error!!"}, {4, u"Client Limit Error!!"},
        {5, u"Super Exist Error!!"},      {6, u"No Video Data Error!!"},
        {7, u"No Video Channel Error!!"}, {14, u"Connection Time Out!!"},
        {0, u"ETC Error!!"},              {8, u"ETC Error!!"},
        {13, u"ETC Error!!"},             {15, u"ETC Error!!"},
        {200, u"ETC Error!!"},            {255, u"ETC Error!!"},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(LoadString(ErrorStringId(c.code)), c.text) << int(c.code);
    }
    EXPECT_EQ(ErrorStringId(14), 61218u);
    EXPECT_EQ(ErrorStringId(99), 61215u);
}

TEST(ProtocolTest, InfoBlockChannelCountIsByteZero)
{
    DvrInfoBlock block{};
    static_assert(sizeof(DvrInfoBlock) == 214);
    block.bytes[0] = 16;
    EXPECT_EQ(block.ChannelCount(), 16u);
    block.bytes[0] = 255;
    EXPECT_EQ(block.ChannelCount(), 255u);
}

TEST(ProtocolTest, BuiltPacketIsFramed)
{
    const uint8_t payload[] = {1, 2, 3};
    const auto packet = BuildPacket(9, PKT_FRAME, payload, 3);
    const std::vector<uint8_t> expected = {0xFB, 0xFB, 0xFB, 0xFC, 9, 13, 0, 0, 0, 3,
                                           1,    2,    3,    0xFB, 0xFB, 0xFB, 0xFD};
    EXPECT_EQ(packet, expected);
}
