// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// The window that hears about the connection: WM_DVR_CONNECTED,
// WM_DVR_CONNECT_FAILED and WM_DVR_ERROR. SendMessage runs the window's handler
// at once and is called on the GUI thread only; the client itself carries a
// receiver's notification over to the GUI thread.
class INotifyWindow
{
public:
    virtual ~INotifyWindow() = default;
    virtual intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};
