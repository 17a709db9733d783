// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DvrSimSettings.h"
#include "RgbImage.h"

#include <chrono>

// The picture of one channel: a world of coloured tiles with bearing labels seen
// through the channel's camera, a ball that crosses it over time, and the channel
// name, the clock and the camera position written on top.
class TestScene
{
public:
    static RgbImage Render(unsigned channel, const CameraState& camera, PictureSize size,
                           std::chrono::system_clock::time_point now);
    // What a channel without video shows; its frames are marked as lost anyway.
    static RgbImage RenderNoVideo(unsigned channel, PictureSize size,
                                  std::chrono::system_clock::time_point now);
};
