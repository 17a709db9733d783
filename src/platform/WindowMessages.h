#pragma once

#include <cstdint>

// The program's own window messages keep their numbers; they travel through
// INotifyWindow and the Qt message-sending helper.
constexpr unsigned WM_USER = 0x0400;

constexpr unsigned WM_PTZ_LEFT = WM_USER + 100;
constexpr unsigned WM_PTZ_PRESET_SET = WM_USER + 109;

constexpr unsigned WM_DVR_CONNECTED = WM_USER + 200;
constexpr unsigned WM_DVR_CONNECT_FAILED = WM_USER + 201;
constexpr unsigned WM_DVR_ERROR = WM_USER + 202;
