// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The window the current picture is painted into.
class IPictureWindow
{
public:
    virtual ~IPictureWindow() = default;
    virtual bool Exists() const = 0;
    virtual int ClientWidth() const = 0;
    virtual int ClientHeight() const = 0;
    // Asks for a repaint; the window's own thread paints later and requests may coalesce.
    virtual void RepaintNow() = 0;
};
