// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion/CLumaSampler.h"
#include "motion/CMotionIntervals.h"
#include "motion/MotionSensitivity.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// One camera's motion: each frame's brightness on a coarse grid against a slowly
// adapting background, a change counting where enough neighbouring cells move beyond
// the noise this camera shows when nothing moves. A change of the whole picture (light,
// an exposure step, the camera turning) is not motion: the background takes it over.
// The camera's receiver thread feeds it; any thread reads the result.
class CMotionDetector
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kColumns = 32;
    static constexpr int kRows = 24;
    // Frames closer together than this are passed over: reading a frame's entropy-coded
    // bytes is most of a look's cost, and two looks a second find a walking person
    // within half a second, for a sixteen-camera wall at a twentieth of its decoding.
    static constexpr std::chrono::milliseconds kLookInterval{500};
    // A window that decodes the frames to show them looks at them from its pictures,
    // and the receiver stands back: it looks again only when that many more went by
    // without a look from the pictures (a wall nobody sees decodes nothing).
    static constexpr std::chrono::milliseconds kDecodedLookGrace{250};
    // Motion lasts this long after the last frame that showed it, as its interval does.
    static constexpr auto kHold = CMotionIntervals::kJoinGap;

    enum class Verdict
    {
        Skipped,    // too soon after the last frame looked at
        Unreadable, // not a JPEG the sampler reads
        Learning,   // the first frame of a scene: nothing to compare with
        Still,
        Motion,
        WholePicture, // most of the picture changed at once
    };

    CMotionDetector() = default;
    CMotionDetector(const CMotionDetector&) = delete;
    CMotionDetector& operator=(const CMotionDetector&) = delete;

    // Receiver thread, once the frame is stored.
    Verdict OnFrame(const uint8_t* jpeg, size_t length, Clock::time_point arrived);
    // Any thread: whether the frame that arrived then is due a look from its decoded
    // picture. Sooner after a look of the receiver's, so the pictures take over again.
    bool WantsDecodedLook(Clock::time_point arrived) const;
    // A decoding thread, never while another feed runs: the frame's decoded picture
    // (CLumaSampler::Reduce's), looked at when it is still due.
    Verdict OnDecoded(const uint8_t* bottomUpBgr, int width, int height, size_t stride,
                      int sourceWidth, int sourceHeight, Clock::time_point arrived);
    // Looks taken from decoded pictures since the detector was made.
    uint64_t GetDecodedLooks() const { return m_nDecodedLooks.load(std::memory_order_relaxed); }
    // The same on a brightness picture, rows top-down; not rate-limited.
    Verdict OnLuma(const uint8_t* luma, int width, int height, size_t stride,
                   Clock::time_point arrived);

    // Any thread; takes effect from the next frame.
    void SetSensitivity(MotionSensitivity sensitivity);
    MotionSensitivity GetSensitivity() const;
    // Any thread: the scene is learned anew from the next frame (another channel).
    void Restart();
    // Neither camera's receiver running: this detector takes over `from`'s motion and
    // intervals, as its history takes over the frames, and both learn their scenes anew.
    void TakeFrom(CMotionDetector& from);

    // Any thread.
    bool IsMotion(Clock::time_point now) const;
    // The last frame with motion plus kHold; the epoch before any.
    Clock::time_point GetMotionUntil() const;
    CMotionIntervals& GetIntervals() { return m_intervals; }
    const CMotionIntervals& GetIntervals() const { return m_intervals; }

private:
    struct Light
    {
        float gain = 1.0f;
        float offset = 0.0f;
    };
    struct Cell
    {
        float background = 0;
        float noise = 0;
    };
    void Measure(const uint8_t* luma, int width, int height, size_t stride);
    void Learn();
    Light FitLight();
    int LargestGroup();

    bool IsDue(Clock::time_point arrived, bool decoded) const;
    void NoteLook(Clock::time_point arrived, bool decoded);

    // The feeding thread only, but for the time of the last look, which a window's
    // thread reads to ask for a look from its decoded picture.
    CLumaSampler m_sampler;
    std::atomic<Clock::rep> m_lastLook{0}; // the epoch: no look since the scene began
    std::atomic<bool> m_bLastLookDecoded{false};
    std::atomic<uint64_t> m_nDecodedLooks{0};
    bool m_bLookChangedHands = false; // this look and the last came from different sources
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nColumns = 0;
    int m_nRows = 0;
    std::vector<uint16_t> m_columnOf;
    std::vector<float> m_level;
    std::vector<uint8_t> m_changed;
    std::vector<Cell> m_cells;
    std::vector<int> m_groupOf;
    // Working room, kept so a look allocates nothing.
    std::vector<uint32_t> m_rowSums;
    std::vector<uint32_t> m_counts;
    std::vector<float> m_sortedResiduals;
    std::vector<float> m_residuals;
    std::vector<int> m_members;

    // Shared between threads, each field alone.
    std::atomic<MotionSensitivity> m_sensitivity{kDefaultMotionSensitivity};
    std::atomic<bool> m_bRestart{false};
    std::atomic<Clock::rep> m_motionUntil{0};
    CMotionIntervals m_intervals;
};
