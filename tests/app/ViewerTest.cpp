#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "app/CZentrelView.h"
#include "DvrSimulator.h"
#include "TempFolder.h"
#include "directory/ConnectDlg.h"
#include "directory/DVRInformation.h"
#include "res/ResourceIds.h"
#include "support/ModalDriver.h"
#include "support/QtTestApplication.h"

#include "app/CAboutDlg.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace std::chrono_literals;

namespace
{
const QString kPasswordMiss = "Password Miss Error!!";
const QString kCantConnect = "Can't connect the DVR.";

bool IsLogout(const DvrRequestRecord& request)
{
    return request.method == "POST" && request.body.find("&OP=5") != std::string::npos;
}

bool IsLogin(const DvrRequestRecord& request)
{
    return request.method == "Get";
}

class ViewerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        TestApplication();
        DvrSimSettings settings;
        settings.channelCount = 4;
        settings.videoLossMask = 1u << 2; // CH-03
        settings.framesPerSecond = 25;
        m_dvr = std::make_unique<DvrSimulator>(settings);
        ASSERT_TRUE(m_dvr->Start());
    }

    void TearDown() override { m_app.reset(); }

    std::u16string Port() const { return FromNumber(m_dvr->GetPort()); }
    static std::u16string FromNumber(unsigned n)
    {
        const std::string text = std::to_string(n);
        return std::u16string(text.begin(), text.end());
    }

    void StartViewer(const std::u16string& directory, AppSettings settings = {})
    {
        WriteBytes(DirectoryFile(), Utf16Le(directory));
        settings.directoryFile = DirectoryFile();
        settings.timeouts = {5s, 5s};
        m_app = std::make_unique<CZentrelApp>(settings);
        ASSERT_TRUE(m_app->InitInstance());
        Frame().resize(320, 260);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Frame()));
    }

    std::filesystem::path DirectoryFile() const { return m_folder.Path() / "IPList.db"; }
    CMainFrame& Frame() { return *m_app->GetMainFrame(); }
    CZentrelView& View() { return *m_app->GetView(); }
    QAction& Item(unsigned id) { return *Frame().FindAction(id); }
    QAction& Channel(int channel) { return Item(ID_CHANNEL_FIRST + channel); }

    // Menu > Connect, then a click on the row and on "Connect" in the real dialog.
    void ConnectToRow(int row)
    {
        m_driver.Then(
            [row](QWidget& modal)
            {
                auto* dialog = dynamic_cast<CConnectDlg*>(&modal);
                if (dialog == nullptr)
                {
                    return false;
                }
                auto* list = FindControl<QTreeWidget>(*dialog, IDC_CONNECT_LIST);
                const QRect rect = list->visualItemRect(list->topLevelItem(row));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
                QTest::mouseClick(FindControl<QPushButton>(*dialog, IDC_CONNECT_CONNECT),
                                  Qt::LeftButton);
                return true;
            });
        Item(ID_CONNECT).trigger();
        EXPECT_TRUE(m_driver.Idle());
    }

    // The view as the user sees it: how much of it is not the black background.
    double PictureShare()
    {
        const QImage image = View().grab().toImage();
        int lit = 0;
        for (int y = 0; y < image.height(); y += 4)
        {
            for (int x = 0; x < image.width(); x += 4)
            {
                lit += qGray(image.pixel(x, y)) > 16 ? 1 : 0;
            }
        }
        return double(lit) / ((image.height() / 4 + 1) * (image.width() / 4 + 1));
    }

    QSize CommittedPictureSize()
    {
        QSize size;
        View().GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect&)
            { size = QSize(picture.GetWidth(), picture.GetHeight()); });
        return size;
    }

    size_t Count(bool (*match)(const DvrRequestRecord&))
    {
        const auto requests = m_dvr->GetRequests();
        return std::count_if(requests.begin(), requests.end(), match);
    }

    TempFolder m_folder;
    std::unique_ptr<DvrSimulator> m_dvr;
    ModalDriver m_driver;
    std::unique_ptr<CZentrelApp> m_app;
};
} // namespace

TEST_F(ViewerTest, ConnectWatchSwitchAndDisconnect)
{
    StartViewer(u"Gate," u"127.0.0.1," + Port() + u",0,ADMIN,1234\n");

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
    EXPECT_TRUE(m_dvr->WaitForRequest(
        [](const DvrRequestRecord& r) { return r.body.find("&OP=3&CH=4") != std::string::npos; },
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
    ASSERT_TRUE(ProcessEventsUntil([&] { return PictureShare() < 0.01; }));
    for (unsigned id : {ID_DISCONNECT, ID_DVR_INFORMATION, ID_PTZ_CONTROL})
    {
        EXPECT_FALSE(Item(id).isEnabled()) << id;
    }
    EXPECT_FALSE(Channel(0).isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
    m_driver.Then(
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
    ConnectToRow(0);
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
    ConnectToRow(0);
    // Unanswered, the box closes by itself and the same DVR is tried again.
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.BoxCount(kCantConnect) >= 2; }));
    EXPECT_EQ(m_driver.BoxTexts().count(), m_driver.BoxCount(kCantConnect));

    // Answered before the timer, the box brings no new attempt.
    m_driver.answerBoxes = true;
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activeModalWidget() == nullptr; }));
    const int boxes = m_driver.BoxCount(kCantConnect);
    QElapsedTimer quiet;
    quiet.start();
    ProcessEventsUntil([&] { return quiet.elapsed() > 1000; });
    EXPECT_EQ(m_driver.BoxCount(kCantConnect), boxes);
    EXPECT_FALSE(Frame().IsAutoCloseTimerRunning());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
