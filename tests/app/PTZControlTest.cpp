// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "ptz/CPTZPanels.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QMenuBar>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace
{
constexpr auto kSlowAnswer = 100ms;

std::string Req(const DvrRequestRecord& request)
{
    const size_t at = request.body.find("&REQ=");
    return at == std::string::npos ? ""
                                   : request.body.substr(at + 5, request.body.find('\0') - at - 5);
}

bool IsCamera(const DvrRequestRecord& request)
{
    return request.method == "POST" && request.body.find("&OP=7&") != std::string::npos;
}

class PTZControlTest : public ViewerFixture
{
protected:
    void SetUp() override
    {
        TestApplication();
        DvrSimSettings settings;
        settings.channelCount = 16;
        settings.framesPerSecond = 25;
        StartDvr(settings);
        m_dvr->SetRequestObserver(
            [this](const DvrRequestRecord& request)
            {
                CPictureDisplay* display = m_display;
                if (IsCamera(request) && display != nullptr)
                {
                    // When the last frame before this request was committed.
                    const auto now = CFrameStatistics::Clock::now();
                    const auto since = display->GetStatistics().Read(now).sinceLastFrame;
                    {
                        std::lock_guard lock(m_mutex);
                        m_lastFrameAtCommand.push_back(
                            since ? now - *since : CFrameStatistics::Clock::time_point{});
                    }
                    // A DVR slow to answer: frames would be committed meanwhile if the
                    // receiver were not held for the whole action.
                    std::this_thread::sleep_for(kSlowAnswer);
                }
            });
    }

    void ConnectAndShowPanels(int channel)
    {
        StartViewer(u"Dome,127.0.0.1," + Port() + u"," + FromNumber(channel) + u",ADMIN,1234\n");
        m_display = &View().GetClient().GetPictureDisplay();
        ConnectToRow(0);
        ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
        Item(ID_PTZ_CONTROL).trigger();
        ASSERT_TRUE(Panels().IsShown());
    }

    CPTZPanels& Panels() { return *View().GetPTZPanels(); }
    QWidget& Button(QWidget* panel, unsigned id) { return *FindControl<QPushButton>(*panel, id); }

    // A real click; returns the REQ texts the DVR received for it, in order.
    std::vector<std::string> Click(QWidget* panel, unsigned id)
    {
        const size_t before = CameraRequests().size();
        QTest::mouseClick(&Button(panel, id), Qt::LeftButton);
        std::vector<std::string> texts;
        const auto requests = CameraRequests();
        for (size_t i = before; i < requests.size(); ++i)
        {
            texts.push_back(Req(requests[i]));
        }
        return texts;
    }

    // A key as the platform delivers it: shortcuts first, then the focused
    // widget; stamped with the keyboard's own clock.
    static void Key(QEvent::Type type, Qt::Key code, quint64 at, bool repeat = false)
    {
        QWidget* focus = QApplication::focusWidget();
        if (type == QEvent::KeyPress &&
            qt_sendShortcutOverrideEvent(focus, at, code, {}, {}, repeat))
        {
            return;
        }
        QKeyEvent event(type, code, Qt::NoModifier, QString(), repeat);
        event.setTimestamp(at);
        QApplication::sendEvent(focus, &event);
    }

    std::vector<DvrRequestRecord> CameraRequests()
    {
        std::vector<DvrRequestRecord> camera;
        for (const auto& request : m_dvr->GetRequests())
        {
            if (IsCamera(request))
            {
                camera.push_back(request);
            }
        }
        return camera;
    }

    // Counts the view's paints on the GUI thread; the simulator's thread reads it
    // as each camera command arrives.
    class PaintCounter : public QObject
    {
    public:
        explicit PaintCounter(std::atomic<int>& paints) : m_paints(paints) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            m_paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }

    private:
        std::atomic<int>& m_paints;
    };

    std::atomic<int> m_paints{0};
    PaintCounter m_paintCounter{m_paints};
    std::mutex m_mutex;
    std::atomic<CPictureDisplay*> m_display{nullptr};
    std::vector<CFrameStatistics::Clock::time_point> m_lastFrameAtCommand; // guarded by m_mutex
};
} // namespace

TEST_F(PTZControlTest, EveryButtonSendsItsRequestsForTheChannelOnView)
{
    ConnectAndShowPanels(2); // CH-03
    EXPECT_EQ(Item(ID_PTZ_CONTROL).text(), "Close PTZ");
    CPTZDlg* bar = Panels().Bar();

    EXPECT_EQ(Click(Panels().Left(), IDC_PTZ_LEFT), (std::vector<std::string>{"5S2", "8"}));
    const auto left = CameraRequests();
    ASSERT_EQ(left.size(), 2u);
    const std::string id = std::to_string(View().GetClient().GetClientId());
    EXPECT_EQ(left[0].body, "MODE=5&CID=" + id + "&OP=7&CH=2&LEN=1&REQ=5S2" + std::string(1, '\0'));
    EXPECT_EQ(left[1].body, "MODE=5&CID=" + id + "&OP=7&CH=2&LEN=1&REQ=8" + std::string(1, '\0'));
    {
        // The receiver is held through the whole action: no frame between its requests.
        std::lock_guard lock(m_mutex);
        ASSERT_EQ(m_lastFrameAtCommand.size(), 2u);
        EXPECT_NE(m_lastFrameAtCommand[0], CFrameStatistics::Clock::time_point{});
        EXPECT_EQ(m_lastFrameAtCommand[0], m_lastFrameAtCommand[1]);
    }

    bar->SpeedList()->setCurrentIndex(0);
    EXPECT_EQ(Click(bar, IDC_PTZ_ZOOM_IN), (std::vector<std::string>{"0S0", "8"}));
    bar->SpeedList()->setCurrentIndex(3);
    EXPECT_EQ(Click(bar, IDC_PTZ_FOCUS_NEAR), (std::vector<std::string>{"3S3", "8"}));
    bar->SpeedList()->setCurrentIndex(1);
    EXPECT_EQ(Click(Panels().Right(), IDC_PTZ_RIGHT), (std::vector<std::string>{"4S1", "8"}));
    bar->PresetList()->setCurrentIndex(11);
    EXPECT_EQ(Click(bar, IDC_PTZ_PRESET_RECALL), (std::vector<std::string>{"9G12"}));
    bar->PresetList()->setCurrentIndex(98);
    EXPECT_EQ(Click(bar, IDC_PTZ_PRESET_SET), (std::vector<std::string>{"9S99"}));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // CH-16 is camera 15 in decimal.
    Channel(15).trigger();
    EXPECT_EQ(Click(Panels().Up(), IDC_PTZ_UP), (std::vector<std::string>{"6S1", "8"}));
    EXPECT_NE(CameraRequests().back().body.find("&CH=15&"), std::string::npos);

    // Disconnect leaves the panels up and their clicks still go out.
    Item(ID_DISCONNECT).trigger();
    Frame().UpdateCommandUI();
    EXPECT_TRUE(Panels().IsShown());
    EXPECT_FALSE(Item(ID_PTZ_CONTROL).isEnabled());
    EXPECT_EQ(Click(Panels().Down(), IDC_PTZ_DOWN), (std::vector<std::string>{"7S1", "8"}));
}

TEST_F(PTZControlTest, AMoveMovesTheSceneAndThePanelsFollowTheWindow)
{
    ConnectAndShowPanels(0);
    const auto committed = [this]
    {
        QImage copy;
        View().GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect&)
            {
                copy = QImage(picture.GetBits(), picture.GetWidth(), picture.GetHeight(),
                              picture.GetStride(), QImage::Format_BGR888)
                           .copy();
            });
        return copy;
    };
    // A row of the scene's tiles above the horizon: it stands still while the
    // camera does, whatever the clock and the ball do.
    const auto tileRow = [](const QImage& bottomUp)
    {
        const int top30 = bottomUp.height() - 1 - 30;
        return QByteArray(reinterpret_cast<const char*>(bottomUp.constScanLine(top30)),
                          bottomUp.width() * 3);
    };
    const QImage first = committed();
    ASSERT_TRUE(ProcessEventsUntil([&] { return committed() != first; }));
    const QImage still = committed();
    EXPECT_EQ(tileRow(still), tileRow(first));

    Panels().Bar()->SpeedList()->setCurrentIndex(3);
    QTest::mouseClick(&Button(Panels().Right(), IDC_PTZ_RIGHT), Qt::LeftButton);
    EXPECT_GT(m_dvr->GetCameraState(0).pan, 0);
    EXPECT_TRUE(ProcessEventsUntil([&] { return tileRow(committed()) != tileRow(still); }));

    // Laid out around the picture for the client area, to the pixel.
    const int bar = Frame().menuBar()->height();
    struct Expected
    {
        QSize client;
        QPoint left, up, right, down, barAt;
        QSize barSize;
    };
    const Expected cases[] = {
        {{240, 268}, {0, 124}, {99, 44}, {198, 124}, {99, 205}, {0, 230}, {240, 38}},
        {{320, 188}, {0, 84}, {139, 0}, {278, 84}, {139, 150}, {0, 169}, {320, 19}},
        {{240, 240}, {0, 110}, {99, 0}, {198, 110}, {99, 221}, {0, 221}, {240, 19}},
    };
    for (const Expected& c : cases)
    {
        Frame().resize(c.client.width(), c.client.height() + bar);
        ASSERT_TRUE(ProcessEventsUntil([&] { return View().size() == c.client; }));
        EXPECT_EQ(Panels().Left()->geometry(), QRect(c.left, QSize(42, 19)));
        EXPECT_EQ(Panels().Up()->geometry(), QRect(c.up, QSize(42, 19)));
        EXPECT_EQ(Panels().Right()->geometry(), QRect(c.right, QSize(42, 19)));
        EXPECT_EQ(Panels().Down()->geometry(), QRect(c.down, QSize(42, 19)));
        EXPECT_EQ(Panels().Bar()->geometry(), QRect(c.barAt, c.barSize));
    }

    // Hidden panels stay where they were; shown again, they are placed anew.
    Item(ID_PTZ_CONTROL).trigger();
    EXPECT_FALSE(Panels().IsShown());
    Frame().UpdateCommandUI();
    EXPECT_EQ(Item(ID_PTZ_CONTROL).text(), "PTZ Control");
    const QRect hiddenLeft = Panels().Left()->geometry();
    Frame().resize(240, 268 + bar);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().size() == QSize(240, 268); }));
    EXPECT_EQ(Panels().Left()->geometry(), hiddenLeft);
    Item(ID_PTZ_CONTROL).trigger();
    EXPECT_EQ(Panels().Left()->geometry(), QRect(0, 124, 42, 19));
}

TEST_F(PTZControlTest, AnUnansweringDvrGetsBothRequestsWhileTheWindowRepaints)
{
    // A peer that takes connections into its backlog and never answers them.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 8), 0);
    socklen_t length = sizeof address;
    ::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length);

    m_timeouts = {60s, 300ms};
    StartViewer(u"");
    View().ConnectTo(
        {u"Mute", u"127.0.0.1", FromNumber(ntohs(address.sin_port)), 0, u"ADMIN", u"1234"});
    Panels().ShowPanels(View().GetClient().GetPictureRect(), View().width(), View().height());
    QTimer repaint;
    QObject::connect(&repaint, &QTimer::timeout, &View(), [this] { View().update(); });
    repaint.start(20);
    View().installEventFilter(&m_paintCounter);
    const int paintsBefore = m_paints;
    QElapsedTimer took;
    took.start();
    QTest::mouseClick(&Button(Panels().Left(), IDC_PTZ_LEFT), Qt::LeftButton);
    EXPECT_GE(took.elapsed(), 2 * 300);
    EXPECT_GT(m_paints - paintsBefore, 5);
    EXPECT_TRUE(m_driver.BoxTexts().isEmpty());

    std::string bodies;
    // The login, then the move and its stop, each on a connection of its own.
    for (int i = 0; i < 3; ++i)
    {
        const int peer = ::accept(silent, nullptr, nullptr);
        ASSERT_GE(peer, 0);
        char buffer[2048];
        const ssize_t n = ::recv(peer, buffer, sizeof buffer, 0);
        bodies += std::string(buffer, n > 0 ? n : 0);
        ::close(peer);
    }
    ::close(silent);
    EXPECT_NE(bodies.find("REQ=5S2"), std::string::npos);
    EXPECT_NE(bodies.find("REQ=8"), std::string::npos);
}

TEST_F(PTZControlTest, KeysMoveWhileHeldAndNothingModalRunsInsideACameraWait)
{
    m_timeouts.watchdog = 1s;
    ConnectAndShowPanels(0);
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    ASSERT_EQ(QApplication::focusWidget(), &View());

    // Left held for a second, repeated by the keyboard, then let go.
    QElapsedTimer held;
    held.start();
    Key(QEvent::KeyPress, Qt::Key_Left, 5000);
    while (held.elapsed() < 1000)
    {
        ProcessEventsUntil([] { return false; }, 40);
        Key(QEvent::KeyRelease, Qt::Key_Left, 5000 + held.elapsed(), true);
        Key(QEvent::KeyPress, Qt::Key_Left, 5000 + held.elapsed(), true);
    }
    const quint64 releasedAt = 5000 + held.elapsed();
    Key(QEvent::KeyRelease, Qt::Key_Left, releasedAt);
    // Up, pressed while the stop waited for the DVR, comes after the wait: dropped.
    Key(QEvent::KeyPress, Qt::Key_Up, releasedAt + kSlowAnswer.count() / 2);
    ProcessEventsUntil([] { return false; }, 200);
    const auto requests = CameraRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(Req(requests[0]) + "," + Req(requests[1]), "5S2,8");
    {
        std::lock_guard lock(m_mutex); // the picture went on between the two
        EXPECT_GT(m_lastFrameAtCommand[1], m_lastFrameAtCommand[0]);
    }

    QComboBox& presets = *Panels().Bar()->PresetList();
    presets.setFocus();
    QTest::keyClick(&presets, Qt::Key_Down);
    EXPECT_EQ(presets.currentIndex(), 1);
    EXPECT_EQ(CameraRequests().size(), 2u);

    // The stream stalls and the watchdog ends it; a click comes before the frame is told.
    m_dvr->SetFramesPerSecond(0.01);
    while (View().GetClient().IsLoggedIn() && held.elapsed() < 10000)
    {
        std::this_thread::yield();
    }
    size_t requestsUnderTheBox = 0;
    m_driver.Then(
        [&](QWidget&)
        {
            requestsUnderTheBox = CameraRequests().size();
            return true;
        });
    EXPECT_EQ(Click(Panels().Left(), IDC_PTZ_LEFT), (std::vector<std::string>{"5S2", "8"}));
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.Idle(); }));
    EXPECT_EQ(m_driver.BoxTexts(), QStringList{"Can't connect the DVR."});
    EXPECT_EQ(requestsUnderTheBox, 4u);

    // A close from the window manager inside a click's wait comes after the click.
    QTimer::singleShot(kSlowAnswer / 4, &Frame(), [this] { Frame().close(); });
    EXPECT_EQ(Click(Panels().Left(), IDC_PTZ_LEFT), (std::vector<std::string>{"5S2", "8"}));
    EXPECT_TRUE(Frame().isVisible());
    EXPECT_TRUE(ProcessEventsUntil([&] { return !Frame().isVisible(); }));
}

TEST_F(PTZControlTest, AKeyPressedWhileAPanelClickWaitsIsDropped)
{
    ConnectAndShowPanels(0);
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    // The click's own time stamp, as the platform gave it.
    struct : QObject
    {
        quint64 at = 0;
        bool eventFilter(QObject*, QEvent* event) override
        {
            at = event->type() == QEvent::MouseButtonRelease
                     ? static_cast<QMouseEvent*>(event)->timestamp()
                     : at;
            return false;
        }
    } release;
    Button(Panels().Left(), IDC_PTZ_LEFT).installEventFilter(&release);
    // The move and its stop each wait for the DVR; the click returns after both.
    EXPECT_EQ(Click(Panels().Left(), IDC_PTZ_LEFT), (std::vector<std::string>{"5S2", "8"}));
    const quint64 clickedAt = release.at;
    ASSERT_NE(clickedAt, 0u);
    // Up, pressed on the picture while the stop waited, is handed over after the wait.
    View().setFocus();
    const quint64 insideTheWait = clickedAt + kSlowAnswer.count() * 3 / 2;
    Key(QEvent::KeyPress, Qt::Key_Up, insideTheWait);
    Key(QEvent::KeyRelease, Qt::Key_Up, insideTheWait + 20);
    ProcessEventsUntil([] { return false; }, 200);
    EXPECT_EQ(CameraRequests().size(), 2u);

    // Pressed once the wait is over, it moves the camera as usual.
    const quint64 after = clickedAt + 10 * kSlowAnswer.count();
    Key(QEvent::KeyPress, Qt::Key_Up, after);
    Key(QEvent::KeyRelease, Qt::Key_Up, after + 400);
    ASSERT_TRUE(ProcessEventsUntil([&] { return CameraRequests().size() == 4u; }));
    EXPECT_EQ(Req(CameraRequests()[2]) + "," + Req(CameraRequests()[3]), "6S2,8");
}
