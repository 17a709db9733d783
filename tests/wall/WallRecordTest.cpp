// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/ViewerFixture.h"

#include "../record/ClipTools.h"
#include "support/ClipHome.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"
#include "wall/CWallSwitcher.h"

#include <optional>

using namespace std::chrono_literals;

namespace
{
class WallRecordTest : public ViewerFixture
{
protected:
    void SetUp() override
    {
        ViewerFixture::SetUp();
        DvrSimSettings settings;
        settings.channelCount = 4;
        settings.framesPerSecond = 25;
        StartDvr(settings); // every channel with video: each tile has pictures to record
        m_home.emplace(m_folder.Path() / "home");
    }
    void TearDown() override
    {
        ViewerFixture::TearDown();
        m_home.reset();
    }

    CCameraWall& Wall() { return m_app->GetWallSwitcher()->GetWall(); }
    CClipActions& WallClips() { return Wall().GetLookBack().GetClips(); }
    CClipActions& ViewClips() { return View().GetLookBack().GetClips(); }

    bool FramesWritten(CClipActions& clips, size_t index, size_t frames)
    {
        return ProcessEventsUntil(
            [&]
            {
                const auto status = clips.GetRecorderStatus(index);
                return status && status->frames >= frames;
            },
            10000);
    }

    std::optional<ClipHome> m_home;
};
} // namespace

// Record on a 2 x 2 wall makes one file per tile. An opened tile's camera goes on
// recording in the single view, back on the wall in its tile again; leaving the
// wall stops every recorder, and each file plays.
TEST_F(WallRecordTest, RecordOnAWallWritesOneFilePerTileAndFollowsTheOpenedCamera)
{
    WatchTwoByTwoWall();
    Frame().activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&Frame()));

    QTest::keyClick(&Wall(), Qt::Key_R, Qt::ControlModifier);
    EXPECT_TRUE(Item(ID_LOOKBACK_RECORD).isChecked());
    ASSERT_EQ(WallClips().GetRecorderCount(), 4u);
    for (size_t i = 0; i < 4; ++i)
    {
        ASSERT_TRUE(FramesWritten(WallClips(), i, 5)) << i;
    }
    EXPECT_TRUE(ProcessEventsUntil([&] { return !Wall().GetTile(2).GetRecordingText().isEmpty(); }));
    EXPECT_EQ(FolderNames(m_home->Clips()).size(), 4u);

    QTest::mouseDClick(&Wall().GetTile(1), Qt::LeftButton);
    ASSERT_TRUE(ProcessEventsUntil([&] { return View().isVisible(); }));
    EXPECT_EQ(WallClips().GetRecorderCount(), 3u);
    EXPECT_FALSE(WallClips().GetRecorderStatus(1));
    EXPECT_TRUE(ViewClips().IsRecording());
    ASSERT_TRUE(FramesWritten(ViewClips(), 0, 5));

    QTest::keyClick(&View(), Qt::Key_Escape);
    ASSERT_TRUE(ProcessEventsUntil([&] { return Wall().isVisible(); }));
    EXPECT_FALSE(ViewClips().IsRecording());
    EXPECT_EQ(WallClips().GetRecorderCount(), 4u);
    ASSERT_TRUE(FramesWritten(WallClips(), 1, 5));

    Item(ID_LAYOUT_SINGLE).trigger();
    EXPECT_EQ(WallClips().GetRecorderCount(), 0u);
    EXPECT_FALSE(WallClips().IsRecording());
    const std::vector<std::string> names = FolderNames(m_home->Clips());
    ASSERT_EQ(names.size(), 6u);
    for (const char* channel : {"CH-01", "CH-02", "CH-03", "CH-04"})
    {
        EXPECT_TRUE(std::any_of(names.begin(), names.end(), [&](const std::string& name)
                                { return name.find(channel) != std::string::npos; }))
            << channel;
    }
    for (const std::string& name : names)
    {
        const ProbedClip clip = Probe(m_home->Clips() / name);
        EXPECT_EQ(clip.exitStatus, 0) << name << clip.errors;
        EXPECT_FALSE(clip.pts.empty()) << name;
    }
}
