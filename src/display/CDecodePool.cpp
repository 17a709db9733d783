// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CDecodePool.h"

#include "decode/CJpegDecoder.h"
#include "display/PictureScaler.h"
#include "platform/SilentMessageBox.h"
#include "platform/ThreadName.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

namespace
{
constexpr uint32_t kBlack = 0xFF000000u;

int32_t DeviceSide(int32_t side, double ratio)
{
    return static_cast<int32_t>(std::ceil(side * ratio));
}

// Rows of whole groups of four pixels, so the placing stores sixteen bytes at a time.
size_t RowPixels(int32_t width)
{
    return (static_cast<size_t>(width) + 3) / 4 * 4;
}

// Black where the picture will not be placed: the bands above and below it and
// beside it; the picture's own pixels are all written by the placing.
void FillMargins(std::vector<uint32_t>& pixels, size_t rowPixels, int32_t width, int32_t height,
                 const PictureRect& at)
{
    const auto fill = [&](int32_t left, int32_t top, int32_t right, int32_t bottom)
    {
        left = std::clamp(left, 0, width);
        right = std::clamp(right, left, width);
        for (int32_t y = std::max(top, 0); y < std::min(bottom, height); ++y)
        {
            std::fill_n(pixels.begin() + static_cast<ptrdiff_t>(y * rowPixels + left),
                        right - left, kBlack);
        }
    };
    fill(0, 0, width, at.top);
    fill(0, at.bottom, width, height);
    fill(0, at.top, at.left, at.bottom);
    fill(at.right, at.top, width, at.bottom);
}
} // namespace

// Everything of one slot is guarded by its lock.
struct CDecodePool::Slot
{
    mutable std::mutex lock;
    std::vector<uint8_t> pending;
    bool hasPending = false;
    bool queued = false; // in the queue, not yet taken
    bool busy = false;   // a worker decodes it
    DecodeTarget target;
    // Forget counts up, so a picture decoded before it is dropped.
    uint64_t generation = 0;
    std::vector<uint32_t> shown;
    PlacedPicture placed;
    bool hasPicture = false;
};

CDecodePool::CDecodePool() = default;

CDecodePool::~CDecodePool()
{
    Stop();
}

void CDecodePool::Start(size_t slots, unsigned workers)
{
    Stop();
    for (size_t i = 0; i < slots; ++i)
    {
        m_slots.push_back(std::make_unique<Slot>());
    }
    for (unsigned i = 0; i < std::max(workers, 1u); ++i)
    {
        m_workers.emplace_back([this] { Work(); });
        NameThread(m_workers.back(), "quillon-decode");
    }
}

void CDecodePool::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_bStopping = true;
    }
    m_wake.notify_all();
    for (std::thread& worker : m_workers)
    {
        worker.join();
    }
    m_workers.clear();
    m_slots.clear();
    m_queue.clear();
    m_bStopping = false;
}

void CDecodePool::Submit(size_t slot, std::vector<uint8_t>& jpeg, const DecodeTarget& target)
{
    Slot& s = *m_slots.at(slot);
    {
        std::lock_guard<std::mutex> lock(s.lock);
        std::swap(s.pending, jpeg);
        s.hasPending = true;
        s.target = target;
        // A slot on a worker is queued again by that worker when it is done.
        if (s.queued || s.busy)
        {
            return;
        }
        s.queued = true;
    }
    {
        std::lock_guard<std::mutex> lock(m_queueLock);
        m_queue.push_back(slot);
    }
    m_wake.notify_one();
}

void CDecodePool::Forget(size_t slot)
{
    Slot& s = *m_slots.at(slot);
    std::lock_guard<std::mutex> lock(s.lock);
    s.hasPending = false;
    s.hasPicture = false;
    ++s.generation;
}

bool CDecodePool::UsePlaced(size_t slot,
                            const std::function<void(const PlacedPicture&)>& use) const
{
    const Slot& s = *m_slots.at(slot);
    std::lock_guard<std::mutex> lock(s.lock);
    if (!s.hasPicture)
    {
        return false;
    }
    use(s.placed);
    return true;
}

uint64_t CDecodePool::GetSerial(size_t slot) const
{
    const Slot& s = *m_slots.at(slot);
    std::lock_guard<std::mutex> lock(s.lock);
    return s.hasPicture ? s.placed.serial : 0;
}

void CDecodePool::Work()
{
    SilentMessageBox silent;
    CJpegDecoder decoder(silent);
    std::vector<uint8_t> jpeg;
    std::vector<uint32_t> pixels;
    for (;;)
    {
        size_t index = 0;
        {
            std::unique_lock<std::mutex> lock(m_queueLock);
            m_wake.wait(lock, [this] { return m_bStopping || !m_queue.empty(); });
            if (m_bStopping)
            {
                return;
            }
            index = m_queue.front();
            m_queue.pop_front();
        }
        Decode(decoder, *m_slots[index], jpeg, pixels);
        bool again = false;
        {
            Slot& s = *m_slots[index];
            std::lock_guard<std::mutex> lock(s.lock);
            s.busy = false;
            again = s.hasPending && !s.queued;
            s.queued = s.queued || again;
        }
        if (again)
        {
            std::lock_guard<std::mutex> lock(m_queueLock);
            m_queue.push_back(index);
        }
    }
}

// The decode and the placing run outside the slot's lock, into the worker's own
// buffer, which then changes places with the slot's shown one.
void CDecodePool::Decode(CJpegDecoder& decoder, Slot& slot, std::vector<uint8_t>& jpeg,
                         std::vector<uint32_t>& pixels)
{
    DecodeTarget target;
    uint64_t generation = 0;
    {
        std::lock_guard<std::mutex> lock(slot.lock);
        slot.queued = false;
        if (!slot.hasPending)
        {
            return;
        }
        std::swap(slot.pending, jpeg);
        slot.hasPending = false;
        slot.busy = true;
        target = slot.target;
        generation = slot.generation;
    }
    const double ratio = target.ratio > 0 ? target.ratio : 1;
    const int32_t width = DeviceSide(target.clientWidth, ratio);
    const int32_t height = DeviceSide(target.clientHeight, ratio);
    if (width <= 0 || height <= 0)
    {
        return;
    }
    // In portrait the placement is as wide as the window and keeps the picture's
    // shape, so covering the width covers it.
    decoder.SetCoverSize(target.scaled ? width : 0,
                         target.clientWidth < target.clientHeight ? 0 : height);
    if (!decoder.Decode(jpeg.data(), jpeg.size()))
    {
        return;
    }
    if (target.look != nullptr)
    {
        target.look->LookAt(decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(),
                            decoder.GetStride(), decoder.GetSourceWidth(),
                            decoder.GetSourceHeight(), target.arrived);
    }
    const PictureRect placement = PlacePicture(target.clientWidth, target.clientHeight,
                                               decoder.GetSourceWidth(), decoder.GetSourceHeight());
    const size_t rowPixels = RowPixels(width);
    try
    {
        pixels.resize(rowPixels * static_cast<size_t>(height));
    }
    catch (const std::bad_alloc&)
    {
        return;
    }
    const ExactRect exact{placement.left * ratio, placement.top * ratio, placement.right * ratio,
                          placement.bottom * ratio};
    FillMargins(pixels, rowPixels, width, height, CoveredPixels(exact));
    const BottomUpBgr rows{decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(),
                           decoder.GetStride()};
    ScalePictureNearestExact(
        rows, XrgbRaster{pixels.data(), width, height, rowPixels * 4}, exact,
        PictureRect{0, 0, width, height},
        PictureSource{0, 0, static_cast<double>(rows.width), static_cast<double>(rows.height)});
    std::lock_guard<std::mutex> lock(slot.lock);
    if (generation != slot.generation)
    {
        return;
    }
    std::swap(slot.shown, pixels);
    slot.placed = PlacedPicture{slot.shown.data(),
                                width,
                                height,
                                rowPixels * 4,
                                placement,
                                decoder.GetWidth(),
                                decoder.GetHeight(),
                                decoder.GetSourceWidth(),
                                decoder.GetSourceHeight(),
                                ++m_nSerials};
    slot.hasPicture = true;
}
