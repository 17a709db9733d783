// SPDX-License-Identifier: GPL-3.0-or-later
#include "DvrStream.h"
#include "FormFields.h"
#include "SimulatorState.h"

#include "protocol/ByteOrder.h"
#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace
{
class DvrStreamTest : public ::testing::Test
{
protected:
    std::unique_ptr<DvrStream> Admit(const DvrMisbehaviour& faults = {})
    {
        m_state.UpdateSettings([&](DvrSimSettings& s) {
            s.misbehaviour = faults;
            s.sizes.fill(PictureSize{32, 24});
            s.framesPerSecond = 1000;
        });
        const auto admission =
            m_state.Admit(*FormFields::Parse("MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=2"));
        EXPECT_NE(admission.clientId, 0);
        return std::make_unique<DvrStream>(m_state, admission.clientId, [] { return false; });
    }

    // Reads until the stream has produced at least count bytes or ended.
    std::vector<uint8_t> ReadBytes(DvrStream& stream, size_t count, long* last = nullptr)
    {
        std::vector<uint8_t> bytes;
        uint8_t buffer[4096];
        while (bytes.size() < count)
        {
            const long n = stream.Read(buffer, sizeof buffer);
            if (last)
            {
                *last = n;
            }
            if (n < 0)
            {
                break;
            }
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
        return bytes;
    }

    SimulatorState m_state{DvrSimSettings{}};
};

constexpr size_t kLoginPacketSize = kPacketOverhead + DvrInfoBlock::kSize;

TEST_F(DvrStreamTest, WriteSizesCutTheBodyIntoPiecesOfThoseSizesInTurn)
{
    DvrMisbehaviour faults;
    faults.writeSizes = {1, 2, 5};
    auto stream = Admit(faults);
    const long expected[] = {1, 2, 5};
    uint8_t buffer[4096];
    std::vector<uint8_t> body;
    for (int i = 0; i < 90; ++i)
    {
        const long n = stream->Read(buffer, sizeof buffer);
        ASSERT_EQ(n, expected[i % 3]) << "piece " << i;
        body.insert(body.end(), buffer, buffer + n);
    }
    ASSERT_GE(body.size(), kLoginPacketSize);
    const std::vector<uint8_t> head(body.begin(), body.begin() + kLoginPacketSize);
    EXPECT_EQ(head[5], PKT_LOGIN_REPLY);
    EXPECT_EQ(head[4], stream->GetClientId());
}

TEST_F(DvrStreamTest, PiecesNeverExceedWhatTheServerAsksFor)
{
    auto stream = Admit();
    uint8_t buffer[16];
    for (int i = 0; i < 40; ++i)
    {
        const long n = stream->Read(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        ASSERT_LE(n, 16);
    }
}

TEST_F(DvrStreamTest, CloseFaultsEndWithAnAbortAtTheirPoint)
{
    DvrMisbehaviour before;
    before.closeBeforePackets = true;
    long last = 0;
    EXPECT_TRUE(ReadBytes(*Admit(before), 1, &last).empty());
    EXPECT_EQ(last, DvrStream::kAbort);

    DvrMisbehaviour after;
    after.closeAfterLogin = true;
    EXPECT_EQ(ReadBytes(*Admit(after), kLoginPacketSize + 1, &last).size(), kLoginPacketSize);
    EXPECT_EQ(last, DvrStream::kAbort);
}

TEST_F(DvrStreamTest, LogoutAndStopEndTheStreamInsteadOfTheNextFrame)
{
    for (const bool stop : {false, true})
    {
        m_state.Reset();
        DvrMisbehaviour silent;
        silent.silentAfterLogin = true;
        auto stream = Admit(silent);
        ReadBytes(*stream, kLoginPacketSize);
        if (stop)
        {
            m_state.BeginStop();
        }
        else
        {
            m_state.ApplyCommand(*FormFields::Parse(
                "MODE=5&CID=" + std::to_string(stream->GetClientId()) + "&OP=5"));
        }
        uint8_t buffer[64];
        EXPECT_EQ(stream->Read(buffer, sizeof buffer), DvrStream::kEndOfStream);
    }
}

TEST_F(DvrStreamTest, FramesFollowTheLoginReplyAndTheStreamReleasesItsClient)
{
    auto stream = Admit();
    EXPECT_EQ(m_state.ActiveClients(), 1u);
    const auto body = ReadBytes(*stream, kLoginPacketSize + kPacketHeaderSize + CFrameHeader::kSize);
    const uint8_t* frame = &body[kLoginPacketSize];
    EXPECT_EQ(frame[5], PKT_FRAME);
    CFrameHeader header;
    header.Read(frame + kPacketHeaderSize, CFrameHeader::kSize);
    EXPECT_TRUE(header.IsValid());
    EXPECT_EQ(header.GetChannel(), 1);
    stream.reset();
    EXPECT_EQ(m_state.ActiveClients(), 0u);
}
} // namespace

namespace
{
struct SentFrame
{
    uint32_t number;
    std::vector<uint8_t> jpeg;
};

// Whole frame packets in a body that starts with the login reply, in order.
std::vector<SentFrame> FramesIn(const std::vector<uint8_t>& body)
{
    std::vector<SentFrame> frames;
    size_t at = kLoginPacketSize;
    while (at + kPacketHeaderSize <= body.size())
    {
        const uint32_t length = ReadBigEndian32(&body[at + 6]);
        if (at + kPacketOverhead + length > body.size())
        {
            break;
        }
        const uint8_t* data = &body[at + kPacketHeaderSize + CFrameHeader::kSize];
        const size_t jpegLength = length - CFrameHeader::kSize - DvrStream::kDataPrefix;
        frames.push_back(
            {ReadBigEndian32(data),
             {data + DvrStream::kDataPrefix, data + DvrStream::kDataPrefix + jpegLength}});
        at += kPacketOverhead + length;
    }
    return frames;
}
} // namespace

TEST_F(DvrStreamTest, PreEncodedFramesRepeatTheChannelsPictureUntilItsSizeChanges)
{
    m_state.UpdateSettings([](DvrSimSettings& s) { s.frameSource.preEncoded = true; });
    auto stream = Admit();
    std::vector<uint8_t> body = ReadBytes(*stream, kLoginPacketSize + 3000);
    std::vector<SentFrame> frames;
    while ((frames = FramesIn(body)).size() < 3)
    {
        const auto more = ReadBytes(*stream, 1000);
        body.insert(body.end(), more.begin(), more.end());
    }
    EXPECT_EQ(frames[0].number, 1u);
    EXPECT_EQ(frames[2].number, 3u);
    EXPECT_EQ(frames[1].jpeg, frames[0].jpeg);
    EXPECT_EQ(frames[2].jpeg, frames[0].jpeg);

    m_state.UpdateSettings([](DvrSimSettings& s) { s.sizes.fill(PictureSize{40, 24}); });
    const size_t before = frames.size();
    while ((frames = FramesIn(body)).size() < before + 2)
    {
        const auto more = ReadBytes(*stream, 1000);
        body.insert(body.end(), more.begin(), more.end());
    }
    // The frame in flight at the change may still be the old one; the next is new.
    EXPECT_NE(frames.back().jpeg, frames[0].jpeg);
}

TEST_F(DvrStreamTest, ReplayedJpegsGoOutInTurnAsFastAsTheyAreRead)
{
    const std::vector<std::vector<uint8_t>> jpegs = {{0xFF, 0xD8, 1}, {0xFF, 0xD8, 2, 2}};
    auto stream = Admit();
    m_state.UpdateSettings(
        [&](DvrSimSettings& s)
        {
            s.frameSource.replay = std::make_shared<const std::vector<std::vector<uint8_t>>>(jpegs);
            s.frameSource.unthrottled = true;
            s.framesPerSecond = 0.01; // one frame in 100 s, were the rate obeyed
        });
    std::vector<uint8_t> body;
    std::vector<SentFrame> frames;
    while ((frames = FramesIn(body)).size() < 5)
    {
        const auto more = ReadBytes(*stream, 100);
        body.insert(body.end(), more.begin(), more.end());
    }
    for (size_t i = 0; i < 5; ++i)
    {
        EXPECT_EQ(frames[i].jpeg, jpegs[i % 2]) << i;
        EXPECT_EQ(frames[i].number, i + 1);
    }
}

TEST_F(DvrStreamTest, EachFrameIsNotedOnceWhenItsLastByteIsRead)
{
    std::vector<uint32_t> noted;
    m_state.SetFrameSentObserver(
        [&](uint8_t, uint32_t number, std::chrono::steady_clock::time_point)
        { noted.push_back(number); });
    DvrMisbehaviour faults;
    faults.writeSizes = {97};
    auto stream = Admit(faults);
    std::vector<uint8_t> body;
    uint8_t buffer[4096];
    while (FramesIn(body).size() < 3)
    {
        const long n = stream->Read(buffer, sizeof buffer);
        ASSERT_GT(n, 0);
        body.insert(body.end(), buffer, buffer + n);
        const auto frames = FramesIn(body);
        ASSERT_EQ(noted.size(), frames.size()) << "after " << body.size() << " bytes";
        for (size_t i = 0; i < frames.size(); ++i)
        {
            EXPECT_EQ(noted[i], frames[i].number);
        }
    }
}
