// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/PictureRect.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class CJpegDecoder;

// Shown, on a worker's thread, a frame's decoded picture it asked for (blue-green-red,
// rows bottom-up, valid during the call): a camera's motion looked for in the
// pictures decoded anyway.
class IDecodedPictureLook
{
public:
    virtual void LookAt(const uint8_t* bottomUpBgr, int32_t width, int32_t height, uint32_t stride,
                        int32_t sourceWidth, int32_t sourceHeight,
                        std::chrono::steady_clock::time_point arrived) = 0;

protected:
    ~IDecodedPictureLook() = default;
};

// Where a window's picture goes: its client size, the screen's scale (device
// pixels per client pixel), and whether it is decoded at the smallest of the
// library's scales that still covers it in device pixels; and who looks at the
// decoded picture, if anybody, told when the frame arrived.
struct DecodeTarget
{
    int32_t clientWidth = 0;
    int32_t clientHeight = 0;
    double ratio = 1;
    bool scaled = true;
    IDecodedPictureLook* look = nullptr;
    std::chrono::steady_clock::time_point arrived{};
};

// A window's picture, decoded and placed at its device size: 0xFFRRGGBB rows top
// down, black where the picture does not reach.
struct PlacedPicture
{
    const uint32_t* pixels = nullptr;
    int32_t width = 0; // device pixels
    int32_t height = 0;
    size_t stride = 0; // bytes, a multiple of 16
    PictureRect placement; // where the picture lies, in client pixels
    int32_t decodedWidth = 0;
    int32_t decodedHeight = 0;
    int32_t sourceWidth = 0;
    int32_t sourceHeight = 0;
    uint64_t serial = 0; // new for every picture placed
};

// Decodes many windows' frames on workers of its own, one a core. Each window has
// a slot: its newest JPEG goes in, its picture placed at its device size comes out
// in a buffer of the slot's own, so the window's thread only copies it. A frame not
// yet started gives way to a newer one; a slot is never decoded by two workers at once.
class CDecodePool
{
public:
    CDecodePool();
    ~CDecodePool();

    CDecodePool(const CDecodePool&) = delete;
    CDecodePool& operator=(const CDecodePool&) = delete;

    // Owner's thread: slots empty slots and that many workers (at least one); a
    // running pool is stopped first.
    void Start(size_t slots, unsigned workers);
    // Owner's thread: ends the workers and waits for them; the slots go with them.
    void Stop();
    size_t GetSlotCount() const { return m_slots.size(); }
    size_t GetWorkerCount() const { return m_workers.size(); }

    // Owner's thread: the slot's newest JPEG, swapped with the bytes of the one it
    // replaces (or an empty buffer), so buffers go round instead of being made anew.
    void Submit(size_t slot, std::vector<uint8_t>& jpeg, const DecodeTarget& target);
    // Nothing is shown for the slot until its next frame; one on a worker now is dropped.
    void Forget(size_t slot);
    // Runs use with the slot's newest placed picture under the slot's lock; false
    // when it has none. A worker that finishes meanwhile waits for it.
    bool UsePlaced(size_t slot, const std::function<void(const PlacedPicture&)>& use) const;
    // The serial of the slot's newest placed picture, 0 for none; serials never repeat.
    uint64_t GetSerial(size_t slot) const;

private:
    struct Slot;
    void Work();
    void Decode(CJpegDecoder& decoder, Slot& slot, std::vector<uint8_t>& jpeg,
                std::vector<uint32_t>& pixels);

    std::vector<std::unique_ptr<Slot>> m_slots;
    std::vector<std::thread> m_workers;
    // Guards the queue of slots with a frame to decode and the stop.
    std::mutex m_queueLock;
    std::condition_variable m_wake;
    std::deque<size_t> m_queue;
    bool m_bStopping = false;
    std::atomic<uint64_t> m_nSerials{0};
};
