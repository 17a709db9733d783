// SPDX-License-Identifier: GPL-3.0-or-later
#include "DvrSimulator.h"
#include "SimTestClient.h"

#include "protocol/ByteOrder.h"
#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"

#include <curl/curl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace
{
DvrSimSettings SmallFastSettings()
{
    DvrSimSettings settings;
    settings.channelCount = 4;
    settings.framesPerSecond = 100;
    settings.sizes.fill(PictureSize{64, 48});
    settings.accounts = {{"ADMIN", "1234"}, {"guest", "pw"}, {"odd", "a b%&"}};
    return settings;
}

bool IsFrameOfChannel(const ReceivedPacket& packet, unsigned channel)
{
    CFrameHeader header;
    header.Read(packet.payload.data(), packet.payload.size());
    return packet.type == PKT_FRAME && header.IsValid() && header.GetChannel() == channel;
}

std::string Body(const std::string& text)
{
    return WithNul(text);
}

class DvrSimulatorTest : public ::testing::Test
{
protected:
    void StartWith(DvrSimSettings settings)
    {
        m_dvr = std::make_unique<DvrSimulator>(std::move(settings));
        ASSERT_TRUE(m_dvr->Start()) << m_dvr->GetLastError();
        ASSERT_NE(m_dvr->GetPort(), 0);
    }
    void SetUp() override { StartWith(SmallFastSettings()); }

    std::unique_ptr<StreamClient> Login(const std::string& mask = "1")
    {
        return std::make_unique<StreamClient>(m_dvr->GetPort(),
                                              LoginTarget("ADMIN", "1234", 3000, mask));
    }

    // Logs in and returns the client id from the login reply.
    uint8_t LoginAndWait(std::unique_ptr<StreamClient>& client, const std::string& mask = "1")
    {
        client = Login(mask);
        EXPECT_TRUE(client->WaitForPackets(1));
        const auto packets = client->Packets();
        return packets.empty() ? 0 : packets[0].clientId;
    }

    std::string LastOutcome() const { return m_dvr->GetRequests().back().outcome; }

    std::unique_ptr<DvrSimulator> m_dvr;
};

TEST_F(DvrSimulatorTest, StartFailsClearlyOnABusyPortOrBadSettings)
{
    DvrSimSettings busy = SmallFastSettings();
    busy.port = m_dvr->GetPort();
    DvrSimulator second(busy);
    EXPECT_FALSE(second.Start());
    EXPECT_NE(second.GetLastError().find(std::to_string(busy.port)), std::string::npos);

    DvrSimSettings badAddress = SmallFastSettings();
    badAddress.bindAddress = "localhost";
    DvrSimSettings noChannels = SmallFastSettings();
    noChannels.channelCount = 0;
    DvrSimSettings noRate = SmallFastSettings();
    noRate.framesPerSecond = 0;
    DvrSimSettings emptyReplay = SmallFastSettings();
    emptyReplay.frameSource.replay =
        std::make_shared<const std::vector<std::vector<uint8_t>>>(1, std::vector<uint8_t>{});
    DvrSimSettings hugeReplay = SmallFastSettings();
    hugeReplay.frameSource.replay = std::make_shared<const std::vector<std::vector<uint8_t>>>(
        1, std::vector<uint8_t>(kMaxPayloadLength));
    for (const DvrSimSettings& settings : {badAddress, noChannels, noRate, emptyReplay, hugeReplay})
    {
        DvrSimulator dvr(settings);
        EXPECT_FALSE(dvr.Start());
        EXPECT_FALSE(dvr.IsRunning());
        EXPECT_FALSE(dvr.GetLastError().empty());
    }
}

TEST_F(DvrSimulatorTest, LoginGivesReplyThenDecodableFramesOfTheChannel)
{
    m_dvr->Stop();
    DvrSimSettings settings = SmallFastSettings();
    settings.sizes[2] = PictureSize{80, 64};
    StartWith(settings);

    StreamClient client(m_dvr->GetPort(), LoginTarget("ADMIN", "1234", 3000, "4"));
    ASSERT_TRUE(client.WaitForPackets(4));
    const auto packets = client.Packets();

    ASSERT_EQ(packets[0].type, PKT_LOGIN_REPLY);
    ASSERT_EQ(packets[0].payload.size(), DvrInfoBlock::kSize);
    EXPECT_EQ(packets[0].payload[0], 4);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&packets[0].payload[1])),
              settings.modelName);
    EXPECT_GE(packets[0].clientId, 1);

    for (size_t i = 1; i < 4; ++i)
    {
        const auto& payload = packets[i].payload;
        ASSERT_EQ(packets[i].type, PKT_FRAME);
        CFrameHeader header;
        header.Read(payload.data(), payload.size());
        ASSERT_TRUE(header.IsValid());
        EXPECT_GT(header.GetKind(), 5);
        EXPECT_EQ(header.GetDisplaySelector(), 2u);
        EXPECT_EQ(header.GetChannel(), 2);
        EXPECT_EQ(header.GetVideoLossMask(), 0);
        const uint32_t dataLength = ReadBigEndian32(&payload[8]);
        EXPECT_EQ(CFrameHeader::kSize + dataLength, payload.size());
        const uint32_t offset = header.GetPictureOffset();
        ASSERT_LT(offset, payload.size());
        unsigned width = 0, height = 0;
        ASSERT_TRUE(DecodeJpeg(&payload[offset], payload.size() - offset, width, height));
        EXPECT_EQ(width, 80u);
        EXPECT_EQ(height, 64u);
    }
    client.Abort();
    ASSERT_TRUE(client.WaitForEnd());
    EXPECT_EQ(client.HttpVersion(), CURL_HTTP_VERSION_1_0);
}

TEST_F(DvrSimulatorTest, RefusedLoginsGetOneErrorPacketAndTheStreamEnds)
{
    struct Case
    {
        std::string target;
        uint8_t code;
    };
    const Case cases[] = {
        {LoginTarget("NOBODY", "1234", 3000, "1"), 1},
        {LoginTarget("admin", "1234", 3000, "1"), 1},
        {LoginTarget("ADMIN", "4321", 3000, "1"), 2},
        {LoginTarget("guest", "1234", 3000, "1"), 2},
        {LoginTarget("odd", "a%20b%", 3000, "1"), 2}, // the "&" ends the value
        {LoginTarget("ADMIN", "1234", 2999, "1"), 3},
        {LoginTarget("ADMIN", "1234", 3000, "10"), 7},  // channel 4 of a 4-channel DVR
        {LoginTarget("ADMIN", "1234", 3000, "0"), 7},
        {LoginTarget("ADMIN", "1234", 3000, "10000"), 7}, // bit 16: no channel at all
    };
    for (const Case& c : cases)
    {
        StreamClient client(m_dvr->GetPort(), c.target);
        ASSERT_TRUE(client.WaitForEnd()) << c.target;
        const auto packets = client.Packets();
        ASSERT_EQ(packets.size(), 1u) << c.target;
        EXPECT_EQ(packets[0].type, PKT_ERROR) << c.target;
        EXPECT_EQ(packets[0].payload, std::vector<uint8_t>{c.code}) << c.target;
    }
    EXPECT_EQ(m_dvr->GetClientCount(), 0u);
}

TEST_F(DvrSimulatorTest, CredentialsAreDecodedAsACgiDecodesThem)
{
    m_dvr->Stop();
    DvrSimSettings settings = SmallFastSettings();
    settings.accounts = {{"a b", "a&b%c+d=e"}};
    StartWith(settings);
    const struct
    {
        const char* user;
        const char* password;
        uint8_t type;
    } cases[] = {
        {"a+b", "a%26b%25c%2Bd%3De", PKT_LOGIN_REPLY},
        {"a%20b", "a%26b%25c%2Bd%3De", PKT_LOGIN_REPLY},
        {"a%20b", "a&b%c+d=e", PKT_ERROR},       // split at the "&"
        {"a%20b", "a%26b%25c+d%3De", PKT_ERROR}, // "+" is a space
    };
    for (const auto& c : cases)
    {
        StreamClient client(m_dvr->GetPort(), LoginTarget(c.user, c.password, 3000, "1"));
        ASSERT_TRUE(client.WaitForPackets(1)) << c.password;
        EXPECT_EQ(client.Packets()[0].type, c.type) << c.user << " " << c.password;
    }
}

TEST_F(DvrSimulatorTest, LoginsBeyondTheClientLimitGetErrorFour)
{
    m_dvr->Stop();
    DvrSimSettings settings = SmallFastSettings();
    settings.clientLimit = 2;
    StartWith(settings);
    std::unique_ptr<StreamClient> first, second;
    LoginAndWait(first);
    LoginAndWait(second);

    StreamClient third(m_dvr->GetPort(), LoginTarget("ADMIN", "1234", 3000, "1"));
    ASSERT_TRUE(third.WaitForEnd());
    ASSERT_EQ(third.Packets().size(), 1u);
    EXPECT_EQ(third.Packets()[0].payload, std::vector<uint8_t>{4});

    // A client that leaves frees its place.
    first.reset();
    ASSERT_TRUE(m_dvr->WaitForClientCount(1, kWait));
    std::unique_ptr<StreamClient> fourth;
    LoginAndWait(fourth);
    EXPECT_EQ(fourth->Packets()[0].type, PKT_LOGIN_REPLY);
}

TEST_F(DvrSimulatorTest, ManyClientsEachGetTheirOwnStreamAndStopEndsThemAll)
{
    constexpr size_t kClients = 10;
    std::vector<std::unique_ptr<StreamClient>> clients;
    for (size_t i = 0; i < kClients; ++i)
    {
        const char* masks[] = {"1", "2", "4", "8"};
        clients.push_back(Login(masks[i % 4]));
    }
    std::vector<uint8_t> ids;
    for (size_t i = 0; i < kClients; ++i)
    {
        const unsigned channel = static_cast<unsigned>(i % 4);
        ASSERT_GE(clients[i]->WaitForPacket(
                      [&](const ReceivedPacket& p) { return IsFrameOfChannel(p, channel); }),
                  1)
            << "client " << i;
        ids.push_back(clients[i]->Packets()[0].clientId);
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::unique(ids.begin(), ids.end()), ids.end()) << "client ids must differ";
    EXPECT_EQ(m_dvr->GetClientCount(), kClients);

    m_dvr->Stop();
    for (auto& client : clients)
    {
        EXPECT_TRUE(client->WaitForEnd());
    }
    EXPECT_EQ(m_dvr->GetClientCount(), 0u);

    // The same simulator serves again after a stop.
    ASSERT_TRUE(m_dvr->Start());
    std::unique_ptr<StreamClient> again;
    EXPECT_NE(LoginAndWait(again), 0);
}

TEST_F(DvrSimulatorTest, ChannelSwitchMovesTheStreamToTheNewChannel)
{
    m_dvr->Stop();
    DvrSimSettings settings = SmallFastSettings();
    settings.channelCount = 16;
    StartWith(settings);
    std::unique_ptr<StreamClient> client;
    const unsigned id = LoginAndWait(client);

    EXPECT_EQ(PostCommand(m_dvr->GetPort(), Body("MODE=5&CID=" + std::to_string(id) +
                                                 "&OP=3&CH=400")),
              200);
    const int first = client->WaitForPacket([](const ReceivedPacket& p) {
        return IsFrameOfChannel(p, 10);
    });
    ASSERT_GE(first, 1);
    // A mask beyond the DVR's channels is ignored; the stream stays where it is.
    EXPECT_EQ(PostCommand(m_dvr->GetPort(), Body("MODE=5&CID=" + std::to_string(id) +
                                                 "&OP=3&CH=10000")),
              400);
    const size_t seen = client->Packets().size();
    ASSERT_TRUE(client->WaitForPackets(seen + 3));
    const auto packets = client->Packets();
    for (size_t i = static_cast<size_t>(first); i < packets.size(); ++i)
    {
        EXPECT_TRUE(IsFrameOfChannel(packets[i], 10)) << "packet " << i;
    }
}

TEST_F(DvrSimulatorTest, LogoutEndsOnlyThatClientsStream)
{
    std::unique_ptr<StreamClient> leaving, staying;
    const unsigned id = LoginAndWait(leaving);
    LoginAndWait(staying);

    EXPECT_EQ(PostCommand(m_dvr->GetPort(), Body("MODE=5&CID=" + std::to_string(id) + "&OP=5")),
              200);
    const auto logout = m_dvr->WaitForRequest(
        [](const DvrRequestRecord& r) { return r.method == "POST"; }, kWait);
    ASSERT_TRUE(logout);
    EXPECT_EQ(logout->outcome, "logout client " + std::to_string(id));
    EXPECT_FALSE(m_dvr->WaitForRequest(
        [](const DvrRequestRecord& r) { return r.method == "PUT"; }, 1ms));
    ASSERT_TRUE(leaving->WaitForEnd());
    ASSERT_TRUE(m_dvr->WaitForClientCount(1, kWait));
    const size_t seen = staying->Packets().size();
    EXPECT_TRUE(staying->WaitForPackets(seen + 2));

    // The id is gone now: a second logout changes nothing.
    EXPECT_EQ(PostCommand(m_dvr->GetPort(), Body("MODE=5&CID=" + std::to_string(id) + "&OP=5")),
              400);
    EXPECT_EQ(LastOutcome(), "ignored: unknown CID " + std::to_string(id));
}

TEST_F(DvrSimulatorTest, BadCommandsChangeNothingAndAreLogged)
{
    std::unique_ptr<StreamClient> client;
    const std::string cid = std::to_string(LoginAndWait(client));
    const std::string unknown = std::to_string(cid == "200" ? 201 : 200);
    const std::string bodies[] = {
        WithNul("MODE=5&CID=" + unknown + "&OP=3&CH=2"),
        WithNul("MODE=5&CID=" + unknown + "&OP=5"),
        WithNul("MODE=4&CID=" + cid + "&OP=3&CH=2"),
        WithNul("MODE=5&CID=" + cid + "&OP=3&CH=zz"),
        WithNul("MODE=5&CID=" + cid + "&OP=9"),
        WithNul("MODE=5&CID=" + cid + "&OP=3&OP=3&CH=2"),
        WithNul("MODE=5&CID=" + cid + "&OP=7&CH=0&LEN=1&REQ=4S4"),
        WithNul("MODE=5&CID=" + cid + "&OP=7&CH=9&LEN=1&REQ=4S1"),
        "MODE=5&CID=" + cid + "&OP=3&CH=2" + std::string(1, '\0') + "tail",
        WithNul("garbage"),
        WithNul(""),
    };
    for (const std::string& body : bodies)
    {
        const size_t before = m_dvr->GetRequests().size();
        EXPECT_EQ(PostCommand(m_dvr->GetPort(), body), 400) << body;
        ASSERT_TRUE(m_dvr->WaitForRequests(before + 1, kWait));
        EXPECT_TRUE(LastOutcome().starts_with("ignored")) << body << " -> " << LastOutcome();
    }
    EXPECT_EQ(m_dvr->GetCameraState(0), CameraState{});
    const size_t seen = client->Packets().size();
    ASSERT_TRUE(client->WaitForPackets(seen + 3));
    const auto packets = client->Packets();
    for (size_t i = 1; i < packets.size(); ++i)
    {
        EXPECT_TRUE(IsFrameOfChannel(packets[i], 0)) << "packet " << i;
    }
}

TEST_F(DvrSimulatorTest, CameraCommandsMoveTheCameraOfTheNamedChannel)
{
    std::unique_ptr<StreamClient> client;
    const std::string prefix = "MODE=5&CID=" + std::to_string(LoginAndWait(client)) + "&OP=7&CH=";
    auto send = [&](const std::string& channel, const std::string& request) {
        return PostCommand(m_dvr->GetPort(), WithNul(prefix + channel + "&LEN=1&REQ=" + request));
    };

    EXPECT_EQ(send("2", "9S7"), 200);
    EXPECT_EQ(send("2", "4S3"), 200);
    EXPECT_EQ(send("2", "8"), 200);
    EXPECT_EQ(send("2", "0S1"), 200);
    CameraState moved;
    moved.pan = 20;
    moved.zoom = 14;
    EXPECT_EQ(m_dvr->GetCameraState(2), moved);
    EXPECT_EQ(m_dvr->GetCameraState(1), CameraState{});

    EXPECT_EQ(send("2", "9G7"), 200);
    EXPECT_EQ(m_dvr->GetCameraState(2), CameraState{});
    EXPECT_EQ(LastOutcome(), "camera 2 9G7");
}

TEST_F(DvrSimulatorTest, RequestLogKeepsEveryByteAsReceived)
{
    const std::string post = "POST /cgi-bin/webapp.cgi? HTTP/1.0\r\n"
                             "User-Agent: DODIZERARAZ\r\n"
                             "content-TYPE: application/x-www-form-urlencoded\r\n"
                             "Content-Length: 18\r\n"
                             "\r\n" +
                             WithNul("MODE=5&CID=9&OP=5");
    const std::string answer = RawExchange(m_dvr->GetPort(), post);
    EXPECT_TRUE(answer.starts_with("HTTP/1.0 400")) << answer;

    const std::string get = "Get /cgi-bin/webapp.cgi?MODE=8&ID=a%20b&PW=%&VER=3000&CH=1 HTTP/1.0\r\n"
                            "User-Agent: Palmeye\r\n\r\n";
    const std::string refusal = RawExchange(m_dvr->GetPort(), get);
    const std::string packet = refusal.substr(refusal.find("\r\n\r\n") + 4);
    EXPECT_EQ(packet, std::string("\xFB\xFB\xFB\xFC\x00\x01\x00\x00\x00\x01\x01\xFB\xFB\xFB\xFD", 15));

    ASSERT_TRUE(m_dvr->WaitForRequests(2, kWait));
    const auto log = m_dvr->GetRequests();
    EXPECT_EQ(log[0].method, "POST");
    EXPECT_EQ(log[0].target, "/cgi-bin/webapp.cgi?");
    EXPECT_EQ(log[0].version, "HTTP/1.0");
    using Headers = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(log[0].headers, (Headers{{"User-Agent", "DODIZERARAZ"},
                                       {"content-TYPE", "application/x-www-form-urlencoded"},
                                       {"Content-Length", "18"}}));
    EXPECT_EQ(log[0].body, WithNul("MODE=5&CID=9&OP=5"));
    EXPECT_EQ(log[1].method, "Get");
    EXPECT_EQ(log[1].target, "/cgi-bin/webapp.cgi?MODE=8&ID=a%20b&PW=%&VER=3000&CH=1");
    EXPECT_EQ(log[1].headers, (Headers{{"User-Agent", "Palmeye"}}));
    EXPECT_EQ(log[1].body, "");
}

TEST_F(DvrSimulatorTest, OtherPagesMethodsAndQueriesAreRefusedPlainly)
{
    struct Case
    {
        std::string request;
        std::string status;
    };
    const Case cases[] = {
        {"Get /index.html HTTP/1.0\r\n\r\n", "HTTP/1.0 404"},
        {"PUT /cgi-bin/webapp.cgi? HTTP/1.0\r\nContent-Length: 0\r\n\r\n", "HTTP/1.0 405"},
        {"Get /cgi-bin/webapp.cgi?MODE=5&ID=ADMIN&PW=1234&VER=3000&CH=1 HTTP/1.0\r\n\r\n",
         "HTTP/1.0 400"},
        {"Get /cgi-bin/webapp.cgi HTTP/1.0\r\n\r\n", "HTTP/1.0 400"},
    };
    for (const Case& c : cases)
    {
        EXPECT_TRUE(RawExchange(m_dvr->GetPort(), c.request).starts_with(c.status)) << c.request;
    }
    EXPECT_EQ(m_dvr->GetClientCount(), 0u);
}

TEST_F(DvrSimulatorTest, VideoLossIsMarkedInTheFrameHeader)
{
    m_dvr->SetVideoLoss(1, true);
    std::unique_ptr<StreamClient> client;
    LoginAndWait(client, "2");
    const int index = client->WaitForPacket([](const ReceivedPacket& p) {
        return IsFrameOfChannel(p, 1);
    });
    ASSERT_GE(index, 1);
    CFrameHeader header;
    const auto packet = client->Packets()[index];
    header.Read(packet.payload.data(), packet.payload.size());
    EXPECT_EQ(header.GetVideoLossMask(), 0x0002);
}

// --- Faults on purpose ---------------------------------------------------------------

// Offset of the first start marker at or after from, or npos.
size_t FindStart(const std::vector<uint8_t>& body, size_t from)
{
    const auto it = std::search(body.begin() + static_cast<std::ptrdiff_t>(from), body.end(),
                                std::begin(kStartMarker), std::end(kStartMarker));
    return it == body.end() ? std::string::npos : static_cast<size_t>(it - body.begin());
}

constexpr size_t kLoginPacketSize = kPacketOverhead + DvrInfoBlock::kSize;

TEST_F(DvrSimulatorTest, SilentAfterLoginSendsNothingMoreUntilLogout)
{
    DvrMisbehaviour faults;
    faults.silentAfterLogin = true;
    m_dvr->SetMisbehaviour(faults);
    std::unique_ptr<StreamClient> silent;
    const unsigned id = LoginAndWait(silent);
    m_dvr->SetMisbehaviour({});

    // A normal stream started later gets many frames in the meantime.
    std::unique_ptr<StreamClient> normal;
    LoginAndWait(normal);
    ASSERT_TRUE(normal->WaitForPackets(6));
    EXPECT_EQ(silent->Body().size(), kLoginPacketSize);

    PostCommand(m_dvr->GetPort(), WithNul("MODE=5&CID=" + std::to_string(id) + "&OP=5"));
    ASSERT_TRUE(silent->WaitForEnd());
    EXPECT_EQ(silent->Body().size(), kLoginPacketSize);
}

TEST_F(DvrSimulatorTest, ASilentStreamNoticesItsClientLeaving)
{
    DvrMisbehaviour faults;
    faults.silentAfterLogin = true;
    m_dvr->SetMisbehaviour(faults);
    std::unique_ptr<StreamClient> silent;
    LoginAndWait(silent);
    EXPECT_EQ(m_dvr->GetClientCount(), 1u);
    silent.reset();
    EXPECT_TRUE(m_dvr->WaitForClientCount(0, kWait));
}

TEST_F(DvrSimulatorTest, CloseFaultsEndTheStreamAtTheirPoint)
{
    struct Case
    {
        bool closeBefore;
        size_t bodySize;
    };
    for (const Case c : {Case{true, 0}, Case{false, kLoginPacketSize}})
    {
        DvrMisbehaviour faults;
        faults.closeBeforePackets = c.closeBefore;
        faults.closeAfterLogin = !c.closeBefore;
        m_dvr->SetMisbehaviour(faults);
        std::unique_ptr<StreamClient> client = Login();
        ASSERT_TRUE(client->WaitForEnd());
        EXPECT_EQ(client->Body().size(), c.bodySize);
        EXPECT_TRUE(m_dvr->WaitForClientCount(0, kWait));
    }
}

TEST_F(DvrSimulatorTest, RefuseFaultAnswersEveryLoginWithItsCode)
{
    DvrMisbehaviour faults;
    faults.refuseLoginCode = 5;
    m_dvr->SetMisbehaviour(faults);
    std::unique_ptr<StreamClient> client = Login();
    ASSERT_TRUE(client->WaitForEnd());
    ASSERT_EQ(client->Packets().size(), 1u);
    EXPECT_EQ(client->Packets()[0].type, PKT_ERROR);
    EXPECT_EQ(client->Packets()[0].payload, std::vector<uint8_t>{5});
}

TEST_F(DvrSimulatorTest, JunkAndCutWritesStillCarryEveryPacket)
{
    DvrMisbehaviour faults;
    faults.junkBytes = 21;
    faults.writeSizes = {1, 7, 300};
    m_dvr->SetMisbehaviour(faults);
    std::unique_ptr<StreamClient> client = Login();
    ASSERT_TRUE(client->WaitForPackets(4));

    const auto body = client->Body();
    size_t at = kLoginPacketSize;
    for (int frame = 0; frame < 3; ++frame)
    {
        const size_t start = FindStart(body, at);
        ASSERT_NE(start, std::string::npos);
        EXPECT_EQ(start - at, 21u) << "junk before frame " << frame;
        at = start + kPacketOverhead + ReadBigEndian32(&body[start + 6]);
    }
    for (const auto& packet : client->Packets())
    {
        EXPECT_TRUE(packet.type == PKT_LOGIN_REPLY || IsFrameOfChannel(packet, 0));
    }
}

TEST_F(DvrSimulatorTest, DamagedJpegFaultSendsFramesThatDoNotDecode)
{
    DvrMisbehaviour faults;
    faults.damagedJpeg = true;
    m_dvr->SetMisbehaviour(faults);
    std::unique_ptr<StreamClient> client = Login();
    ASSERT_TRUE(client->WaitForPackets(3));
    const auto packets = client->Packets();
    for (size_t i = 1; i < 3; ++i)
    {
        const auto& payload = packets[i].payload;
        CFrameHeader header;
        header.Read(payload.data(), payload.size());
        ASSERT_TRUE(header.IsValid());
        const uint32_t offset = header.GetPictureOffset();
        ASSERT_LT(offset, payload.size());
        EXPECT_EQ(payload[offset], 0xFF);
        unsigned width, height;
        EXPECT_FALSE(DecodeJpeg(&payload[offset], payload.size() - offset, width, height));
    }
}

TEST_F(DvrSimulatorTest, FramingFaultsBreakEveryFramePacket)
{
    for (const bool oversize : {false, true})
    {
        DvrMisbehaviour faults;
        faults.wrongEndMarker = !oversize;
        faults.oversizeLength = oversize;
        m_dvr->SetMisbehaviour(faults);
        std::unique_ptr<StreamClient> client = Login();
        // Wait on the raw bytes: the deframer rightly hands out none of these frames.
        ASSERT_TRUE(client->WaitForBodySize(kLoginPacketSize + kPacketHeaderSize));
        auto body = client->Body();
        const size_t start = kLoginPacketSize;
        ASSERT_EQ(FindStart(body, start), start);
        EXPECT_EQ(body[start + 5], PKT_FRAME);
        const uint32_t declared = ReadBigEndian32(&body[start + 6]);
        if (oversize)
        {
            EXPECT_EQ(declared, kMaxPayloadLength + 1);
        }
        else
        {
            const size_t end = start + kPacketHeaderSize + declared;
            ASSERT_TRUE(client->WaitForBodySize(end + 4));
            body = client->Body();
            EXPECT_EQ(std::vector<uint8_t>(body.begin() + end, body.begin() + end + 4),
                      (std::vector<uint8_t>{0xFB, 0xFB, 0xFB, 0xFE}));
        }
        EXPECT_EQ(client->Packets().size(), 1u) << "only the login reply is a packet";
    }
}
} // namespace
