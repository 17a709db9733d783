// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "app/CStatisticsOverlay.h"
#include "app/CViewerExtras.h"
#include "ptz/CPTZPanels.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRegularExpression>
#include <QScreen>
#include <QStandardPaths>

using namespace std::chrono_literals;

namespace
{
bool IsCamera(const DvrRequestRecord& request)
{
    return request.method == "POST" && request.body.find("&OP=7&") != std::string::npos;
}

bool IsSwitch(const DvrRequestRecord& request)
{
    return request.method == "POST" && request.body.find("&OP=3&") != std::string::npos;
}

class ViewerExtrasTest : public ViewerFixture
{
protected:
    // The Pictures folder is the test's own, not the user's.
    void SetUp() override
    {
        ViewerFixture::SetUp();
        m_home = qgetenv("HOME");
        m_configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("HOME", QByteArray::fromStdString((m_folder.Path() / "home").string()));
        qunsetenv("XDG_CONFIG_HOME");
    }

    void TearDown() override
    {
        ViewerFixture::TearDown();
        qputenv("HOME", m_home);
        if (!m_configHome.isEmpty())
        {
            qputenv("XDG_CONFIG_HOME", m_configHome);
        }
    }

    void Key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(&View(), static_cast<Qt::Key>(key), modifiers);
    }

    // The REQ texts of the camera requests the DVR received since `before`.
    std::vector<std::string> CameraTextsSince(size_t before)
    {
        std::vector<std::string> texts;
        size_t seen = 0;
        for (const auto& request : m_dvr->GetRequests())
        {
            if (IsCamera(request) && seen++ >= before)
            {
                const size_t at = request.body.find("&REQ=") + 5;
                texts.push_back(request.body.substr(at, request.body.find('\0') - at));
            }
        }
        return texts;
    }

    // The committed rows read straight from the decoder, top row first, as RGB.
    QImage CommittedRowsTopDown()
    {
        QImage top;
        View().GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect&)
            {
                top = QImage(picture.GetWidth(), picture.GetHeight(), QImage::Format_RGB888);
                for (int y = 0; y < picture.GetHeight(); ++y)
                {
                    const uint8_t* row = picture.GetBits() +
                                         size_t(picture.GetHeight() - 1 - y) * picture.GetStride();
                    for (int x = 0; x < picture.GetWidth(); ++x)
                    {
                        top.setPixel(x, y, qRgb(row[3 * x + 2], row[3 * x + 1], row[3 * x]));
                    }
                }
            });
        return top;
    }

    QByteArray m_home;
    QByteArray m_configHome;
};
} // namespace

TEST_F(ViewerExtrasTest, SavePictureKeepsThePixelsAndChannelKeysFollowTheMenu)
{
    StartViewer(u"Gate/North,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    QStringList suggested;
    QString answer;
    QString answerSuffix = "png";
    Frame().Extras().SetPathChooser(
        [&](QWidget*, const QString& path, QString& suffix)
        {
            suggested << path;
            suffix = answerSuffix;
            return answer;
        });
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));

    // Greyed before the first picture: neither the item nor its key does anything.
    Frame().UpdateCommandUI();
    EXPECT_FALSE(Item(ID_SAVE_PICTURE).isEnabled());
    EXPECT_EQ(Item(ID_SAVE_PICTURE).shortcut(), QKeySequence("Ctrl+S"));
    Key(Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(suggested.isEmpty());

    ConnectToRow(0);
    // The paint that shows the first picture enables it, with no menu opened.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Item(ID_SAVE_PICTURE).isEnabled(); }));
    Frame().activateWindow(); // back from the Connect dialog
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));

    answer = QString::fromStdString((m_folder.Path() / "shot.png").string());
    View().GetClient().PauseReceiver(); // the picture stays as it is until compared
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    Key(Qt::Key_S, Qt::ControlModifier);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);
    const QImage committed = CommittedRowsTopDown();
    View().GetClient().ResumeReceiver();

    ASSERT_EQ(suggested.size(), 1);
    const QFileInfo name(suggested[0]);
    const QDir pictures(QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    EXPECT_EQ(name.absolutePath(), pictures.absoluteFilePath("Quillon"));
    EXPECT_TRUE(QFileInfo(name.absolutePath()).isDir()); // made when missing
    const auto match =
        QRegularExpression(R"(^Gate_North_CH-01_(\d{4}-\d\d-\d\d_\d\d-\d\d-\d\d)\.png$)")
            .match(name.fileName());
    ASSERT_TRUE(match.hasMatch()) << name.fileName().toStdString();
    const QDateTime stamp = QDateTime::fromString(match.captured(1), "yyyy-MM-dd_HH-mm-ss");
    EXPECT_TRUE(stamp >= before && stamp <= after) << match.captured(1).toStdString();

    const QImage saved = QImage(answer).convertToFormat(QImage::Format_RGB888);
    ASSERT_FALSE(committed.isNull());
    ASSERT_EQ(saved.size(), committed.size());
    EXPECT_EQ(saved, committed);
    const QLabel* note = Frame().Extras().GetSavedNote();
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->text(), "Saved " + answer);

    // JPEG by its name, or by the type chosen for a name without a suffix; a
    // folder that does not exist is told and leaves nothing.
    answer = QString::fromStdString((m_folder.Path() / "shot.jpg").string());
    Item(ID_SAVE_PICTURE).trigger();
    EXPECT_EQ(QImageReader(answer).format(), "jpeg");
    EXPECT_EQ(QImage(answer).size(), committed.size());
    answer = QString::fromStdString((m_folder.Path() / "plain").string());
    answerSuffix = "jpg";
    Item(ID_SAVE_PICTURE).trigger();
    EXPECT_EQ(QImageReader(answer + ".jpg").format(), "jpeg");
    EXPECT_EQ(note->text(), "Saved " + answer + ".jpg");
    answer = QString::fromStdString((m_folder.Path() / "missing" / "shot.png").string());
    Item(ID_SAVE_PICTURE).trigger();
    ASSERT_EQ(m_driver.BoxTexts().size(), 1);
    EXPECT_TRUE(m_driver.BoxTexts()[0].startsWith("The picture could not be saved.\n"));
    EXPECT_FALSE(QFileInfo::exists(answer));
    Frame().activateWindow(); // back from the box
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));

    // Keys pick the channels the menu offers, and show in it.
    EXPECT_EQ(Channel(2).shortcut(), QKeySequence("3"));
    EXPECT_EQ(Channel(9).shortcut(), QKeySequence("0"));
    Key(Qt::Key_3);
    EXPECT_TRUE(Channel(2).isChecked());
    EXPECT_TRUE(m_dvr->WaitForRequest([](const DvrRequestRecord& r)
                                      { return r.body.find("&OP=3&CH=4") != std::string::npos; },
                                      1s));
    EXPECT_EQ(Count(IsSwitch), 1u);
    Key(Qt::Key_5); // a 4-channel DVR has no CH-05
    EXPECT_TRUE(Channel(2).isChecked());
    EXPECT_FALSE(Channel(4).isChecked());
    EXPECT_EQ(Count(IsSwitch), 1u);

    // Disconnected, the item greys again.
    Item(ID_DISCONNECT).trigger();
    Frame().UpdateCommandUI();
    EXPECT_FALSE(Item(ID_SAVE_PICTURE).isEnabled());
}

TEST_F(ViewerExtrasTest, CameraKeysAreTheButtonsAndFullScreenKeepsThePlacement)
{
    ConnectAndWatch(u"Dome");
    // Without the panels the keys send nothing.
    Key(Qt::Key_Left);
    EXPECT_TRUE(CameraTextsSince(0).empty());

    Item(ID_PTZ_CONTROL).trigger();
    CPTZPanels& panels = *View().GetPTZPanels();
    ASSERT_TRUE(panels.IsShown());
    QTest::mouseClick(FindControl<QPushButton>(*panels.Left(), IDC_PTZ_LEFT), Qt::LeftButton);
    const auto button = CameraTextsSince(0);
    EXPECT_EQ(button, (std::vector<std::string>{"5S2", "8"}));
    Key(Qt::Key_Left);
    EXPECT_EQ(CameraTextsSince(2), button);
    const auto requests = m_dvr->GetRequests();
    std::vector<std::string> bodies;
    for (const auto& request : requests)
    {
        if (IsCamera(request))
        {
            bodies.push_back(request.body);
        }
    }
    ASSERT_EQ(bodies.size(), 4u);
    EXPECT_EQ(bodies[2], bodies[0]);
    EXPECT_EQ(bodies[3], bodies[1]);
    Key(Qt::Key_Up);
    Key(Qt::Key_Plus);
    Key(Qt::Key_Minus);
    EXPECT_EQ(CameraTextsSince(4), (std::vector<std::string>{"6S2", "8", "0S2", "8", "1S2", "8"}));

    // F11: the whole screen, no menu bar, the picture and the panels laid out anew.
    const QSize normal = View().size();
    EXPECT_EQ(Item(ID_FULL_SCREEN).shortcut(), QKeySequence("F11"));
    Key(Qt::Key_F11);
    EXPECT_TRUE(Frame().isFullScreen());
    const QSize screen = Frame().screen()->geometry().size();
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().size() == screen; }));
    EXPECT_FALSE(Frame().menuBar()->isVisible());
    const PictureRect full = View().GetClient().GetPictureRect();
    EXPECT_EQ(QRect(full.left, full.top, full.right - full.left, full.bottom - full.top),
              QRect(QPoint(0, 0), screen)); // landscape: the whole view
    EXPECT_EQ(panels.Bar()->geometry().bottom(), screen.height() - 1);
    EXPECT_EQ(panels.Bar()->width(), screen.width());
    EXPECT_EQ(panels.Right()->geometry().right(), screen.width() - 1);
    EXPECT_TRUE(Item(ID_FULL_SCREEN).isChecked());

    Key(Qt::Key_Escape);
    EXPECT_FALSE(Frame().isFullScreen());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().size() == normal; }));
    EXPECT_TRUE(Frame().menuBar()->isVisible());
    EXPECT_EQ(panels.Right()->geometry().right(), normal.width() - 1);
    EXPECT_EQ(panels.Bar()->geometry().bottom(), normal.height() - 1);

    // A double click on the picture goes there and back.
    QTest::mouseDClick(&View(), Qt::LeftButton, {}, QPoint(normal.width() / 2, 60));
    EXPECT_TRUE(Frame().isFullScreen());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().size() == screen; }));
    QTest::mouseDClick(&View(), Qt::LeftButton, {}, QPoint(screen.width() / 2, 60));
    EXPECT_FALSE(Frame().isFullScreen());
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().size() == normal; }));
}

TEST_F(ViewerExtrasTest, TheMenuBarFollowsTheWindowAndThePictureOpensTheMenu)
{
    StartViewer(u"");
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));
    QMenuBar& bar = *Frame().menuBar();

    // Entered by F11 and left another way (the window manager), or the other way round.
    Key(Qt::Key_F11);
    ASSERT_TRUE(Frame().isFullScreen());
    EXPECT_FALSE(bar.isVisible());
    Frame().showNormal();
    EXPECT_TRUE(bar.isVisible());
    EXPECT_FALSE(Item(ID_FULL_SCREEN).isChecked());
    Frame().showFullScreen();
    EXPECT_FALSE(bar.isVisible());
    Key(Qt::Key_Escape);
    EXPECT_FALSE(Frame().isFullScreen());
    EXPECT_TRUE(bar.isVisible());

    // Full screen, a right click on the picture reaches every command.
    Frame().showFullScreen();
    QTest::mouseClick(Frame().windowHandle(), Qt::RightButton, {},
                      View().mapTo(&Frame(), QPoint(40, 40)));
    auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(popup, nullptr);
    EXPECT_EQ(popup->objectName(), QString("id%1").arg(ID_SOFTKEY_MENU));
    EXPECT_TRUE(popup->actions().contains(&Item(ID_FULL_SCREEN)));
    popup->close();
}

TEST_F(ViewerExtrasTest, StatisticsOverlayShowsWhatTheDisplayHolds)
{
    DvrSimSettings settings;
    settings.channelCount = 4;
    settings.framesPerSecond = 20;
    StartDvr(settings);
    ConnectAndWatch(u"Gate");
    CStatisticsOverlay& overlay = *Frame().Extras().GetStatisticsOverlay();
    EXPECT_FALSE(overlay.isVisible());
    Key(Qt::Key_I);
    ASSERT_TRUE(overlay.isVisible());
    EXPECT_TRUE(Item(ID_STATISTICS).isChecked());

    // The box shows the rates it last read and the picture the display holds;
    // how the rates are worked out is FrameStatisticsTest's business.
    ASSERT_TRUE(ProcessEventsUntil([&] { return overlay.GetRates().framesPerSecond >= 2; }, 10000));
    const QString text = overlay.text();
    const auto match = QRegularExpression(R"(^([\d.]+) fps  (\d+) kbit/s\n(\d+ x \d+)  last )"
                                          R"(([\d.]+) s ago\nlook-back (\d+) s  (\d+) kB$)")
                           .match(text);
    ASSERT_TRUE(match.hasMatch()) << text.toStdString();
    const CFrameStatistics::Rates rates = overlay.GetRates();
    EXPECT_NEAR(match.captured(1).toDouble(), rates.framesPerSecond, 0.05);
    EXPECT_NEAR(match.captured(2).toDouble(), rates.kilobitsPerSecond, 0.5);
    EXPECT_GT(match.captured(2).toInt(), 0);
    const QSize size = CommittedPictureSize();
    EXPECT_EQ(match.captured(3), QString("%1 x %2").arg(size.width()).arg(size.height()));
    ASSERT_TRUE(rates.sinceLastFrame);
    EXPECT_NEAR(match.captured(4).toDouble(),
                std::chrono::duration<double>(*rates.sinceLastFrame).count(), 0.005);
    // The span and memory of the history as it was at the refresh: frames keep coming.
    const auto span = View().GetClient().GetPictureDisplay().GetHistory().GetSpan();
    ASSERT_TRUE(span);
    EXPECT_LE(match.captured(5).toInt(),
              std::chrono::duration_cast<std::chrono::seconds>(span->last - span->first).count());
    EXPECT_GT(match.captured(6).toInt(), 0);
    EXPECT_LE(match.captured(6).toULongLong(), (span->bytes + 1023) / 1024);

    // Disconnected, the next refresh shows an empty display.
    Item(ID_DISCONNECT).trigger();
    EXPECT_TRUE(ProcessEventsUntil(
        [&] {
            return overlay.text() ==
                   "0.0 fps  0 kbit/s\nno picture  last no frame yet\nlook-back empty";
        }))
        << overlay.text().toStdString();

    Key(Qt::Key_I);
    EXPECT_FALSE(overlay.isVisible());
}
