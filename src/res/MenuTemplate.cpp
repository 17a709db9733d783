// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/MenuTemplate.h"

#include "res/ResourceIds.h"

namespace
{
constexpr MenuItemTemplate kConnectPopup[] = {
    {u"Connect", ID_CONNECT, {}},
    {u"Disconnect", ID_DISCONNECT, {}},
};

constexpr MenuItemTemplate kChannelPopup[] = {
    {u"CH-01", ID_CHANNEL_FIRST + 0, {}, u"1"}, {u"CH-02", ID_CHANNEL_FIRST + 1, {}, u"2"},
    {u"CH-03", ID_CHANNEL_FIRST + 2, {}, u"3"}, {u"CH-04", ID_CHANNEL_FIRST + 3, {}, u"4"},
    {u"CH-05", ID_CHANNEL_FIRST + 4, {}, u"5"}, {u"CH-06", ID_CHANNEL_FIRST + 5, {}, u"6"},
    {u"CH-07", ID_CHANNEL_FIRST + 6, {}, u"7"}, {u"CH-08", ID_CHANNEL_FIRST + 7, {}, u"8"},
    {u"CH-09", ID_CHANNEL_FIRST + 8, {}, u"9"}, {u"CH-10", ID_CHANNEL_FIRST + 9, {}, u"0"},
    {u"CH-11", ID_CHANNEL_FIRST + 10, {}},      {u"CH-12", ID_CHANNEL_FIRST + 11, {}},
    {u"CH-13", ID_CHANNEL_FIRST + 12, {}},      {u"CH-14", ID_CHANNEL_FIRST + 13, {}},
    {u"CH-15", ID_CHANNEL_FIRST + 14, {}},      {u"CH-16", ID_CHANNEL_FIRST + 15, {}},
};

constexpr MenuItemTemplate kLayoutPopup[] = {
    {u"Single", ID_LAYOUT_SINGLE, {}, u"Alt+1"},  {u"2 \u00d7 2", ID_LAYOUT_2X2, {}, u"Alt+2"},
    {u"3 \u00d7 3", ID_LAYOUT_3X3, {}, u"Alt+3"}, {u"4 \u00d7 4", ID_LAYOUT_4X4, {}, u"Alt+4"},
    {u"Edit Wall...", ID_LAYOUT_EDIT, {}, u"Alt+W"},
    {u"Tour", ID_LAYOUT_TOUR, {}, u"Alt+T"},
    {u"Follow Motion", ID_FOLLOW_MOTION, {}},
};

constexpr MenuItemTemplate kLookBackMemoryPopup[] = {
    {u"128 MB", ID_LOOKBACK_MEMORY_FIRST + 0, {}}, {u"256 MB", ID_LOOKBACK_MEMORY_FIRST + 1, {}},
    {u"512 MB", ID_LOOKBACK_MEMORY_FIRST + 2, {}}, {u"1 GB", ID_LOOKBACK_MEMORY_FIRST + 3, {}},
    {u"2 GB", ID_LOOKBACK_MEMORY_FIRST + 4, {}},
};

// Space and K both pause, as in the players people know; arrows stay the camera's and the wall's.
constexpr MenuItemTemplate kLookBackPopup[] = {
    {kPauseText, ID_LOOKBACK_PAUSE, {}, u"Space; K"},
    {u"Back 10 Seconds", ID_LOOKBACK_BACK, {}, u"J"},
    {u"Forward 10 Seconds", ID_LOOKBACK_FORWARD, {}, u"L"},
    {u"Previous Frame", ID_LOOKBACK_PREVIOUS_FRAME, {}, u","},
    {u"Next Frame", ID_LOOKBACK_NEXT_FRAME, {}, u"."},
    {u"Previous Motion", ID_LOOKBACK_PREVIOUS_MOTION, {}, u"Shift+J"},
    {u"Next Motion", ID_LOOKBACK_NEXT_MOTION, {}, u"Shift+L"},
    {u"Live", ID_LOOKBACK_LIVE, {}, u"End"},
    {u"Save Clip...", ID_LOOKBACK_SAVE_CLIP, {}, u"Ctrl+Shift+S"},
    {u"Mark In", ID_LOOKBACK_MARK_IN, {}, u"["},
    {u"Mark Out", ID_LOOKBACK_MARK_OUT, {}, u"]"},
    {u"Record", ID_LOOKBACK_RECORD, {}, u"Ctrl+R"},
    {u"Look-Back Memory", 0, kLookBackMemoryPopup},
};

// In the order of MotionSensitivity.
constexpr MenuItemTemplate kMotionSensitivityPopup[] = {
    {u"Low", ID_MOTION_SENSITIVITY_FIRST + 0, {}},
    {u"Medium", ID_MOTION_SENSITIVITY_FIRST + 1, {}},
    {u"High", ID_MOTION_SENSITIVITY_FIRST + 2, {}},
};

constexpr MenuItemTemplate kMainPopup[] = {
    {u"Connect", 0, kConnectPopup},
    {u"Channel", 0, kChannelPopup},
    {u"Layout", 0, kLayoutPopup},
    {u"Look Back", 0, kLookBackPopup},
    {kMotionSensitivityText, 0, kMotionSensitivityPopup},
    {kPtzControlText, ID_PTZ_CONTROL, {}},
    {u"DVR Information", ID_DVR_INFORMATION, {}},
    {u"Save Picture...", ID_SAVE_PICTURE, {}, u"Ctrl+S"},
    {u"Full Screen", ID_FULL_SCREEN, {}, u"F11"},
    {u"Statistics", ID_STATISTICS, {}, u"I"},
    {u"Reconnect at Start", ID_RECONNECT_AT_START, {}},
    {u"Keep Passwords in Keyring", ID_KEEP_PASSWORDS_IN_KEYRING, {}},
    {u"Keep Screen On", ID_KEEP_SCREEN_ON, {}},
    {u"Notify on Motion", ID_NOTIFY_ON_MOTION, {}},
    {u"About Quillon...", ID_APP_ABOUT, {}},
};

static_assert(std::size(kChannelPopup) == ID_CHANNEL_LAST - ID_CHANNEL_FIRST + 1);
static_assert(std::size(kMotionSensitivityPopup) ==
              ID_MOTION_SENSITIVITY_LAST - ID_MOTION_SENSITIVITY_FIRST + 1);
static_assert(std::size(kLookBackMemoryPopup) == ID_LOOKBACK_MEMORY_LAST - ID_LOOKBACK_MEMORY_FIRST + 1);
} // namespace

std::span<const MenuItemTemplate> MainMenuPopup()
{
    return kMainPopup;
}
