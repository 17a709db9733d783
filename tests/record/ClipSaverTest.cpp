// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"
#include "FailingStorage.h"
#include "record/CClipSaver.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace std::chrono_literals;

// A span saved, refused under a name taken, saved over it when asked, failed for want of
// pictures, cancelled while the disk holds a write, and failed by a disk that fills: the
// saver's own thread does the work, and nothing of a save that did not end stays behind.
TEST(ClipSaverTest, SavesExactlyTheFramesBetweenTwoMomentsOrLeavesNothingAndTellsWhy)
{
    StoredCamera camera(250);
    const auto start = std::chrono::steady_clock::now() - 249 * 40ms;
    for (int n = 0; n < 250; ++n)
    {
        camera.Store(start + n * 40ms);
    }
    TempFolder folder;
    WriteBytes(folder.Path() / "other.mkv", "not ours");
    CFailingStorage storage;
    CClipSaver saver(storage);
    std::atomic<int> finished{0};
    // From frame 30 (a moment between 29 and 30) to frame 120 exactly.
    CClipSaver::Request request{folder.Path() / "span.mkv", ClipIdentity{u"Gate", 0},
                                start + 29 * 40ms + 1ms, start + 120 * 40ms};
    ASSERT_TRUE(saver.Start(camera.history, request, [&] { ++finished; }));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Saved);
    EXPECT_EQ(saver.GetError(), u"");
    EXPECT_EQ(saver.GetProgress(), 1.0);
    EXPECT_EQ(saver.GetFrames(), 91u);
    EXPECT_EQ(finished, 1);
    EXPECT_EQ(ExtractJpegs(request.file), camera.Stored(30, 121));
    const ProbedClip clip = Probe(request.file);
    ASSERT_EQ(clip.pts.size(), 91u);
    EXPECT_EQ(clip.pts.back(), 90 * 40);
    const std::vector<std::string> kept{"other.mkv", "span.mkv"};
    EXPECT_EQ(FolderNames(folder.Path()), kept);

    request.from = start;
    request.to = start + 9 * 40ms;
    EXPECT_FALSE(saver.Start(camera.history, request));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Failed);
    EXPECT_NE(saver.GetError().find(u"span.mkv exists already."), std::u16string::npos);
    request.overwrite = true;
    ASSERT_TRUE(saver.Start(camera.history, request));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Saved);
    EXPECT_EQ(ExtractJpegs(request.file), camera.Stored(0, 10));

    // A span the history no longer (or never) held.
    request.from = start - 10s;
    request.to = start - 5s;
    request.file = folder.Path() / "before.mkv";
    ASSERT_TRUE(saver.Start(camera.history, request));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Failed);
    EXPECT_EQ(saver.GetError(), u"There are no pictures to save in this span.");
    EXPECT_EQ(FolderNames(folder.Path()), kept);

    request = {folder.Path() / "clip.mkv", ClipIdentity{u"Gate", 0}, start, start + 250 * 40ms};
    storage.HoldWrites();
    ASSERT_TRUE(saver.Start(camera.history, request));
    ASSERT_TRUE(storage.WaitUntilHeld());
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Saving);
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "clip.mkv.part"));
    CClipSaver::Request second = request;
    second.file = folder.Path() / "second.mkv";
    EXPECT_FALSE(saver.Start(camera.history, second));
    EXPECT_FALSE(saver.Wait(0ms));
    saver.Cancel();
    storage.Release();
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Cancelled);
    EXPECT_EQ(FolderNames(folder.Path()), kept);

    storage.failAfter = storage.Written() + 100000;
    ASSERT_TRUE(saver.Start(camera.history, request));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Failed);
    EXPECT_EQ(saver.GetError(), u"The disk is full.");
    EXPECT_LT(saver.GetProgress(), 1.0);
    EXPECT_EQ(FolderNames(folder.Path()), kept);
    EXPECT_EQ(ReadBytes(folder.Path() / "other.mkv"), "not ours");
}
