// SPDX-License-Identifier: GPL-3.0-or-later
#include "TestScene.h"

#include "BitmapFont.h"

#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>

namespace
{
constexpr double kFieldOfView = 60.0; // degrees across the picture at zoom 1.0
constexpr double kTileSize = 15.0;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kYellow{255, 230, 0};

double Wrap(double degrees)
{
    const double d = std::fmod(degrees, 360.0);
    return d < 0 ? d + 360.0 : d;
}

// Each channel gets its own palette so that a switch is visible at a glance.
Rgb TileColour(unsigned channel, int column, int row)
{
    const unsigned hash = static_cast<unsigned>(column * 7 + row * 13) + channel * 37;
    const bool dark = ((column + row) & 1) != 0;
    const uint8_t base = dark ? 60 : 150;
    return Rgb{static_cast<uint8_t>(base + (hash * 53) % 90),
               static_cast<uint8_t>(base + (hash * 29 + channel * 11) % 90),
               static_cast<uint8_t>(base + (hash * 71 + channel * 23) % 90)};
}

int TextScale(PictureSize size)
{
    return std::max(1, static_cast<int>(size.height) / 120);
}

void Label(RgbImage& image, int x, int y, const std::string& text, int scale, Rgb colour)
{
    const int pad = scale;
    image.FillRect(x - pad, y - pad, BitmapFont::TextWidth(text, scale) + pad,
                   BitmapFont::kGlyphHeight * scale + 2 * pad, kBlack);
    BitmapFont::Draw(image, x, y, text, scale, colour);
}

std::string ChannelName(unsigned channel)
{
    char text[8];
    std::snprintf(text, sizeof text, "CH-%02u", (channel + 1) % 100);
    return text;
}

std::string ClockText(std::chrono::system_clock::time_point now)
{
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&seconds, &local);
    const auto tenths =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() /
        100 % 10;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(tenths));
    return text;
}

void DrawHeadline(RgbImage& image, unsigned channel, PictureSize size,
                  std::chrono::system_clock::time_point now)
{
    const int scale = TextScale(size);
    Label(image, 2 * scale, 2 * scale, ChannelName(channel), scale, kWhite);
    const std::string clock = ClockText(now);
    Label(image, static_cast<int>(size.width) - BitmapFont::TextWidth(clock, scale) - scale,
          2 * scale, clock, scale, kWhite);
}
} // namespace

RgbImage TestScene::Render(unsigned channel, const CameraState& camera, PictureSize size,
                           std::chrono::system_clock::time_point now)
{
    RgbImage image(size.width, size.height);
    const double degreesPerPixel = kFieldOfView / (size.width * camera.zoom / 10.0);
    const double centreX = size.width / 2.0;
    const double centreY = size.height / 2.0;
    const double seconds =
        std::chrono::duration<double>(now.time_since_epoch()).count();
    const double ballPan = Wrap(seconds * 24.0);
    const double ballTilt = 10.0 * std::sin(seconds);
    const double ballRadius = 4.0;

    for (unsigned y = 0; y < size.height; ++y)
    {
        const double tilt = camera.tilt - (y - centreY) * degreesPerPixel;
        for (unsigned x = 0; x < size.width; ++x)
        {
            const double pan = Wrap(camera.pan + (x - centreX) * degreesPerPixel);
            double ballDx = std::fabs(pan - ballPan);
            ballDx = std::min(ballDx, 360.0 - ballDx);
            const double ballDy = tilt - ballTilt;
            Rgb colour;
            if (ballDx * ballDx + ballDy * ballDy < ballRadius * ballRadius)
            {
                colour = kYellow;
            }
            else if (std::fabs(tilt) < degreesPerPixel)
            {
                colour = kWhite; // horizon
            }
            else
            {
                colour = TileColour(channel, static_cast<int>(pan / kTileSize),
                                    static_cast<int>(std::floor(tilt / kTileSize)));
            }
            image.Set(static_cast<int>(x), static_cast<int>(y), colour);
        }
    }

    // Bearings every 30 degrees on the horizon show where the camera points.
    const int scale = TextScale(size);
    for (int bearing = 0; bearing < 360; bearing += 30)
    {
        double offset = Wrap(bearing - camera.pan + 180.0) - 180.0;
        const double x = centreX + offset / degreesPerPixel;
        const double y = centreY + camera.tilt / degreesPerPixel;
        char text[8];
        std::snprintf(text, sizeof text, "%03d", bearing);
        Label(image, static_cast<int>(x) - BitmapFont::TextWidth(text, scale) / 2,
              static_cast<int>(y) + 2 * scale, text, scale, kWhite);
    }

    DrawHeadline(image, channel, size, now);
    char status[48];
    std::snprintf(status, sizeof status, "P%03d T%+03d Z%d.%dX F%02d", camera.pan, camera.tilt,
                  camera.zoom / 10, camera.zoom % 10, camera.focus);
    Label(image, 2 * scale,
          static_cast<int>(size.height) - (BitmapFont::kGlyphHeight + 2) * scale, status, scale,
          kWhite);
    return image;
}

RgbImage TestScene::RenderNoVideo(unsigned channel, PictureSize size,
                                  std::chrono::system_clock::time_point now)
{
    RgbImage image(size.width, size.height);
    DrawHeadline(image, channel, size, now);
    const int scale = TextScale(size);
    const std::string text = "NO VIDEO";
    Label(image, (static_cast<int>(size.width) - BitmapFont::TextWidth(text, scale)) / 2,
          static_cast<int>(size.height) / 2, text, scale, kWhite);
    return image;
}
