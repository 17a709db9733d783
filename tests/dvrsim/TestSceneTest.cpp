// SPDX-License-Identifier: GPL-3.0-or-later
#include "BitmapFont.h"
#include "TestScene.h"

#include <gtest/gtest.h>

namespace
{
const auto kNoon = std::chrono::system_clock::time_point(std::chrono::hours(24 * 365 * 50));

size_t DifferentPixels(const RgbImage& a, const RgbImage& b)
{
    size_t count = 0;
    for (size_t i = 0; i < a.pixels.size(); i += 3)
    {
        count += a.pixels[i] != b.pixels[i] || a.pixels[i + 1] != b.pixels[i + 1] ||
                 a.pixels[i + 2] != b.pixels[i + 2];
    }
    return count;
}

TEST(TestSceneTest, TheCameraMovesThePicture)
{
    const PictureSize size{160, 120};
    const RgbImage still = TestScene::Render(0, CameraState{}, size, kNoon);
    EXPECT_EQ(DifferentPixels(still, TestScene::Render(0, CameraState{}, size, kNoon)), 0u);

    const size_t pixels = size_t{size.width} * size.height;
    for (const CameraState moved : {CameraState{20, 0, 10, 50}, CameraState{0, -15, 10, 50},
                                    CameraState{0, 0, 30, 50}})
    {
        EXPECT_GT(DifferentPixels(still, TestScene::Render(0, moved, size, kNoon)), pixels / 4);
    }
}

TEST(TestSceneTest, ChannelAndTimeShowOnThePicture)
{
    const PictureSize size{160, 120};
    const RgbImage picture = TestScene::Render(0, CameraState{}, size, kNoon);
    EXPECT_GT(DifferentPixels(picture, TestScene::Render(1, CameraState{}, size, kNoon)), 0u);
    EXPECT_GT(DifferentPixels(picture, TestScene::Render(0, CameraState{}, size,
                                                         kNoon + std::chrono::seconds(1))),
              0u);
}

TEST(TestSceneTest, FontCoversEveryCharacterThePictureWrites)
{
    for (char c : std::string_view("CH-0123456789:. PTZXF+NOVIDE"))
    {
        EXPECT_TRUE(BitmapFont::HasGlyph(c)) << c;
    }
}

TEST(TestSceneTest, TinyPicturesAreDrawnWithoutOverrun)
{
    const RgbImage picture = TestScene::Render(15, CameraState{359, -60, 100, 0}, {8, 8}, kNoon);
    EXPECT_EQ(picture.pixels.size(), 8u * 8u * 3u);
    EXPECT_EQ(TestScene::RenderNoVideo(15, {8, 8}, kNoon).pixels.size(), 8u * 8u * 3u);
}
} // namespace
