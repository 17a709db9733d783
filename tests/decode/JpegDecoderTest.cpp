// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode/CJpegDecoder.h"

#include "platform/TextCodec.h"
#include "support/DjpegReference.h"
#include "support/RecordingMessageBox.h"
#include "support/TestJpegEncoder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
const std::string kJpegDir = std::string(QUILLON_TESTDATA_DIR) + "/jpeg/";

std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Pixels only: the padding bytes of each row are not part of the picture.
testing::AssertionResult SamePixels(const CJpegDecoder& decoder, const ReferencePicture& reference)
{
    if (decoder.GetWidth() != reference.width || decoder.GetHeight() != reference.height)
    {
        return testing::AssertionFailure()
               << "size " << decoder.GetWidth() << "x" << decoder.GetHeight() << " instead of "
               << reference.width << "x" << reference.height;
    }
    const size_t rowBytes = static_cast<size_t>(reference.width) * 3;
    for (int32_t y = 0; y < reference.height; ++y)
    {
        const uint8_t* actual = decoder.GetBits() + static_cast<size_t>(y) * decoder.GetStride();
        const uint8_t* expected = reference.bits.data() + static_cast<size_t>(y) * reference.stride;
        for (size_t i = 0; i < rowBytes; ++i)
        {
            if (actual[i] != expected[i])
            {
                return testing::AssertionFailure()
                       << "row " << y << " byte " << i << ": " << int(actual[i]) << " instead of "
                       << int(expected[i]);
            }
        }
    }
    return testing::AssertionSuccess();
}

std::vector<uint8_t> CopyOfPicture(const CJpegDecoder& decoder)
{
    return {decoder.GetBits(),
            decoder.GetBits() + static_cast<size_t>(decoder.GetStride()) * decoder.GetHeight()};
}

class JpegDecoderTest : public testing::Test
{
protected:
    // A picture the failure cases must leave alone.
    void DecodePreviousPicture()
    {
        ASSERT_TRUE(m_decoder.Decode(m_original.data(), m_original.size()));
        m_previous = CopyOfPicture(m_decoder);
        m_previousBits = m_decoder.GetBits();
    }

    void ExpectPreviousPictureWhole()
    {
        EXPECT_EQ(m_decoder.GetWidth(), 227);
        EXPECT_EQ(m_decoder.GetHeight(), 149);
        EXPECT_EQ(m_decoder.GetStride(), 684u);
        EXPECT_EQ(m_decoder.GetBitmapInfoHeader().biWidth, 227);
        EXPECT_EQ(m_decoder.GetBits(), m_previousBits);
        EXPECT_EQ(CopyOfPicture(m_decoder), m_previous);
    }

    RecordingMessageBox m_boxes;
    CJpegDecoder m_decoder{m_boxes};
    const std::vector<uint8_t> m_original = ReadFile(kJpegDir + "testorig.jpg");
    std::vector<uint8_t> m_previous;
    const uint8_t* m_previousBits = nullptr;
};
} // namespace

TEST_F(JpegDecoderTest, NewDecoderHasNoPicture)
{
    EXPECT_FALSE(m_decoder.HasPicture());
    EXPECT_EQ(m_decoder.GetBits(), nullptr);
    EXPECT_EQ(m_decoder.GetWidth(), 0);
}

TEST_F(JpegDecoderTest, RealFilesDecodeToTheSamePixelsAsDjpeg)
{
    for (const char* name : {"testorig.jpg", "testimgint.jpg", "testimgari.jpg"})
    {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> jpeg = ReadFile(kJpegDir + name);
        ReferencePicture reference;
        ASSERT_TRUE(DecodeWithDjpeg(kJpegDir + name, reference));
        ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        EXPECT_EQ(m_decoder.GetStride(), 684u);
        EXPECT_TRUE(SamePixels(m_decoder, reference));
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(JpegDecoderTest, BitmapHeaderDescribesThePicture)
{
    ASSERT_TRUE(m_decoder.Decode(m_original.data(), m_original.size()));
    const BitmapInfoHeader& bmih = m_decoder.GetBitmapInfoHeader();
    EXPECT_EQ(bmih.biSize, 40u);
    EXPECT_EQ(bmih.biWidth, 227);
    EXPECT_EQ(bmih.biHeight, 149);
    EXPECT_EQ(bmih.biPlanes, 1);
    EXPECT_EQ(bmih.biBitCount, 24);
    EXPECT_EQ(bmih.biCompression, 0u);
    EXPECT_EQ(bmih.biSizeImage, 227u * 149u * 3u);
    EXPECT_EQ(bmih.biXPelsPerMeter, 0);
    EXPECT_EQ(bmih.biYPelsPerMeter, 0);
    EXPECT_EQ(bmih.biClrUsed, 0u);
    EXPECT_EQ(bmih.biClrImportant, 0u);
}

TEST_F(JpegDecoderTest, TwelveBitFileShowsOneFatalErrorBoxAndKeepsThePicture)
{
    DecodePreviousPicture();
    const std::string path = kJpegDir + "monkey12.jpg";
    const std::vector<uint8_t> jpeg = ReadFile(path);
    EXPECT_FALSE(m_decoder.Decode(jpeg.data(), jpeg.size()));

    const auto boxes = m_boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string libraryMessage = DjpegErrorMessage(path);
    ASSERT_FALSE(libraryMessage.empty());
    EXPECT_EQ(boxes[0].text, FromUtf8(libraryMessage));
    EXPECT_EQ(boxes[0].caption, u"JPEG Fatal Error");
    EXPECT_EQ(boxes[0].icon, MessageBoxIcon::Error);
    EXPECT_EQ(boxes[0].buttons, MessageBoxButtons::Ok);
    ExpectPreviousPictureWhole();
}

TEST_F(JpegDecoderTest, BadMarkerShowsTheLibraryMessageAndKeepsThePicture)
{
    DecodePreviousPicture();
    std::vector<uint8_t> jpeg = m_original;
    ASSERT_EQ(jpeg[2], 0xFF);
    jpeg[3] = 0x02; // a reserved marker where APP0 stood
    const std::string path = WriteTempFile(jpeg);
    EXPECT_FALSE(m_decoder.Decode(jpeg.data(), jpeg.size()));

    const auto boxes = m_boxes.Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, FromUtf8(DjpegErrorMessage(path)));
    EXPECT_EQ(boxes[0].caption, u"JPEG Fatal Error");
    ExpectPreviousPictureWhole();
    std::remove(path.c_str());
}

TEST_F(JpegDecoderTest, DataEndingEarlyFailsCleanly)
{
    const std::vector<uint8_t> progressive = EncodeTestJpeg({64, 48, 3, true, 90}, PatternSample);
    struct Case
    {
        const char* what;
        const std::vector<uint8_t>* jpeg;
        size_t length;
        size_t boxes;
    };
    // A header cut short fails when decompression starts, with the library's
    // own error; data cut inside the picture ends the decode without a box
    // (without its end marker the library cannot finish the last rows).
    const Case cases[] = {
        {"empty buffer", &m_original, 0, 1},
        {"start of image only", &m_original, 2, 1},
        {"inside the header", &m_original, 20, 1},
        {"half the picture", &m_original, m_original.size() / 2, 0},
        {"all but the last scan data", &m_original, m_original.size() - 40, 0},
        {"end marker missing", &m_original, m_original.size() - 2, 0},
        {"progressive, half", &progressive, progressive.size() / 2, 0},
    };
    DecodePreviousPicture();
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.what);
        const size_t boxesBefore = m_boxes.Boxes().size();
        EXPECT_FALSE(m_decoder.Decode(c.jpeg->data(), c.length));
        const auto boxes = m_boxes.Boxes();
        ASSERT_EQ(boxes.size() - boxesBefore, c.boxes);
        if (c.boxes == 1)
        {
            EXPECT_EQ(boxes.back().caption, u"JPEG Fatal Error");
            EXPECT_FALSE(boxes.back().text.empty());
        }
        ExpectPreviousPictureWhole();
    }
}

TEST_F(JpegDecoderTest, GreyscaleGivesThreeEqualBytesPerPixel)
{
    const std::vector<uint8_t> jpeg = EncodeTestJpeg({37, 21, 1, false, 90}, PatternSample);
    const std::string path = WriteTempFile(jpeg);
    ReferencePicture grey;
    ASSERT_TRUE(DecodeGreyWithDjpeg(path, grey));
    std::remove(path.c_str());

    ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
    ASSERT_EQ(m_decoder.GetWidth(), 37);
    ASSERT_EQ(m_decoder.GetHeight(), 21);
    EXPECT_EQ(m_decoder.GetStride(), 112u);
    for (int y = 0; y < 21; ++y)
    {
        // Bottom-up against djpeg's top-down grey samples.
        const uint8_t* row =
            m_decoder.GetBits() + static_cast<size_t>(20 - y) * m_decoder.GetStride();
        for (int x = 0; x < 37; ++x)
        {
            const uint8_t expected = grey.bits[static_cast<size_t>(y) * 37 + x];
            ASSERT_EQ(row[3 * x], expected) << x << "," << y;
            ASSERT_EQ(row[3 * x + 1], expected) << x << "," << y;
            ASSERT_EQ(row[3 * x + 2], expected) << x << "," << y;
        }
    }
}

// One decoder for all sizes, so buffers are reused and replaced between them.
TEST_F(JpegDecoderTest,
       SyntheticPicturesMatchDjpegWithDeinterlacingFromSevenHundredFourByFourEighty)
{
    struct Case
    {
        int width;
        int height;
        bool progressive;
        uint32_t stride;
        bool deinterlaced;
    };
    const Case cases[] = {
        {3, 2, false, 12, false},       {4, 2, false, 12, false},
        {1, 1, false, 4, false},        {704, 240, false, 2112, false},
        {640, 480, false, 1920, false}, {703, 480, false, 2112, false},
        {704, 479, false, 2112, false}, {704, 480, false, 2112, true},
        {705, 481, false, 2116, true},  {1280, 720, true, 3840, true},
        {3, 2, true, 12, false},        {704, 480, true, 2112, true},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) +
                     (c.progressive ? " progressive" : ""));
        const std::vector<uint8_t> jpeg =
            EncodeTestJpeg({c.width, c.height, 3, c.progressive, 90}, PatternSample);
        const std::string path = WriteTempFile(jpeg);
        ReferencePicture reference;
        ASSERT_TRUE(DecodeWithDjpeg(path, reference));
        std::remove(path.c_str());
        if (c.deinterlaced)
        {
            ReferenceDeinterlace(reference);
        }
        ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        EXPECT_EQ(m_decoder.GetStride(), c.stride);
        EXPECT_TRUE(SamePixels(m_decoder, reference));
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

// The cover size picks the smallest scale still as large as it; scaled pictures
// are the library's own, never de-interlaced, and a steady size keeps its buffer.
TEST_F(JpegDecoderTest, ScaledPicturesMatchDjpegScaleAndCoverTheAskedSize)
{
    struct Case
    {
        int width;
        int height;
        int32_t coverWidth;
        int32_t coverHeight;
        int denominator;
    };
    const Case cases[] = {
        {704, 480, 0, 0, 1},      {704, 480, 352, 240, 2}, {704, 480, 353, 100, 1},
        {704, 480, 176, 120, 4},  {704, 480, 88, 60, 8},   {704, 480, 10, 10, 8},
        {705, 481, 89, 0, 8},     {705, 481, 90, 0, 4},    {704, 240, 320, 120, 2},
        {1280, 720, 320, 180, 4}, {3, 2, 1, 1, 8},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height) + " covering " +
                     std::to_string(c.coverWidth) + "x" + std::to_string(c.coverHeight));
        const std::vector<uint8_t> jpeg =
            EncodeTestJpeg({c.width, c.height, 3, false, 90}, PatternSample);
        const std::string path = WriteTempFile(jpeg);
        ReferencePicture reference;
        ASSERT_TRUE(DecodeWithDjpeg(path, reference, c.denominator));
        std::remove(path.c_str());
        if (c.denominator == 1 && c.width >= 704 && c.height >= 480)
        {
            ReferenceDeinterlace(reference);
        }
        m_decoder.SetCoverSize(c.coverWidth, c.coverHeight);
        ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        EXPECT_TRUE(SamePixels(m_decoder, reference));
        EXPECT_EQ(m_decoder.GetSourceWidth(), c.width);
        EXPECT_EQ(m_decoder.GetSourceHeight(), c.height);
        const uint8_t* bits = m_decoder.GetBits();
        ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        EXPECT_EQ(m_decoder.GetBits(), bits);
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
}

TEST_F(JpegDecoderTest, PicturesOverTheSizeLimitAreDroppedWithoutABox)
{
    DecodePreviousPicture();
    for (const auto& [width, height] : {std::pair{7681, 8}, std::pair{8, 4321}})
    {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        const std::vector<uint8_t> jpeg =
            EncodeTestJpeg({width, height, 1, false, 50}, PatternSample);
        EXPECT_FALSE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        ExpectPreviousPictureWhole();
    }
    EXPECT_TRUE(m_boxes.Boxes().empty());
    const std::vector<uint8_t> widest = EncodeTestJpeg({7680, 8, 1, false, 50}, PatternSample);
    EXPECT_TRUE(m_decoder.Decode(widest.data(), widest.size()));
    EXPECT_EQ(m_decoder.GetWidth(), 7680);
}

TEST_F(JpegDecoderTest, FourComponentPicturesGetAFixedFill)
{
    auto decodeCmyk = [&](int seed)
    {
        const std::vector<uint8_t> jpeg =
            EncodeTestJpeg({9, 5, 4, false, 90},
                           [seed](int x, int y, int c) { return PatternSample(x + seed, y, c); });
        EXPECT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        EXPECT_EQ(m_decoder.GetWidth(), 9);
        EXPECT_EQ(m_decoder.GetHeight(), 5);
        EXPECT_EQ(m_decoder.GetStride(), 28u);
        std::vector<uint8_t> pixels;
        for (int y = 0; y < 5; ++y)
        {
            const uint8_t* row =
                m_decoder.GetBits() + static_cast<size_t>(y) * m_decoder.GetStride();
            pixels.insert(pixels.end(), row, row + 27);
        }
        return pixels;
    };
    const std::vector<uint8_t> first = decodeCmyk(0);
    EXPECT_EQ(first, std::vector<uint8_t>(first.size(), first[0]));
    EXPECT_EQ(decodeCmyk(50), first);
}

// The decompressor is kept from frame to frame: whatever state a failure left
// it in, the next picture decodes exactly as a fresh decoder would, at any size.
TEST_F(JpegDecoderTest, EveryFailureLeavesTheDecoderReadyForTheNextPicture)
{
    std::vector<uint8_t> badMarker = m_original;
    badMarker[3] = 0x02;
    const std::vector<uint8_t> cmyk = EncodeTestJpeg({9, 5, 4, false, 90}, PatternSample);
    const std::vector<uint8_t> tooWide = EncodeTestJpeg({7681, 8, 1, false, 50}, PatternSample);
    struct Failure
    {
        const char* what;
        const std::vector<uint8_t>* jpeg;
        size_t length;
    };
    const Failure failures[] = {
        {"fatal error in the header", &badMarker, badMarker.size()},
        {"data ending inside the picture", &m_original, m_original.size() / 2},
        {"header cut short", &m_original, 20},
        {"over the size limit", &tooWide, tooWide.size()},
    };
    struct Size
    {
        int width;
        int height;
    };
    const Size sizes[] = {{704, 480}, {37, 21}, {705, 481}};
    size_t next = 0;
    for (const Failure& failure : failures)
    {
        for (const Size& size : sizes)
        {
            SCOPED_TRACE(std::string(failure.what) + ", then " + std::to_string(size.width) + "x" +
                         std::to_string(size.height));
            const std::vector<uint8_t> jpeg =
                EncodeTestJpeg({size.width, size.height, 3, (next++ % 2) == 1, 90}, PatternSample);
            const std::string path = WriteTempFile(jpeg);
            ReferencePicture reference;
            ASSERT_TRUE(DecodeWithDjpeg(path, reference));
            std::remove(path.c_str());
            if (size.width >= 704)
            {
                ReferenceDeinterlace(reference);
            }
            EXPECT_FALSE(m_decoder.Decode(failure.jpeg->data(), failure.length));
            ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
            EXPECT_TRUE(SamePixels(m_decoder, reference));
            // A picture of another kind in between changes the rows the library is handed.
            ASSERT_TRUE(m_decoder.Decode(cmyk.data(), cmyk.size()));
            ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
            EXPECT_TRUE(SamePixels(m_decoder, reference));
        }
    }
}

TEST_F(JpegDecoderTest, RowPaddingIsZeroAfterEverySize)
{
    for (const auto& [width, height] : {std::pair{705, 481}, std::pair{3, 2}, std::pair{705, 481}})
    {
        const std::vector<uint8_t> jpeg =
            EncodeTestJpeg({width, height, 3, false, 90}, PatternSample);
        ASSERT_TRUE(m_decoder.Decode(jpeg.data(), jpeg.size()));
        const size_t rowBytes = static_cast<size_t>(width) * 3;
        for (int32_t y = 0; y < height; ++y)
        {
            const uint8_t* row =
                m_decoder.GetBits() + static_cast<size_t>(y) * m_decoder.GetStride();
            for (size_t i = rowBytes; i < m_decoder.GetStride(); ++i)
            {
                ASSERT_EQ(row[i], 0) << width << "x" << height << " row " << y;
            }
        }
    }
}
