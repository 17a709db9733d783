// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/QtMessageBox.h"

#include "support/QtTestApplication.h"
#include "platform/MessageBoxSeam.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace
{
// Presses `button` on the first real box that shows, from inside its own event loop.
class BoxAnswerer
{
public:
    explicit BoxAnswerer(QMessageBox::StandardButton button)
    {
        QObject::connect(&m_timer, &QTimer::timeout,
                         [this, button]
                         {
                             auto* box =
                                 qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
                             if (box == nullptr)
                             {
                                 return;
                             }
                             m_timer.stop();
                             text = box->text();
                             caption = box->windowTitle();
                             icon = box->icon();
                             onGuiThread = box->thread() == QApplication::instance()->thread();
                             buttons = box->standardButtons();
                             box->button(button)->click();
                         });
        m_timer.start(1);
    }

    QString text;
    QString caption;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool onGuiThread = false;

private:
    QTimer m_timer;
};
} // namespace

TEST(QtMessageBoxTest, TheSeamSeesEveryBoxAndAnswersIt)
{
    MessageBoxSeam seam;
    QtMessageBox messages;
    seam.QueueAnswer(MessageBoxAnswer::Yes);
    EXPECT_EQ(messages.Show(u"Delete?", u"", MessageBoxIcon::Exclamation, MessageBoxButtons::YesNo),
              MessageBoxAnswer::Yes);
    EXPECT_EQ(
        messages.Show(u"Delete again?", u"", MessageBoxIcon::Question, MessageBoxButtons::YesNo),
        MessageBoxAnswer::No);
    EXPECT_EQ(messages.Show(u"Done", u"Other"), MessageBoxAnswer::Ok);
    const auto shown = seam.Shown();
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[0].caption, u"Quillon");
    EXPECT_EQ(shown[1].icon, MessageBoxIcon::Question);
    EXPECT_EQ(shown[2].caption, u"Other");
    EXPECT_EQ(shown[2].icon, MessageBoxIcon::Exclamation);
    EXPECT_EQ(shown[2].buttons, MessageBoxButtons::Ok);
}

TEST(QtMessageBoxTest, TheSeamAnswersBoxesAskedFromOtherThreads)
{
    MessageBoxSeam seam;
    QtMessageBox messages;
    seam.QueueAnswer(MessageBoxAnswer::Yes);
    MessageBoxAnswer answer = MessageBoxAnswer::Ok;
    std::thread worker(
        [&]
        {
            answer = messages.Show(u"From a worker", u"", MessageBoxIcon::Error,
                                   MessageBoxButtons::YesNo);
        });
    worker.join();
    EXPECT_EQ(answer, MessageBoxAnswer::Yes);
    EXPECT_EQ(seam.ShownTexts(), std::vector<std::u16string>{u"From a worker"});
}

TEST(QtMessageBoxTest, ARealBoxHasTheDefaultCaptionTheExclamationIconAndAnOkButton)
{
    TestApplication();
    QtMessageBox messages;
    BoxAnswerer answerer(QMessageBox::Ok);
    EXPECT_EQ(messages.Show(u"Can't connect the DVR."), MessageBoxAnswer::Ok);
    EXPECT_EQ(answerer.text, "Can't connect the DVR.");
    EXPECT_EQ(answerer.caption, "Quillon");
    EXPECT_EQ(answerer.icon, QMessageBox::Warning);
    EXPECT_EQ(answerer.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

TEST(QtMessageBoxTest, ABoxAskedFromAnotherThreadShowsOnTheGuiThreadWhileTheCallerWaits)
{
    TestApplication();
    QtMessageBox messages;
    BoxAnswerer answerer(QMessageBox::No);
    std::atomic<bool> done = false;
    MessageBoxAnswer answer = MessageBoxAnswer::Yes;
    std::thread worker(
        [&]
        {
            answer = messages.Show(u"Delete?", u"Directory", MessageBoxIcon::Exclamation,
                                   MessageBoxButtons::YesNo);
            done = true;
        });
    const bool finished = ProcessEventsUntil([&] { return done.load(); });
    worker.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(answer, MessageBoxAnswer::No);
    EXPECT_TRUE(answerer.onGuiThread);
    EXPECT_EQ(answerer.caption, "Directory");
    EXPECT_EQ(answerer.buttons, QMessageBox::Yes | QMessageBox::No);
}
