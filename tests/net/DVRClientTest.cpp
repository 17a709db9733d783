// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/CDVRClient.h"

#include "DvrSimulator.h"
#include "DvrStream.h"
#include "history/CHistoryBudget.h"
#include "net/CCGIRequest.h"
#include "platform/BusyCursor.h"
#include "platform/TextCodec.h"
#include "platform/WindowMessages.h"
#include "protocol/CFrameHeader.h"
#include "protocol/Protocol.h"
#include "support/FakePictureWindow.h"
#include "support/GuiThreadFake.h"
#include "support/GuiThreadMessageBox.h"
#include "support/RecordingMessageBox.h"
#include "support/TestJpegEncoder.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <set>

using namespace std::chrono_literals;

namespace
{
constexpr auto kBound = 20s;

DvrSimSettings SmallPictures()
{
    DvrSimSettings settings;
    settings.channelCount = 8;
    for (auto& size : settings.sizes)
    {
        size = {64, 48};
    }
    settings.framesPerSecond = 40;
    return settings;
}

std::string Header(const DvrRequestRecord& request, const std::string& name)
{
    for (const auto& [key, value] : request.headers)
    {
        if (std::equal(key.begin(), key.end(), name.begin(), name.end(),
                       [](char a, char b) { return std::tolower(a) == std::tolower(b); }))
        {
            return value;
        }
    }
    return "<none>";
}

std::vector<DvrRequestRecord> RequestsWith(const DvrSimulator& dvr, const std::string& method)
{
    std::vector<DvrRequestRecord> found;
    for (const auto& request : dvr.GetRequests())
    {
        if (request.method == method)
        {
            found.push_back(request);
        }
    }
    return found;
}

DvrMisbehaviour With(bool DvrMisbehaviour::*fault)
{
    DvrMisbehaviour misbehaviour;
    misbehaviour.*fault = true;
    return misbehaviour;
}

std::string Body(const std::string& text)
{
    return text + std::string(1, '\0');
}

// A call that deadlocks never returns, so the test program is ended instead of hanging.
class HangGuard
{
public:
    explicit HangGuard(const char* what)
        : m_watch(
              [this, what]
              {
                  std::unique_lock lock(m_mutex);
                  if (!m_done.wait_for(lock, kBound, [this] { return m_disarmed; }))
                  {
                      std::fprintf(stderr, "hung: %s\n", what);
                      std::abort();
                  }
              })
    {
    }
    ~HangGuard()
    {
        {
            std::lock_guard lock(m_mutex);
            m_disarmed = true;
        }
        m_done.notify_all();
        m_watch.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_disarmed = false;
    std::thread m_watch;
};

class FakeBusyCursor : public IBusyCursor
{
public:
    void Begin() override { ++depth; }
    void End() override { --depth; }

    std::atomic<int> depth{0};
};

class DVRClientTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        dvr.SetRequestObserver([this](const DvrRequestRecord&) { gui.Poke(); });
        window.onRepaint = [this] { gui.Poke(); };
        ASSERT_TRUE(dvr.Start()) << dvr.GetLastError();
    }

    DvrConnectInfo Info(int channel = 0, std::u16string_view password = u"1234") const
    {
        const auto port = FromAscii(std::to_string(dvr.GetPort()));
        return MakeConnectInfo(u"Sim", u"127.0.0.1", port, channel, u"ADMIN", password);
    }

    std::unique_ptr<CDVRClient> MakeClient(CDVRClient::Timeouts timeouts = {5s, 5s, 50ms, 200ms,
                                                                            kBound})
    {
        return std::make_unique<CDVRClient>(gui, window, boxes, gui, cursor, timeouts);
    }

    bool WaitForRepaints(int count)
    {
        return gui.WaitFor([&](const auto&) { return window.repaints >= count; }, kBound);
    }

    GuiThreadFake gui;
    DvrSimulator dvr{SmallPictures()};
    FakePictureWindow window;
    RecordingMessageBox boxes;
    FakeBusyCursor cursor;
};
} // namespace

TEST_F(DVRClientTest, LogsInShowsFramesAndLogsOutWithExactRequests)
{
    auto client = MakeClient();
    client->Start(Info(1));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    EXPECT_TRUE(client->IsLoggedIn());
    EXPECT_TRUE(client->HasChannel(7));
    EXPECT_FALSE(client->HasChannel(8));
    EXPECT_NE(client->GetClientId(), 0u);
    ASSERT_TRUE(WaitForRepaints(3));
    EXPECT_TRUE(client->GetPictureDisplay().PaintCommitted([](const auto&, const auto&) {}));

    const uint32_t clientId = client->GetClientId();
    client->Disconnect();
    EXPECT_FALSE(client->IsLoggedIn());
    EXPECT_FALSE(client->GetPictureDisplay().PaintCommitted([](const auto&, const auto&) {}));
    EXPECT_EQ(cursor.depth, 0);
    EXPECT_EQ(gui.Count(WM_DVR_CONNECT_FAILED), 0u);
    EXPECT_TRUE(boxes.Boxes().empty());

    const auto logins = RequestsWith(dvr, "Get");
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_EQ(logins[0].target, "/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=2");
    EXPECT_EQ(logins[0].version, "HTTP/1.0");
    EXPECT_EQ(Header(logins[0], "User-Agent"), "Palmeye");
    EXPECT_EQ(Header(logins[0], "Accept"), "<none>");
    EXPECT_TRUE(logins[0].body.empty());

    ASSERT_TRUE(dvr.WaitForRequests(2, kBound));
    const auto posts = RequestsWith(dvr, "POST");
    ASSERT_EQ(posts.size(), 1u);
    const std::string body = Body("MODE=5&CID=" + std::to_string(clientId) + "&OP=5");
    EXPECT_EQ(posts[0].target, "/cgi-bin/webapp.cgi?");
    EXPECT_EQ(posts[0].version, "HTTP/1.0");
    EXPECT_EQ(posts[0].body, body);
    EXPECT_EQ(Header(posts[0], "User-Agent"), "DODIZERARAZ");
    EXPECT_EQ(Header(posts[0], "Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(Header(posts[0], "Content-Length"), std::to_string(body.size()));
    EXPECT_EQ(Header(posts[0], "Accept"), "<none>");
    EXPECT_TRUE(dvr.WaitForClientCount(0, kBound));
}

TEST_F(DVRClientTest, WrongPasswordReportsTheCodeAndNeverLogsIn)
{
    auto client = MakeClient();
    client->Start(Info(0, u"9999"));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_ERROR, 1, kBound));
    const auto handled = gui.Handled();
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].wParam, 2u);
    EXPECT_FALSE(client->IsLoggedIn());
    EXPECT_EQ(window.repaints, 0);
    client.reset();
    EXPECT_EQ(RequestsWith(dvr, "Get").size(), 1u);
    EXPECT_EQ(RequestsWith(dvr, "POST").size(), 0u); // never logged in: no logout
}

TEST_F(DVRClientTest, StreamThatEndsBeforeTheLoginReplyIsAnsweredAtOnceThenAfterGrowingWaits)
{
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::closeBeforePackets));
    constexpr auto kRetry = 500ms;
    auto client = MakeClient({5s, 5s, kRetry, 4 * kRetry, kBound});
    client->Start(Info(0));
    ASSERT_TRUE(dvr.WaitForRequests(2, kBound));
    // Commands made meanwhile carry client id 0 and the new channel, and so
    // does the next login.
    client->SelectChannel(5);
    client->SendPTZRequest(u"5S2");
    ASSERT_TRUE(
        gui.WaitFor([&](const auto&) { return RequestsWith(dvr, "Get").size() >= 4; }, kBound));
    client.reset();

    const auto posts = RequestsWith(dvr, "POST");
    ASSERT_EQ(posts.size(), 2u);
    EXPECT_EQ(posts[0].body, Body("MODE=5&CID=0&OP=3&CH=20"));
    EXPECT_EQ(posts[1].body, Body("MODE=5&CID=0&OP=7&CH=5&LEN=1&REQ=5S2"));
    const auto logins = RequestsWith(dvr, "Get");
    EXPECT_EQ(logins.back().target, "/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=1234&VER=3000&CH=20");
    EXPECT_LT(logins[1].received - logins[0].received, kRetry);
    EXPECT_GE(logins[2].received - logins[1].received, kRetry);
    EXPECT_GE(logins[3].received - logins[2].received, 2 * kRetry);
    EXPECT_EQ(gui.Handled().size(), 0u);
}

TEST_F(DVRClientTest, LoginsThatNeverGetAReplyBackOffAndFailWhenTheReplyIsOverdue)
{
    DvrMisbehaviour notADvr;
    notADvr.answerStatus = 501;
    const std::pair<const char*, DvrMisbehaviour> cases[] = {
        {"closed before any packet", With(&DvrMisbehaviour::closeBeforePackets)},
        {"a web server that answers 501", notADvr},
    };
    // The program's waits at a fortieth: 2 s is 50 ms, a minute 1.5 s. Its logins
    // go out at 0, 0, 2, 6, 14 and 30 s, and at 60 s the connection has failed.
    const DvrClientTimeouts shortened{5s, 5s, 50ms, 1500ms, 1500ms};
    for (const auto& [what, faults] : cases)
    {
        dvr.SetMisbehaviour(faults);
        gui.Clear();
        const size_t before = RequestsWith(dvr, "Get").size();
        auto client = MakeClient(shortened);
        const auto started = std::chrono::steady_clock::now();
        client->Start(Info(0));
        ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, kBound)) << what;
        EXPECT_GE(std::chrono::steady_clock::now() - started, shortened.loginReply) << what;
        EXPECT_FALSE(client->IsLoggedIn());
        client.reset();
        EXPECT_EQ(gui.Handled().size(), 1u) << what;
        const size_t logins = RequestsWith(dvr, "Get").size() - before;
        EXPECT_GE(logins, 3u) << what;
        EXPECT_LE(logins, 6u) << what;
        EXPECT_EQ(cursor.depth, 0) << what;
    }
}

// The DVR started instead has a password of the query's own characters.
TEST_F(DVRClientTest, StopOrStartEndTheWaitBeforeANewLoginAtOnceAndThePasswordArrivesExactly)
{
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::closeBeforePackets));
    DvrSimSettings settings = SmallPictures();
    settings.accounts = {{"ADMIN", "&%+=#\xC3\xA9"}};
    DvrSimulator good(settings);
    ASSERT_TRUE(good.Start());
    auto goodInfo = Info(0, u"&%+=#\u00e9");
    goodInfo.Port = good.GetPort();
    const DvrClientTimeouts minuteWaits{5s, 5s, 60s, 60s, 120s};
    for (const bool restart : {false, true})
    {
        HangGuard guard("ending a wait before a new login");
        auto client = MakeClient(minuteWaits);
        const size_t before = RequestsWith(dvr, "Get").size();
        client->Start(Info(0));
        // The second login has gone out: the receiver waits a minute, or is about to.
        ASSERT_TRUE(gui.WaitFor(
            [&](const auto&) { return RequestsWith(dvr, "Get").size() >= before + 2; }, kBound));
        const auto asked = std::chrono::steady_clock::now();
        client->SelectChannel(1);
        if (restart)
        {
            client->Start(goodInfo);
            ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
            EXPECT_EQ(RequestsWith(good, "Get").at(0).target,
                      "/cgi-bin/webapp.cgi?MODE=8&ID=ADMIN&PW=%26%25%2B%3D%23%C3%A9&VER=3000&CH=1");
        }
        else
        {
            client->Stop();
            EXPECT_FALSE(client->IsStarted());
        }
        client.reset();
        EXPECT_LT(std::chrono::steady_clock::now() - asked, 10s) << restart;
        EXPECT_EQ(RequestsWith(dvr, "Get").size(), before + 2) << restart;
    }
}

TEST_F(DVRClientTest, StreamThatEndsAfterTheLoginReplyIsALostConnection)
{
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::closeAfterLogin));
    auto client = MakeClient();
    client->Start(Info(0));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, kBound));
    EXPECT_FALSE(client->IsLoggedIn());
    client.reset();
    const auto handled = gui.Handled();
    ASSERT_EQ(handled.size(), 2u);
    EXPECT_EQ(handled[0].message, WM_DVR_CONNECTED);
    EXPECT_EQ(handled[1].message, WM_DVR_CONNECT_FAILED);
    EXPECT_EQ(RequestsWith(dvr, "Get").size(), 1u);
}

TEST_F(DVRClientTest, SilentDvrTripsTheWatchdogOnceAndTimeHeldByAPauseDoesNotCount)
{
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::silentAfterLogin));
    auto client = MakeClient({1500ms, 5s});
    client->Start(Info(0));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    // 300 ms of the watchdog's 1500 go by, then a pause of 1000 ms: counted, it
    // would leave 200 ms after the resume; not counted, 1200 ms.
    EXPECT_FALSE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, 300ms));
    client->PauseReceiver();
    EXPECT_FALSE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, 1000ms));
    client->ResumeReceiver();
    EXPECT_FALSE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, 500ms));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, kBound));
    EXPECT_FALSE(client->IsLoggedIn());
    client.reset();
    EXPECT_EQ(gui.Count(WM_DVR_CONNECT_FAILED), 1u);
    EXPECT_EQ(RequestsWith(dvr, "Get").size(), 1u);
}

TEST_F(DVRClientTest, UnreachablePortIsAFailedConnection)
{
    // A port held by a socket that does not listen refuses every connection,
    // and no other test can take it meanwhile.
    const int holder = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(holder, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(getsockname(holder, reinterpret_cast<sockaddr*>(&address), &length), 0);
    auto info = Info(0);
    info.Port = ntohs(address.sin_port);
    auto client = MakeClient();
    client->Start(info);
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, 1, kBound));
    client.reset();
    close(holder);
    EXPECT_EQ(gui.Handled().size(), 1u);
}

TEST_F(DVRClientTest, ChannelSwitchAndCameraCommandBodies)
{
    auto client = MakeClient();
    client->Start(Info(2));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    const std::string cid = std::to_string(client->GetClientId());
    client->SendPTZRequest(u"5S2");
    client->SelectChannel(5);
    client->SendPTZRequest(u"8");
    ASSERT_TRUE(dvr.WaitForRequests(4, kBound));
    EXPECT_EQ(client->GetConnectInfo().ChannelMask, 0x20u);
    const auto posts = RequestsWith(dvr, "POST");
    ASSERT_EQ(posts.size(), 3u);
    EXPECT_EQ(posts[0].body, Body("MODE=5&CID=" + cid + "&OP=7&CH=2&LEN=1&REQ=5S2"));
    EXPECT_EQ(posts[1].body, Body("MODE=5&CID=" + cid + "&OP=3&CH=20"));
    EXPECT_EQ(posts[2].body, Body("MODE=5&CID=" + cid + "&OP=7&CH=5&LEN=1&REQ=8"));
    // The stream goes on after the switch.
    const int seen = window.repaints;
    EXPECT_TRUE(WaitForRepaints(seen + 3));
    EXPECT_TRUE(client->IsLoggedIn());
}

TEST_F(DVRClientTest, DisconnectWhileTheReceiverWaitsOnANotificationDoesNotDeadlock)
{
    auto client = MakeClient();
    client->Start(Info(0));
    // The receiver is now blocked sending WM_DVR_CONNECTED to a GUI thread that
    // is busy elsewhere.
    ASSERT_TRUE(gui.WaitForPendingSend(kBound));
    ASSERT_TRUE(client->IsLoggedIn());
    client->Disconnect();
    gui.DispatchPending();
    EXPECT_FALSE(client->IsLoggedIn());
    // The pending notification belongs to a connection that is gone: dropped.
    EXPECT_EQ(gui.Count(WM_DVR_CONNECTED), 0u);
    EXPECT_EQ(gui.Count(WM_DVR_CONNECT_FAILED), 0u);
    EXPECT_EQ(RequestsWith(dvr, "POST").size(), 1u);
    EXPECT_EQ(RequestsWith(dvr, "Get").size(), 1u);
}

TEST_F(DVRClientTest, DisconnectWhileConnectingDoesNothing)
{
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::closeBeforePackets));
    auto client = MakeClient();
    client->Start(Info(0));
    ASSERT_TRUE(dvr.WaitForRequests(2, kBound));
    client->Disconnect();
    const size_t before = dvr.GetRequests().size();
    EXPECT_TRUE(dvr.WaitForRequests(before + 2, kBound)); // still logging in
    EXPECT_TRUE(RequestsWith(dvr, "POST").empty());
}

TEST_F(DVRClientTest, StartFromInsideTheFailureNotificationSupersedesTheOldReceiver)
{
    DvrSimulator broken(SmallPictures());
    broken.SetMisbehaviour(With(&DvrMisbehaviour::closeAfterLogin));
    ASSERT_TRUE(broken.Start());
    auto client = MakeClient();
    int restarts = 0;
    gui.onMessage = [&](const GuiThreadFake::Message& message)
    {
        // What the main frame's automatic retry does, but aimed at a good DVR.
        if (message.message == WM_DVR_CONNECT_FAILED && restarts++ == 0)
        {
            client->Start(Info(0));
        }
    };
    auto info = Info(0);
    info.Port = broken.GetPort();
    client->Start(info);
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 2, kBound));
    const int seen = window.repaints;
    ASSERT_TRUE(WaitForRepaints(seen + 5));
    // The old receiver has long returned from its notification; it must not
    // have ended the new connection on its way out.
    EXPECT_TRUE(client->IsLoggedIn());
    EXPECT_EQ(gui.Count(WM_DVR_CONNECT_FAILED), 1u);
    client->Disconnect();
    EXPECT_EQ(RequestsWith(dvr, "POST").size(), 1u);
}

TEST_F(DVRClientTest, StartWhileAnEarlierReceiverIsStillConnectingReplacesIt)
{
    DvrSimulator closing(SmallPictures());
    closing.SetMisbehaviour(With(&DvrMisbehaviour::closeBeforePackets));
    ASSERT_TRUE(closing.Start());
    auto client = MakeClient();
    auto info = Info(0);
    info.Port = closing.GetPort();
    client->Start(info);
    ASSERT_TRUE(closing.WaitForRequests(2, kBound));
    client->Start(Info(0));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    EXPECT_TRUE(client->IsLoggedIn());
    client.reset();
    EXPECT_EQ(gui.Handled().size(), 1u);
}

TEST_F(DVRClientTest, DamagedStreamStillShowsTheFramesAroundTheDamage)
{
    // Two pictures in turn, each of its own size, so that every committed picture
    // is known and can be compared whole with the decode of what was sent.
    struct Sent
    {
        std::vector<uint8_t> jpeg;
        std::vector<uint8_t> rows;
    };
    std::vector<Sent> sent(2);
    sent[0].jpeg = EncodeTestJpeg({.width = 64, .height = 48}, PatternSample);
    sent[1].jpeg = EncodeTestJpeg({.width = 40, .height = 24}, PatternSample);
    auto replay = std::make_shared<std::vector<std::vector<uint8_t>>>();
    for (auto& picture : sent)
    {
        CJpegDecoder reference(boxes);
        ASSERT_TRUE(reference.Decode(picture.jpeg.data(), picture.jpeg.size()));
        picture.rows.assign(reference.GetBits(),
                            reference.GetBits() + reference.GetStride() * reference.GetHeight());
        replay->push_back(picture.jpeg);
    }
    DvrSimSettings settings = SmallPictures();
    settings.frameSource.replay = replay;
    DvrSimulator damaged(settings);
    DvrMisbehaviour damage;
    damage.writeSizes = {1, 7, 300, 511, 2};
    damage.junkBytes = 13;
    damaged.SetMisbehaviour(damage);
    ASSERT_TRUE(damaged.Start()) << damaged.GetLastError();

    auto client = MakeClient();
    client->Start(MakeConnectInfo(
        u"Sim", u"127.0.0.1", FromAscii(std::to_string(damaged.GetPort())), 0, u"ADMIN", u"1234"));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    std::set<size_t> shownWhole;
    for (int check = 0; check < 20 && shownWhole.size() < sent.size(); ++check)
    {
        ASSERT_TRUE(WaitForRepaints(window.repaints + 1));
        client->GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect&)
            {
                const std::vector<uint8_t> rows(picture.GetBits(),
                                                picture.GetBits() +
                                                    picture.GetStride() * picture.GetHeight());
                for (size_t i = 0; i < sent.size(); ++i)
                {
                    if (rows == sent[i].rows)
                    {
                        shownWhole.insert(i);
                        return;
                    }
                }
                ADD_FAILURE() << "a picture that was never sent, " << picture.GetWidth() << " x "
                              << picture.GetHeight();
            });
    }
    EXPECT_EQ(shownWhole.size(), sent.size());
    client->Disconnect();
    EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(DVRClientTest, PauseHoldsFramesUntilResumed)
{
    auto client = MakeClient();
    client->Start(Info(0));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    ASSERT_TRUE(WaitForRepaints(1));
    client->PauseReceiver();
    const int held = window.repaints;
    // Frames keep arriving at the DVR's rate; none may be painted meanwhile.
    EXPECT_FALSE(gui.WaitFor([&](const auto&) { return window.repaints != held; }, 300ms));
    client->ResumeReceiver();
    EXPECT_TRUE(WaitForRepaints(held + 2));
    client->Disconnect();
}

TEST_F(DVRClientTest, EachHandlerMayStopOrDestroyTheClientFromInside)
{
    const struct
    {
        unsigned message;
        DvrMisbehaviour faults;
        const char16_t* password;
        size_t logouts;
    } cases[] = {
        {WM_DVR_CONNECTED, {}, u"1234", 1},
        {WM_DVR_ERROR, {}, u"9999", 0},
        {WM_DVR_CONNECT_FAILED, With(&DvrMisbehaviour::closeAfterLogin), u"1234", 0},
    };
    for (const auto& c : cases)
    {
        dvr.SetMisbehaviour(c.faults);
        const size_t postsBefore = RequestsWith(dvr, "POST").size();
        auto client = MakeClient();
        bool done = false;
        gui.onMessage = [&](const GuiThreadFake::Message& message)
        {
            if (message.message == c.message)
            {
                HangGuard guard("stopping the client from its handler");
                client->Disconnect();
                client->PauseReceiver();
                client->ResumeReceiver();
                client.reset();
                done = true;
            }
        };
        client->Start(Info(0, c.password));
        ASSERT_TRUE(gui.WaitFor([&](const auto&) { return done; }, kBound)) << c.message;
        gui.DispatchPending();
        EXPECT_EQ(gui.Handled().back().message, c.message);
        EXPECT_EQ(RequestsWith(dvr, "POST").size() - postsBefore, c.logouts) << c.message;
    }
    gui.onMessage = nullptr;
    EXPECT_EQ(cursor.depth, 0);
    EXPECT_FALSE(gui.offThreadSends);
}

TEST_F(DVRClientTest, ClientDestroyedUnderAnOpenErrorBoxReturns)
{
    auto client = MakeClient();
    bool boxClosed = false;
    gui.onMessage = [&](const GuiThreadFake::Message&)
    {
        // The box's own event loop; the program closes meanwhile.
        gui.Post(
            [&]
            {
                HangGuard guard("destroying the client under a box");
                client.reset();
                boxClosed = true;
            });
        gui.WaitFor([&](const auto&) { return boxClosed; }, kBound);
    };
    client->Start(Info(0, u"9999"));
    ASSERT_TRUE(gui.WaitFor([&](const auto&) { return boxClosed; }, kBound));
    EXPECT_EQ(gui.Handled().size(), 1u);
    EXPECT_EQ(cursor.depth, 0);
}

TEST_F(DVRClientTest, BoxOfADamagedFrameDuringACameraActionOpensOnlyAfterItsLastRequest)
{
    std::vector<size_t> postsWhenShown;
    GuiThreadMessageBox guiBoxes(
        gui, boxes, [&] { postsWhenShown.push_back(RequestsWith(dvr, "POST").size()); });
    CDVRClient client(gui, window, guiBoxes, gui, cursor, {5s, 5s});
    client.Start(Info(0));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::damagedJpeg));
    // The receiver now waits for the GUI thread to show the decoder's box.
    ASSERT_TRUE(gui.WaitForPendingSend(kBound));
    client.SendPTZRequests({u"5S2", u"5S0", u"5S2"});
    ASSERT_TRUE(gui.WaitFor([&](const auto&) { return !postsWhenShown.empty(); }, kBound));
    EXPECT_EQ(postsWhenShown[0], 3u);
    EXPECT_EQ(boxes.Boxes().at(0).caption, u"JPEG Fatal Error");
    dvr.SetMisbehaviour({});
    client.Disconnect();
}

TEST_F(DVRClientTest, SupersededReceiversNeverReportTheirLogin)
{
    DvrSimSettings slow = SmallPictures();
    slow.framesPerSecond = 1;
    slow.clientLimit = 255;
    DvrSimulator slowDvr(slow);
    ASSERT_TRUE(slowDvr.Start());
    auto info = Info(0);
    info.Port = slowDvr.GetPort();
    auto client = MakeClient();
    for (int i = 0; i < 200; ++i)
    {
        client->Start(info);
        if (i % 20 == 0)
        {
            // This receiver has its login reply and waits for the GUI; the next Start supersedes
            // it.
            ASSERT_TRUE(gui.WaitForPendingSend(kBound));
        }
    }
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    EXPECT_TRUE(client->IsLoggedIn());
    client.reset();
    EXPECT_EQ(gui.Count(WM_DVR_CONNECTED), 1u);
    EXPECT_EQ(cursor.depth, 0);
}

TEST_F(DVRClientTest, BusyCursorEndsWhateverTheOutcomeOfARepeatedConnect)
{
    const struct
    {
        DvrMisbehaviour faults;
        const char16_t* password;
        unsigned outcome; // 0: never reports, the client is destroyed while connecting
    } cases[] = {
        {{}, u"1234", WM_DVR_CONNECTED},
        {{}, u"9999", WM_DVR_ERROR},
        {With(&DvrMisbehaviour::closeAfterLogin), u"1234", WM_DVR_CONNECT_FAILED},
        {With(&DvrMisbehaviour::closeBeforePackets), u"1234", 0},
    };
    for (const auto& c : cases)
    {
        dvr.SetMisbehaviour(c.faults);
        auto client = MakeClient();
        client->Start(Info(0, c.password));
        client->Start(Info(0, c.password));
        if (c.outcome != 0)
        {
            ASSERT_TRUE(gui.WaitForCount(c.outcome, gui.Count(c.outcome) + 1, kBound));
            EXPECT_EQ(cursor.depth, 0) << c.outcome;
        }
        client.reset();
        EXPECT_EQ(cursor.depth, 0) << c.outcome;
    }
}

TEST_F(DVRClientTest, AddressThatIsNotAHostNeverReachesTheDvr)
{
    for (const char16_t* address : {u"u@127.0.0.1", u"127.0.0.1/x", u"127.0.0.1?y"})
    {
        auto info = MakeConnectInfo(u"Sim", address, u"0", 0, u"ADMIN", u"1234");
        info.Port = dvr.GetPort();
        auto client = MakeClient();
        const size_t failures = gui.Count(WM_DVR_CONNECT_FAILED);
        client->Start(info);
        ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECT_FAILED, failures + 1, kBound));
        client.reset();
        EXPECT_FALSE(CCGIRequest(5s).Send(address, dvr.GetPort(), 1, OP_LOGOUT, u"", 0));
    }
    EXPECT_TRUE(dvr.GetRequests().empty());
}

TEST_F(DVRClientTest, StreamWithoutHttpHeadersLogsInAndShowsFrames)
{
    dvr.SetMisbehaviour(With(&DvrMisbehaviour::noHeaders));
    auto client = MakeClient();
    client->Start(Info(0));
    ASSERT_TRUE(gui.WaitForCount(WM_DVR_CONNECTED, 1, kBound));
    ASSERT_TRUE(WaitForRepaints(3));
    client->Disconnect();
    EXPECT_EQ(gui.Count(WM_DVR_CONNECT_FAILED), 0u);
}

// The history holds what the DVR sent: every frame's JPEG byte for byte, in the
// order sent, none missing, each kept after it left the DVR; a channel switch
// starts a new history, which the old channel's frames still on their way stay out of.
TEST_F(DVRClientTest, HistoryKeepsTheFramesSentByteForByteInOrderAndAChannelSwitchStartsAnew)
{
    auto replay = std::make_shared<std::vector<std::vector<uint8_t>>>();
    for (int n = 0; n < 5; ++n)
    {
        replay->push_back(
            EncodeTestJpeg({64, 48, 3, false, 90}, [n](int x, int y, int c)
                           { return static_cast<uint8_t>(x * 4 + y * (n + 1) + c * 40 * n); }));
    }
    DvrSimSettings settings = SmallPictures();
    settings.frameSource.replay = replay;
    DvrSimulator replaying(settings);
    std::mutex sentLock;
    std::map<uint32_t, std::chrono::steady_clock::time_point> sent;
    replaying.SetFrameSentObserver(
        [&](uint8_t, uint32_t number, std::chrono::steady_clock::time_point at)
        {
            std::lock_guard lock(sentLock);
            sent[number] = at;
        });
    ASSERT_TRUE(replaying.Start());
    CHistoryBudget budget(size_t{8} << 20);
    CDVRClient client(gui, window, boxes, gui, cursor, {5s, 5s, 50ms, 200ms, kBound}, &budget);
    CFrameHistory& history = client.GetPictureDisplay().GetHistory();
    struct Kept
    {
        HistoryFrameInfo info;
        std::vector<uint8_t> jpeg;
    };
    const auto read = [&]
    {
        std::vector<Kept> kept;
        history.ReadAfter(0, 100000,
                          [&](const HistoryFrameInfo& info, const uint8_t* jpeg, size_t length) {
                              kept.push_back({info, std::vector<uint8_t>(jpeg, jpeg + length)});
                          });
        return kept;
    };

    const auto started = std::chrono::system_clock::now();
    client.Start(MakeConnectInfo(u"Sim", u"127.0.0.1",
                                 FromAscii(std::to_string(replaying.GetPort())), 1, u"ADMIN",
                                 u"1234"));
    ASSERT_TRUE(WaitForRepaints(12));
    const std::vector<Kept> kept = read();
    const auto now = std::chrono::system_clock::now();
    std::map<uint32_t, std::chrono::steady_clock::time_point> sentSoFar;
    {
        std::lock_guard lock(sentLock);
        sentSoFar = sent;
    }
    ASSERT_GE(kept.size(), 12u);
    for (size_t i = 0; i < kept.size(); ++i)
    {
        const auto number = static_cast<uint32_t>(i + 1);
        SCOPED_TRACE(number);
        const HistoryFrameInfo& info = kept[i].info;
        EXPECT_EQ(info.sequence, number);
        EXPECT_EQ(kept[i].jpeg, (*replay)[i % replay->size()]);
        EXPECT_EQ(info.channel, 1);
        EXPECT_EQ(info.packetLength,
                  CFrameHeader::kSize + DvrStream::kDataPrefix + kept[i].jpeg.size());
        ASSERT_EQ(sentSoFar.count(number), 1u);
        EXPECT_GE(info.arrived, sentSoFar[number]);
        EXPECT_LT(info.arrived - sentSoFar[number], kBound);
        if (i > 0)
        {
            EXPECT_GE(info.arrived, kept[i - 1].info.arrived);
        }
        EXPECT_GE(info.arrivedClock, started);
        EXPECT_LE(info.arrivedClock, now);
    }

    const uint64_t lastOfChannel1 = history.GetSpan()->lastSequence;
    client.SelectChannel(3);
    const int repaints = window.repaints;
    ASSERT_TRUE(WaitForRepaints(repaints + 6));
    const std::vector<Kept> switched = read();
    ASSERT_FALSE(switched.empty());
    EXPECT_GT(switched.front().info.sequence, lastOfChannel1);
    EXPECT_FALSE(history.Find(lastOfChannel1));
    for (const Kept& frame : switched)
    {
        EXPECT_EQ(frame.info.channel, 3);
    }
    EXPECT_EQ(budget.GetUsed(), history.GetSpan()->bytes);
    client.Disconnect();
    EXPECT_TRUE(boxes.Boxes().empty());
}
