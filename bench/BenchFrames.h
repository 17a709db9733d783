// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The frames every benchmark here works on: the simulator's own camera scene
// at the quality it sends, made once per size, so deframing, decoding and the
// whole client are measured on the very same bytes.
#include "BenchRatios.h"
#include "JpegEncoder.h"
#include "TestScene.h"

#include <chrono>
#include <cstdint>
#include <map>
#include <vector>

namespace bench
{
constexpr int kSceneQuality = 75;

inline const std::vector<uint8_t>& SceneFrame(const FrameSize& size)
{
    static std::map<int, std::vector<uint8_t>> frames;
    std::vector<uint8_t>& frame = frames[size.width * 10000 + size.height];
    if (frame.empty())
    {
        // A fixed moment, so every run decodes the same picture.
        const std::chrono::system_clock::time_point noon{std::chrono::hours(12)};
        const PictureSize picture{static_cast<unsigned>(size.width),
                                  static_cast<unsigned>(size.height)};
        frame =
            JpegEncoder::Encode(TestScene::Render(0, CameraState{}, picture, noon), kSceneQuality);
    }
    return frame;
}
} // namespace bench
