#include "ptz/PTZCommand.h"

#include "platform/WindowMessages.h"

#include <gtest/gtest.h>

using Texts = std::vector<std::u16string>;

TEST(PTZCommandTest, EachActionSendsItsTextsInOrder)
{
    const struct
    {
        int code;
        bool recall;
        int speed;
        int preset;
        Texts texts;
    } cases[] = {
        {PTZ_LEFT, false, 2, 1, {u"5S2", u"8"}},
        {PTZ_RIGHT, false, 1, 1, {u"4S1", u"8"}},
        {PTZ_UP, true, 0, 1, {u"6S0", u"8"}}, // recall means nothing to a move
        {PTZ_DOWN, false, 3, 1, {u"7S3", u"8"}},
        {PTZ_ZOOM_IN, false, 0, 1, {u"0S0", u"8"}},
        {PTZ_ZOOM_OUT, false, 2, 1, {u"1S2", u"8"}},
        {PTZ_FOCUS_FAR, false, 2, 1, {u"2S2", u"8"}},
        {PTZ_FOCUS_NEAR, false, 3, 1, {u"3S3", u"8"}},
        {PTZ_PRESET, true, 2, 12, {u"9G12"}},
        {PTZ_PRESET, true, 0, 7, {u"9G7"}},
        {PTZ_PRESET, false, 2, 99, {u"9S99"}},
        {PTZ_PRESET, false, 2, 1, {u"9S1"}},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(PTZActionRequests(c.code, c.recall, c.speed, c.preset), c.texts)
            << c.code << " " << c.recall << " " << c.speed << " " << c.preset;
    }
}

TEST(PTZCommandTest, NoActionOrOutOfRangeValuesSendNothing)
{
    const struct
    {
        int code;
        int speed;
        int preset;
    } cases[] = {
        {PTZ_STOP, 2, 1}, {-1, 2, 1},         {10, 2, 1},           {PTZ_LEFT, -1, 1},
        {PTZ_LEFT, 4, 1}, {PTZ_PRESET, 2, 0}, {PTZ_PRESET, 2, 100}, {PTZ_PRESET, 2, -5},
    };
    for (const auto& c : cases)
    {
        EXPECT_TRUE(PTZActionRequests(c.code, true, c.speed, c.preset).empty()) << c.code;
        EXPECT_TRUE(PTZActionRequests(c.code, false, c.speed, c.preset).empty()) << c.code;
    }
    // A preset ignores the speed, and a move the preset.
    EXPECT_EQ(PTZActionRequests(PTZ_PRESET, true, -1, 3), Texts{u"9G3"});
    EXPECT_EQ(PTZActionRequests(PTZ_LEFT, false, 1, 0), (Texts{u"5S1", u"8"}));
}

TEST(PTZCommandTest, TheTenMessagesMapToTheirCodes)
{
    const struct
    {
        unsigned message;
        unsigned number;
        int code;
        bool recall;
    } cases[] = {
        {WM_PTZ_LEFT, 0x464, PTZ_LEFT, false},
        {WM_PTZ_UP, 0x465, PTZ_UP, false},
        {WM_PTZ_RIGHT, 0x466, PTZ_RIGHT, false},
        {WM_PTZ_DOWN, 0x467, PTZ_DOWN, false},
        {WM_PTZ_ZOOM_IN, 0x468, PTZ_ZOOM_IN, false},
        {WM_PTZ_ZOOM_OUT, 0x469, PTZ_ZOOM_OUT, false},
        {WM_PTZ_FOCUS_FAR, 0x46A, PTZ_FOCUS_FAR, false},
        {WM_PTZ_FOCUS_NEAR, 0x46B, PTZ_FOCUS_NEAR, false},
        {WM_PTZ_PRESET_RECALL, 0x46C, PTZ_PRESET, true},
        {WM_PTZ_PRESET_SET, 0x46D, PTZ_PRESET, false},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(c.message, c.number);
        const auto action = PTZActionOfMessage(c.message);
        ASSERT_TRUE(action.has_value()) << c.number;
        EXPECT_EQ(action->code, c.code) << c.number;
        EXPECT_EQ(action->recall, c.recall) << c.number;
    }
    for (const unsigned other : {WM_USER + 99, WM_USER + 110, WM_DVR_CONNECTED, 0u})
    {
        EXPECT_FALSE(PTZActionOfMessage(other).has_value()) << other;
    }
}
