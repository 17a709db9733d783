// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

// Menu 128 as data: the "Menu" soft key's pop-up. An item with a pop-up opens it;
// any other item carries its command id, and may have keys (QKeySequence text,
// several separated by "; ").
struct MenuItemTemplate
{
    const char16_t* text;
    unsigned id;
    std::span<const MenuItemTemplate> popup;
    const char16_t* shortcut = nullptr;
};

std::span<const MenuItemTemplate> MainMenuPopup();

// The texts of the PTZ Control item while the panels are hidden and shown.
inline constexpr const char16_t* kPtzControlText = u"PTZ Control";
inline constexpr const char16_t* kClosePtzText = u"Close PTZ";
// The Look Back pop-up's first item while live or playing, and while paused.
inline constexpr const char16_t* kPauseText = u"Pause";
inline constexpr const char16_t* kPlayText = u"Play";
// The pop-up of the single view's menu and of a tile's right-click menu.
inline constexpr const char16_t* kMotionSensitivityText = u"Motion Sensitivity";
