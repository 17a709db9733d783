// SPDX-License-Identifier: GPL-3.0-or-later
#include "protocol/CFrameHeader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

namespace
{
std::vector<uint8_t> Header(const FrameHeaderFields& fields)
{
    std::vector<uint8_t> bytes(CFrameHeader::kSize);
    WriteFrameHeader(bytes.data(), fields);
    return bytes;
}

CFrameHeader Read(const std::vector<uint8_t>& bytes)
{
    CFrameHeader header;
    header.Read(bytes.data(), bytes.size());
    return header;
}
} // namespace

TEST(FrameHeaderTest, NewHeaderIsZeroAndInvalid)
{
    CFrameHeader header;
    EXPECT_FALSE(header.IsValid());
    EXPECT_EQ(header.GetKind(), 0);
    EXPECT_EQ(header.GetPictureOffset(), 80u);
}

TEST(FrameHeaderTest, ShortPayloadReadsAsZeros)
{
    auto bytes = Header({});
    ASSERT_TRUE(Read(bytes).IsValid());
    bytes.resize(79);
    CFrameHeader header = Read(Header({}));
    header.Read(bytes.data(), bytes.size());
    EXPECT_FALSE(header.IsValid());
    EXPECT_EQ(header.GetKind(), 0);
}

TEST(FrameHeaderTest, ValidityNeedsMagicAndLengthEighty)
{
    auto bytes = Header({});
    EXPECT_TRUE(Read(bytes).IsValid());
    bytes[5] = 81; // header length 81
    EXPECT_FALSE(Read(bytes).IsValid());
    bytes = Header({});
    bytes[1] = 'N';
    EXPECT_FALSE(Read(bytes).IsValid());
    bytes = Header({});
    bytes[2] = 1; // 80 + 2^24
    EXPECT_FALSE(Read(bytes).IsValid());
}

TEST(FrameHeaderTest, FieldsAtTheirExtremes)
{
    auto bytes = Header({});
    std::fill(bytes.begin() + 6, bytes.end(), 0xFF);
    const auto all = Read(bytes);
    EXPECT_TRUE(all.IsValid());
    EXPECT_EQ(all.GetKind(), 255);
    EXPECT_EQ(all.GetVideoLossMask(), 0xFFFF);
    EXPECT_EQ(all.GetChannel(), 255);
    EXPECT_EQ(all.GetDisplaySelector(), 3u);
    EXPECT_EQ(all.GetPictureOffset(), 80u); // 80 + 0xFFFFFFFF - 0xFFFFFFFF

    std::fill(bytes.begin() + 6, bytes.end(), 0x00);
    const auto none = Read(bytes);
    EXPECT_EQ(none.GetKind(), 0);
    EXPECT_EQ(none.GetVideoLossMask(), 0);
    EXPECT_EQ(none.GetDisplaySelector(), 0u);
    EXPECT_EQ(none.GetPictureOffset(), 80u);
}

TEST(FrameHeaderTest, BigEndianFieldsAndTheirNeighbours)
{
    const auto header = Read(Header({.dataLength = 1000,
                                     .videoLossMask = 0x8001,
                                     .kind = 6,
                                     .displaySelector = 2,
                                     .channel = 0x12345607,
                                     .imageLength = 900}));
    EXPECT_EQ(header.GetPictureOffset(), 180u);
    EXPECT_EQ(header.GetVideoLossMask(), 0x8001);
    EXPECT_EQ(header.GetChannel(), 7);
    EXPECT_EQ(header.GetDisplaySelector(), 2u);
    EXPECT_EQ(header.GetKind(), 6);
}

TEST(FrameHeaderTest, SelectorIsBitsTwentyTwoAndTwentyThreeOnly)
{
    auto bytes = Header({});
    // Every bit set except 22 and 23 of the field at offset 17.
    bytes[17] = 0xFF;
    bytes[18] = 0x3F;
    bytes[19] = 0xFF;
    bytes[20] = 0xFF;
    EXPECT_EQ(Read(bytes).GetDisplaySelector(), 0u);
    bytes[18] = 0x40;
    EXPECT_EQ(Read(bytes).GetDisplaySelector(), 1u);
    bytes[18] = 0x80;
    EXPECT_EQ(Read(bytes).GetDisplaySelector(), 2u);
}

TEST(FrameHeaderTest, PictureOffsetWrapsInThirtyTwoBits)
{
    // An image longer than the data puts the start before the header's end,
    // and past it by wrap-around: callers must check it against the payload.
    EXPECT_EQ(Read(Header({.dataLength = 10, .imageLength = 100})).GetPictureOffset(),
              uint32_t(80 + 10 - 100));
    EXPECT_EQ(Read(Header({.dataLength = 0, .imageLength = 0xFFFFFFFF})).GetPictureOffset(), 81u);
}

TEST(FrameHeaderTest, EveryFieldTheViewerReadsSitsWhereTheLayoutPutsIt)
{
    // Written out by hand: the simulator writes its headers with WriteFrameHeader,
    // so a mistake shared by writer and reader would pass every other test.
    std::vector<uint8_t> bytes(CFrameHeader::kSize, 0x00);
    const auto put = [&](size_t offset, std::initializer_list<uint8_t> field)
    { std::copy(field.begin(), field.end(), bytes.begin() + offset); };
    put(0, {'U', 'M'});
    put(2, {0x00, 0x00, 0x00, 0x50});  // header length 80
    put(8, {0x00, 0x00, 0x03, 0xE8});  // data length 1000
    put(14, {0x80, 0x04});             // video loss on channels 15 and 2
    put(16, {0x07});                   // kind
    put(17, {0x00, 0x80, 0x00, 0x00}); // display selector 2: bits 22 and 23 read 10
    put(53, {0x00, 0x00, 0x01, 0x03}); // channel 0x103, of which the viewer uses 3
    put(57, {0x00, 0x00, 0x03, 0x84}); // image length 900
    EXPECT_EQ(Header({.dataLength = 1000,
                      .videoLossMask = 0x8004,
                      .kind = 7,
                      .displaySelector = 2,
                      .channel = 0x103,
                      .imageLength = 900}),
              bytes);

    // The bytes the viewer does not interpret may hold anything, the selector's
    // neighbours included.
    for (size_t i : {6, 7, 12, 13, 61, 79})
    {
        bytes[i] = 0xA5;
    }
    std::fill(bytes.begin() + 21, bytes.begin() + 53, 0xA5);
    put(17, {0xA5, 0xBF, 0xA5, 0xA5});
    const auto header = Read(bytes);
    EXPECT_TRUE(header.IsValid());
    EXPECT_EQ(header.GetKind(), 7);
    EXPECT_EQ(header.GetVideoLossMask(), 0x8004);
    EXPECT_EQ(header.GetDisplaySelector(), 2u);
    EXPECT_EQ(header.GetChannel(), 3);
    EXPECT_EQ(header.GetPictureOffset(), 180u);
}
