// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"
#include "FailingStorage.h"
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "record/CClipSaver.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

namespace
{
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// A history of `count` frames 40 ms apart, the last one now.
struct FilledHistory
{
    explicit FilledHistory(int count) : start(Steady::now() - (count - 1) * 40ms)
    {
        for (int n = 0; n < count; ++n)
        {
            jpegs.push_back(NumberedJpeg(n, 96, 64));
            history.Store(jpegs.back().data(), jpegs.back().size(), FrameAt(start + n * 40ms));
        }
    }
    CHistoryBudget budget{64 << 20};
    CFrameHistory history{budget};
    Steady::time_point start;
    std::vector<std::vector<uint8_t>> jpegs;
};
} // namespace

TEST(ClipSaverTest, SavesExactlyTheFramesBetweenTwoMomentsOnItsOwnThread)
{
    FilledHistory filled(200);
    TempFolder folder;
    CClipSaver saver;
    std::atomic<int> finished{0};
    // From frame 30 (a moment between 29 and 30) to frame 120 exactly.
    CClipSaver::Request request{folder.Path() / "span.mkv", ClipIdentity{u"Gate", 0},
                                filled.start + 29 * 40ms + 1ms, filled.start + 120 * 40ms};
    ASSERT_TRUE(saver.Start(filled.history, request, [&] { ++finished; }));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Saved);
    EXPECT_EQ(saver.GetError(), u"");
    EXPECT_EQ(saver.GetProgress(), 1.0);
    EXPECT_EQ(saver.GetFrames(), 91u);
    EXPECT_EQ(finished, 1);

    const std::vector<std::vector<uint8_t>> expected(filled.jpegs.begin() + 30,
                                                     filled.jpegs.begin() + 121);
    EXPECT_EQ(ExtractJpegs(request.file), expected);
    const ProbedClip clip = Probe(request.file);
    ASSERT_EQ(clip.pts.size(), 91u);
    EXPECT_EQ(clip.pts.back(), 90 * 40);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"span.mkv"});

    // The same name again: refused unless the caller says to overwrite.
    request.from = filled.start;
    request.to = filled.start + 9 * 40ms;
    EXPECT_FALSE(saver.Start(filled.history, request));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Failed);
    EXPECT_NE(saver.GetError().find(u"span.mkv exists already."), std::u16string::npos);
    request.overwrite = true;
    ASSERT_TRUE(saver.Start(filled.history, request));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Saved);
    EXPECT_EQ(ExtractJpegs(request.file),
              std::vector<std::vector<uint8_t>>(filled.jpegs.begin(), filled.jpegs.begin() + 10));

    // A span the history no longer (or never) held.
    request.from = filled.start - 10s;
    request.to = filled.start - 5s;
    request.file = folder.Path() / "before.mkv";
    ASSERT_TRUE(saver.Start(filled.history, request));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Failed);
    EXPECT_EQ(saver.GetError(), u"There are no pictures to save in this span.");
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"span.mkv"});
}

TEST(ClipSaverTest, ACancelledOrFailedSaveLeavesNothingAndTellsWhy)
{
    FilledHistory filled(250);
    TempFolder folder;
    WriteBytes(folder.Path() / "other.mkv", "not ours");
    CFailingStorage storage;
    CClipSaver saver(storage);
    CClipSaver::Request request{folder.Path() / "clip.mkv", ClipIdentity{u"Gate", 0}, filled.start,
                                filled.start + 250 * 40ms};

    // Cancelled while the disk holds a write: the saver ends and removes its ".part".
    storage.HoldWrites();
    ASSERT_TRUE(saver.Start(filled.history, request));
    ASSERT_TRUE(storage.WaitUntilHeld());
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Saving);
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "clip.mkv.part"));
    CClipSaver::Request second = request;
    second.file = folder.Path() / "second.mkv";
    EXPECT_FALSE(saver.Start(filled.history, second));
    EXPECT_FALSE(saver.Wait(0ms));
    saver.Cancel();
    storage.Release();
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Cancelled);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"other.mkv"});

    // The disk fills part-way.
    storage.failAfter = 100000;
    ASSERT_TRUE(saver.Start(filled.history, request));
    ASSERT_TRUE(saver.Wait(30s));
    EXPECT_EQ(saver.GetState(), CClipSaver::State::Failed);
    EXPECT_EQ(saver.GetError(), u"The disk is full.");
    EXPECT_LT(saver.GetProgress(), 1.0);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"other.mkv"});
    EXPECT_EQ(ReadBytes(folder.Path() / "other.mkv"), "not ours");
}
