// SPDX-License-Identifier: GPL-3.0-or-later
// The faults the simulator commits for the hardening tests: a cut after a
// chosen byte, a declared length, a JPEG that declares the largest size.
#include "CommandLine.h"
#include "DvrSimulator.h"
#include "SimTestClient.h"

#include "protocol/ByteOrder.h"
#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"

#include <gtest/gtest.h>

namespace
{
constexpr size_t kLoginPacketSize = kPacketOverhead + DvrInfoBlock::kSize;

class SimulatorFaultTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DvrSimSettings settings;
        settings.framesPerSecond = 100;
        m_dvr = std::make_unique<DvrSimulator>(settings);
        ASSERT_TRUE(m_dvr->Start()) << m_dvr->GetLastError();
    }

    std::unique_ptr<StreamClient> Login()
    {
        return std::make_unique<StreamClient>(m_dvr->GetPort(),
                                              LoginTarget("ADMIN", "1234", 3000, "1"));
    }

    std::unique_ptr<DvrSimulator> m_dvr;
};
} // namespace

TEST_F(SimulatorFaultTest, CloseAfterBytesCutsTheBodyExactlyThere)
{
    for (const size_t cut : {size_t{100}, kLoginPacketSize + 300})
    {
        DvrMisbehaviour faults;
        faults.closeAfterBytes = cut;
        m_dvr->SetMisbehaviour(faults);
        auto client = Login();
        ASSERT_TRUE(client->WaitForEnd());
        EXPECT_EQ(client->Body().size(), cut);
        EXPECT_EQ(client->Packets().size(), cut > kLoginPacketSize ? 1u : 0u);
    }
}

TEST_F(SimulatorFaultTest, DeclaredLengthAndHugeJpegShapeEveryFrame)
{
    DvrMisbehaviour faults;
    faults.declaredLength = 600000;
    m_dvr->SetMisbehaviour(faults);
    auto tooLong = Login();
    ASSERT_TRUE(tooLong->WaitForBodySize(kLoginPacketSize + kPacketHeaderSize));
    EXPECT_EQ(ReadBigEndian32(&tooLong->Body()[kLoginPacketSize + 6]), 600000u);
    tooLong.reset();

    faults = {};
    faults.hugeJpeg = true;
    m_dvr->SetMisbehaviour(faults);
    auto huge = Login();
    const int frame =
        huge->WaitForPacket([](const ReceivedPacket& p) { return p.type == PKT_FRAME; });
    ASSERT_GE(frame, 0);
    const auto payload = huge->Packets()[frame].payload;
    CFrameHeader header;
    header.Read(payload.data(), payload.size());
    const uint8_t* jpeg = payload.data() + header.GetPictureOffset();
    const size_t length = payload.size() - header.GetPictureOffset();
    bool found = false;
    for (size_t i = 0; i + 9 <= length && !found; ++i)
    {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0)
        {
            EXPECT_EQ(ReadBigEndian16(jpeg + i + 5), 65535u);
            EXPECT_EQ(ReadBigEndian16(jpeg + i + 7), 65535u);
            found = true;
        }
    }
    EXPECT_TRUE(found);
}

TEST_F(SimulatorFaultTest, AnswerStatusAnswersEveryRequestWithItAndLogsIt)
{
    DvrMisbehaviour faults;
    faults.answerStatus = 501;
    m_dvr->SetMisbehaviour(faults);
    const auto before = std::chrono::steady_clock::now();
    for (const char* request : {"Get /cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=1 "
                                "HTTP/1.0\r\n\r\n",
                                "POST /index.html HTTP/1.0\r\nContent-Length: 3\r\n\r\nA=1"})
    {
        EXPECT_TRUE(RawExchange(m_dvr->GetPort(), request).starts_with("HTTP/1.0 501")) << request;
    }
    const auto log = m_dvr->GetRequests();
    ASSERT_EQ(log.size(), 2u);
    for (const auto& record : log)
    {
        EXPECT_EQ(record.outcome, "answered with status 501");
        EXPECT_GE(record.received, before);
    }
    EXPECT_EQ(m_dvr->GetClientCount(), 0u);
}

TEST(SimulatorFaultOptionsTest, TheNewFaultsHaveTheirOptions)
{
    const auto result = CommandLine::Parse(
        {"--close-after-bytes", "300", "--declared-length", "600000", "--huge-jpeg"});
    ASSERT_EQ(result.error, "");
    EXPECT_EQ(result.settings.misbehaviour.closeAfterBytes, 300u);
    EXPECT_EQ(result.settings.misbehaviour.declaredLength, 600000u);
    EXPECT_TRUE(result.settings.misbehaviour.hugeJpeg);
    for (const char* option : {"--close-after-bytes", "--declared-length"})
    {
        EXPECT_NE(CommandLine::Parse({option, "0"}).error.find(option), std::string::npos);
        EXPECT_NE(CommandLine::Parse({option, "x"}).error.find(option), std::string::npos);
    }
}
