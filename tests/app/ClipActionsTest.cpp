// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "../record/ClipTools.h"
#include "platform/MessageBoxSeam.h"
#include "support/ClipHome.h"
#include "support/FileSystemFaults.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"

#include <QDialogButtonBox>
#include <QFileDialog>

#include <optional>

using namespace std::chrono_literals;

namespace
{
class ClipActionsTest : public ViewerFixture
{
protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        m_home.emplace(m_folder.Path() / "home");
    }
    void TearDown() override
    {
        ViewerFixture::TearDown();
        m_home.reset();
    }

    CFrameHistory& History() { return View().GetClient().GetPictureDisplay().GetHistory(); }
    CClipActions& Clips() { return View().GetLookBack().GetClips(); }
    void Key(int key, Qt::KeyboardModifiers modifiers = {})
    {
        QTest::keyClick(&View(), static_cast<Qt::Key>(key), modifiers);
    }

    // Ctrl+Shift+S with the proposed name taken as it is, or `chosen`; the name proposed.
    std::filesystem::path SaveAsProposed(const QString& chosen = {})
    {
        // A dialog closed a moment ago may have left the window inactive, and its keys with it.
        Frame().activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Frame()));
        QString proposed;
        Clips().SetFileChooser(
            [&](QWidget*, const QString& suggested)
            {
                proposed = suggested;
                return chosen.isEmpty() ? suggested : chosen;
            });
        Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
        EXPECT_TRUE(Clips().GetSaver().Wait(10s));
        return std::filesystem::path(proposed.toStdU16String());
    }

    std::optional<ClipHome> m_home;
};
} // namespace

// The real save dialog proposes the DVR, channel and start in the Videos folder; the
// 30 s before now are saved, stored at chosen arrival times instead of waited for.
// A name that exists is asked about, and a No leaves the clip as it was.
TEST_F(ClipActionsTest, SaveClipWritesTheThirtySecondsBeforeNowUnderTheProposedName)
{
    ConnectAndWatch();
    Item(ID_DISCONNECT).trigger();
    const auto now = std::chrono::steady_clock::now();
    // Two seconds apart, so a slow machine's time from here to the save moves no frame
    // across the span's start: fifteen are in the 30 s.
    for (int second = 48; second >= 0; second -= 2)
    {
        const std::vector<uint8_t> jpeg = NumberedJpeg(second);
        History().Store(jpeg.data(), jpeg.size(),
                        FrameAt(now - std::chrono::seconds(second) - 10ms, 0));
    }
    QString proposed;
    m_driver.Then(
        [&](QWidget& modal)
        {
            auto* dialog = qobject_cast<QFileDialog*>(&modal);
            if (dialog == nullptr)
            {
                return false;
            }
            proposed = dialog->selectedFiles().value(0);
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            QTest::mouseClick(buttons->button(QDialogButtonBox::Save), Qt::LeftButton);
            return true;
        });
    Key(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(Clips().GetSaver().Wait(10s));
    ASSERT_TRUE(m_driver.Idle());
    const std::filesystem::path file(proposed.toStdU16String());
    EXPECT_EQ(file.parent_path(), m_home->Clips());
    EXPECT_TRUE(file.filename().string().starts_with("Gate_CH-01_")) << file;
    EXPECT_EQ(file.extension(), ".mkv");
    ASSERT_EQ(Clips().GetSaver().GetState(), CClipSaver::State::Saved)
        << QString::fromStdU16String(Clips().GetSaver().GetError()).toStdString();
    const ProbedClip clip = Probe(file);
    EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
    EXPECT_EQ(clip.pts.size(), 15u);
    EXPECT_EQ(FolderNames(m_home->Clips()), std::vector<std::string>{file.filename().string()});

    const std::string before = ReadBytes(file);
    MessageBoxSeam seam;
    SaveAsProposed(proposed);
    ASSERT_EQ(seam.Shown().size(), 1u);
    EXPECT_EQ(seam.Shown()[0].buttons, MessageBoxButtons::YesNo);
    EXPECT_NE(seam.Shown()[0].text.find(file.filename().u16string()), std::u16string::npos);
    EXPECT_EQ(ReadBytes(file), before);
    EXPECT_EQ(FolderNames(m_home->Clips()).size(), 1u);
}

// "[" and "]" at frames stepped to save exactly those frames, their JPEGs as they came.
TEST_F(ClipActionsTest, MarkInAndMarkOutSaveExactlyTheFramesBetweenThem)
{
    ConnectAndWatch();
    ASSERT_TRUE(ProcessEventsUntil([&] { return History().GetSpan()->frames >= 20; }, 10000));
    Key(Qt::Key_K);
    for (int i = 0; i < 12; ++i)
    {
        Key(Qt::Key_Comma);
    }
    Key(Qt::Key_BracketLeft);
    for (int i = 0; i < 5; ++i)
    {
        Key(Qt::Key_Period);
    }
    Key(Qt::Key_BracketRight);
    const auto [from, to] = Clips().SaveSpan();
    std::vector<std::vector<uint8_t>> expected;
    History().ReadBetween(from, to, [&](const HistoryFrameInfo&, const uint8_t* jpeg, size_t length)
                          { expected.emplace_back(jpeg, jpeg + length); });
    EXPECT_EQ(expected.size(), 6u);
    const std::filesystem::path file = SaveAsProposed();
    ASSERT_EQ(Clips().GetSaver().GetState(), CClipSaver::State::Saved);
    EXPECT_EQ(ExtractJpegs(file), expected);
}

// Root or not, a folder that takes no file is told with its name and left empty.
TEST_F(ClipActionsTest, ASaveIntoAReadOnlyFolderIsToldAndLeavesNothing)
{
    ConnectAndWatch();
    std::filesystem::create_directories(m_home->Clips());
    MessageBoxSeam seam;
    {
        ReadOnlyFolder readOnly(m_home->Clips());
        SaveAsProposed();
        ProcessEventsUntil([&] { return !seam.Shown().empty(); });
    }
    ASSERT_EQ(seam.Shown().size(), 1u);
    EXPECT_NE(seam.Shown()[0].text.find(m_home->Clips().u16string()), std::u16string::npos)
        << QString::fromStdU16String(seam.Shown()[0].text).toStdString();
    EXPECT_TRUE(FolderNames(m_home->Clips()).empty());
}

// Ctrl+R records with the REC mark over the picture; Disconnect stops it, unchecks
// the item and leaves a complete file of every frame it wrote.
TEST_F(ClipActionsTest, RecordShowsItsMarkAndDisconnectCompletesTheFile)
{
    ConnectAndWatch();
    Key(Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(Item(ID_LOOKBACK_RECORD).isChecked());
    ASSERT_TRUE(ProcessEventsUntil(
        [&]
        {
            const auto status = Clips().GetRecorderStatus(0);
            return status && status->frames >= 10;
        },
        10000));
    EXPECT_TRUE(Clips().RecordingText(0).startsWith("REC 00:00:")) << Clips().RecordingText(0).toStdString();
    Item(ID_DISCONNECT).trigger();
    EXPECT_FALSE(Item(ID_LOOKBACK_RECORD).isChecked());
    EXPECT_EQ(Clips().GetRecorderCount(), 0u);
    EXPECT_TRUE(Clips().RecordingText(0).isEmpty());
    const std::vector<std::string> names = FolderNames(m_home->Clips());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with("Gate_CH-01_"));
    const ProbedClip clip = Probe(m_home->Clips() / names[0]);
    EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
    EXPECT_GE(clip.pts.size(), 10u);
}

// A write that fails mid-recording stops Record by itself: the item unchecks, the
// reason is told once and the file so far still plays.
TEST_F(ClipActionsTest, ARecordingWhoseWriteFailsStopsAndIsToldOnce)
{
    ConnectAndWatch();
    MessageBoxSeam seam;
    {
        FileSizeLimit limit(64 * 1024);
        Key(Qt::Key_R, Qt::ControlModifier);
        ASSERT_TRUE(ProcessEventsUntil([&] { return !Clips().IsRecording(); }, 10000));
    }
    EXPECT_FALSE(Item(ID_LOOKBACK_RECORD).isChecked());
    EXPECT_EQ(Clips().GetRecorderCount(), 0u);
    // Every recorder has been joined: what they posted is all in the queue now.
    QCoreApplication::processEvents();
    ASSERT_EQ(seam.Shown().size(), 1u);
    EXPECT_FALSE(seam.Shown()[0].text.empty());
    const std::vector<std::string> names = FolderNames(m_home->Clips());
    ASSERT_EQ(names.size(), 1u);
    const ProbedClip clip = Probe(m_home->Clips() / names[0]);
    EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
    EXPECT_FALSE(clip.pts.empty());
}
