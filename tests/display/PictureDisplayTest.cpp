// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/CPictureDisplay.h"

#include "display/LogoResource.h"
#include "history/CHistoryBudget.h"
#include "protocol/CFrameHeader.h"
#include "support/FakePictureWindow.h"
#include "support/RecordingMessageBox.h"
#include "support/TestJpegEncoder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
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
// handed over once, into the same buffer each time; nothing is decoded by the receiver, a
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

    // The buffer handed in is filled in place once it is large enough.
    Send(FramePacket({}, m_frame));
    ASSERT_TRUE(m_display.TakeNewestJpeg(taken));
    EXPECT_TRUE(taken == m_frame);
    const uint8_t* given = taken.data();
    Send(FramePacket({}, blue));
    Send(FramePacket({}, blue));
    ASSERT_TRUE(m_display.TakeNewestJpeg(taken));
    EXPECT_TRUE(taken == blue);
    EXPECT_EQ(taken.data(), given) << "no buffer is made anew";

    Send(FramePacket({}, m_frame));
    m_display.Clear();
    EXPECT_FALSE(m_display.HasFrame());
    EXPECT_FALSE(m_display.TakeNewestJpeg(taken));
}

namespace
{
// The red channel of the bottom-left pixel the paint was given; -1 when nothing was painted.
int RedOfPainted(CPictureDisplay& display, int32_t* width = nullptr)
{
    int red = -1;
    display.PaintCommitted(
        [&](const CJpegDecoder& picture, const PictureRect&)
        {
            red = picture.GetBits()[2];
            if (width != nullptr)
            {
                *width = picture.GetWidth();
            }
        });
    return red;
}

// What a display decoding elsewhere hands over, decoded: its red, -1 for nothing new.
int RedOfHandedOver(CPictureDisplay& display)
{
    std::vector<uint8_t> jpeg;
    RecordingMessageBox boxes;
    CJpegDecoder decoder(boxes);
    if (!display.TakeNewestJpeg(jpeg) || !decoder.Decode(jpeg.data(), jpeg.size()))
    {
        return -1;
    }
    return decoder.GetBits()[2];
}

class PictureDisplayPastTest : public testing::Test
{
protected:
    void Send(CPictureDisplay& display, uint8_t red, int width = 64)
    {
        const std::vector<uint8_t> packet =
            FramePacket({.channel = 2}, SolidJpeg(width, 48, red, 0, 0));
        display.OnFramePacket(packet.data(), static_cast<uint32_t>(packet.size()));
    }

    CHistoryBudget m_budget{1 << 20};
    FakePictureWindow m_window;
    RecordingMessageBox m_boxes;
    CPictureDisplay m_display{m_window, m_boxes, &m_budget};
};
} // namespace

// The single view paints a frame of its history while live frames keep being
// stored without asking for repaints; Live paints the newest at once.
TEST_F(PictureDisplayPastTest, APastFrameIsPaintedUntilLiveWhileFramesKeepArriving)
{
    m_window.width = 400;
    m_window.height = 600;
    Send(m_display, 40, 64);
    Send(m_display, 120, 96);
    Send(m_display, 200, 64);
    const auto span = m_display.GetHistory().GetSpan();
    ASSERT_TRUE(span);
    ASSERT_EQ(span->frames, 3u);
    const auto second = m_display.GetHistory().Find(span->firstSequence + 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->channel, 2);
    EXPECT_FALSE(second->videoLoss);
    EXPECT_EQ(second->packetLength, CFrameHeader::kSize + SolidJpeg(96, 48, 120, 0, 0).size());
    EXPECT_FALSE(m_display.IsShowingPast());
    EXPECT_FALSE(m_display.GetShownPast());

    m_display.ShowPast(second->sequence);
    EXPECT_EQ(m_window.repaints, 4) << "a repaint for the past frame";
    EXPECT_TRUE(m_display.IsShowingPast());
    Send(m_display, 250);
    EXPECT_EQ(m_window.repaints, 4) << "a live frame does not change the past picture";
    EXPECT_EQ(m_display.GetHistory().GetSpan()->frames, 4u);
    Painted painted;
    m_display.PaintCommitted(
        [&](const CJpegDecoder& picture, const PictureRect& placement)
        {
            painted.width = picture.GetWidth();
            painted.placement = placement;
        });
    EXPECT_EQ(painted.width, 96);
    EXPECT_EQ(painted.placement.bottom - painted.placement.top, 200) << "placed by its own size";
    EXPECT_TRUE(SameRect(m_display.GetPictureRect(), painted.placement));
    EXPECT_NEAR(RedOfPainted(m_display), 120, 3) << "painted again";
    ASSERT_TRUE(m_display.GetShownPast());
    EXPECT_EQ(m_display.GetShownPast()->sequence, second->sequence);

    m_display.ShowLive();
    EXPECT_EQ(m_window.repaints, 5);
    EXPECT_FALSE(m_display.GetShownPast());
    EXPECT_NEAR(RedOfPainted(m_display), 250, 3);
}

// A frame the history dropped, one that fails and a lost video: the first two
// paint nothing and say so without a box, the last paints the logo.
TEST_F(PictureDisplayPastTest, PastFramesThatAreGoneOrBrokenPaintNothingAndLostVideoTheLogo)
{
    std::vector<uint8_t> broken = FramePacket({}, SolidJpeg(64, 48, 10, 0, 0));
    broken[CFrameHeader::kSize + 3] = 0x02;
    m_display.OnFramePacket(broken.data(), static_cast<uint32_t>(broken.size()));
    const size_t boxes = m_boxes.Boxes().size();
    const std::vector<uint8_t> loss =
        FramePacket({.videoLossMask = 1u << 3, .channel = 3}, SolidJpeg(64, 48, 10, 0, 0));
    m_display.OnFramePacket(loss.data(), static_cast<uint32_t>(loss.size()));
    const auto span = m_display.GetHistory().GetSpan();
    ASSERT_TRUE(span);
    ASSERT_EQ(span->frames, 2u);

    m_display.ShowPast(span->firstSequence);
    EXPECT_EQ(RedOfPainted(m_display), -1);
    EXPECT_FALSE(m_display.GetShownPast());
    EXPECT_EQ(m_boxes.Boxes().size(), boxes);

    const auto lost = m_display.GetHistory().Find(span->lastSequence);
    ASSERT_TRUE(lost);
    EXPECT_TRUE(lost->videoLoss);
    std::vector<uint8_t> bytes(1);
    ASSERT_TRUE(m_display.GetHistory().CopyFrame(lost->sequence, bytes));
    EXPECT_TRUE(bytes.empty()) << "no JPEG is kept for a lost video";
    m_display.ShowPast(lost->sequence);
    int32_t width = 0;
    EXPECT_NE(RedOfPainted(m_display, &width), -1);
    EXPECT_EQ(width, 144);

    m_display.ShowPast(span->lastSequence + 5);
    EXPECT_FALSE(m_display.GetShownPast());
    EXPECT_EQ(RedOfPainted(m_display), -1);
    m_budget.SetTotal(1);
    Send(m_display, 90);
    m_display.ShowPast(lost->sequence);
    EXPECT_EQ(RedOfPainted(m_display), -1) << "dropped to make room";
}

// Tiles hand their workers the frame to decode from their history: one tile in
// the past, one live, each its own frame, the past one once until it goes live and
// back; without a budget a tile keeps the newest frame alone, and a single view none.
TEST_F(PictureDisplayPastTest,
       TilesHandOverTheirOwnPastOrLiveFrameAndKeepOnlyTheNewestWithoutABudget)
{
    FakePictureWindow otherWindow;
    CPictureDisplay other(otherWindow, m_boxes, &m_budget);
    m_display.DecodeElsewhere();
    other.DecodeElsewhere();
    Send(m_display, 60);
    Send(m_display, 160);
    Send(other, 220);
    const uint64_t first = m_display.GetHistory().GetSpan()->firstSequence;
    m_display.ShowPast(first);
    EXPECT_NEAR(RedOfHandedOver(m_display), 60, 3);
    ASSERT_TRUE(m_display.GetShownPast());
    EXPECT_EQ(m_display.GetShownPast()->sequence, first);
    EXPECT_EQ(RedOfHandedOver(m_display), -1) << "the frame of the moment goes once";
    EXPECT_NEAR(RedOfHandedOver(other), 220, 3);
    EXPECT_EQ(RedOfPainted(m_display), -1) << "nothing is decoded on the tile itself";
    Send(m_display, 240);
    EXPECT_EQ(RedOfHandedOver(m_display), -1) << "a live frame does not replace the moment's";
    m_display.ShowLive();
    EXPECT_NEAR(RedOfHandedOver(m_display), 240, 3);
    m_display.ShowPast(first);
    EXPECT_NEAR(RedOfHandedOver(m_display), 60, 3) << "the same moment again after live";
    m_display.ShowPast(first + 100);
    EXPECT_EQ(RedOfHandedOver(m_display), -1);
    EXPECT_FALSE(m_display.GetShownPast()) << "no frame at that moment";
    EXPECT_EQ(m_budget.GetHistoryCount(), 2u);
    EXPECT_EQ(m_budget.GetUsed(),
              m_display.GetHistory().GetSpan()->bytes + other.GetHistory().GetSpan()->bytes);

    FakePictureWindow offWindow;
    CPictureDisplay tileOff(offWindow, m_boxes);
    tileOff.DecodeElsewhere();
    CPictureDisplay singleOff(offWindow, m_boxes);
    for (uint8_t red : {30, 130, 230})
    {
        Send(tileOff, red);
        Send(singleOff, red);
    }
    EXPECT_FALSE(tileOff.KeepsHistory());
    ASSERT_TRUE(tileOff.GetHistory().GetSpan());
    EXPECT_EQ(tileOff.GetHistory().GetSpan()->frames, 1u);
    EXPECT_NEAR(RedOfHandedOver(tileOff), 230, 3);
    EXPECT_FALSE(singleOff.GetHistory().GetSpan());
    EXPECT_NEAR(RedOfPainted(singleOff), 230, 3);
    EXPECT_EQ(m_budget.GetHistoryCount(), 2u) << "the budget is not theirs";
}

// A camera moving between connections keeps its frames through the next start;
// the start after that begins anew and gives the memory back, and one for a
// channel switch keeps that channel's frames only.
TEST_F(PictureDisplayPastTest, AHandedOverHistorySurvivesOneStartAndASwitchKeepsItsChannel)
{
    FakePictureWindow viewWindow;
    CPictureDisplay view(viewWindow, m_boxes, &m_budget);
    Send(view, 10);
    Send(m_display, 50);
    Send(m_display, 150);
    const auto tileSpan = m_display.GetHistory().GetSpan();
    m_display.ShowPast(tileSpan->firstSequence);

    view.TakeHistoryFrom(m_display);
    EXPECT_FALSE(m_display.IsShowingPast());
    EXPECT_FALSE(m_display.GetHistory().GetSpan());
    view.StartHistory();
    ASSERT_TRUE(view.GetHistory().GetSpan());
    EXPECT_EQ(view.GetHistory().GetSpan()->frames, 2u);
    EXPECT_EQ(view.GetHistory().GetSpan()->lastSequence, tileSpan->lastSequence);
    EXPECT_EQ(m_budget.GetHistoryCount(), 1u);
    EXPECT_EQ(m_budget.GetUsed(), view.GetHistory().GetSpan()->bytes);
    Send(view, 90);
    EXPECT_EQ(view.GetHistory().GetSpan()->frames, 3u);
    view.ShowPast(tileSpan->firstSequence);
    EXPECT_NEAR(RedOfPainted(view), 50, 3);

    view.StartHistory();
    EXPECT_FALSE(view.IsShowingPast());
    EXPECT_FALSE(view.GetHistory().GetSpan());
    EXPECT_EQ(m_budget.GetUsed(), 0u);

    // After a switch to channel 3, a frame of channel 2 still on its way stays out.
    view.StartHistory(3);
    Send(view, 70);
    EXPECT_FALSE(view.GetHistory().GetSpan());
    const std::vector<uint8_t> third = FramePacket({.channel = 3}, SolidJpeg(64, 48, 80, 0, 0));
    view.OnFramePacket(third.data(), static_cast<uint32_t>(third.size()));
    ASSERT_TRUE(view.GetHistory().GetSpan());
    EXPECT_EQ(view.GetHistory().GetSpan()->frames, 1u);
}

// The GUI thread looks back and forth on a tile while its receiver stores into a
// history that keeps dropping frames: every past paint is a frame the history
// held, and the bytes counted stay the budget's.
TEST_F(PictureDisplayPastTest, LookingBackWhileTheReceiverStoresAndDrops)
{
    m_display.DecodeElsewhere();
    m_budget.SetTotal(20000);
    std::atomic<bool> done{false};
    std::thread receiver(
        [&]
        {
            for (int n = 0; n < 400; ++n)
            {
                Send(m_display, static_cast<uint8_t>(n % 2 == 0 ? 40 : 220));
            }
            done = true;
        });
    int pastPaints = 0;
    bool allRed = true;
    while (!done || pastPaints == 0)
    {
        if (const auto span = m_display.GetHistory().GetSpan())
        {
            m_display.ShowPast(span->firstSequence +
                               (span->lastSequence - span->firstSequence) / 2);
            const int red = RedOfHandedOver(m_display);
            if (red != -1)
            {
                ++pastPaints;
                allRed = allRed && (std::abs(red - 40) < 4 || std::abs(red - 220) < 4);
                EXPECT_TRUE(m_display.GetShownPast());
            }
            m_display.ShowLive();
            RedOfHandedOver(m_display);
        }
    }
    receiver.join();
    EXPECT_TRUE(allRed);
    EXPECT_EQ(m_budget.GetUsed(), m_display.GetHistory().GetSpan()->bytes);
    EXPECT_LE(m_budget.GetUsed(), 20000u + 2000u);
}
