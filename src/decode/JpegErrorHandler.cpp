// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/JpegErrorHandler.h"

#include "platform/MessageBox.h"
#include "platform/TextCodec.h"

#include <jerror.h>

namespace
{
constexpr char16_t kFatalErrorCaption[] = u"JPEG Fatal Error";

// Kept apart from ErrorExit so that every string is destroyed before the jump.
void ShowFatalError(j_common_ptr cinfo, IMessageBox& messageBox)
{
    char message[JMSG_LENGTH_MAX] = {};
    (*cinfo->err->format_message)(cinfo, message);
    messageBox.Show(FromUtf8(message), kFatalErrorCaption, MessageBoxIcon::Error,
                    MessageBoxButtons::Ok);
}

void ErrorExit(j_common_ptr cinfo)
{
    auto* handler = reinterpret_cast<JpegErrorHandler*>(cinfo->err);
    // A size past the library's own limit is dropped silently like any picture
    // over ours; a DVR sending such frames must not open a box per frame.
    if (cinfo->err->msg_code != JERR_IMAGE_TOO_BIG)
    {
        ShowFatalError(cinfo, *handler->messageBox);
    }
    std::longjmp(handler->jump, 1);
}
} // namespace

jpeg_error_mgr* InitJpegErrorHandler(JpegErrorHandler& handler, IMessageBox& messageBox)
{
    jpeg_error_mgr* manager = jpeg_std_error(&handler.pub);
    manager->error_exit = ErrorExit;
    handler.messageBox = &messageBox;
    return manager;
}
