#pragma once

#include <cstdint>

// The window that hears about the connection: WM_DVR_CONNECTED,
// WM_DVR_CONNECT_FAILED and WM_DVR_ERROR. SendMessage is synchronous: it returns
// only after the window's handler has run, whatever thread calls it.
class INotifyWindow
{
public:
    virtual ~INotifyWindow() = default;
    virtual intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) = 0;
};
