// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "app/CViewerExtras.h"
#include "app/PictureSnapshot.h"
#include "history/CHistoryBudget.h"
#include "platform/SilentMessageBox.h"
#include "ptz/CPTZDlg.h"
#include "ptz/CPTZPanels.h"
#include "view/CLookBackControl.h"
#include "view/CTimeline.h"
#include "view/ViewerSettings.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QMenu>
#include <QShortcut>

#include <functional>

using namespace std::chrono_literals;

namespace
{
class LookBackTest : public ViewerFixture
{
protected:
    CPictureDisplay& Display() { return View().GetClient().GetPictureDisplay(); }
    CFrameHistory& History() { return Display().GetHistory(); }
    CLookBackControl& LookBack() { return View().GetLookBack(); }
    uint64_t Newest() { return History().GetSpan() ? History().GetSpan()->lastSequence : 0; }
    std::optional<uint64_t> Shown()
    {
        const auto past = Display().GetShownPast();
        return past ? std::optional<uint64_t>(past->sequence) : std::nullopt;
    }

    void Key(Qt::Key key) { QTest::keyClick(&View(), key); }

    // Until `count` more frames have come in while the view looks back.
    bool MoreFrames(uint64_t count)
    {
        const uint64_t from = Newest();
        return ProcessEventsUntil([&] { return Newest() >= from + count; });
    }

    // The picture on screen is that frame of the history, decoded anew.
    bool ShowsFrame(uint64_t sequence)
    {
        std::vector<uint8_t> jpeg;
        if (!History().CopyFrame(sequence, jpeg))
        {
            return false;
        }
        SilentMessageBox quiet;
        CJpegDecoder decoder(quiet);
        View().repaint();
        const QImage shown = CommittedPicture(Display());
        if (!decoder.Decode(jpeg.data(), jpeg.size()) || shown.isNull())
        {
            return false;
        }
        const QImage rows(decoder.GetBits(), decoder.GetWidth(), decoder.GetHeight(),
                          static_cast<qsizetype>(decoder.GetStride()), QImage::Format_BGR888);
        return rows.mirrored(false, true) == shown;
    }
};
} // namespace

// Space holds the picture while the stream goes on; a frame at a time with "." and
// ","; End is live again. Saved meanwhile, the picture is named by its own time.
TEST_F(LookBackTest, PauseHoldsThePictureWhileFramesArriveAndNextFrameMovesExactlyOne)
{
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Newest() >= 5; }));
    EXPECT_EQ(Item(ID_LOOKBACK_PAUSE).text(), "Pause");
    Key(Qt::Key_Space);
    EXPECT_EQ(LookBack().GetLookBack().GetState(), CLookBack::State::Paused);
    EXPECT_EQ(Item(ID_LOOKBACK_PAUSE).text(), "Play");
    ASSERT_TRUE(Shown());
    const HistoryFrameInfo held = *Display().GetShownPast();
    EXPECT_FALSE(View().IsPictureLive());
    EXPECT_TRUE(LookBack().GetTimeline().isVisible());
    // Until a frame of another second has come, so now and the held frame differ in name.
    const auto second = [](const HistoryFrameInfo& frame)
    { return std::chrono::floor<std::chrono::seconds>(frame.arrivedClock); };
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return History().Find(Newest()) && second(*History().Find(Newest())) != second(held); },
        3000));
    ASSERT_TRUE(MoreFrames(2));
    EXPECT_EQ(Shown(), held.sequence);
    EXPECT_TRUE(ShowsFrame(held.sequence));
    EXPECT_TRUE(LookBack().PastText(0).endsWith(" s ago"));

    QStringList suggested;
    Frame().Extras().SetPathChooser(
        [&](QWidget*, const QString& path, QString&)
        {
            suggested << QFileInfo(path).fileName();
            return QString();
        });
    Item(ID_SAVE_PICTURE).trigger();
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        held.arrivedClock.time_since_epoch());
    EXPECT_EQ(suggested, QStringList{SnapshotFileName(
                             "Gate", 0, QDateTime::fromMSecsSinceEpoch(ms.count()))});

    Key(Qt::Key_Period);
    EXPECT_EQ(Shown(), held.sequence + 1);
    EXPECT_TRUE(ShowsFrame(held.sequence + 1));
    Key(Qt::Key_Comma);
    Key(Qt::Key_Comma);
    EXPECT_EQ(Shown(), held.sequence - 1);
    EXPECT_TRUE(ShowsFrame(held.sequence - 1));

    // The stream stalls: the picture of the past is still the past's, not a frozen one.
    DvrMisbehaviour stalled;
    stalled.pauseFrames = true;
    m_dvr->SetMisbehaviour(stalled);
    ASSERT_TRUE(ProcessEventsUntil(
        [&] { return CPictureAge().FrozenFor(Display().GetStatistics()).has_value(); }, 6000));
    View().repaint();
    EXPECT_FALSE(View().GetPictureConnection().GetShownAge());
    EXPECT_FALSE(View().IsPictureLive());
    Key(Qt::Key_End);
    EXPECT_TRUE(LookBack().GetLookBack().IsLive());
    EXPECT_FALSE(Display().IsShowingPast());
    View().repaint();
    EXPECT_TRUE(View().GetPictureConnection().GetShownAge());
    m_dvr->SetMisbehaviour({});
    const int painted = View().GetPaintedPictures();
    EXPECT_TRUE(ProcessEventsUntil(
        [&] { return View().GetPaintedPictures() > painted + 2 && View().IsPictureLive(); }));
}

// J goes back 10 s by the look-back's clock, set here 10 s past a frame that came,
// so the test needs no 10 s of stream; a channel switch is live again.
TEST_F(LookBackTest, BackTenSecondsShowsTheFrameThatArrivedThenAndAChannelSwitchIsLive)
{
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil([&] { return Newest() >= 12; }));
    const HistoryFrameInfo then = *History().Find(Newest() - 8);
    LookBack().GetLookBack().SetClock(
        LookBackClock{[at = then.arrived + 10s] { return at; },
                      [at = then.arrivedClock + 10s] { return at; }});
    Key(Qt::Key_J);
    EXPECT_EQ(LookBack().GetLookBack().GetState(), CLookBack::State::Playing);
    EXPECT_EQ(Shown(), then.sequence);
    EXPECT_TRUE(ShowsFrame(then.sequence));
    EXPECT_TRUE(LookBack().PastText(0).endsWith(" \u00b7 10 s ago"));
    Key(Qt::Key_L);
    EXPECT_TRUE(LookBack().GetLookBack().IsLive());

    Key(Qt::Key_J);
    ASSERT_TRUE(Display().IsShowingPast());
    Channel(1).trigger();
    EXPECT_TRUE(LookBack().GetLookBack().IsLive());
    EXPECT_FALSE(Display().IsShowingPast());

    // A camera command too; a focused list keeps Space, which opens it.
    ASSERT_TRUE(ProcessEventsUntil([&] { return Newest() > 0; }));
    Key(Qt::Key_J);
    ASSERT_TRUE(Display().IsShowingPast());
    Item(ID_PTZ_CONTROL).trigger();
    CPTZPanels& panels = *View().GetPTZPanels();
    QTest::mouseClick(FindControl<QPushButton>(*panels.Left(), IDC_PTZ_LEFT), Qt::LeftButton);
    EXPECT_TRUE(LookBack().GetLookBack().IsLive());
    QComboBox& presets = *panels.Bar()->PresetList();
    presets.setFocus();
    QTest::keyClick(&presets, Qt::Key_Space);
    EXPECT_TRUE(LookBack().GetLookBack().IsLive());
    EXPECT_TRUE(presets.view()->isVisible());
    presets.hidePopup();
}

// A drag along the timeline at the bottom of the picture shows the frame of each moment.
TEST_F(LookBackTest, DraggingTheTimelineShowsTheFrameOfThatMoment)
{
    ConnectAndWatch();
    // Frames may come in bursts on a slow machine: the two places dragged to must hold
    // different frames, and the second lies at least 600 ms into the span.
    const auto sequenceAt = [&](std::chrono::milliseconds after)
    { return History().FindAt(History().GetSpan()->first + after)->sequence; };
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            return Newest() >= 25 && History().GetSpan()->last - History().GetSpan()->first >= 1s &&
                   sequenceAt(600ms) > sequenceAt(200ms);
        }));
    CTimeline& timeline = LookBack().GetTimeline();
    QTest::mouseMove(&View(), QPoint(View().width() / 2, View().height() - 5));
    ASSERT_TRUE(timeline.isVisible());
    // The span's end is now, so a place on the track moves on in time while frames come
    // in: the moment is the place's time somewhere between before and after the gesture.
    const auto seeksTo = [&](int x, const std::function<void()>& gesture)
    {
        const auto earliest = timeline.TimeAt(x);
        gesture();
        const auto latest = timeline.TimeAt(x);
        const auto moment = LookBack().GetLookBack().GetMoment();
        return moment >= earliest - 20ms && moment <= latest + 20ms;
    };
    const QPoint from(timeline.PositionOf(History().GetSpan()->first + 200ms), 10);
    EXPECT_TRUE(seeksTo(from.x(),
                        [&] { QTest::mousePress(&timeline, Qt::LeftButton, {}, from); }));
    const auto first = History().FindAt(LookBack().GetLookBack().GetMoment());
    ASSERT_TRUE(first);
    EXPECT_EQ(Shown(), first->sequence);
    EXPECT_TRUE(ShowsFrame(first->sequence));

    const QPoint to(from.x() + (timeline.PositionOf(History().GetSpan()->last) - from.x()) / 2, 10);
    EXPECT_TRUE(seeksTo(to.x(),
                        [&]
                        {
                            QTest::mouseMove(&timeline, to);
                            QTest::mouseRelease(&timeline, Qt::LeftButton, {}, to);
                        }));
    const auto second = History().FindAt(LookBack().GetLookBack().GetMoment());
    ASSERT_TRUE(second);
    EXPECT_GT(second->sequence, first->sequence);
    EXPECT_EQ(Shown(), second->sequence);
    EXPECT_TRUE(ShowsFrame(second->sequence));
    QTest::mouseClick(&timeline.GetLiveButton(), Qt::LeftButton);
    EXPECT_FALSE(Display().IsShowingPast());
}

// The look-back keys are no other command's, and leave the camera's and the wall's arrows.
TEST_F(LookBackTest, TheLookBackKeysCollideWithNoOtherKey)
{
    StartViewer(u"");
    std::map<QString, QString> owners;
    const auto own = [&](const QKeySequence& key, const QString& owner)
    {
        const QString text = key.toString(QKeySequence::PortableText);
        const auto [it, added] = owners.emplace(text, owner);
        EXPECT_TRUE(added) << text.toStdString() << ": " << owner.toStdString() << " and "
                           << it->second.toStdString();
    };
    for (QAction* action : Frame().findChildren<QAction*>())
    {
        for (const QKeySequence& key : action->shortcuts())
        {
            own(key, action->objectName());
        }
    }
    for (QShortcut* shortcut : Frame().findChildren<QShortcut*>())
    {
        own(shortcut->key(), "shortcut");
    }
    for (const int key : {Qt::Key_Left, Qt::Key_Right, Qt::Key_Up, Qt::Key_Down, Qt::Key_Plus,
                          Qt::Key_Equal, Qt::Key_Minus, Qt::Key_Return, Qt::Key_Enter})
    {
        own(QKeySequence(key), "camera or wall key");
    }
    const std::pair<unsigned, QList<QKeySequence>> expected[] = {
        {ID_LOOKBACK_PAUSE, {QKeySequence(Qt::Key_Space), QKeySequence(Qt::Key_K)}},
        {ID_LOOKBACK_BACK, {QKeySequence(Qt::Key_J)}},
        {ID_LOOKBACK_FORWARD, {QKeySequence(Qt::Key_L)}},
        {ID_LOOKBACK_PREVIOUS_FRAME, {QKeySequence(Qt::Key_Comma)}},
        {ID_LOOKBACK_NEXT_FRAME, {QKeySequence(Qt::Key_Period)}},
        {ID_LOOKBACK_PREVIOUS_MOTION, {QKeySequence(Qt::SHIFT | Qt::Key_J)}},
        {ID_LOOKBACK_NEXT_MOTION, {QKeySequence(Qt::SHIFT | Qt::Key_L)}},
        {ID_LOOKBACK_LIVE, {QKeySequence(Qt::Key_End)}},
        {ID_LOOKBACK_SAVE_CLIP, {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S)}},
        {ID_LOOKBACK_MARK_IN, {QKeySequence(Qt::Key_BracketLeft)}},
        {ID_LOOKBACK_MARK_OUT, {QKeySequence(Qt::Key_BracketRight)}},
        {ID_LOOKBACK_RECORD, {QKeySequence(Qt::CTRL | Qt::Key_R)}},
    };
    for (const auto& [id, keys] : expected)
    {
        EXPECT_EQ(Item(id).shortcuts(), keys) << id;
    }
}

// The memory chosen is the program's budget and is there at the next start.
TEST_F(LookBackTest, LookBackMemoryIsOneRadioChoiceKeptForTheNextRun)
{
    StartViewer(u"");
    EXPECT_TRUE(Item(ID_LOOKBACK_MEMORY_FIRST + 2).isChecked());
    EXPECT_EQ(m_app->GetHistoryBudget().GetTotal(), size_t{512} << 20);
    Item(ID_LOOKBACK_MEMORY_FIRST + 4).trigger();
    EXPECT_EQ(m_app->GetHistoryBudget().GetTotal(), size_t{2} << 30);
    EXPECT_FALSE(Item(ID_LOOKBACK_MEMORY_FIRST + 2).isChecked());
    m_app.reset();

    StartViewer(u"");
    EXPECT_EQ(m_app->GetHistoryBudget().GetTotal(), size_t{2} << 30);
    for (unsigned id = ID_LOOKBACK_MEMORY_FIRST; id <= ID_LOOKBACK_MEMORY_LAST; ++id)
    {
        EXPECT_EQ(Item(id).isChecked(), id == ID_LOOKBACK_MEMORY_FIRST + 4) << id;
    }
    Item(ID_LOOKBACK_MEMORY_FIRST).trigger();
    EXPECT_EQ(LoadLookBackMemory(*OpenViewerSettings(SettingsFile())), size_t{128} << 20);
}
