// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/DialogTemplate.h"

#include "res/ResourceIds.h"
#include "res/Version.h"

#include <algorithm>
#include <iterator>

namespace
{
using namespace ControlStyle;

constexpr unsigned kEditStyle = Border | TabStop;
constexpr unsigned kReadOnlyStyle = ReadOnly | TabStop;

constexpr ControlTemplate kConnectControls[] = {
    {IDC_CONNECT_LIST, ControlKind::ListView, u"", 6, 0, 126, 102,
     SingleSelection | Border | TabStop},
    {IDC_CONNECT_ADD, ControlKind::PushButton, u"Add", 66, 108, 30, 12, None},
    {IDC_CONNECT_DELETE, ControlKind::PushButton, u"Delete", 102, 108, 30, 12, None},
    {IDC_CONNECT_USER_LABEL, ControlKind::Static, u"User", 6, 126, 48, 8, None},
    {IDC_CONNECT_USER, ControlKind::ComboBox, u"", 60, 126, 73, 73, DropDown | Sort | TabStop},
    {IDC_CONNECT_PASSWORD_LABEL, ControlKind::Static, u"Password", 6, 144, 48, 8, None},
    {IDC_CONNECT_PASSWORD, ControlKind::Edit, u"", 60, 144, 72, 12, Password | kEditStyle},
    {IDC_CONNECT_CONNECT, ControlKind::PushButton, u"Connect", 66, 161, 30, 12, None},
    {IDC_CONNECT_CANCEL, ControlKind::PushButton, u"Cancel", 102, 161, 30, 12, None},
};

constexpr ControlTemplate kAddDvrControls[] = {
    {IDC_ADDDVR_NAME_LABEL, ControlKind::Static, u"Name", 6, 6, 48, 8, None},
    {IDC_ADDDVR_NAME, ControlKind::Edit, u"", 60, 6, 60, 14, kEditStyle},
    {IDC_ADDDVR_ADDRESS_LABEL, ControlKind::Static, u"DVR Address", 6, 23, 48, 8, None},
    {IDC_ADDDVR_ADDRESS, ControlKind::Edit, u"", 60, 23, 60, 14, kEditStyle},
    {IDC_ADDDVR_PORT_LABEL, ControlKind::Static, u"Port", 6, 42, 48, 8, None},
    {IDC_ADDDVR_PORT, ControlKind::Edit, u"", 60, 41, 60, 14, kEditStyle},
    {IDC_ADDDVR_CHANNEL_LABEL, ControlKind::Static, u"Channel", 6, 60, 48, 8, None},
    {IDC_ADDDVR_CHANNEL, ControlKind::ComboBox, u"", 60, 60, 60, 48, Sort | TabStop},
    {IDC_ADDDVR_USER_LABEL, ControlKind::Static, u"User", 6, 78, 48, 8, None},
    {IDC_ADDDVR_USER, ControlKind::ComboBox, u"", 60, 78, 60, 73, DropDown | Sort | TabStop},
    {IDC_ADDDVR_PASSWORD_LABEL, ControlKind::Static, u"Password", 6, 96, 48, 8, None},
    {IDC_ADDDVR_PASSWORD, ControlKind::Edit, u"", 60, 96, 60, 14, Password | kEditStyle},
    {IDC_ADDDVR_OK, ControlKind::PushButton, u"OK", 18, 120, 42, 12, None},
    {IDC_ADDDVR_CANCEL, ControlKind::PushButton, u"Cancel", 72, 120, 42, 12, None},
};

constexpr ControlTemplate kInformationControls[] = {
    {IDC_INFO_NAME_LABEL, ControlKind::Static, u"Name", 6, 12, 48, 8, None},
    {IDC_INFO_NAME, ControlKind::Edit, u"", 54, 12, 72, 14, kReadOnlyStyle},
    {IDC_INFO_ADDRESS_LABEL, ControlKind::Static, u"DVR Address", 6, 30, 48, 8, None},
    {IDC_INFO_ADDRESS, ControlKind::Edit, u"", 54, 30, 72, 14, kReadOnlyStyle},
    {IDC_INFO_PORT_LABEL, ControlKind::Static, u"Port", 6, 49, 48, 8, None},
    {IDC_INFO_PORT, ControlKind::Edit, u"", 54, 48, 72, 14, kReadOnlyStyle},
    {IDC_INFO_USER_LABEL, ControlKind::Static, u"User", 7, 66, 41, 8, None},
    {IDC_INFO_USER, ControlKind::Edit, u"", 54, 66, 72, 14, kReadOnlyStyle},
    {IDC_INFO_CHANNEL_LABEL, ControlKind::Static, u"Channel", 6, 84, 48, 8, None},
    {IDC_INFO_CHANNEL, ControlKind::Edit, u"", 54, 84, 72, 14, kReadOnlyStyle},
    {IDC_INFO_OK, ControlKind::PushButton, u"OK", 48, 108, 42, 12, None},
};

// The About box: the icon, then the texts below it (portrait) or beside it (landscape).
constexpr const char16_t* kAppIcon = u":/icons/quillon-48.png";
constexpr const char16_t* kVersionText = u"Quillon Version " QUILLON_VERSION;
constexpr const char16_t* kAboutNote = u"Live DVR viewer";

constexpr ControlTemplate kAboutControls[] = {
    {IDC_ABOUT_ICON, ControlKind::Icon, kAppIcon, 12, 12, 20, 20, None},
    {IDC_ABOUT_VERSION, ControlKind::Static, kVersionText, 12, 36, 137, 8, None},
    {IDC_ABOUT_NOTE, ControlKind::Static, kAboutNote, 12, 48, 66, 8, None},
};

constexpr ControlTemplate kAboutWideControls[] = {
    {IDC_ABOUT_ICON, ControlKind::Icon, kAppIcon, 12, 12, 20, 20, None},
    {IDC_ABOUT_VERSION, ControlKind::Static, kVersionText, 48, 12, 155, 8, None},
    {IDC_ABOUT_NOTE, ControlKind::Static, kAboutNote, 48, 24, 66, 8, None},
};

constexpr ControlTemplate kPTZLeftControls[] = {
    {IDC_PTZ_LEFT, ControlKind::PushButton, u"Left", 0, 0, 24, 14, None},
};

constexpr ControlTemplate kPTZTopControls[] = {
    {IDC_PTZ_UP, ControlKind::PushButton, u"Up", 0, 0, 24, 14, None},
};

constexpr ControlTemplate kPTZRightControls[] = {
    {IDC_PTZ_RIGHT, ControlKind::PushButton, u"Right", 0, 0, 24, 14, None},
};

constexpr ControlTemplate kPTZBottomControls[] = {
    {IDC_PTZ_DOWN, ControlKind::PushButton, u"Down", 0, 0, 24, 14, None},
};

constexpr unsigned kPTZListStyle = TabStop;

constexpr ControlTemplate kPTZBarControls[] = {
    {IDC_PTZ_ZOOM_IN, ControlKind::PushButton, u"ZI", 0, 0, 24, 14, None},
    {IDC_PTZ_ZOOM_OUT, ControlKind::PushButton, u"ZO", 24, 0, 24, 14, None},
    {IDC_PTZ_FOCUS_FAR, ControlKind::PushButton, u"FF", 54, 0, 24, 14, None},
    {IDC_PTZ_FOCUS_NEAR, ControlKind::PushButton, u"FN", 78, 0, 24, 14, None},
    {IDC_PTZ_SPEED, ControlKind::ComboBox, u"", 108, 0, 48, 84, kPTZListStyle},
    {IDC_PTZ_PRESET, ControlKind::ComboBox, u"", 156, 0, 48, 84, kPTZListStyle},
    {IDC_PTZ_PRESET_RECALL, ControlKind::PushButton, u"G", 204, 0, 24, 14, None},
    {IDC_PTZ_PRESET_SET, ControlKind::PushButton, u"S", 228, 0, 24, 14, None},
};

constexpr const char16_t* kDialogFont = u"MS Sans Serif";
constexpr const char16_t* kPanelFont = u"MS Shell Dlg";

// Kept sorted by id.
constexpr DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX, u"About Quillon", 156, 129, kDialogFont, 8, DialogStyle::None, kAboutControls},
    {IDD_CONNECT_DLG, u"Connect DVR", 138, 178, kDialogFont, 8, DialogStyle::None,
     kConnectControls},
    {IDD_ABOUTBOX_WIDE, u"About Quillon", 210, 129, kDialogFont, 8, DialogStyle::None,
     kAboutWideControls},
    {IDD_ADD_DVR_DLG, u"ADD DVR", 155, 172, kDialogFont, 8, DialogStyle::VScroll, kAddDvrControls},
    {IDD_DVR_INFORMATION, u"DVR Information", 138, 129, kDialogFont, 8, DialogStyle::None,
     kInformationControls},
    {IDD_PTZ_LEFT, u"", 25, 14, kPanelFont, 8, DialogStyle::Child, kPTZLeftControls},
    {IDD_PTZ_TOP, u"", 25, 14, kPanelFont, 8, DialogStyle::Child, kPTZTopControls},
    {IDD_PTZ_RIGHT, u"", 24, 14, kPanelFont, 8, DialogStyle::Child, kPTZRightControls},
    {IDD_PTZ_BOTTOM, u"", 25, 14, kPanelFont, 8, DialogStyle::Child, kPTZBottomControls},
    {IDD_PTZ_DLG, u"", 253, 14, kPanelFont, 8, DialogStyle::Child, kPTZBarControls},
};

static_assert(std::is_sorted(std::begin(kTemplates), std::end(kTemplates),
                             [](const DialogTemplate& a, const DialogTemplate& b)
                             { return a.id < b.id; }));
} // namespace

const DialogTemplate* FindDialogTemplate(unsigned id)
{
    const auto it =
        std::lower_bound(std::begin(kTemplates), std::end(kTemplates), id,
                         [](const DialogTemplate& t, unsigned key) { return t.id < key; });
    return it == std::end(kTemplates) || it->id != id ? nullptr : &*it;
}
