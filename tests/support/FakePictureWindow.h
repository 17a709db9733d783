// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/PictureWindow.h"

#include <atomic>
#include <functional>

// A picture window with a settable client size that counts repaint requests.
class FakePictureWindow : public IPictureWindow
{
public:
    bool Exists() const override { return exists; }
    int ClientWidth() const override { return width; }
    int ClientHeight() const override { return height; }
    void RepaintNow() override
    {
        ++repaints;
        if (onRepaint)
        {
            onRepaint();
        }
    }

    std::atomic<bool> exists{true};
    std::atomic<int> width{240};
    std::atomic<int> height{268};
    std::atomic<int> repaints{0};
    // Set before the window is shared with another thread.
    std::function<void()> onRepaint;
};
