// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The program's own window messages keep their numbers; they travel through
// INotifyWindow and the Qt message-sending helper.
constexpr unsigned WM_USER = 0x0400;

// From the PTZ panels to the view, both parameters 0.
constexpr unsigned WM_PTZ_LEFT = WM_USER + 100;
constexpr unsigned WM_PTZ_UP = WM_USER + 101;
constexpr unsigned WM_PTZ_RIGHT = WM_USER + 102;
constexpr unsigned WM_PTZ_DOWN = WM_USER + 103;
constexpr unsigned WM_PTZ_ZOOM_IN = WM_USER + 104;
constexpr unsigned WM_PTZ_ZOOM_OUT = WM_USER + 105;
constexpr unsigned WM_PTZ_FOCUS_FAR = WM_USER + 106;
constexpr unsigned WM_PTZ_FOCUS_NEAR = WM_USER + 107;
constexpr unsigned WM_PTZ_PRESET_RECALL = WM_USER + 108;
constexpr unsigned WM_PTZ_PRESET_SET = WM_USER + 109;

constexpr unsigned WM_DVR_CONNECTED = WM_USER + 200;
constexpr unsigned WM_DVR_CONNECT_FAILED = WM_USER + 201;
constexpr unsigned WM_DVR_ERROR = WM_USER + 202;
