// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "app/CAboutDlg.h"
#include "app/CConnectHint.h"
#include "app/WindowPlacement.h"
#include "directory/CDVRInformation.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QScreen>

using namespace std::chrono_literals;

namespace
{
const QString kPasswordMiss = "Password Miss Error!!";
const QString kCantConnect = "Can't connect the DVR.";

using ViewerTest = ViewerFixture;
} // namespace

TEST_F(ViewerTest, ConnectWatchSwitchAndDisconnect)
{
    StartViewer(u"Gate,"
                u"127.0.0.1," +
                Port() + u",0,ADMIN,1234\n");

    // Before the first connection only Connect, About and Exit can be used.
    QTest::mouseClick(Frame().menuBar(), Qt::LeftButton, {},
                      Frame().menuBar()->actionGeometry(Frame().menuBar()->actions()[1]).center());
    for (unsigned id : {ID_DISCONNECT, ID_DVR_INFORMATION, ID_PTZ_CONTROL})
    {
        EXPECT_FALSE(Item(id).isEnabled()) << id;
    }
    for (int channel = 0; channel < 16; ++channel)
    {
        EXPECT_FALSE(Channel(channel).isEnabled()) << channel;
    }
    EXPECT_TRUE(Item(ID_CONNECT).isEnabled());
    QApplication::activePopupWidget()->close();

    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 2; }, 10000));
    EXPECT_GT(PictureShare(), 0.9);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    for (int channel = 0; channel < 16; ++channel)
    {
        EXPECT_EQ(Channel(channel).isEnabled(), channel < 4) << channel;
        EXPECT_EQ(Channel(channel).isChecked(), channel == 0) << channel;
    }
    EXPECT_TRUE(Item(ID_DISCONNECT).isEnabled());
    EXPECT_TRUE(Item(ID_PTZ_CONTROL).isEnabled());

    // CH-03 has lost its video: the switch goes out and the logo takes its place.
    Channel(2).trigger();
    EXPECT_TRUE(Channel(2).isChecked());
    EXPECT_FALSE(Channel(0).isChecked());
    EXPECT_TRUE(m_dvr->WaitForRequest([](const DvrRequestRecord& r)
                                      { return r.body.find("&OP=3&CH=4") != std::string::npos; },
                                      1s));
    ASSERT_TRUE(ProcessEventsUntil([&] { return CommittedPictureSize() == QSize(144, 96); }));

    QString shownChannel;
    m_driver.Then(
        [&](QWidget& modal)
        {
            auto* dialog = dynamic_cast<CDVRInformation*>(&modal);
            if (dialog == nullptr)
            {
                return false;
            }
            shownChannel = FindControl<QLineEdit>(*dialog, IDC_INFO_CHANNEL)->text();
            EXPECT_EQ(FindControl<QLineEdit>(*dialog, IDC_INFO_NAME)->text(), "Gate");
            EXPECT_EQ(FindControl<QLineEdit>(*dialog, IDC_INFO_USER)->text(), "ADMIN");
            QTest::mouseClick(FindControl<QPushButton>(*dialog, IDC_INFO_OK), Qt::LeftButton);
            return true;
        });
    Item(ID_DVR_INFORMATION).trigger();
    EXPECT_EQ(shownChannel, "CH-03");

    // Connect while connected logs out first, once, then logs in again.
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Count(IsLogin) == 2 && Channel(0).isChecked(); }));
    EXPECT_EQ(Count(IsLogout), 1u);
    const auto requests = m_dvr->GetRequests();
    const auto logout = std::find_if(requests.begin(), requests.end(), IsLogout);
    EXPECT_EQ(std::count_if(logout, requests.end(), IsLogin), 1);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    Item(ID_DISCONNECT).trigger();
    EXPECT_EQ(Count(IsLogout), 2u);
    // The picture is wiped: the empty view's logo and line are all that is left on it.
    ASSERT_TRUE(View().GetConnectHint().isVisible());
    View().GetConnectHint().hide();
    ASSERT_TRUE(ProcessEventsUntil([&] { return PictureShare() < 0.01; }));
    for (unsigned id : {ID_DISCONNECT, ID_DVR_INFORMATION, ID_PTZ_CONTROL})
    {
        EXPECT_FALSE(Item(id).isEnabled()) << id;
    }
    EXPECT_FALSE(Channel(0).isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    Item(ID_EXIT).trigger();
    EXPECT_FALSE(Frame().isVisible());
}

TEST_F(ViewerTest, AWrongPasswordIsToldOnceAndClosingUnderItsBoxEndsTheProgram)
{
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,0000\n");
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.BoxCount(kPasswordMiss) == 1; }));
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activeModalWidget() == nullptr; }));
    EXPECT_EQ(m_driver.BoxTexts(), QStringList{kPasswordMiss});
    EXPECT_FALSE(View().GetClient().IsLoggedIn());
    EXPECT_EQ(View().GetPaintedPictures(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // The box stays open; the window's close button is pressed under it.
    m_driver.answerBoxes = false;
    ConnectToRow(0,
                 [this](QWidget& modal)
                 {
                     auto* box = qobject_cast<QMessageBox*>(&modal);
                     if (box == nullptr || box->text() != kPasswordMiss)
                     {
                         return false;
                     }
                     Frame().close();
                     return true;
                 });
    ASSERT_TRUE(ProcessEventsUntil([&] { return !Frame().isVisible(); }));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QElapsedTimer ending;
    ending.start();
    m_app.reset();
    EXPECT_LT(ending.elapsed(), 2000);
}

TEST_F(ViewerTest, AnUnreachableDvrIsRetriedWhileItsBoxIsLeftOpen)
{
    // A port that was just given up answers no connection.
    DvrSimulator gone;
    ASSERT_TRUE(gone.Start());
    const std::u16string port = FromNumber(gone.GetPort());
    gone.Stop();
    AppSettings settings;
    settings.autoCloseDelay = 200ms;
    StartViewer(u"Gone,127.0.0.1," + port + u",0,ADMIN,1234\n", settings);

    m_driver.answerBoxes = false;
    // The user opens a dialog over the first box in the moment its time runs out.
    QDialog opened(&Frame());
    opened.setModal(true);
    // Once it closes, whoever closed it, boxes are answered: a wrong close fails, not hangs.
    QObject::connect(&opened, &QDialog::finished, [this] { m_driver.answerBoxes = true; });
    ConnectToRow(0,
                 [&](QWidget& modal)
                 {
                     auto* box = qobject_cast<QMessageBox*>(&modal);
                     if (box == nullptr || box->text() != kCantConnect)
                     {
                         return false;
                     }
                     opened.show();
                     return true;
                 });
    // Unanswered, the box closes by itself, and only the box; the same DVR is tried again.
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.BoxCount(kCantConnect) >= 2; }));
    EXPECT_TRUE(opened.isVisible());
    opened.close();
    EXPECT_EQ(m_driver.BoxTexts().count(), m_driver.BoxCount(kCantConnect));

    // The attempt the last timer started fails again; this box is answered
    // before its timer, and no new attempt follows.
    const int unanswered = m_driver.BoxCount(kCantConnect);
    m_driver.answerBoxes = true;
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            return m_driver.BoxCount(kCantConnect) > unanswered &&
                   QApplication::activeModalWidget() == nullptr;
        }));
    const int boxes = m_driver.BoxCount(kCantConnect);
    QElapsedTimer quiet;
    quiet.start();
    ProcessEventsUntil([&] { return quiet.elapsed() > 1000; });
    EXPECT_EQ(m_driver.BoxCount(kCantConnect), boxes);
    EXPECT_FALSE(Frame().IsAutoCloseTimerRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ViewerTest, TheReconnectAsksForTheChannelOnView)
{
    AppSettings settings;
    settings.autoCloseDelay = 300ms;
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n", settings);
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Frame().GetCheckedChannel() == 0; }));
    Channel(2).trigger();

    // The DVR goes away and is back on its port before the box closes itself.
    DvrSimSettings same = m_dvr->GetSettings();
    same.port = m_dvr->GetPort();
    m_driver.answerBoxes = false;
    m_dvr.reset();
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.BoxCount(kCantConnect) == 1; }));
    StartDvr(same);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetClient().IsLoggedIn(); }, 10000));
    EXPECT_TRUE(m_dvr->GetRequests().at(0).target.ends_with("&CH=4"));
    EXPECT_TRUE(Channel(2).isChecked());
}

TEST_F(ViewerTest, TheAboutBoxTurnsWithTheWindow)
{
    StartViewer(u"");
    Frame().resize(240, 320);
    QRect version;
    QRect icon;
    m_driver.Then(
        [&](QWidget& modal)
        {
            auto* about = dynamic_cast<CAboutDlg*>(&modal);
            if (about == nullptr)
            {
                return false;
            }
            icon = FindControl<QLabel>(*about, IDC_ABOUT_ICON)->geometry();
            version = FindControl<QLabel>(*about, IDC_ABOUT_VERSION)->geometry();
            EXPECT_EQ(FindControl<QLabel>(*about, IDC_ABOUT_VERSION)->text(),
                      "Quillon Version 1.6");
            EXPECT_FALSE(FindControl<QLabel>(*about, IDC_ABOUT_ICON)->pixmap().isNull());
            EXPECT_GT(version.top(), icon.bottom());
            Frame().resize(320, 240);
            version = FindControl<QLabel>(*about, IDC_ABOUT_VERSION)->geometry();
            EXPECT_GT(version.left(), icon.right());
            EXPECT_LT(version.top(), icon.bottom());
            about->close();
            return true;
        });
    Item(ID_APP_ABOUT).trigger();
    EXPECT_TRUE(m_driver.Idle());
    EXPECT_FALSE(version.isNull());
}

TEST_F(ViewerTest, TheWindowOpensForADvrPictureAndComesBackAsItWasLeft)
{
    const auto start = [this](QSize size = {})
    {
        AppSettings settings;
        settings.windowSize = size;
        settings.directoryFile = DirectoryFile();
        settings.settingsFile = SettingsFile();
        m_app = std::make_unique<CZentrelApp>(settings);
        ASSERT_TRUE(m_app->InitInstance());
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    };
    // The first start: the common DVR picture below the menu bar, centred.
    start();
    const QRect available = Frame().screen()->availableGeometry();
    EXPECT_GE(View().width(), 704);
    EXPECT_GE(View().height(), 480);
    EXPECT_LE((Frame().geometry().center() - available.center()).manhattanLength(), 1);
    // A phone's screen is taken whole.
    EXPECT_EQ(FirstStartGeometry(QRect(0, 30, 360, 690), QSize(704, 505)), QRect(0, 30, 360, 690));

    // Later starts: as the last run was left, full screen included.
    Frame().setGeometry(30, 40, 500, 400);
    m_app.reset();
    start();
    EXPECT_EQ(Frame().geometry(), QRect(30, 40, 500, 400));
    Frame().showFullScreen();
    m_app.reset();
    start();
    EXPECT_TRUE(Frame().isFullScreen());

    // A place on no screen now (a monitor unplugged) comes back onto one, frame and all.
    Frame().showNormal();
    Frame().setGeometry(available.right() + 2000, available.bottom() + 1500, 400, 300);
    m_app.reset();
    start();
    EXPECT_TRUE(available.contains(Frame().frameGeometry()));
    EXPECT_EQ(Frame().size(), QSize(400, 300));
    // --size: no larger than the screen, and wholly on it.
    for (const QSize& size : {QSize(1280, 720), available.size() + QSize(256, 120)})
    {
        m_app.reset();
        start(size);
        EXPECT_TRUE(available.contains(Frame().frameGeometry())) << size.width();
    }
}
