// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptz/PTZCommand.h"

#include "platform/WindowMessages.h"

#include <cstdio>

namespace
{
// The DVR's texts are ASCII, so a narrow format widened by byte is exact.
std::u16string Format(const char* format, int a, int b = 0)
{
    char text[32];
    const int length = std::snprintf(text, sizeof text, format, a, b);
    return std::u16string(text, text + length);
}

struct MessageAction
{
    unsigned message;
    PTZAction action;
};

constexpr MessageAction kMessageActions[] = {
    {WM_PTZ_LEFT, {PTZ_LEFT, false}},           {WM_PTZ_UP, {PTZ_UP, false}},
    {WM_PTZ_RIGHT, {PTZ_RIGHT, false}},         {WM_PTZ_DOWN, {PTZ_DOWN, false}},
    {WM_PTZ_ZOOM_IN, {PTZ_ZOOM_IN, false}},     {WM_PTZ_ZOOM_OUT, {PTZ_ZOOM_OUT, false}},
    {WM_PTZ_FOCUS_FAR, {PTZ_FOCUS_FAR, false}}, {WM_PTZ_FOCUS_NEAR, {PTZ_FOCUS_NEAR, false}},
    {WM_PTZ_PRESET_RECALL, {PTZ_PRESET, true}}, {WM_PTZ_PRESET_SET, {PTZ_PRESET, false}},
};
} // namespace

std::vector<std::u16string> PTZActionRequests(int code, bool recall, int speed, int preset)
{
    if (code == PTZ_PRESET)
    {
        if (preset < PTZ_FIRST_PRESET || preset > PTZ_LAST_PRESET)
        {
            return {};
        }
        return {Format(recall ? "%dG%d" : "%dS%d", PTZ_PRESET, preset)};
    }
    if (code < PTZ_ZOOM_IN || code > PTZ_DOWN || speed < PTZ_SPEED_SLOW ||
        speed > PTZ_SPEED_VERY_FAST)
    {
        return {};
    }
    // A move runs until it is stopped, so every one is followed by the stop at once.
    return {Format("%dS%d", code, speed), Format("%d", PTZ_STOP)};
}

std::optional<PTZAction> PTZActionOfMessage(unsigned message)
{
    for (const MessageAction& entry : kMessageActions)
    {
        if (entry.message == message)
        {
            return entry.action;
        }
    }
    return std::nullopt;
}
