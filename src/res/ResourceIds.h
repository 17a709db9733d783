#pragma once

// String ids of the program's own messages.
constexpr unsigned IDS_ERROR_USER_UNKNOWN = 61208;
constexpr unsigned IDS_ERROR_PASSWORD_MISS = 61209;
constexpr unsigned IDS_ERROR_PROTOCOL_VERSION = 61210;
constexpr unsigned IDS_ERROR_CLIENT_LIMIT = 61211;
constexpr unsigned IDS_ERROR_SUPER_EXIST = 61212;
constexpr unsigned IDS_ERROR_NO_VIDEO_DATA = 61213;
constexpr unsigned IDS_ERROR_NO_VIDEO_CHANNEL = 61214;
constexpr unsigned IDS_ERROR_ETC = 61215;
constexpr unsigned IDS_ERROR_CONNECTION_TIME_OUT = 61218;
