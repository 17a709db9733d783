// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptz/PTZCommand.h"

#include "platform/WindowMessages.h"

#include <gtest/gtest.h>

using Texts = std::vector<std::u16string>;

TEST(PTZCommandTest, EachActionSendsItsTextsInOrderAndBadValuesSendNothing)
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
        {PTZ_RIGHT, false, 1, 0, {u"4S1", u"8"}},
        {PTZ_UP, true, 0, 1, {u"6S0", u"8"}},
        {PTZ_DOWN, false, 3, 1, {u"7S3", u"8"}},
        {PTZ_ZOOM_IN, false, 0, 1, {u"0S0", u"8"}},
        {PTZ_ZOOM_OUT, false, 2, 1, {u"1S2", u"8"}},
        {PTZ_FOCUS_FAR, false, 2, 1, {u"2S2", u"8"}},
        {PTZ_FOCUS_NEAR, false, 3, 1, {u"3S3", u"8"}},
        {PTZ_PRESET, true, 2, 12, {u"9G12"}},
        {PTZ_PRESET, true, -1, 7, {u"9G7"}},
        {PTZ_PRESET, false, 2, 99, {u"9S99"}},
        {PTZ_PRESET, false, 2, 1, {u"9S1"}},
        // No action, or a value the lists cannot hold: nothing to send.
        {PTZ_STOP, false, 2, 1, {}},
        {-1, false, 2, 1, {}},
        {10, false, 2, 1, {}},
        {PTZ_LEFT, false, -1, 1, {}},
        {PTZ_LEFT, false, 4, 1, {}},
        {PTZ_PRESET, true, 2, 0, {}},
        {PTZ_PRESET, false, 2, 100, {}},
    };
    for (const auto& c : cases)
    {
        EXPECT_EQ(PTZActionRequests(c.code, c.recall, c.speed, c.preset), c.texts)
            << c.code << " " << c.recall << " " << c.speed << " " << c.preset;
    }
}

TEST(PTZCommandTest, OnlyTheTenPanelMessagesAreActions)
{
    // The ten map to their codes through real clicks in PTZPanelsTest.
    for (unsigned message = WM_USER + 99; message <= WM_USER + 110; ++message)
    {
        const bool panelMessage = message >= WM_PTZ_LEFT && message <= WM_PTZ_PRESET_SET;
        EXPECT_EQ(PTZActionOfMessage(message).has_value(), panelMessage) << message;
    }
    EXPECT_FALSE(PTZActionOfMessage(WM_DVR_CONNECTED).has_value());
}
