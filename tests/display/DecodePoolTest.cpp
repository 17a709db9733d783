// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CDecodePool.h"

#include "decode/CJpegDecoder.h"
#include "display/PictureScaler.h"
#include "platform/SilentMessageBox.h"
#include "support/ProcessResources.h"
#include "support/TestJpegEncoder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace
{
constexpr uint32_t kBlue = 0xFF0000FFu;
constexpr uint32_t kBlack = 0xFF000000u;

// Red on the left half, blue on the right.
std::vector<uint8_t> HalvesJpeg(int width, int height)
{
    return EncodeTestJpeg({width, height, 3, false, 95},
                          [=](int x, int, int c)
                          {
                              const bool left = x < width / 2;
                              return static_cast<uint8_t>(
                                  (c == 0 && left) || (c == 2 && !left) ? 255 : 0);
                          });
}

std::vector<uint8_t> SolidJpeg(int width, int height, uint32_t rgb)
{
    return EncodeTestJpeg({width, height, 3, false, 95}, [=](int, int, int c)
                          { return static_cast<uint8_t>(rgb >> (16 - 8 * c)); });
}

bool Near(uint32_t a, uint32_t b)
{
    for (int shift = 0; shift < 32; shift += 8)
    {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
            8)
        {
            return false;
        }
    }
    return true;
}

// Waits, with a bound, until the slot's picture passes.
bool WaitForPlaced(const CDecodePool& pool, size_t slot,
                   const std::function<bool(const PlacedPicture&)>& passes)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline)
    {
        bool passed = false;
        pool.UsePlaced(slot, [&](const PlacedPicture& picture) { passed = passes(picture); });
        if (passed)
        {
            return true;
        }
        std::this_thread::yield();
    }
    return false;
}

uint32_t At(const PlacedPicture& picture, int x, int y)
{
    return picture.pixels[static_cast<size_t>(y) * picture.stride / 4 + x];
}

// The picture's pixels that differ from the frame decoded at the same scale and
// placed a pixel at a time into rows of the tile's width exactly, black beside it.
int DifferencesFromReference(const PlacedPicture& p, const std::vector<uint8_t>& frame,
                             const DecodeTarget& target)
{
    SilentMessageBox silent;
    CJpegDecoder reference(silent);
    reference.SetCoverSize(target.scaled ? p.width : 0,
                           target.clientWidth < target.clientHeight ? 0 : p.height);
    if (!reference.Decode(frame.data(), frame.size()) || reference.GetWidth() != p.decodedWidth)
    {
        return -1;
    }
    std::vector<uint32_t> expected(static_cast<size_t>(p.width) * p.height, kBlack);
    const double r = target.ratio;
    ScalePictureNearestExact(
        BottomUpBgr{reference.GetBits(), reference.GetWidth(), reference.GetHeight(),
                    reference.GetStride()},
        XrgbRaster{expected.data(), p.width, p.height, static_cast<size_t>(p.width) * 4},
        ExactRect{p.placement.left * r, p.placement.top * r, p.placement.right * r,
                  p.placement.bottom * r},
        PictureRect{0, 0, p.width, p.height},
        PictureSource{0, 0, static_cast<double>(reference.GetWidth()),
                      static_cast<double>(reference.GetHeight())});
    int differences = 0;
    for (int y = 0; y < p.height; ++y)
    {
        for (int x = 0; x < p.width; ++x)
        {
            differences += At(p, x, y) != expected[static_cast<size_t>(y) * p.width + x];
        }
    }
    return differences;
}
} // namespace

// A tile of 319 x 174 window pixels is decoded at the smallest scale that covers
// it in device pixels and placed at its device size: twice the detail on a
// screen of twice the scale. Every pixel is the nearest sampling of that decode,
// black beside it, whatever pictures of other shapes the worker's buffers held
// before; the pool's rows are padded and placed four pixels at a time.
TEST(DecodePoolTest, TilesAreDecodedAndPlacedForTheScreensPixels)
{
    const std::vector<uint8_t> standard = EncodeTestJpeg({704, 480, 3, false, 90}, PatternSample);
    const std::vector<uint8_t> wide = HalvesJpeg(1280, 720);
    const struct
    {
        const std::vector<uint8_t>& frame;
        double ratio;
        bool scaled;
        int32_t decodedWidth;
    } cases[] = {
        {standard, 1, true, 352},  {standard, 1.5, true, 704}, {standard, 2, true, 704},
        {standard, 1, false, 704}, {wide, 1, true, 320},       {wide, 1.25, true, 640},
        {wide, 2, true, 640},      {wide, 3, true, 1280},
    };
    CDecodePool pool;
    pool.Start(1, 1);
    uint64_t serial = 0;
    for (const auto& c : cases)
    {
        std::vector<uint8_t> jpeg = c.frame;
        const DecodeTarget target{319, 174, c.ratio, c.scaled};
        pool.Submit(0, jpeg, target);
        ASSERT_TRUE(WaitForPlaced(pool, 0, [&](const PlacedPicture& p) { return p.serial > serial; }));
        pool.UsePlaced(0,
                       [&](const PlacedPicture& p)
                       {
                           serial = p.serial;
                           EXPECT_EQ(p.decodedWidth, c.decodedWidth) << "at " << c.ratio;
                           EXPECT_EQ(p.width, static_cast<int32_t>(std::ceil(319 * c.ratio)));
                           EXPECT_EQ(p.height, static_cast<int32_t>(std::ceil(174 * c.ratio)));
                           EXPECT_EQ(p.sourceWidth, c.frame == standard ? 704 : 1280);
                           EXPECT_EQ(p.placement.right, 319) << "placed in window pixels";
                           EXPECT_EQ(p.stride % 16, 0u);
                           EXPECT_EQ(DifferencesFromReference(p, c.frame, target), 0);
                       });
    }

    // A portrait tile keeps the picture's shape, centred between black bands.
    std::vector<uint8_t> jpeg = standard;
    const DecodeTarget portrait{200, 400, 2, true};
    pool.Submit(0, jpeg, portrait);
    ASSERT_TRUE(WaitForPlaced(pool, 0, [&](const PlacedPicture& p) { return p.serial > serial; }));
    pool.UsePlaced(0,
                   [&](const PlacedPicture& p)
                   {
                       EXPECT_EQ(p.placement.top, (400 - 136) / 2);
                       EXPECT_EQ(p.placement.bottom, (400 - 136) / 2 + 136);
                       EXPECT_EQ(p.decodedWidth, 704) << "covers 400 device pixels across";
                       EXPECT_EQ(At(p, 10, 2 * p.placement.top - 1), kBlack);
                       EXPECT_EQ(DifferencesFromReference(p, standard, portrait), 0);
                   });
}

// Frames that come faster than one worker decodes never queue behind the camera:
// the newest replaces one not yet started (twenty busy frames handed over in far
// less time than one takes to decode). A frame that fails keeps the picture
// before it, and a forgotten slot shows nothing, even from a decode under way.
// One worker takes the slots in turn, so a later slot's picture means the earlier
// slot's work is done.
TEST(DecodePoolTest, TheNewestFrameReplacesOneNotStartedAndForgetDropsAll)
{
    CDecodePool pool;
    pool.Start(2, 1);
    const std::vector<uint8_t> colours[] = {SolidJpeg(640, 480, 0xFF0000),
                                            SolidJpeg(640, 480, 0x00FF00),
                                            SolidJpeg(640, 480, 0x0000FF)};
    const std::vector<uint8_t> busy =
        EncodeTestJpeg({1280, 720, 3, false, 90}, PatternSample);
    constexpr int kFrames = 20;
    for (int i = 0; i < kFrames; ++i)
    {
        std::vector<uint8_t> jpeg = i + 1 < kFrames ? busy : colours[2];
        pool.Submit(0, jpeg, DecodeTarget{1280, 720, 1, true});
    }
    ASSERT_TRUE(WaitForPlaced(pool, 0, [](const PlacedPicture& p)
                              { return Near(At(p, 5, 5), kBlue); }));
    // Serials count the pool's pictures: this slot's are all there are.
    const uint64_t placed = pool.GetSerial(0);
    EXPECT_LE(placed, 3u) << "the first, maybe one more, and the newest";

    std::vector<uint8_t> broken = colours[0];
    broken[3] = 0x02;
    pool.Submit(0, broken, DecodeTarget{320, 240, 1, true});
    std::vector<uint8_t> other = colours[1];
    pool.Submit(1, other, DecodeTarget{320, 240, 1, true});
    ASSERT_TRUE(WaitForPlaced(pool, 1, [](const PlacedPicture&) { return true; }));
    EXPECT_EQ(pool.GetSerial(0), placed);
    EXPECT_TRUE(WaitForPlaced(pool, 0, [](const PlacedPicture& p)
                              { return Near(At(p, 5, 5), kBlue); }));

    std::vector<uint8_t> red = colours[0];
    pool.Submit(0, red, DecodeTarget{320, 240, 1, true});
    pool.Forget(0);
    std::vector<uint8_t> green = colours[1];
    const uint64_t before = pool.GetSerial(1);
    pool.Submit(1, green, DecodeTarget{320, 240, 1, true});
    ASSERT_TRUE(WaitForPlaced(pool, 1, [&](const PlacedPicture& p) { return p.serial > before; }));
    EXPECT_FALSE(pool.UsePlaced(0, [](const PlacedPicture&) {}));
    EXPECT_EQ(pool.GetSerial(0), 0u);
}

// The owner stops and starts the pool as a wall changes its grid, while frames
// keep coming and the pictures are read: the workers end every time, nothing
// is left behind, and every start has as many workers as asked for.
TEST(DecodePoolTest, StartsAndStopsWhileFramesArriveLeaveNoThreadBehind)
{
    const std::vector<uint8_t> frame = HalvesJpeg(352, 240);
    CDecodePool pool;
    // A sanitizer starts a thread of its own with the first thread the program makes.
    pool.Start(1, 1);
    pool.Stop();
    const ProcessResources before = ReadProcessResources();
    for (int round = 0; round < 100; ++round)
    {
        const size_t slots = round % 2 == 0 ? 16 : 4;
        pool.Start(slots, 2);
        ASSERT_EQ(pool.GetWorkerCount(), 2u);
        if (round == 0)
        {
            // Named, so that top and a profile tell the decoding apart from the receiving.
            ASSERT_EQ(CountThreadsNamed("quillon-decode"), 2u);
        }
        for (int frameNumber = 0; frameNumber < 3; ++frameNumber)
        {
            for (size_t slot = 0; slot < slots; ++slot)
            {
                std::vector<uint8_t> jpeg = frame;
                pool.Submit(slot, jpeg, DecodeTarget{160, 90, 1.5, true});
                pool.UsePlaced(slot, [](const PlacedPicture& p) { EXPECT_EQ(p.width, 240); });
            }
        }
        if (round % 10 == 0)
        {
            ASSERT_TRUE(WaitForPlaced(pool, slots - 1, [](const PlacedPicture&) { return true; }));
        }
    }
    pool.Stop();
    EXPECT_EQ(pool.GetSlotCount(), 0u);
    EXPECT_EQ(ReadProcessResources().threads, before.threads);
}
