// SPDX-License-Identifier: GPL-3.0-or-later
#include "res/StringTable.h"

#include "res/ResourceIds.h"

#include <algorithm>
#include <iterator>

namespace
{
struct StringEntry
{
    unsigned id;
    const char16_t* text;
};

// Kept sorted by id.
constexpr StringEntry kStrings[] = {
    {IDS_SOCKETS_INIT_FAILED, u"Windows socket initialization failed"},
    {IDS_SOFTKEY_EXIT, u"Exit"},
    {IDS_SOFTKEY_MENU, u"Menu"},
    {ID_CONNECT, u"Connect DVR"},
    {ID_EXIT, u"Exit"},
    {IDS_APP_TITLE, u"Quillon"},
    {IDS_VERIFY_REQUIRED_FIELDS, u"Please verify all the required fields!!"},
    {IDS_SAME_DVR_CONNECTION, u"There is the same dvr connection."},
    {IDS_CONFIRM_DELETE_DVR, u"Are you sure you want to delete the selected DVR?"},
    {IDS_CANT_CONNECT_DVR, u"Can't connect the DVR."},
    {IDS_ERROR_USER_UNKNOWN, u"User Unknown Error!!"},
    {IDS_ERROR_PASSWORD_MISS, u"Password Miss Error!!"},
    {IDS_ERROR_PROTOCOL_VERSION, u"Protocol Version Error!!"},
    {IDS_ERROR_CLIENT_LIMIT, u"Client Limit Error!!"},
    {IDS_ERROR_SUPER_EXIST, u"Super Exist Error!!"},
    {IDS_ERROR_NO_VIDEO_DATA, u"No Video Data Error!!"},
    {IDS_ERROR_NO_VIDEO_CHANNEL, u"No Video Channel Error!!"},
    {IDS_ERROR_ETC, u"ETC Error!!"},
    {IDS_NO_DVR_CONNECTION, u"There is not a dvr connection."},
    {IDS_USER_NAME_CHARACTERS, u"Only alphabet, number and '_' can be entered"},
    {IDS_ERROR_CONNECTION_TIME_OUT, u"Connection Time Out!!"},
    {IDS_SAVE_PICTURE_FAILED, u"The picture could not be saved."},
    {IDS_KEYRING_MOVE_IN_FAILED,
     u"The passwords could not be moved into the keyring; they stay in the DVR list."},
    {IDS_KEYRING_MOVE_OUT_FAILED,
     u"The passwords could not be moved out of the keyring; they stay there."},
    {IDS_KEYRING_READ_FAILED, u"The saved passwords could not be read from the keyring."},
    {IDS_CONNECT_HINT, u"Menu \u203a Connect to watch a DVR"},
    {IDS_CONNECT_HINT_NO_DVR, u"Menu \u203a Connect \u203a Connect, then Add, to enter your DVR"},
    {IDS_KEEP_SCREEN_ON_REASON, u"Live pictures from a DVR are on screen"},
    {IDS_PAST_PICTURE, u"%1 \u00b7 %2 s ago"},
    {IDS_NO_PICTURE_AT, u"No picture at %1"},
    {IDS_MOTION_ON, u"Motion on %1"},
    {IDS_MOTION_OPEN, u"Open"},
    {IDS_CLIP_DISK_FULL, u"The disk is full."},
    {IDS_CLIP_CANNOT_WRITE_FOLDER, u"Quillon cannot write to %1."},
    {IDS_CLIP_EXISTS, u"%1 exists already."},
    {IDS_CLIP_TOO_LARGE, u"%1 has grown larger than the disk takes in one file."},
    {IDS_CLIP_WRITE_FAILED, u"%1 could not be written: %2."},
    {IDS_CLIP_NO_PICTURES, u"There are no pictures to save in this span."},
    {IDS_RECORD_DISK_LOW, u"Recording stopped: less than 1 GB is free on the disk."},
    {IDS_CLIP_REPLACE, u"%1 exists already. Do you want to replace it?"},
    {IDS_FILE_WRITE_ERROR, u"The DVR list could not be saved."},
};

static_assert(std::is_sorted(std::begin(kStrings), std::end(kStrings),
                             [](const StringEntry& a, const StringEntry& b)
                             { return a.id < b.id; }));
} // namespace

std::u16string LoadString(unsigned id)
{
    const auto it = std::lower_bound(std::begin(kStrings), std::end(kStrings), id,
                                     [](const StringEntry& e, unsigned key) { return e.id < key; });
    if (it == std::end(kStrings) || it->id != id)
    {
        return {};
    }
    return it->text;
}
