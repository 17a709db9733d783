// SPDX-License-Identifier: GPL-3.0-or-later
// The client against a DVR that goes wrong on purpose: the real simulator's
// faults, and a scripted peer for what a web server cannot do (a reset, a
// command cut off, bytes that are no stream at all).
#include "net/CDVRClient.h"

#include "DvrSimulator.h"
#include "platform/BusyCursor.h"
#include "platform/TextCodec.h"
#include "platform/WindowMessages.h"
#include "protocol/ByteOrder.h"
#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"
#include "support/FakePictureWindow.h"
#include "support/GuiThreadFake.h"
#include "support/ProcessResources.h"
#include "support/RecordingMessageBox.h"
#include "support/ScriptedDvr.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <random>

using namespace std::chrono_literals;

namespace
{
constexpr auto kBound = 20s;
// New logins after 50 ms, then after 100 and 200 ms.
constexpr DvrClientTimeouts kTimeouts{5s, 2s, 50ms, 200ms, kBound};
// A login reply is its 214-byte information block and 14 bytes of framing.
constexpr size_t kLoginReplyBytes = 228;

class NoCursor : public IBusyCursor
{
public:
    void Begin() override {}
    void End() override {}
};

std::vector<uint8_t> LoginReply(uint8_t clientId)
{
    DvrInfoBlock info{};
    info.bytes[0] = 4;
    return BuildPacket(clientId, PKT_LOGIN_REPLY, info.bytes, DvrInfoBlock::kSize);
}

class FaultInjectionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DvrSimSettings settings;
        for (auto& size : settings.sizes)
        {
            size = {64, 48};
        }
        settings.framesPerSecond = 200;
        dvr = std::make_unique<DvrSimulator>(settings);
        dvr->SetRequestObserver([this](const DvrRequestRecord&) { gui.Poke(); });
        window.onRepaint = [this] { gui.Poke(); };
        ASSERT_TRUE(dvr->Start()) << dvr->GetLastError();
        client = std::make_unique<CDVRClient>(gui, window, boxes, gui, cursor, kTimeouts);
    }

    void TearDown() override { client.reset(); }

    DvrConnectInfo Info(std::u16string_view port) const
    {
        return MakeConnectInfo(u"Sim", u"127.0.0.1", port, 0, u"ADMIN", u"1234");
    }
    std::u16string SimPort() const { return FromAscii(std::to_string(dvr->GetPort())); }

    size_t Logins() const
    {
        size_t n = 0;
        for (const auto& request : dvr->GetRequests())
        {
            n += request.method == "Get" ? 1 : 0;
        }
        return n;
    }

    bool WaitForRepaints(int count)
    {
        return gui.WaitFor([&](const auto&) { return window.repaints >= count; }, kBound);
    }

    GuiThreadFake gui;
    FakePictureWindow window;
    RecordingMessageBox boxes;
    NoCursor cursor;
    std::unique_ptr<DvrSimulator> dvr;
    std::unique_ptr<CDVRClient> client;
};
} // namespace

TEST_F(FaultInjectionTest, DvrVanishingMidLoginIsAnsweredByNewLoginsUntilItAnswers)
{
    DvrMisbehaviour cut;
    cut.closeAfterBytes = kLoginReplyBytes / 2;
    dvr->SetMisbehaviour(cut);
    client->Start(Info(SimPort()));
    ASSERT_TRUE(gui.WaitFor([&](const auto&) { return Logins() >= 4; }, kBound));
    EXPECT_TRUE(gui.Handled().empty());
    EXPECT_FALSE(client->IsLoggedIn());
    const auto logins = dvr->GetRequests();
    EXPECT_GE(logins[2].received - logins[1].received, kTimeouts.loginRetry);
    EXPECT_GE(logins[3].received - logins[2].received, 2 * kTimeouts.loginRetry);

    dvr->SetMisbehaviour({});
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1));
    EXPECT_TRUE(WaitForRepaints(1));
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FaultInjectionTest, DvrVanishingMidFrameIsOneLostConnectionAndNoHalfPicture)
{
    DvrMisbehaviour cut;
    cut.closeAfterBytes = kLoginReplyBytes + 300; // inside the first frame's JPEG
    dvr->SetMisbehaviour(cut);
    client->Start(Info(SimPort()));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1));
    EXPECT_EQ(gui.Count(WM_DVR_CONNECTED), 1u);
    EXPECT_FALSE(client->IsLoggedIn());
    EXPECT_EQ(window.repaints, 0);
    EXPECT_FALSE(client->GetPictureDisplay().PaintCommitted([](const auto&, const auto&) {}));
    EXPECT_EQ(Logins(), 1u);
    EXPECT_TRUE(boxes.Boxes().empty());
}

// Scripted so that the broken frame is certain to come before the good one.
TEST_F(FaultInjectionTest, BrokenFramesAreDroppedAndTheNextGoodFrameShows)
{
    std::ifstream file(QUILLON_TESTDATA_DIR "/jpeg/testorig.jpg", std::ios::binary);
    const std::vector<uint8_t> good{std::istreambuf_iterator<char>(file), {}};
    std::vector<uint8_t> huge = good;
    for (size_t i = 0; i + 9 <= huge.size(); ++i)
    {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0)
        {
            std::fill_n(huge.begin() + static_cast<std::ptrdiff_t>(i + 5), 4, uint8_t{0xFF});
            break;
        }
    }
    auto frame = [](const std::vector<uint8_t>& jpeg)
    {
        std::vector<uint8_t> payload(CFrameHeader::kSize + jpeg.size());
        FrameHeaderFields fields;
        fields.dataLength = fields.imageLength = static_cast<uint32_t>(jpeg.size());
        WriteFrameHeader(payload.data(), fields);
        std::copy(jpeg.begin(), jpeg.end(), payload.begin() + CFrameHeader::kSize);
        return BuildPacket(3, PKT_FRAME, payload.data(), static_cast<uint32_t>(payload.size()));
    };
    std::vector<uint8_t> tooLong = frame(good);
    WriteBigEndian32(&tooLong[6], 600000);

    for (const auto& broken : {tooLong, frame(huge)})
    {
        ScriptedDvr peer(
            [&](int fd, const std::string&)
            {
                ScriptedDvr::SendAll(fd, LoginReply(3));
                ScriptedDvr::SendAll(fd, broken);
                ScriptedDvr::SendAll(fd, frame(good));
            });
        // A fresh client: a failed decode repaints the previous picture.
        client = std::make_unique<CDVRClient>(gui, window, boxes, gui, cursor, kTimeouts);
        window.repaints = 0;
        gui.Clear();
        client->Start(Info(peer.PortText()));
        ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1));
        EXPECT_EQ(gui.Count(WM_DVR_CONNECTED), 1u);
        EXPECT_EQ(window.repaints, 1);
        int width = 0;
        client->GetPictureDisplay().PaintCommitted([&](const CJpegDecoder& picture, const auto&)
                                                   { width = picture.GetWidth(); });
        EXPECT_EQ(width, 227);
        for (const auto& box : boxes.Boxes())
        {
            ADD_FAILURE() << std::string(box.text.begin(), box.text.end());
        }
    }
}

TEST_F(FaultInjectionTest, ResetAndRandomBytesEndTheStreamCleanly)
{
    // An error after the login: logged out before the handler hears of it.
    {
        ScriptedDvr peer(
            [&](int fd, const std::string&)
            {
                const uint8_t timedOut = 14;
                ScriptedDvr::SendAll(fd, LoginReply(3));
                ScriptedDvr::SendAll(fd, BuildPacket(3, PKT_ERROR, &timedOut, 1));
            });
        bool loggedInWhenTold = true;
        gui.onMessage = [&](const GuiThreadFake::Message& m)
        {
            if (m.message == WM_DVR_ERROR)
            {
                loggedInWhenTold = client->IsLoggedIn();
            }
        };
        client->Start(Info(peer.PortText()));
        ASSERT_TRUE(gui.WaitForCount(WM_DVR_ERROR, 1));
        gui.onMessage = nullptr;
        EXPECT_EQ(gui.Count(WM_DVR_CONNECTED), 1u);
        EXPECT_FALSE(loggedInWhenTold);
        gui.Clear();
    }
    // A reset in the middle of a frame, after the login: one lost connection.
    {
        ScriptedDvr peer(
            [&](int fd, const std::string&)
            {
                ScriptedDvr::SendAll(fd, LoginReply(3));
                ScriptedDvr::SendAll(fd, {0xFB, 0xFB, 0xFB, 0xFC, 3, PKT_FRAME, 0, 0, 4, 0, 'U'});
                ScriptedDvr::ResetOnClose(fd);
            });
        client->Start(Info(peer.PortText()));
        ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1));
        EXPECT_EQ(gui.Count(WM_DVR_CONNECTED), 1u);
        EXPECT_FALSE(client->IsLoggedIn());
    }
    // Bytes that are no stream: never a login, a new try each time, and a clean stop.
    gui.Clear();
    std::mt19937 random(13);
    std::vector<uint8_t> noise(256 * 1024);
    for (auto& byte : noise)
    {
        byte = static_cast<uint8_t>(random());
    }
    ScriptedDvr peer([&](int fd, const std::string&) { ScriptedDvr::SendAll(fd, noise); },
                     [&] { gui.Poke(); });
    client->Start(Info(peer.PortText()));
    ASSERT_TRUE(gui.WaitFor([&](const auto&) { return peer.Connections() >= 3; }, kBound));
    client.reset();
    EXPECT_TRUE(gui.Handled().empty());
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(FaultInjectionTest, BytesWithoutEndButNoLoginReplyFailWhenTheReplyIsOverdue)
{
    const std::vector<uint8_t> zeros(4096, 0);
    ScriptedDvr peer(
        [&](int fd, const std::string&)
        {
            while (ScriptedDvr::SendAll(fd, zeros))
            {
            }
        });
    DvrClientTimeouts timeouts = kTimeouts;
    timeouts.loginReply = 500ms;
    client = std::make_unique<CDVRClient>(gui, window, boxes, gui, cursor, timeouts);
    const auto started = std::chrono::steady_clock::now();
    client->Start(Info(peer.PortText()));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1));
    EXPECT_GE(std::chrono::steady_clock::now() - started, timeouts.loginReply);
    EXPECT_EQ(gui.Handled().size(), 1u);
    EXPECT_EQ(peer.Connections(), 1u);
}

TEST_F(FaultInjectionTest, DvrVanishingMidCommandReturnsAndKeepsTheStream)
{
    std::atomic<bool> streamServed{false};
    ScriptedDvr peer(
        [&](int fd, const std::string& request)
        {
            if (request.starts_with("Get") && !streamServed.exchange(true))
            {
                ScriptedDvr::SendAll(fd, LoginReply(3));
                // The stream stays open until the client leaves.
                char byte;
                while (::recv(fd, &byte, 1, 0) > 0)
                {
                }
            }
            // A command: its head is read, then the DVR is gone without a word.
            ScriptedDvr::ResetOnClose(fd);
        },
        [&] { gui.Poke(); });
    client->Start(Info(peer.PortText()));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1));
    const auto started = std::chrono::steady_clock::now();
    client->SelectChannel(2);
    client->SendPTZRequest(u"5S2");
    EXPECT_LT(std::chrono::steady_clock::now() - started, 2s); // no wait for the time-out
    EXPECT_TRUE(client->IsLoggedIn());
    EXPECT_GE(peer.Connections(), 3u);
    EXPECT_EQ(gui.Handled().size(), 1u);
}

// Thousands of threads and sockets come and go; none may stay behind.
TEST_F(FaultInjectionTest, ThousandConnectsAndChannelSwitchesLeaveNothingBehind)
{
    auto settle = [&](const ProcessResources& bound)
    {
        // The simulator's connection threads end shortly after their clients leave;
        // nothing signals that, so look again every few milliseconds, within a bound.
        const auto deadline = std::chrono::steady_clock::now() + kBound;
        ProcessResources now = ReadProcessResources();
        while ((now.threads > bound.threads || now.openFiles > bound.openFiles) &&
               std::chrono::steady_clock::now() < deadline)
        {
            gui.WaitFor([](const auto&) { return false; }, 5ms);
            now = ReadProcessResources();
        }
        return now;
    };
    auto cycle = [&]
    {
        gui.Clear();
        client->Start(Info(SimPort()));
        ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1));
        client->Disconnect();
    };
    for (int i = 0; i < 20; ++i)
    {
        cycle();
    }
    ASSERT_TRUE(dvr->WaitForClientCount(0, kBound));
    const ProcessResources before = ReadProcessResources();
    for (int i = 0; i < 1000; ++i)
    {
        cycle();
    }
    ASSERT_TRUE(dvr->WaitForClientCount(0, kBound));
    const ProcessResources afterConnects = settle(before);
    EXPECT_LE(afterConnects.threads, before.threads);
    EXPECT_LE(afterConnects.openFiles, before.openFiles);
    if (kResidentSizeIsMeaningful)
    {
        EXPECT_LT(afterConnects.residentBytes, before.residentBytes + (8u << 20));
    }

    gui.Clear();
    client->Start(Info(SimPort()));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1));
    for (int i = 0; i < 1000; ++i)
    {
        client->SelectChannel(i % 4);
    }
    ASSERT_TRUE(WaitForRepaints(1));
    EXPECT_TRUE(client->IsLoggedIn());
    client->Disconnect();
    ASSERT_TRUE(dvr->WaitForClientCount(0, kBound));
    const ProcessResources afterSwitches = settle(before);
    EXPECT_LE(afterSwitches.threads, before.threads);
    EXPECT_LE(afterSwitches.openFiles, before.openFiles);
    if (kResidentSizeIsMeaningful)
    {
        EXPECT_LT(afterSwitches.residentBytes, before.residentBytes + (8u << 20));
    }
    EXPECT_EQ(gui.Count(WM_DVR_CONNECT_FAILED), 0u);
    EXPECT_TRUE(boxes.Boxes().empty());
}
