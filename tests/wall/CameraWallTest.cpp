// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "history/CHistoryBudget.h"
#include "support/ProcessResources.h"
#include "wall/CEditWallDlg.h"
#include "wall/CWallSwitcher.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>

#include <malloc.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

using namespace std::chrono_literals;

namespace
{
class CameraWallTest : public ViewerFixture
{
protected:
    void StartWallViewer(const std::u16string& directory)
    {
        AppSettings settings;
        settings.settingsFile = m_folder.Path() / "quillon.conf";
        settings.wall.firstRetry = 300ms;
        settings.wall.tourStep = 300ms;
        settings.wall.logoutWait = 1s;
        StartViewer(directory, settings);
        Frame().resize(640, 520);
    }

    CWallSwitcher& Switcher() { return *m_app->GetWallSwitcher(); }
    CCameraWall& Wall() { return Switcher().GetWall(); }
    CWallTile& Tile(int index) { return Wall().GetTile(index); }

    QSize SourceSize(int tile)
    {
        QSize size;
        Wall().GetPictures().UsePlaced(static_cast<size_t>(tile),
                                       [&](const PlacedPicture& picture)
                                       { size = QSize(picture.sourceWidth, picture.sourceHeight); });
        return size;
    }

    // Every tile with a camera painting pictures that come in now, none of them aged.
    bool AllLive(int withCamera, int timeout = 10000)
    {
        std::vector<int> painted;
        for (int i = 0; i < Wall().GetTileCount(); ++i)
        {
            painted.push_back(Tile(i).GetPaintedPictures());
        }
        return ProcessEventsUntil(
            [&]
            {
                for (int i = 0; i < withCamera; ++i)
                {
                    if (Tile(i).GetState() != CWallTile::State::Live ||
                        Tile(i).GetPaintedPictures() < painted[static_cast<size_t>(i)] + 2 ||
                        Tile(i).GetPictureConnection().GetShownAge())
                    {
                        return false;
                    }
                }
                return true;
            },
            timeout);
    }

    static DvrEntry Camera(const std::u16string& name, uint16_t port, int channel,
                           const std::u16string& password = u"1234")
    {
        return DvrEntry{name, u"127.0.0.1", FromNumber(port), channel, u"ADMIN", password};
    }

    // The driver answers every box at once, so what counts is the texts it saw.
    bool NoBoxEverOpened() const
    {
        return m_driver.BoxTexts().isEmpty() && QApplication::activeModalWidget() == nullptr;
    }

    double MeanGray()
    {
        const QImage image = View().grab().toImage();
        double sum = 0;
        for (int y = 0; y < image.height(); ++y)
        {
            for (int x = 0; x < image.width(); ++x)
            {
                sum += qGray(image.pixel(x, y));
            }
        }
        return sum / (image.width() * image.height());
    }
};
} // namespace

// The whole walk of one DVR: its channels fill the grid, the one without video
// shows the logo, a tile opens in the single view and Esc brings the wall back.
TEST_F(CameraWallTest, AWallOfOneDvrOpensATileInTheSingleViewAndGoesBack)
{
    StartWallViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));

    Item(ID_LAYOUT_2X2).trigger();
    EXPECT_TRUE(Item(ID_LAYOUT_2X2).isChecked());
    EXPECT_FALSE(Item(ID_LAYOUT_SINGLE).isChecked());
    ASSERT_EQ(Wall().GetTileCount(), 4);
    ASSERT_TRUE(AllLive(4));
    EXPECT_FALSE(View().GetClient().IsLoggedIn());
    EXPECT_TRUE(m_dvr->WaitForClientCount(4, 5s));
    for (int i = 0; i < 4; ++i)
    {
        EXPECT_EQ(Tile(i).GetCaption(), QString("Gate CH-0%1").arg(i + 1));
        EXPECT_EQ(SourceSize(i), i == 2 ? QSize(144, 96) : QSize(320, 240)) << i;
    }
    // A tile's paint copies the picture its worker placed, below the caption as it is.
    // Workers place only what the GUI thread hands over, so a serial read before and
    // after the paint tells whether a picture came in between.
    bool compared = false;
    for (int attempt = 0; attempt < 20 && !compared; ++attempt)
    {
        const uint64_t serial = Wall().GetPictures().GetSerial(1);
        QImage shown(Tile(1).size(), QImage::Format_RGB32);
        // The wall paints its tiles: the tile's place on it is what the user sees.
        Wall().render(&shown, QPoint(), QRegion(Tile(1).geometry()));
        Wall().GetPictures().UsePlaced(
            1,
            [&](const PlacedPicture& placed)
            {
                if (placed.serial != serial)
                {
                    return;
                }
                compared = true;
                ASSERT_EQ(QSize(placed.width, placed.height), shown.size());
                for (int y = 20; y < placed.height - 2; ++y)
                {
                    ASSERT_EQ(std::memcmp(shown.constScanLine(y) + 8,
                                          placed.pixels + size_t(y) * placed.stride / 4 + 2,
                                          size_t(placed.width - 4) * 4),
                              0)
                        << "row " << y;
                }
            });
    }
    EXPECT_TRUE(compared);

    // The next run starts on the same wall.
    m_app.reset();
    ASSERT_TRUE(m_dvr->WaitForClientCount(0, 5s));
    StartWallViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    ASSERT_TRUE(m_app->RestoreLastConnection());
    EXPECT_EQ(Switcher().GetColumns(), 2);
    ASSERT_TRUE(AllLive(4));

    // CH-02 opens in the single view; its tile's login is the view's now.
    const QPoint centre = Tile(1).rect().center();
    QTest::mouseDClick(&Tile(1), Qt::LeftButton, {}, centre);
    ASSERT_TRUE(Switcher().IsTileOpen());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }));
    EXPECT_EQ(View().GetChannel(), 1);
    EXPECT_EQ(Tile(1).GetState(), CWallTile::State::Idle);
    EXPECT_TRUE(m_dvr->WaitForClientCount(4, 5s));
    // Covered tiles read their streams without keeping their frames: the
    // picture a tile would paint is the one it had when it was covered.
    CPictureDisplay& hidden = Tile(0).GetPictureConnection().GetDisplay();
    const auto pictureOf = [&]
    {
        std::vector<uint32_t> pixels;
        Wall().GetPictures().UsePlaced(0, [&](const PlacedPicture& picture)
                                       {
                                           pixels.assign(picture.pixels,
                                                         picture.pixels + picture.stride / 4 *
                                                                              picture.height);
                                       });
        return pixels;
    };
    // A frame handed over before the tile was covered may still be on a worker.
    const int viewShown = View().GetPaintedPictures();
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > viewShown + 3; }));
    const std::vector<uint32_t> covered = pictureOf();
    ASSERT_FALSE(covered.empty());
    const int viewPainted = View().GetPaintedPictures();
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > viewPainted + 3; }));
    EXPECT_GT(hidden.GetStatistics().Read().framesPerSecond, 0);
    EXPECT_TRUE(pictureOf() == covered);

    QTest::keyClick(&View(), Qt::Key_Escape);
    EXPECT_FALSE(Switcher().IsTileOpen());
    EXPECT_FALSE(View().GetClient().IsLoggedIn());
    ASSERT_TRUE(AllLive(4));

    // Enter opens the selected tile, and the tour walks on from it by itself.
    Wall().Select(3);
    QTest::keyClick(&Wall(), Qt::Key_Return);
    EXPECT_TRUE(ProcessEventsUntil([&] { return View().GetChannel() == 3; }));
    QTest::mouseDClick(&View(), Qt::LeftButton);
    EXPECT_FALSE(Switcher().IsTileOpen());
    // The simulator's scene moves (its clock runs) and the tour holds on a camera that
    // shows motion: without frames, the motion ends and the tour walks on.
    DvrMisbehaviour noFrames;
    noFrames.pauseFrames = true;
    m_dvr->SetMisbehaviour(noFrames);
    Item(ID_LAYOUT_TOUR).trigger();
    EXPECT_TRUE(Item(ID_LAYOUT_TOUR).isChecked());
    EXPECT_TRUE(ProcessEventsUntil([&] { return View().GetChannel() == 0; }));
    EXPECT_TRUE(ProcessEventsUntil([&] { return View().GetChannel() == 1; }));
    m_dvr->SetMisbehaviour({});
    Item(ID_LAYOUT_SINGLE).trigger();
    EXPECT_FALSE(Switcher().IsTourOn());
    EXPECT_EQ(Switcher().GetColumns(), 1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }));
    EXPECT_TRUE(m_dvr->WaitForClientCount(1, 5s));
    EXPECT_TRUE(NoBoxEverOpened());
}

// Two DVRs on one wall; one of them refuses a password and, past its limit, a client.
TEST_F(CameraWallTest, TilesOfTwoDvrsSayWhyTheyAreRefusedWithoutABox)
{
    DvrSimSettings limited;
    limited.channelCount = 4;
    limited.framesPerSecond = 25;
    limited.clientLimit = 2;
    StartDvr(limited);
    DvrSimSettings otherSettings;
    otherSettings.framesPerSecond = 25;
    DvrSimulator other(otherSettings);
    ASSERT_TRUE(other.Start());
    StartWallViewer(u"");

    Switcher().ShowWall(3, DvrEntry{});
    const uint16_t port = m_dvr->GetPort();
    Wall().SetTiles(3,
                    {Camera(u"A", port, 0), Camera(u"A", port, 1), Camera(u"A", port, 2, u"9999"),
                     Camera(u"B", other.GetPort(), 0), Camera(u"B", other.GetPort(), 1)});
    ASSERT_TRUE(
        ProcessEventsUntil([&] { return Tile(2).GetState() == CWallTile::State::Refused; }));
    EXPECT_EQ(Tile(2).GetStatusText(), "Password Miss Error!!");
    ASSERT_TRUE(AllLive(2));
    EXPECT_TRUE(Tile(3).GetState() == CWallTile::State::Live);
    EXPECT_TRUE(Tile(4).GetState() == CWallTile::State::Live);
    EXPECT_EQ(Tile(5).GetStatusText(), "No channel");

    // Past its limit the DVR answers code 4: the tile says so and tries again.
    Wall().SetTiles(3, {Camera(u"A", port, 0), Camera(u"A", port, 1),
                        Camera(u"A", port, 2, u"9999"), Camera(u"A", port, 3)});
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return Tile(3).GetStatusText().startsWith("Client Limit Error!!\nRetry in"); }));
    const size_t logins = Count(IsLogin);
    EXPECT_TRUE(ProcessEventsUntil([&] { return Count(IsLogin) > logins; }));
    EXPECT_EQ(Tile(2).GetState(), CWallTile::State::Refused);
    EXPECT_TRUE(Tile(0).GetState() == CWallTile::State::Live);
    EXPECT_TRUE(NoBoxEverOpened());
}

// Edit Wall mixes two DVRs on one named wall; a damaged walls file is told once and kept.
TEST_F(CameraWallTest, EditWallKeepsANamedWallOfTwoDvrsAndToldOfADamagedFileOnce)
{
    DvrSimulator other;
    ASSERT_TRUE(other.Start());
    WriteBytes(m_folder.Path() / "walls.conf", "wall 9 broken\n");
    StartWallViewer(u"A,127.0.0.1," + Port() + u",0,ADMIN,1234\nB,127.0.0.1," +
                    FromNumber(other.GetPort()) + u",0,ADMIN,1234\n");

    m_driver.Then(
        [](QWidget& modal)
        {
            auto* box = qobject_cast<QMessageBox*>(&modal);
            if (box == nullptr)
            {
                return false;
            }
            EXPECT_TRUE(box->text().contains("cannot be read; it was kept as"))
                << box->text().toStdString();
            box->button(QMessageBox::Ok)->click();
            return true;
        });
    m_driver.Then(
        [](QWidget& modal)
        {
            auto* dialog = dynamic_cast<CEditWallDlg*>(&modal);
            if (dialog == nullptr)
            {
                return false;
            }
            auto combo = [&](const QString& name) { return dialog->findChild<QComboBox*>(name); };
            combo("wallName")->setEditText("Mixed");
            combo("wallGrid")->setCurrentIndex(0);
            combo("tileDvr0")->setCurrentIndex(combo("tileDvr0")->findText("A"));
            combo("tileChannel0")->setCurrentIndex(1);
            combo("tileDvr1")->setCurrentIndex(combo("tileDvr1")->findText("B"));
            EXPECT_FALSE(combo("tileDvr4")->isVisibleTo(dialog));
            QTest::mouseClick(dialog->findChild<QPushButton*>("show"), Qt::LeftButton);
            return true;
        });
    Item(ID_LAYOUT_EDIT).trigger();
    ASSERT_TRUE(m_driver.Idle());
    ASSERT_EQ(Switcher().GetColumns(), 2);
    ASSERT_TRUE(AllLive(2));
    EXPECT_EQ(Tile(0).GetCaption(), "A CH-02");
    EXPECT_EQ(Tile(1).GetCaption(), "B CH-01");
    EXPECT_EQ(Tile(2).GetStatusText(), "No channel");
    EXPECT_TRUE(m_dvr->WaitForClientCount(1, 5s));
    EXPECT_TRUE(other.WaitForClientCount(1, 5s));
    EXPECT_TRUE(std::filesystem::exists(m_folder.Path() / "walls.conf.damaged"));

    // The next look at the walls finds the kept one and tells nothing again.
    m_driver.Then(
        [](QWidget& modal)
        {
            auto* dialog = dynamic_cast<CEditWallDlg*>(&modal);
            if (dialog == nullptr)
            {
                return false;
            }
            EXPECT_EQ(dialog->findChild<QComboBox*>("wallName")->currentText(), "Mixed");
            EXPECT_EQ(dialog->findChild<QComboBox*>("tileChannel0")->currentIndex(), 1);
            // A wall under a built-in layout's name could never be opened again.
            dialog->findChild<QComboBox*>("wallName")->setEditText("3x3");
            QTest::mouseClick(dialog->findChild<QPushButton*>("save"), Qt::LeftButton);
            const auto* status = dialog->findChild<QLabel*>("status");
            EXPECT_TRUE(status != nullptr && status->text().contains("another name"));
            QTest::mouseClick(dialog->findChild<QPushButton*>("close"), Qt::LeftButton);
            return true;
        });
    Item(ID_LAYOUT_EDIT).trigger();
    EXPECT_EQ(m_driver.BoxTexts().size(), 1);
    m_driver.ClearBoxTexts();
    Switcher().SetLayout(1);
    QString error;
    EXPECT_FALSE(Switcher().ShowNamedWall(u"Nowhere", error));
    EXPECT_TRUE(error.contains("no wall named \"Nowhere\"")) << error.toStdString();
    ASSERT_TRUE(Switcher().ShowNamedWall(u"Mixed", error));
    ASSERT_TRUE(AllLive(2));

    // Connect from the wall: the DVR shows in the single view and the tiles log out.
    ConnectToRow(1);
    EXPECT_EQ(Switcher().GetColumns(), 1);
    EXPECT_TRUE(Item(ID_LAYOUT_SINGLE).isChecked());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
    EXPECT_TRUE(m_dvr->WaitForClientCount(0, 5s));
    EXPECT_TRUE(other.WaitForClientCount(1, 5s));
    EXPECT_TRUE(NoBoxEverOpened());
}

// The tour shows the wall's cameras only until the user picks a DVR, and never
// outlives the window.
TEST_F(CameraWallTest, TheTourGivesWayToAChosenDvrAndEndsWithTheWindow)
{
    DvrSimulator other;
    ASSERT_TRUE(other.Start());
    StartWallViewer(u"A,127.0.0.1," + Port() + u",0,ADMIN,1234\nB,127.0.0.1," +
                    FromNumber(other.GetPort()) + u",0,ADMIN,1234\n");
    Switcher().ShowWall(2, Camera(u"A", m_dvr->GetPort(), 0));
    ASSERT_TRUE(AllLive(4));
    Switcher().SetTour(true);
    ASSERT_TRUE(Switcher().IsTileOpen());

    // A cancelled Connect leaves the open tile where it is, and the tour stopped.
    m_driver.Then(
        [](QWidget& modal)
        {
            auto* dialog = dynamic_cast<CConnectDlg*>(&modal);
            if (dialog == nullptr)
            {
                return false;
            }
            dialog->reject();
            return true;
        });
    Item(ID_CONNECT).trigger();
    EXPECT_FALSE(Switcher().IsTourOn());
    EXPECT_TRUE(Switcher().IsTileOpen());

    Switcher().SetTour(true);
    ConnectToRow(1);
    EXPECT_FALSE(Switcher().IsTourOn());
    EXPECT_FALSE(Switcher().IsTileOpen());
    EXPECT_EQ(Switcher().GetColumns(), 1);
    EXPECT_TRUE(other.WaitForClientCount(1, 5s));
    EXPECT_TRUE(m_dvr->WaitForClientCount(0, 5s));
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
    EXPECT_EQ(FieldText(View().GetConnectInfo().Name), u"B");

    Item(ID_LAYOUT_2X2).trigger();
    ASSERT_TRUE(AllLive(4));
    Switcher().SetTour(true);
    Frame().close();
    EXPECT_FALSE(Switcher().IsTourOn());
    EXPECT_TRUE(NoBoxEverOpened());
}

// A DVR that takes every logout and never answers: the tiles leave together, and
// the user waits one short logout wait, not a command time-out per tile.
TEST_F(CameraWallTest, LogoutsThatAreNeverAnsweredHoldTheWallForOneShortWait)
{
    StartWallViewer(u"");
    Switcher().ShowWall(2, Camera(u"Gate", m_dvr->GetPort(), 0));
    ASSERT_TRUE(AllLive(4));
    // Shared with the simulator's threads, which may still log requests after the test.
    struct Hold
    {
        std::mutex mutex;
        std::condition_variable released;
        bool answer = false;
    };
    const auto hold = std::make_shared<Hold>();
    m_dvr->SetRequestObserver(
        [hold](const DvrRequestRecord& request)
        {
            std::unique_lock lock(hold->mutex);
            if (IsLogout(request))
            {
                hold->released.wait_for(lock, 20s, [&] { return hold->answer; });
            }
        });

    const auto before = std::chrono::steady_clock::now();
    Switcher().SetLayout(1);
    const auto held = std::chrono::steady_clock::now() - before;
    EXPECT_LT(held, 3s) << "each of the four logouts waited " << m_timeouts.command.count()
                        << " ms in turn";
    EXPECT_EQ(Count(IsLogout), 4u) << "every tile's logout went out";
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 0; }));
    {
        std::lock_guard lock(hold->mutex);
        hold->answer = true;
    }
    hold->released.notify_all();
}

// A DVR that dies leaves frozen pictures that say so, and the wall heals by itself.
TEST_F(CameraWallTest, AKilledDvrDimsEveryTileWithItsAgeAndTheWallComesBack)
{
    m_timeouts.loginReply = 400ms;
    m_timeouts.loginRetry = 50ms;
    StartWallViewer(u"");
    const uint16_t port = m_dvr->GetPort();
    Switcher().ShowWall(2, Camera(u"Gate", port, 0));
    ASSERT_TRUE(AllLive(4));

    CFrameHistory& history = Tile(0).GetPictureConnection().GetDisplay().GetHistory();
    ASSERT_TRUE(ProcessEventsUntil([&] { return history.GetSpan().has_value(); }));
    const uint64_t lastBefore = history.GetSpan()->lastSequence;
    DvrSimSettings settings = m_dvr->GetSettings();
    m_dvr.reset();
    const auto killed = std::chrono::steady_clock::now();
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            for (int i = 0; i < 4; ++i)
            {
                if (!Tile(i).GetPictureConnection().GetShownAge() ||
                    !Tile(i).GetStatusText().contains("Retry in"))
                {
                    return false;
                }
            }
            return true;
        },
        6000));
    EXPECT_LT(std::chrono::steady_clock::now() - killed, 4500ms);
    EXPECT_EQ(Tile(0).GetPictureConnection().AgeText(12s), "12 s ago");
    EXPECT_TRUE(Tile(0).GetStatusText().startsWith("Can't connect the DVR."));

    // Back, but closing every login before its reply: a try that goes on for a
    // while still says why the last one failed.
    settings.port = port;
    settings.misbehaviour.closeBeforePackets = true;
    StartDvr(settings);
    EXPECT_TRUE(ProcessEventsUntil(
        [&]
        {
            const QString status = Tile(0).GetStatusText();
            return status.startsWith("Can't connect the DVR.") && status.contains("Trying again");
        },
        6000))
        << Tile(0).GetStatusText().toStdString();
    m_dvr->SetMisbehaviour({});
    ASSERT_TRUE(AllLive(4, 15000));
    EXPECT_TRUE(NoBoxEverOpened());
    // The tries went on with the camera's history: the minutes before the DVR went
    // away are still there to look back at.
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            const auto span = history.GetSpan();
            return span && span->lastSequence > lastBefore;
        }));
    EXPECT_LE(history.GetSpan()->firstSequence, lastBefore);
}

// A stream that stops sending dims the single view with its age; the next frame restores it.
TEST_F(CameraWallTest, APausedStreamDimsTheSingleViewUntilTheNextFrame)
{
    StartWallViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 2; }));
    const double live = MeanGray();

    DvrMisbehaviour pause;
    pause.pauseFrames = true;
    m_dvr->SetMisbehaviour(pause);
    const auto paused = std::chrono::steady_clock::now();
    CPictureConnection& picture = View().GetPictureConnection();
    ASSERT_TRUE(ProcessEventsUntil([&] { return picture.GetShownAge().has_value(); }, 6000));
    EXPECT_LT(std::chrono::steady_clock::now() - paused, 4s);
    EXPECT_EQ(picture.AgeText(12s), "Last picture 12 s ago");
    EXPECT_LT(MeanGray(), live * 0.6);
    EXPECT_TRUE(View().GetClient().IsLoggedIn());

    m_dvr->SetMisbehaviour({});
    ASSERT_TRUE(ProcessEventsUntil([&] { return !picture.GetShownAge().has_value(); }));
    EXPECT_GT(MeanGray(), live * 0.8);
}

TEST_F(CameraWallTest, AHundredLayoutChangesLeaveNothingBehind)
{
    DvrSimSettings settings;
    settings.channelCount = 16;
    settings.framesPerSecond = 5;
    StartDvr(settings);
    StartWallViewer(u"");
    const DvrEntry dvr = Camera(u"Gate", m_dvr->GetPort(), 0);
    auto settle = [&](const ProcessResources& bound)
    {
        // Each receiver thread's allocator arena keeps what it freed; only what
        // is still in use counts.
        malloc_trim(0);
        ProcessResources now = ReadProcessResources();
        ProcessEventsUntil(
            [&]
            {
                now = ReadProcessResources();
                return now.threads <= bound.threads && now.openFiles <= bound.openFiles;
            },
            10000);
        return now;
    };
    const int grids[] = {2, 3, 1, 3, 2, 1, 4, 1, 2, 1};
    auto change = [&](int i)
    {
        const int columns = grids[i % std::size(grids)];
        if (columns == 1)
        {
            Switcher().SetLayout(1);
            View().GetClient().Stop();
        }
        else
        {
            Switcher().ShowWall(columns, dvr);
        }
        QApplication::processEvents();
    };
    for (int i = 0; i < 20; ++i)
    {
        change(i);
    }
    ASSERT_TRUE(m_dvr->WaitForClientCount(0, 10s));
    const ProcessResources before = settle(ReadProcessResources());
    for (int i = 0; i < 100; ++i)
    {
        change(i);
    }
    ASSERT_EQ(Switcher().GetColumns(), 1);
    ASSERT_TRUE(m_dvr->WaitForClientCount(0, 10s));
    const ProcessResources after = settle(before);
    EXPECT_LE(after.threads, before.threads);
    EXPECT_LE(after.openFiles, before.openFiles);
    if (kResidentSizeIsMeaningful)
    {
        EXPECT_LT(after.residentBytes, before.residentBytes + (8u << 20));
    }
}

// Sixteen cameras share a small look-back memory: it is never exceeded by more
// than a frame a camera and their spans stay within a tenth of each other; a
// tile opened in the single view keeps its history there and back, and the wall
// left gives its memory back.
TEST_F(CameraWallTest, SixteenCamerasShareTheLookBackMemoryAndATileKeepsItsHistoryInTheSingleView)
{
    DvrSimSettings settings;
    settings.channelCount = 16;
    settings.framesPerSecond = 25;
    for (PictureSize& size : settings.sizes)
    {
        size = {176, 120};
    }
    settings.frameSource.preEncoded = true;
    StartDvr(settings);
    StartWallViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    CHistoryBudget& budget = m_app->GetHistoryBudget();
    budget.SetTotal(size_t{3} << 20);
    Switcher().ShowWall(4, Camera(u"Gate", m_dvr->GetPort(), 0));
    ASSERT_EQ(Wall().GetTileCount(), 16);
    const auto historyOf = [&](int tile) -> CFrameHistory&
    { return Tile(tile).GetPictureConnection().GetDisplay().GetHistory(); };
    const auto viewHistory = [&]() -> CFrameHistory&
    { return View().GetClient().GetPictureDisplay().GetHistory(); };

    uint32_t largest = 0;
    size_t worstExcess = 0;
    const auto watchBudget = [&]
    {
        for (int i = 0; i < 16; ++i)
        {
            if (const auto span = historyOf(i).GetSpan())
            {
                if (const auto last = historyOf(i).Find(span->lastSequence))
                {
                    largest = std::max(largest, last->packetLength);
                }
            }
        }
        const size_t used = budget.GetUsed();
        worstExcess =
            std::max(worstExcess, used > budget.GetTotal() ? used - budget.GetTotal() : 0);
    };
    // Full once every camera has dropped its first frames, then watched a while longer.
    std::vector<uint64_t> fullAt(16, 0);
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            watchBudget();
            bool done = true;
            for (int i = 0; i < 16; ++i)
            {
                const auto span = historyOf(i).GetSpan();
                auto& at = fullAt[static_cast<size_t>(i)];
                if (at == 0 && span && span->firstSequence > 1)
                {
                    at = span->lastSequence;
                }
                done = done && at != 0 && span->lastSequence >= at + 50;
            }
            return done;
        },
        60000));
    EXPECT_EQ(budget.GetHistoryCount(), 16u);
    EXPECT_LE(worstExcess, 16u * largest) << "largest frame " << largest;
    std::vector<double> spans;
    for (int i = 0; i < 16; ++i)
    {
        const auto span = historyOf(i).GetSpan();
        spans.push_back(std::chrono::duration<double>(span->last - span->first).count());
    }
    const auto [shortest, longest] = std::minmax_element(spans.begin(), spans.end());
    EXPECT_GT(*shortest, 1.0);
    EXPECT_LE(*longest - *shortest, 0.1 * *longest) << *shortest << " s to " << *longest << " s";

    // The tile's frames move with its camera, and come back with the view's.
    std::vector<uint8_t> lastOfTile;
    const auto tileSpan = historyOf(5).GetSpan();
    ASSERT_TRUE(historyOf(5).CopyFrame(tileSpan->lastSequence, lastOfTile));
    QTest::mouseDClick(&Tile(5), Qt::LeftButton, {}, Tile(5).rect().center());
    ASSERT_TRUE(Switcher().IsTileOpen());
    EXPECT_FALSE(historyOf(5).GetSpan());
    std::vector<uint8_t> moved;
    ASSERT_TRUE(viewHistory().CopyFrame(tileSpan->lastSequence, moved));
    EXPECT_EQ(moved, lastOfTile);
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return viewHistory().GetSpan()->lastSequence > tileSpan->lastSequence + 10; }));
    const auto viewSpan = viewHistory().GetSpan();
    EXPECT_EQ(viewHistory().Find(viewSpan->lastSequence)->channel, 5);
    ASSERT_TRUE(viewHistory().CopyFrame(viewSpan->lastSequence, lastOfTile));

    QTest::keyClick(&View(), Qt::Key_Escape);
    ASSERT_FALSE(Switcher().IsTileOpen());
    EXPECT_FALSE(viewHistory().GetSpan());
    ASSERT_TRUE(historyOf(5).CopyFrame(viewSpan->lastSequence, moved));
    EXPECT_EQ(moved, lastOfTile);
    // A frame or two, not ten: the full budget's share may be little more than ten
    // frames, and the old ones would then all have given way.
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            const auto span = historyOf(5).GetSpan();
            return !span || span->lastSequence > viewSpan->lastSequence;
        }));
    const auto backSpan = historyOf(5).GetSpan();
    ASSERT_TRUE(backSpan) << "the tile's history was started anew";
    EXPECT_LE(backSpan->firstSequence, viewSpan->lastSequence) << "the new frames join the old ones";

    Item(ID_LAYOUT_SINGLE).trigger();
    ASSERT_EQ(Switcher().GetColumns(), 1);
    for (int i = 0; i < Wall().GetTileCount(); ++i)
    {
        EXPECT_FALSE(historyOf(i).GetSpan()) << i;
    }
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }));
    const auto single = viewHistory().GetSpan();
    EXPECT_EQ(budget.GetUsed(), single ? single->bytes : 0u);
    EXPECT_LE(budget.GetHistoryCount(), 1u);
    EXPECT_TRUE(NoBoxEverOpened());
}
