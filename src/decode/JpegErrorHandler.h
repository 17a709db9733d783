// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

class IMessageBox;

// The library's standard error manager with a jump back into the decode that
// failed. Fatal errors are shown as "JPEG Fatal Error" boxes before the jump.
struct JpegErrorHandler
{
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    IMessageBox* messageBox;
};

// Fills the standard manager, replaces its error_exit and returns the manager
// for the decompressor's err field. The caller sets the jump point.
jpeg_error_mgr* InitJpegErrorHandler(JpegErrorHandler& handler, IMessageBox& messageBox);
