// SPDX-License-Identifier: GPL-3.0-or-later
// The whole viewer against faults: a decoder error box left open while the
// DVR keeps sending, a DVR that vanishes, and a directory it cannot write.
#include "support/ViewerFixture.h"

#include "support/FileSystemFaults.h"

#include <QElapsedTimer>
#include <QMessageBox>

using namespace std::chrono_literals;

namespace
{
const QString kCantConnect = "Can't connect the DVR.";
const QString kNotSaved = "The DVR list could not be saved.";

using ViewerFaultTest = ViewerFixture;
} // namespace

TEST_F(ViewerFaultTest, AJpegErrorBoxLeftOpenHoldsOneFrameAndTheStreamGoesOnAfterIt)
{
    m_timeouts.watchdog = 1s;
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n");
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 1; }, 10000));

    // The box's own loop runs the step: it stays open for longer than the
    // watchdog while the DVR keeps sending. Time under the box is not time
    // waiting for the DVR, and no second box stacks up.
    QString libraryMessage;
    QElapsedTimer open;
    int paintedUnderTheBox = 0;
    bool stillLoggedIn = false;
    QStringList boxesWhileOpen;
    m_driver.Then(
        [&](QWidget& modal)
        {
            auto* box = qobject_cast<QMessageBox*>(&modal);
            if (box == nullptr)
            {
                return false;
            }
            if (!open.isValid())
            {
                libraryMessage = box->text();
                open.start();
                m_dvr->SetFramesPerSecond(100);
                View().update();
            }
            if (open.elapsed() < 1500)
            {
                return false;
            }
            paintedUnderTheBox = View().GetPaintedPictures();
            stillLoggedIn = View().GetClient().IsLoggedIn();
            boxesWhileOpen = m_driver.BoxTexts();
            m_dvr->SetMisbehaviour({});
            box->button(QMessageBox::Ok)->click();
            return true;
        });
    DvrMisbehaviour damaged;
    damaged.damagedJpeg = true;
    m_dvr->SetMisbehaviour(damaged);
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.Idle(); }, 15000));
    EXPECT_FALSE(libraryMessage.isEmpty());
    EXPECT_TRUE(stillLoggedIn);
    EXPECT_EQ(boxesWhileOpen, QStringList{libraryMessage});

    // Frames already on their way may still be damaged; then pictures again.
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return View().GetPaintedPictures() > paintedUnderTheBox + 2; }, 10000));
    EXPECT_TRUE(View().GetClient().IsLoggedIn());
    EXPECT_EQ(m_driver.BoxCount(kCantConnect), 0);
    EXPECT_EQ(m_dvr->GetClientCount(), 1u);
}

TEST_F(ViewerFaultTest, ADvrVanishingMidStreamIsToldAndTheMenusGoBack)
{
    AppSettings settings;
    settings.autoCloseDelay = 60s;
    StartViewer(u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n", settings);
    ConnectToRow(0);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().GetPaintedPictures() > 1; }, 10000));

    m_dvr->Stop();
    ASSERT_TRUE(ProcessEventsUntil([&] { return m_driver.BoxCount(kCantConnect) == 1; }, 10000));
    ASSERT_TRUE(ProcessEventsUntil([&] { return QApplication::activeModalWidget() == nullptr; }));
    EXPECT_FALSE(View().GetClient().IsLoggedIn());
    EXPECT_FALSE(Item(ID_DISCONNECT).isEnabled());
    EXPECT_FALSE(Channel(0).isEnabled());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(ViewerFaultTest, ADirectoryThatCannotBeWrittenIsToldAndTheFileKept)
{
    const std::u16string rows = u"Gate,127.0.0.1," + Port() + u",0,ADMIN,1234\n";
    for (const char* fault : {"full", "read-only"})
    {
        SCOPED_TRACE(fault);
        StartViewer(rows);
        const std::string before = ReadBytes(DirectoryFile());
        bool leftTheDialog = false;
        {
            std::unique_ptr<FileSizeLimit> full;
            std::unique_ptr<ReadOnlyFolder> readOnly;
            if (std::string(fault) == "full")
            {
                full = std::make_unique<FileSizeLimit>(before.size() / 2);
            }
            else
            {
                readOnly = std::make_unique<ReadOnlyFolder>(m_folder.Path());
            }
            // Connect cannot save: the user is told, the dialog stays, and the
            // platform's cancel (Escape) leaves it without saving. The click is
            // queued so that the box it opens is driven like any other.
            m_driver.Then(
                [&](QWidget& modal)
                {
                    auto* dialog = dynamic_cast<CConnectDlg*>(&modal);
                    if (dialog == nullptr)
                    {
                        return false;
                    }
                    auto* list = FindControl<QTreeWidget>(*dialog, IDC_CONNECT_LIST);
                    const QRect rect = list->visualItemRect(list->topLevelItem(0));
                    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
                    auto* connect = FindControl<QPushButton>(*dialog, IDC_CONNECT_CONNECT);
                    QTimer::singleShot(0, connect, [connect] { connect->click(); });
                    return true;
                });
            m_driver.Then(
                [&](QWidget& modal)
                {
                    auto* box = qobject_cast<QMessageBox*>(&modal);
                    if (box == nullptr || box->text() != kNotSaved)
                    {
                        return false;
                    }
                    box->button(QMessageBox::Ok)->click();
                    return true;
                });
            m_driver.Then(
                [&](QWidget& modal)
                {
                    if (dynamic_cast<CConnectDlg*>(&modal) == nullptr)
                    {
                        return false;
                    }
                    QTest::keyClick(&modal, Qt::Key_Escape);
                    leftTheDialog = true;
                    return true;
                });
            Item(ID_CONNECT).trigger();
            ASSERT_TRUE(ProcessEventsUntil([&] { return leftTheDialog && m_driver.Idle(); }));
        }
        EXPECT_EQ(m_driver.BoxCount(kNotSaved), 1);
        EXPECT_EQ(ReadBytes(DirectoryFile()), before);
        EXPECT_FALSE(View().GetClient().IsLoggedIn());
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(m_folder.Path()),
                                std::filesystem::directory_iterator()),
                  1);
        m_app.reset();
        m_driver.answerBoxes = true;
        m_driver.ClearBoxTexts();
    }
}
