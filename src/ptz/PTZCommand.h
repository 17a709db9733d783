// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <vector>

// Camera action codes as the DVR knows them. Zoom and focus come first and
// right comes before left: the numbers are the DVR's, not the panels' order.
constexpr int PTZ_ZOOM_IN = 0;
constexpr int PTZ_ZOOM_OUT = 1;
constexpr int PTZ_FOCUS_FAR = 2;
constexpr int PTZ_FOCUS_NEAR = 3;
constexpr int PTZ_RIGHT = 4;
constexpr int PTZ_LEFT = 5;
constexpr int PTZ_UP = 6;
constexpr int PTZ_DOWN = 7;
constexpr int PTZ_STOP = 8;
constexpr int PTZ_PRESET = 9;

// Speeds as the bar's speed list offers them ("Slow" … "Very Fast"), and presets 1–99.
constexpr int PTZ_SPEED_SLOW = 0;
constexpr int PTZ_SPEED_VERY_FAST = 3;
constexpr int PTZ_FIRST_PRESET = 1;
constexpr int PTZ_LAST_PRESET = 99;

// The REQ texts of one action, in the order they are sent: a move, zoom or
// focus at `speed` and then the stop; or the single recall ("9G<preset>") or
// set ("9S<preset>") of a preset. `recall` matters for PTZ_PRESET only. Empty
// for a code that is no action (PTZ_STOP, or out of range) or a speed or preset
// out of range: nothing is sent rather than a text the DVR cannot read.
std::vector<std::u16string> PTZActionRequests(int code, bool recall, int speed, int preset);

// What one of the panels' ten WM_PTZ_* notifications asks for.
struct PTZAction
{
    int code;
    bool recall;
};

// The action of a WM_PTZ_* message; nothing for any other message.
std::optional<PTZAction> PTZActionOfMessage(unsigned message);
