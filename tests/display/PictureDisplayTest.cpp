// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureDisplay.h"

#include "display/LogoResource.h"
#include "protocol/CFrameHeader.h"
#include "support/FakePictureWindow.h"
#include "support/RecordingMessageBox.h"
#include "support/TestJpegEncoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

namespace
{
std::vector<uint8_t> SolidJpeg(int width, int height, uint8_t red, uint8_t green, uint8_t blue)
{
    return EncodeTestJpeg({width, height, 3, false, 95},
                          [=](int, int, int c) { return c == 0   ? red
                                                        : c == 1 ? green
                                                                 : blue; });
}

// Header first, then the JPEG at offset 80 + data length - image length.
std::vector<uint8_t> FramePacket(FrameHeaderFields fields, const std::vector<uint8_t>& jpeg)
{
    std::vector<uint8_t> payload(CFrameHeader::kSize);
    payload.insert(payload.end(), jpeg.begin(), jpeg.end());
    if (fields.dataLength == 0 && fields.imageLength == 0)
    {
        fields.dataLength = static_cast<uint32_t>(jpeg.size());
        fields.imageLength = static_cast<uint32_t>(jpeg.size());
    }
    WriteFrameHeader(payload.data(), fields);
    return payload;
}

bool SameRect(const PictureRect& a, const PictureRect& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

struct Painted
{
    int32_t width = 0;
    int32_t height = 0;
    PictureRect placement;
    std::vector<uint8_t> firstRow;
};

class PictureDisplayTest : public testing::Test
{
protected:
    void Send(const std::vector<uint8_t>& payload)
    {
        m_display.OnFramePacket(payload.data(), static_cast<uint32_t>(payload.size()));
    }

    bool PaintOnce(Painted& painted)
    {
        return m_display.PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect& placement)
            {
                painted.width = picture.GetWidth();
                painted.height = picture.GetHeight();
                painted.placement = placement;
                painted.firstRow.assign(picture.GetBits(),
                                        picture.GetBits() + picture.GetWidth() * 3);
            });
    }

    FakePictureWindow m_window;
    RecordingMessageBox m_boxes;
    CPictureDisplay m_display{m_window, m_boxes};
    const std::vector<uint8_t> m_frame = SolidJpeg(320, 240, 200, 30, 10);
};
} // namespace

TEST_F(PictureDisplayTest, PacketsWithNothingToShowAreIgnored)
{
    const std::vector<uint8_t> good = FramePacket({}, m_frame);
    const auto frameLength = static_cast<uint32_t>(m_frame.size());
    struct Case
    {
        const char* what;
        std::vector<uint8_t> payload;
    };
    std::vector<Case> cases = {
        {"79 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 79)},
        {"empty", {}},
        {"kind 5", FramePacket({.kind = 5}, m_frame)},
        {"kind 0", FramePacket({.kind = 0}, m_frame)},
        {"display selector 0", FramePacket({.displaySelector = 0}, m_frame)},
        {"display selector 3", FramePacket({.displaySelector = 3}, m_frame)},
        {"picture starts at the payload's end",
         FramePacket({.dataLength = frameLength, .imageLength = 0}, m_frame)},
        {"picture offset wraps around", FramePacket({.dataLength = 0, .imageLength = 81}, m_frame)},
    };
    Case badMagic{"bad magic", good};
    badMagic.payload[0] = 'X';
    cases.push_back(badMagic);
    // Video loss on channel 3 would show the logo, but the header must be valid first.
    std::vector<uint8_t> lossButShort = FramePacket({.videoLossMask = 1u << 3, .channel = 3}, {});
    lossButShort.pop_back();
    cases.push_back({"video loss in a 79-byte packet", lossButShort});

    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_display.OnFramePacket(c.payload.data(), static_cast<uint32_t>(c.payload.size()));
        Painted painted;
        EXPECT_FALSE(PaintOnce(painted));
        EXPECT_EQ(m_window.repaints, 0);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PictureDisplayTest, FrameIsDecodedAndARepaintAsked)
{
    Send(FramePacket({.kind = 6}, m_frame));
    EXPECT_EQ(m_window.repaints, 1);
    Painted painted;
    ASSERT_TRUE(PaintOnce(painted));
    EXPECT_EQ(painted.width, 320);
    EXPECT_EQ(painted.height, 240);
    // Blue-green-red in memory.
    EXPECT_NEAR(painted.firstRow[0], 10, 2);
    EXPECT_NEAR(painted.firstRow[1], 30, 2);
    EXPECT_NEAR(painted.firstRow[2], 200, 2);
}

TEST_F(PictureDisplayTest, PictureStartsWhereTheHeaderSays)
{
    std::vector<uint8_t> prefixed(37, 0xAB);
    prefixed.insert(prefixed.end(), m_frame.begin(), m_frame.end());
    const auto dataLength = static_cast<uint32_t>(prefixed.size());
    Send(FramePacket({.dataLength = dataLength, .imageLength = dataLength - 37}, prefixed));
    Painted painted;
    ASSERT_TRUE(PaintOnce(painted));
    EXPECT_EQ(painted.width, 320);
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PictureDisplayTest, VideoLossOfTheFramesOwnChannelShowsTheLogo)
{
    struct Case
    {
        const char* what;
        uint16_t mask;
        uint32_t channel;
        int32_t expectedWidth;
    };
    const Case cases[] = {
        {"own channel 3", 1u << 3, 3, 144},
        {"channel 15", 0x8000, 15, 144},
        {"low 8 bits of channel 259 are 3", 1u << 3, 259, 144},
        {"another channel's bit", 1u << 4, 3, 320},
        {"channel 16 selects no bit", 0xFFFF, 16, 320},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        Send(FramePacket({.videoLossMask = c.mask, .channel = c.channel}, m_frame));
        Painted painted;
        ASSERT_TRUE(PaintOnce(painted));
        EXPECT_EQ(painted.width, c.expectedWidth);
        EXPECT_EQ(painted.height, c.expectedWidth == 144 ? 96 : 240);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(PictureDisplayTest, LogoNeedsNoPictureInThePacket)
{
    Send(FramePacket({.videoLossMask = 1u << 3, .displaySelector = 0, .channel = 3}, {}));
    Painted painted;
    ASSERT_TRUE(PaintOnce(painted));
    RecordingMessageBox boxes;
    CJpegDecoder direct(boxes);
    ASSERT_TRUE(direct.Decode(kLogoJpeg, kLogoJpegLength));
    EXPECT_EQ(painted.width, 144);
    EXPECT_EQ(painted.height, 96);
    EXPECT_EQ(painted.firstRow, std::vector<uint8_t>(direct.GetBits(), direct.GetBits() + 144 * 3));
}

TEST_F(PictureDisplayTest, EmbeddedLogoIsTheResourceFile)
{
    std::ifstream in(std::string(QUILLON_SOURCE_DIR) + "/src/res/logo.jpg", std::ios::binary);
    const std::vector<uint8_t> file{std::istreambuf_iterator<char>(in),
                                    std::istreambuf_iterator<char>()};
    ASSERT_FALSE(file.empty());
    EXPECT_EQ(std::vector<uint8_t>(kLogoJpeg, kLogoJpeg + kLogoJpegLength), file);
}

TEST_F(PictureDisplayTest, PlacementFollowsTheWindowShape)
{
    struct Case
    {
        const char* what;
        int clientWidth;
        int clientHeight;
        int pictureWidth;
        int pictureHeight;
        PictureRect expected;
    };
    const Case cases[] = {
        {"portrait keeps the aspect ratio", 240, 268, 320, 240, {0, 44, 240, 224}},
        {"704 x 240 is doubled", 240, 268, 704, 240, {0, 53, 240, 215}},
        {"704 x 480 is not doubled: 163 high", 240, 268, 704, 480, {0, 52, 240, 215}},
        {"taller than the window", 240, 268, 100, 200, {0, -106, 240, 374}},
        {"landscape fills", 320, 240, 704, 240, {0, 0, 320, 240}},
        {"landscape fills whatever the picture", 640, 200, 100, 300, {0, 0, 640, 200}},
        {"square fills", 300, 300, 320, 240, {0, 0, 300, 300}},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        m_window.width = c.clientWidth;
        m_window.height = c.clientHeight;
        Send(FramePacket({}, SolidJpeg(c.pictureWidth, c.pictureHeight, 1, 2, 3)));
        const PictureRect rect = m_display.GetPictureRect();
        EXPECT_TRUE(SameRect(rect, c.expected))
            << rect.left << "," << rect.top << "," << rect.right << "," << rect.bottom;
        Painted painted;
        ASSERT_TRUE(PaintOnce(painted));
        EXPECT_TRUE(SameRect(painted.placement, c.expected));
    }
}

TEST_F(PictureDisplayTest, PlacementBeforeTheFirstPictureStaysInTheClientArea)
{
    const PictureRect rect = m_display.GetPictureRect();
    EXPECT_GE(rect.left, 0);
    EXPECT_GE(rect.top, 0);
    EXPECT_LE(rect.right, 240);
    EXPECT_LE(rect.bottom, 268);
}

TEST_F(PictureDisplayTest, AfterClearNothingIsPaintedUntilTheNextFrame)
{
    Send(FramePacket({}, m_frame));
    m_display.Clear();
    Painted painted;
    EXPECT_FALSE(PaintOnce(painted));
    const int repaints = m_window.repaints;
    m_display.Paint();
    EXPECT_EQ(m_window.repaints, repaints);

    Send(FramePacket({}, SolidJpeg(64, 48, 0, 0, 255)));
    ASSERT_TRUE(PaintOnce(painted));
    EXPECT_EQ(painted.width, 64);
    EXPECT_EQ(m_window.repaints, repaints + 1);
}

TEST_F(PictureDisplayTest, UndecodableFramePaintsThePreviousPictureAgain)
{
    Send(FramePacket({}, m_frame));
    std::vector<uint8_t> broken = m_frame;
    broken[3] = 0x02;
    Send(FramePacket({}, broken));
    ASSERT_EQ(m_boxes.Boxes().size(), 1u);
    EXPECT_EQ(m_boxes.Boxes()[0].caption, u"JPEG Fatal Error");
    EXPECT_EQ(m_window.repaints, 2);
    Painted painted;
    ASSERT_TRUE(PaintOnce(painted));
    EXPECT_EQ(painted.width, 320);
}

TEST_F(PictureDisplayTest, UndecodableFirstFramePaintsNothing)
{
    std::vector<uint8_t> broken = m_frame;
    broken[3] = 0x02;
    Send(FramePacket({}, broken));
    EXPECT_EQ(m_boxes.Boxes().size(), 1u);
    Painted painted;
    EXPECT_FALSE(PaintOnce(painted));
}

TEST_F(PictureDisplayTest, NoRepaintRequestWithoutAWindow)
{
    m_window.exists = false;
    Send(FramePacket({}, m_frame));
    EXPECT_EQ(m_window.repaints, 0);
}

// Two pictures of different sizes and colours alternate on a receiver thread;
// every paint must see one of them whole, never a mix of the two.
TEST_F(PictureDisplayTest, PaintNeverSeesAPictureBeingReplaced)
{
    const std::vector<uint8_t> red = FramePacket({}, SolidJpeg(320, 240, 255, 0, 0));
    const std::vector<uint8_t> blue = FramePacket({}, SolidJpeg(704, 240, 0, 0, 255));
    std::atomic<bool> done{false};
    std::thread receiver(
        [&]
        {
            for (int i = 0; i < 200; ++i)
            {
                Send(i % 2 == 0 ? red : blue);
            }
            done = true;
        });
    int paints = 0;
    bool consistent = true;
    while (!done || paints == 0)
    {
        m_display.PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect& placement)
            {
                ++paints;
                const int32_t width = picture.GetWidth();
                const uint8_t* last =
                    picture.GetBits() +
                    static_cast<size_t>(picture.GetHeight() - 1) * picture.GetStride() +
                    static_cast<size_t>(width - 1) * 3;
                const bool isRed = width == 320 && picture.GetHeight() == 240 && last[2] > 200 &&
                                   last[0] < 50 && placement.bottom - placement.top == 180;
                const bool isBlue = width == 704 && picture.GetHeight() == 240 && last[0] > 200 &&
                                    last[2] < 50 && placement.bottom - placement.top == 162;
                consistent = consistent && (isRed || isBlue);
            });
    }
    receiver.join();
    EXPECT_TRUE(consistent);
    EXPECT_GT(paints, 0);
}

// Tiles of a wall keep their frames for their workers: the newest frame's JPEG is
// handed over once, by swapping buffers; nothing is decoded by the receiver, a
// hidden tile keeps nothing, and Clear empties it.
TEST_F(PictureDisplayTest, FramesKeptForOthersToDecodeAreHandedOverOnce)
{
    m_display.DecodeElsewhere();
    EXPECT_FALSE(m_display.HasFrame());
    const std::vector<uint8_t> blue = SolidJpeg(64, 48, 0, 0, 255);
    Send(FramePacket({}, m_frame));
    Send(FramePacket({}, blue));
    EXPECT_EQ(m_window.repaints, 2);
    EXPECT_TRUE(m_display.HasFrame());
    EXPECT_FALSE(m_display.PaintCommitted([](const auto&, const auto&) {}))
        << "nothing is decoded on the receiver";
    std::vector<uint8_t> taken;
    ASSERT_TRUE(m_display.TakeNewestJpeg(taken));
    EXPECT_TRUE(taken == blue) << "only the newest frame";
    EXPECT_FALSE(m_display.TakeNewestJpeg(taken));
    EXPECT_TRUE(taken == blue);

    // The buffer handed back is the one the next frame arrives in.
    Send(FramePacket({}, m_frame));
    const uint8_t* given = taken.data();
    ASSERT_TRUE(m_display.TakeNewestJpeg(taken));
    EXPECT_TRUE(taken == m_frame);
    Send(FramePacket({}, blue));
    Send(FramePacket({}, blue));
    ASSERT_TRUE(m_display.TakeNewestJpeg(taken));
    EXPECT_EQ(taken.data(), given) << "the buffers go round";

    m_display.SetDecoding(false);
    Send(FramePacket({}, m_frame));
    EXPECT_FALSE(m_display.TakeNewestJpeg(taken)) << "a hidden window keeps no frame";
    m_display.SetDecoding(true);
    Send(FramePacket({}, m_frame));
    m_display.Clear();
    EXPECT_FALSE(m_display.HasFrame());
    EXPECT_FALSE(m_display.TakeNewestJpeg(taken));
}
