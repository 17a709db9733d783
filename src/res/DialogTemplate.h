// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <span>

// Dialog templates kept as data, in dialog units; the Qt layer turns them into
// widgets. Qt-free so that ids and layouts stay in one place under res/.

enum class ControlKind
{
    Static,
    PushButton,
    Edit,
    ComboBox,
    ListView,
    Icon, // a static picture; the text names the image resource
};

// Control styles, combined with |.
namespace ControlStyle
{
constexpr unsigned None = 0;
constexpr unsigned TabStop = 1u << 0;
constexpr unsigned Border = 1u << 1;
constexpr unsigned ReadOnly = 1u << 2;
constexpr unsigned Password = 1u << 3;
constexpr unsigned DropDown = 1u << 4; // editable combo box; without it the box only picks
constexpr unsigned Sort = 1u << 5;
constexpr unsigned SingleSelection = 1u << 6;
} // namespace ControlStyle

// Window styles of a dialog.
namespace DialogStyle
{
constexpr unsigned None = 0;
constexpr unsigned VScroll = 1u << 0; // the window has its own vertical scroll bar
constexpr unsigned Child = 1u << 1;   // a modeless panel inside its parent window
} // namespace DialogStyle

struct ControlTemplate
{
    unsigned id;
    ControlKind kind;
    const char16_t* text;
    int x;
    int y;
    int cx;
    int cy;
    unsigned style;
};

struct DialogTemplate
{
    unsigned id;
    const char16_t* caption;
    int cx;
    int cy;
    const char16_t* fontName;
    int fontPointSize;
    unsigned style;
    std::span<const ControlTemplate> controls;
};

// The template with the given id, or null when there is none.
const DialogTemplate* FindDialogTemplate(unsigned id);
