// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrConnectInfo.h"

#include <cstdint>

// One command request: channel switch, logout or camera command. Zero-filled
// before its fields are set.
struct DvrCommand
{
    DvrConnectInfo connection;
    uint32_t clientId;
    int32_t mode;
    uint32_t operationCode;
    char16_t commandText[6];
};
