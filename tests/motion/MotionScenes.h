// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion/CMotionDetector.h"

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// The real scene kept under tests/data/motion, and still pictures made from it as a
// camera would send them.
namespace motion_scenes
{
constexpr int kWalkingFrames = 30;
constexpr int kWalkingFramesPerSecond = 10;

std::string WalkingFramePath(int index);
std::vector<uint8_t> ReadWalkingFrame(int index);

// What a run of the detector said: every verdict, and when after the run's first frame
// it saw motion or showed motion.
struct MotionWatch
{
    std::map<CMotionDetector::Verdict, int> verdicts;
    std::optional<CMotionDetector::Clock::duration> firstMotion;
    std::set<long> secondsWithMotion;
    bool shownAsMotion = false;

    void Count(CMotionDetector::Verdict verdict, CMotionDetector::Clock::duration since,
               bool shown = false);
};

// A grey picture whose every frame gets sensor noise of its own, then is encoded as
// the camera's JPEG. Grey only: the detector reads nothing but the brightness.
class NoisyStill
{
public:
    explicit NoisyStill(const std::vector<uint8_t>& jpeg);
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }
    // Each level becomes level * gain + offset, clipped, before the noise.
    std::vector<uint8_t> Frame(float gain = 1.0f, float offset = 0.0f);

private:
    uint64_t Random();

    int m_nWidth = 0;
    int m_nHeight = 0;
    std::vector<uint8_t> m_grey;
    std::vector<uint8_t> m_work;
    std::array<float, 65536> m_gaussian{};
    std::array<uint8_t, 65536> m_noisy{};
    uint64_t m_state = 0;
};

// Grey JPEG of rows top-down.
std::vector<uint8_t> EncodeGrey(const std::vector<uint8_t>& grey, int width, int height,
                                int quality = 85);
} // namespace motion_scenes
