// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Application resources: menu 128, the application icon, the document string.
constexpr unsigned IDR_MAINFRAME = 128;

// String ids.
constexpr unsigned IDS_SOCKETS_INIT_FAILED = 104;
constexpr unsigned IDS_SOFTKEY_EXIT = 301;
constexpr unsigned IDS_SOFTKEY_MENU = 302;
constexpr unsigned IDS_APP_TITLE = 57344;
constexpr unsigned IDS_CANT_CONNECT_DVR = 61207;
constexpr unsigned IDS_VERIFY_REQUIRED_FIELDS = 61204;
constexpr unsigned IDS_SAME_DVR_CONNECTION = 61205;
constexpr unsigned IDS_CONFIRM_DELETE_DVR = 61206;
constexpr unsigned IDS_ERROR_USER_UNKNOWN = 61208;
constexpr unsigned IDS_ERROR_PASSWORD_MISS = 61209;
constexpr unsigned IDS_ERROR_PROTOCOL_VERSION = 61210;
constexpr unsigned IDS_ERROR_CLIENT_LIMIT = 61211;
constexpr unsigned IDS_ERROR_SUPER_EXIST = 61212;
constexpr unsigned IDS_ERROR_NO_VIDEO_DATA = 61213;
constexpr unsigned IDS_ERROR_NO_VIDEO_CHANNEL = 61214;
constexpr unsigned IDS_ERROR_ETC = 61215;
constexpr unsigned IDS_NO_DVR_CONNECTION = 61216;
constexpr unsigned IDS_USER_NAME_CHARACTERS = 61217;
constexpr unsigned IDS_ERROR_CONNECTION_TIME_OUT = 61218;
constexpr unsigned IDS_SAVE_PICTURE_FAILED = 61219;
constexpr unsigned IDS_KEYRING_MOVE_IN_FAILED = 61225;
constexpr unsigned IDS_KEYRING_MOVE_OUT_FAILED = 61226;
constexpr unsigned IDS_KEYRING_READ_FAILED = 61227;
// The empty view's line, with entries in the directory and without.
constexpr unsigned IDS_CONNECT_HINT = 61230;
constexpr unsigned IDS_CONNECT_HINT_NO_DVR = 61231;
// Why the session is asked to keep the screen on.
constexpr unsigned IDS_KEEP_SCREEN_ON_REASON = 61232;
// What a picture from the past says over it, and a tile with nothing for the moment.
constexpr unsigned IDS_PAST_PICTURE = 61233;
constexpr unsigned IDS_NO_PICTURE_AT = 61234;
// The desktop notification of motion on a camera ("Gate CH-03") and its click.
constexpr unsigned IDS_MOTION_ON = 61240;
constexpr unsigned IDS_MOTION_OPEN = 61241;
// Clips and recordings: what went wrong, %1 the folder or file, %2 the system's reason.
constexpr unsigned IDS_CLIP_DISK_FULL = 61260;
constexpr unsigned IDS_CLIP_CANNOT_WRITE_FOLDER = 61261;
constexpr unsigned IDS_CLIP_EXISTS = 61262;
constexpr unsigned IDS_CLIP_TOO_LARGE = 61263;
constexpr unsigned IDS_CLIP_WRITE_FAILED = 61264;
constexpr unsigned IDS_CLIP_NO_PICTURES = 61265;
constexpr unsigned IDS_RECORD_DISK_LOW = 61266;
constexpr unsigned IDS_CLIP_REPLACE = 61267;
// The framework's own file-error message, outside the program's range.
constexpr unsigned IDS_FILE_WRITE_ERROR = 61730;

// Menu commands of menu 128; CH-nn is ID_CHANNEL_FIRST + nn - 1.
constexpr unsigned ID_CONNECT = 32771;
constexpr unsigned ID_DISCONNECT = 32772;
constexpr unsigned ID_EXIT = 32773;
constexpr unsigned ID_CHANNEL_FIRST = 32776;
constexpr unsigned ID_CHANNEL_LAST = 32791;
constexpr unsigned ID_DVR_INFORMATION = 32792;
constexpr unsigned ID_PTZ_CONTROL = 32793;
constexpr unsigned ID_SAVE_PICTURE = 32794;
constexpr unsigned ID_FULL_SCREEN = 32795;
constexpr unsigned ID_STATISTICS = 32796;
constexpr unsigned ID_RECONNECT_AT_START = 32801;
constexpr unsigned ID_KEEP_PASSWORDS_IN_KEYRING = 32802;
constexpr unsigned ID_KEEP_SCREEN_ON = 32803;
// The Layout pop-up: Single, the grids of 2, 3 and 4 columns, Edit Wall..., Tour.
constexpr unsigned ID_LAYOUT_SINGLE = 32810;
constexpr unsigned ID_LAYOUT_2X2 = 32811;
constexpr unsigned ID_LAYOUT_3X3 = 32812;
constexpr unsigned ID_LAYOUT_4X4 = 32813;
constexpr unsigned ID_LAYOUT_TOUR = 32814;
constexpr unsigned ID_LAYOUT_EDIT = 32815;
// The Look Back pop-up, and its Look-Back Memory pop-up of 128 MB to 2 GB.
constexpr unsigned ID_LOOKBACK_PAUSE = 32820;
constexpr unsigned ID_LOOKBACK_BACK = 32821;
constexpr unsigned ID_LOOKBACK_FORWARD = 32822;
constexpr unsigned ID_LOOKBACK_PREVIOUS_FRAME = 32823;
constexpr unsigned ID_LOOKBACK_NEXT_FRAME = 32824;
constexpr unsigned ID_LOOKBACK_LIVE = 32825;
constexpr unsigned ID_LOOKBACK_SAVE_CLIP = 32826;
constexpr unsigned ID_LOOKBACK_MARK_IN = 32827;
constexpr unsigned ID_LOOKBACK_MARK_OUT = 32828;
constexpr unsigned ID_LOOKBACK_RECORD = 32829;
// The look-back control's commands run from ID_LOOKBACK_PAUSE to here.
constexpr unsigned ID_LOOKBACK_LAST = ID_LOOKBACK_RECORD;
constexpr unsigned ID_LOOKBACK_MEMORY_FIRST = 32830;
constexpr unsigned ID_LOOKBACK_MEMORY_LAST = 32834;
// The Look Back pop-up's jumps between the moments a camera showed motion.
constexpr unsigned ID_LOOKBACK_PREVIOUS_MOTION = 32836;
constexpr unsigned ID_LOOKBACK_NEXT_MOTION = 32837;
// Every command that the single view's or the wall's look-back control carries out.
constexpr bool IsLookBackCommand(unsigned id)
{
    return (id >= ID_LOOKBACK_PAUSE && id <= ID_LOOKBACK_LAST) ||
           id == ID_LOOKBACK_PREVIOUS_MOTION || id == ID_LOOKBACK_NEXT_MOTION;
}
// The Motion Sensitivity pop-up (Low, Medium, High), Layout's Follow Motion, Notify on Motion.
constexpr unsigned ID_MOTION_SENSITIVITY_FIRST = 32840;
constexpr unsigned ID_MOTION_SENSITIVITY_LAST = 32842;
constexpr unsigned ID_FOLLOW_MOTION = 32843;
constexpr unsigned ID_NOTIFY_ON_MOTION = 32844;
constexpr unsigned ID_APP_ABOUT = 57664;
// The "Menu" soft key only opens its pop-up.
constexpr unsigned ID_SOFTKEY_MENU = 402;

// The About box, laid out for a portrait (100) or a landscape (200) screen.
constexpr unsigned IDD_ABOUTBOX = 100;
constexpr unsigned IDD_ABOUTBOX_WIDE = 200;
constexpr unsigned IDC_ABOUT_ICON = 201;
constexpr unsigned IDC_ABOUT_VERSION = 202;
constexpr unsigned IDC_ABOUT_NOTE = 203;

// Dialog templates of the DVR directory.
constexpr unsigned IDD_CONNECT_DLG = 102;
constexpr unsigned IDD_ADD_DVR_DLG = 204;
constexpr unsigned IDD_DVR_INFORMATION = 205;

// Controls of the DVR directory dialogs; an id may stand for different controls
// in different dialogs, so each dialog's names are listed with it.
// Connect DVR (102)
constexpr unsigned IDC_CONNECT_LIST = 1014;
constexpr unsigned IDC_CONNECT_ADD = 1020;
constexpr unsigned IDC_CONNECT_DELETE = 1021;
constexpr unsigned IDC_CONNECT_USER_LABEL = 1009;
constexpr unsigned IDC_CONNECT_USER = 1002;
constexpr unsigned IDC_CONNECT_PASSWORD_LABEL = 1010;
constexpr unsigned IDC_CONNECT_PASSWORD = 1003;
constexpr unsigned IDC_CONNECT_CONNECT = 1012;
constexpr unsigned IDC_CONNECT_CANCEL = 1013;
// ADD DVR (204)
constexpr unsigned IDC_ADDDVR_NAME_LABEL = 1017;
constexpr unsigned IDC_ADDDVR_NAME = 1018;
constexpr unsigned IDC_ADDDVR_ADDRESS_LABEL = 1007;
constexpr unsigned IDC_ADDDVR_ADDRESS = 1000;
constexpr unsigned IDC_ADDDVR_PORT_LABEL = 1008;
constexpr unsigned IDC_ADDDVR_PORT = 1001;
constexpr unsigned IDC_ADDDVR_CHANNEL_LABEL = 1011;
constexpr unsigned IDC_ADDDVR_CHANNEL = 1004;
constexpr unsigned IDC_ADDDVR_USER_LABEL = 1009;
constexpr unsigned IDC_ADDDVR_USER = 1002;
constexpr unsigned IDC_ADDDVR_PASSWORD_LABEL = 1010;
constexpr unsigned IDC_ADDDVR_PASSWORD = 1003;
constexpr unsigned IDC_ADDDVR_OK = 1012;
constexpr unsigned IDC_ADDDVR_CANCEL = 1013;
// DVR Information (205)
constexpr unsigned IDC_INFO_NAME_LABEL = 1017;
constexpr unsigned IDC_INFO_NAME = 1019;
constexpr unsigned IDC_INFO_ADDRESS_LABEL = 1007;
constexpr unsigned IDC_INFO_ADDRESS = 1020;
constexpr unsigned IDC_INFO_PORT_LABEL = 1008;
constexpr unsigned IDC_INFO_PORT = 1022;
constexpr unsigned IDC_INFO_USER_LABEL = 1009;
constexpr unsigned IDC_INFO_USER = 1024;
constexpr unsigned IDC_INFO_CHANNEL_LABEL = 1011;
constexpr unsigned IDC_INFO_CHANNEL = 1023;
constexpr unsigned IDC_INFO_OK = 1012;

// Dialog templates of the PTZ panels: four arrows around the picture and the bar.
constexpr unsigned IDD_PTZ_LEFT = 206;
constexpr unsigned IDD_PTZ_TOP = 207;
constexpr unsigned IDD_PTZ_RIGHT = 208;
constexpr unsigned IDD_PTZ_BOTTOM = 209;
constexpr unsigned IDD_PTZ_DLG = 210;

// Controls of the PTZ panels (206–210).
constexpr unsigned IDC_PTZ_LEFT = 1031;
constexpr unsigned IDC_PTZ_RIGHT = 1032;
constexpr unsigned IDC_PTZ_UP = 1033;
constexpr unsigned IDC_PTZ_DOWN = 1034;
constexpr unsigned IDC_PTZ_ZOOM_OUT = 1035;
constexpr unsigned IDC_PTZ_ZOOM_IN = 1036;
constexpr unsigned IDC_PTZ_FOCUS_FAR = 1037;
constexpr unsigned IDC_PTZ_FOCUS_NEAR = 1038;
constexpr unsigned IDC_PTZ_PRESET_RECALL = 1039;
constexpr unsigned IDC_PTZ_SPEED = 1040;
constexpr unsigned IDC_PTZ_PRESET = 1041;
constexpr unsigned IDC_PTZ_PRESET_SET = 1042;
