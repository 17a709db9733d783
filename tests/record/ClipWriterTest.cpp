// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"
#include "FailingStorage.h"
#include "record/CClipWriter.h"
#include "support/FileSystemFaults.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>

namespace
{
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;
using Naming = CClipWriter::Naming;
const ClipIdentity kGate{u"Gate", 0};

struct Written
{
    std::vector<std::vector<uint8_t>> jpegs;
    std::vector<Steady::time_point> arrivals;
};

// Frames `first` to before `last` of a 25 frames/s camera over a network: intervals that
// wander from 37 to 43 ms and off the millisecond, and every tenth frame in a burst 0.3 ms
// after the one before.
void WriteFrames(CClipWriter& writer, Written& written, int first, int last)
{
    Steady::time_point at = Steady::now() - 1h + std::chrono::seconds(first);
    for (int n = first; n < last; ++n)
    {
        at += std::chrono::microseconds(n % 10 == 9 ? 300 : 37000 + (n * 7919) % 6000);
        written.jpegs.push_back(NumberedJpeg(n));
        written.arrivals.push_back(at);
        EXPECT_TRUE(
            writer.Write(FrameAt(at), written.jpegs.back().data(), written.jpegs.back().size()))
            << n;
    }
}
} // namespace

TEST(ClipWriterTest, IndependentToolsFindEveryJpegUnchangedAtItsArrivalTime)
{
    TempFolder folder;
    const auto file = folder.Path() / "Gate_CH-03.mkv";
    CClipWriter writer;
    ASSERT_TRUE(writer.Open(file, ClipIdentity{u"Gate", 2}, Naming::PartThenRename));
    EXPECT_TRUE(std::filesystem::exists(folder.Path() / "Gate_CH-03.mkv.part"));

    Written written;
    WriteFrames(writer, written, 0, 40);
    // A frame without a picture and one that is no JPEG are left out, the rest goes on.
    HistoryFrameInfo lost = FrameAt(Steady::now());
    lost.videoLoss = true;
    const std::vector<uint8_t> junk{0x12, 0x34, 0x56, 0x78, 0x9a};
    EXPECT_TRUE(writer.Write(lost, junk.data(), junk.size()));
    EXPECT_TRUE(writer.Write(FrameAt(Steady::now()), junk.data(), junk.size()));
    WriteFrames(writer, written, 40, 60);
    const auto firstClock = FrameAt(written.arrivals[0]).arrivedClock;
    ASSERT_TRUE(writer.Finish()) << std::string(writer.GetError().begin(), writer.GetError().end());
    EXPECT_EQ(writer.GetFrames(), 60u);
    EXPECT_EQ(writer.GetSkippedFrames(), 2u);
    EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"Gate_CH-03.mkv"});
    EXPECT_EQ(writer.GetBytes(), std::filesystem::file_size(file));

    ProbedClip clip = Probe(file);
    EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
    EXPECT_EQ(clip.errors, "");
    EXPECT_EQ(clip.codecs, std::vector<std::string>{"mjpeg"});
    EXPECT_EQ(clip.width, 176);
    EXPECT_EQ(clip.height, 144);
    ASSERT_EQ(clip.pts.size(), 60u);
    for (size_t i = 0; i < 60; ++i)
    {
        const auto since =
            std::chrono::duration<double, std::milli>(written.arrivals[i] - written.arrivals[0]);
        EXPECT_LE(std::abs(static_cast<double>(clip.pts[i]) - since.count()), 1.0) << i;
    }
    EXPECT_EQ(clip.tags["title"], "Gate CH-03");
    EXPECT_EQ(clip.tags["dvr"], "Gate");
    EXPECT_EQ(clip.tags["channel"], "CH-03");
    // The creation time is the first frame's, in UTC, to the second at least.
    const std::time_t seconds =
        std::chrono::system_clock::to_time_t(std::chrono::floor<std::chrono::seconds>(firstClock));
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char expected[32];
    std::strftime(expected, sizeof expected, "%Y-%m-%dT%H:%M:%S", &utc);
    EXPECT_EQ(clip.tags["creation_time"].substr(0, 19), expected);

    EXPECT_EQ(ExtractJpegs(file), written.jpegs);
    EXPECT_EQ(DecodeErrors(file), "");
}

TEST(ClipWriterTest, AFileCutAtAnyMomentPlaysUpToItsLastSecond)
{
    TempFolder folder;
    const auto file = folder.Path() / "cut.mkv";
    CClipWriter writer;
    ASSERT_TRUE(writer.Open(file, kGate, Naming::FinalName));
    // A slow camera of small pictures, 2.5 frames/s, whose clusters only the second bounds;
    // after every 5th frame the file as it stands is what a crash leaves.
    const Steady::time_point start = Steady::now() - 1h;
    std::vector<Steady::time_point> arrivals;
    int cuts = 0;
    for (int n = 0; n < 40; ++n)
    {
        const std::vector<uint8_t> jpeg = NumberedJpeg(n, 16, 16);
        arrivals.push_back(start + n * 400ms);
        ASSERT_TRUE(writer.Write(FrameAt(arrivals.back()), jpeg.data(), jpeg.size()));
        if (n % 5 != 4)
        {
            continue;
        }
        const auto cut = folder.Path() / ("cut" + std::to_string(++cuts) + ".mkv");
        std::filesystem::copy_file(file, cut);
        const auto olderThan = [&](Steady::duration age)
        {
            return static_cast<size_t>(std::count_if(arrivals.begin(), arrivals.end(),
                                                     [&](Steady::time_point at)
                                                     { return at < arrivals.back() - age; }));
        };
        const size_t olderThanASecond = olderThan(1s);
        const ProbedClip clip = Probe(cut);
        EXPECT_EQ(clip.exitStatus, 0) << "cut " << cuts << ": " << clip.errors;
        EXPECT_GE(clip.pts.size(), olderThanASecond) << "cut " << cuts;
        EXPECT_EQ(DecodeErrors(cut), "") << "cut " << cuts;
        // Cut inside its last cluster too: the whole clusters before it still play.
        std::filesystem::resize_file(cut, std::filesystem::file_size(cut) - 100);
        EXPECT_GE(Probe(cut).pts.size(), olderThan(2s)) << "cut " << cuts;
    }
    EXPECT_EQ(cuts, 8);
    // A camera gone silent: Flush puts its last cluster on disk without waiting for more.
    EXPECT_LT(Probe(file).pts.size(), 40u);
    ASSERT_TRUE(writer.Flush());
    EXPECT_EQ(Probe(file).pts.size(), 40u);
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(Probe(file).pts.size(), 40u);
}

TEST(ClipWriterTest, AWriteThatFailsIsToldAndLeavesWhatPlaysOrNothing)
{
    struct Case
    {
        CClipWriter::Naming naming;
        int error;
        const char16_t* message;
    };
    for (const Case& c : {Case{Naming::FinalName, ENOSPC, u"The disk is full."},
                          Case{Naming::PartThenRename, ENOSPC, u"The disk is full."},
                          Case{Naming::FinalName, EIO, nullptr}})
    {
        TempFolder folder;
        WriteBytes(folder.Path() / "other.mkv", "not ours");
        const auto file = folder.Path() / "clip.mkv";
        CFailingStorage storage;
        storage.failAfter = 150000;
        storage.error = c.error;
        CClipWriter writer(storage);
        ASSERT_TRUE(writer.Open(file, kGate, c.naming));
        bool failed = false;
        for (int n = 0; n < 300 && !failed; ++n)
        {
            const std::vector<uint8_t> jpeg = NumberedJpeg(n % 10);
            failed =
                !writer.Write(FrameAt(Steady::now() - 1h + n * 40ms), jpeg.data(), jpeg.size());
        }
        ASSERT_TRUE(failed);
        EXPECT_FALSE(writer.IsOpen());
        EXPECT_FALSE(writer.Finish());
        if (c.message)
        {
            EXPECT_EQ(writer.GetError(), c.message);
        }
        else
        {
            EXPECT_NE(writer.GetError().find(u"clip.mkv could not be written: Input/output error"),
                      std::u16string::npos);
        }
        EXPECT_EQ(ReadBytes(folder.Path() / "other.mkv"), "not ours");
        if (c.naming == Naming::PartThenRename)
        {
            EXPECT_EQ(FolderNames(folder.Path()), std::vector<std::string>{"other.mkv"});
            continue;
        }
        // Cut back to its last whole cluster: every frame in it decodes, nothing is damaged.
        EXPECT_EQ(FolderNames(folder.Path()), (std::vector<std::string>{"clip.mkv", "other.mkv"}));
        EXPECT_LE(std::filesystem::file_size(file), 150000u);
        EXPECT_GT(Probe(file).pts.size(), 10u);
        EXPECT_EQ(DecodeErrors(file), "");
    }
}

TEST(ClipWriterTest, NamesTakenFoldersUnwritableAndEmptyClipsAreToldWithNothingLeft)
{
    TempFolder folder;
    const auto file = folder.Path() / "clip.mkv";
    WriteBytes(file, "kept");
    const std::vector<uint8_t> jpeg = NumberedJpeg(1);

    CClipWriter writer;
    EXPECT_FALSE(writer.Open(file, kGate, Naming::PartThenRename));
    EXPECT_EQ(writer.GetError(), u"" + std::u16string(file.u16string()) + u" exists already.");
    EXPECT_FALSE(writer.Open(file, kGate, Naming::FinalName));
    EXPECT_EQ(ReadBytes(file), "kept");

    // The name taken while the clip was written: without overwrite it is kept whole.
    ASSERT_TRUE(writer.Open(folder.Path() / "late.mkv", kGate, Naming::PartThenRename));
    ASSERT_TRUE(writer.Write(FrameAt(Steady::now()), jpeg.data(), jpeg.size()));
    WriteBytes(folder.Path() / "late.mkv", "came first");
    EXPECT_FALSE(writer.Finish());
    EXPECT_NE(writer.GetError().find(u"late.mkv exists already."), std::u16string::npos);
    EXPECT_EQ(ReadBytes(folder.Path() / "late.mkv"), "came first");

    // Asked and answered: overwrite replaces it.
    ASSERT_TRUE(writer.Open(file, kGate, Naming::PartThenRename, true));
    ASSERT_TRUE(writer.Write(FrameAt(Steady::now()), jpeg.data(), jpeg.size()));
    ASSERT_TRUE(writer.Finish());
    EXPECT_EQ(Probe(file).pts.size(), 1u);

    // Nothing to save: told, and neither file nor ".part" stays.
    for (const auto naming : {Naming::PartThenRename, Naming::FinalName})
    {
        ASSERT_TRUE(writer.Open(folder.Path() / "empty.mkv", kGate, naming));
        EXPECT_FALSE(writer.Finish());
        EXPECT_EQ(writer.GetError(), u"There are no pictures to save in this span.");
    }
    // Abort drops the clip under way.
    ASSERT_TRUE(writer.Open(folder.Path() / "dropped.mkv", kGate, Naming::PartThenRename));
    ASSERT_TRUE(writer.Write(FrameAt(Steady::now()), jpeg.data(), jpeg.size()));
    writer.Abort();
    EXPECT_EQ(FolderNames(folder.Path()), (std::vector<std::string>{"clip.mkv", "late.mkv"}));

    const auto locked = folder.Path() / "locked";
    std::filesystem::create_directory(locked);
    {
        ReadOnlyFolder readOnly(locked);
        EXPECT_FALSE(writer.Open(locked / "clip.mkv", kGate, Naming::PartThenRename));
        EXPECT_EQ(writer.GetError(), u"Quillon cannot write to " + locked.u16string() + u".");
    }
    EXPECT_TRUE(std::filesystem::is_empty(locked));
}
