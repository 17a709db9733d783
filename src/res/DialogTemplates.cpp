#include "res/DialogTemplate.h"

#include "res/ResourceIds.h"

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

constexpr const char16_t* kDialogFont = u"MS Sans Serif";

// Kept sorted by id.
constexpr DialogTemplate kTemplates[] = {
    {IDD_CONNECT_DLG, u"Connect DVR", 138, 178, kDialogFont, 8, DialogStyle::None,
     kConnectControls},
    {IDD_ADD_DVR_DLG, u"ADD DVR", 155, 172, kDialogFont, 8, DialogStyle::VScroll, kAddDvrControls},
    {IDD_DVR_INFORMATION, u"DVR Information", 138, 129, kDialogFont, 8, DialogStyle::None,
     kInformationControls},
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
