#include "DvrStream.h"
#include "FormFields.h"
#include "SimulatorState.h"

#include "net/FrameHeader.h"
#include "net/Protocol.h"

#include <gtest/gtest.h>

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
