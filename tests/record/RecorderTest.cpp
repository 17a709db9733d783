// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"
#include "FailingStorage.h"
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "record/CRecorder.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

namespace
{
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// What the recorder's observer told, for the test to wait on.
class StatusLog
{
public:
    void Attach(CRecorder& recorder)
    {
        recorder.SetObserver(
            [this](const CRecorder::Status& status)
            {
                std::lock_guard lock(m_mutex);
                m_last = status;
                m_changed.notify_all();
            });
    }
    bool WaitFor(const std::function<bool(const CRecorder::Status&)>& done)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, 30s, [&] { return done(m_last); });
    }
    CRecorder::Status Last()
    {
        std::lock_guard lock(m_mutex);
        return m_last;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    CRecorder::Status m_last;
};

// Its pictures made before any is stored, so storing takes no time out of the pre-roll.
struct Camera
{
    explicit Camera(int pictures)
    {
        for (int n = 0; n < pictures; ++n)
        {
            jpegs.push_back(NumberedJpeg(n, 96, 64));
        }
    }
    void Store(Steady::time_point at, uint8_t channel = 2)
    {
        const std::vector<uint8_t>& jpeg = jpegs.at(arrivals.size());
        arrivals.push_back(at);
        history.Store(jpeg.data(), jpeg.size(), FrameAt(at, channel));
    }
    // The pictures stored from the `from`th to before the `to`th, in order.
    std::vector<std::vector<uint8_t>> Stored(size_t from, size_t to = SIZE_MAX) const
    {
        return {jpegs.begin() + static_cast<long>(from),
                jpegs.begin() + static_cast<long>(std::min(to, arrivals.size()))};
    }

    CHistoryBudget budget{64 << 20};
    CFrameHistory history{budget};
    std::vector<std::vector<uint8_t>> jpegs;
    std::vector<Steady::time_point> arrivals;
};

std::vector<std::filesystem::path> Recordings(const std::filesystem::path& folder)
{
    std::vector<std::filesystem::path> files;
    for (const std::string& name : FolderNames(folder))
    {
        files.push_back(folder / name);
    }
    return files;
}
} // namespace

TEST(RecorderTest, RecordsTheTenSecondsBeforeStartAndFollowsTheHistoryUntilStop)
{
    Camera camera(451);
    TempFolder folder;
    // 15 s of frames already kept, the last one now; then 3 s more arrive while recording.
    const Steady::time_point now = Steady::now();
    for (int n = -375; n <= 0; ++n)
    {
        camera.Store(now + n * 40ms);
    }
    StatusLog log;
    CRecorder recorder(camera.history, folder.Path(), u"Gate");
    log.Attach(recorder);
    const Steady::time_point before = Steady::now();
    ASSERT_TRUE(recorder.Start());
    const Steady::time_point after = Steady::now();
    for (int n = 1; n <= 75; ++n)
    {
        camera.Store(now + n * 40ms);
        recorder.Notify();
    }
    const auto since = [&](Steady::time_point from)
    {
        return static_cast<size_t>(std::count_if(camera.arrivals.begin(), camera.arrivals.end(),
                                                 [&](auto at) { return at >= from; }));
    };
    const size_t least = since(after - 10s);
    const size_t most = since(before - 10s);
    EXPECT_GE(least, 75u + 240u);
    ASSERT_TRUE(log.WaitFor([&](const CRecorder::Status& s) { return s.frames >= least; }))
        << log.Last().frames;
    EXPECT_TRUE(recorder.GetStatus().recording);
    recorder.Stop();
    const CRecorder::Status status = recorder.GetStatus();
    EXPECT_FALSE(status.recording);
    EXPECT_EQ(status.stopReason, u"");
    EXPECT_EQ(status.files, 1u);
    EXPECT_GE(status.elapsed, 0ms);
    EXPECT_FALSE(log.Last().recording);

    const std::vector<std::filesystem::path> files = Recordings(folder.Path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(status.file, files[0]);
    EXPECT_TRUE(files[0].filename().string().starts_with("Gate_CH-03_")) << files[0];
    EXPECT_EQ(status.bytes, std::filesystem::file_size(files[0]));
    const size_t first = camera.arrivals.size() - status.frames;
    EXPECT_GE(status.frames, least);
    EXPECT_LE(status.frames, most);
    EXPECT_EQ(ExtractJpegs(files[0]), camera.Stored(first));
    const ProbedClip clip = Probe(files[0]);
    ASSERT_EQ(clip.pts.size(), status.frames);
    for (size_t i = 0; i < clip.pts.size(); ++i)
    {
        EXPECT_EQ(clip.pts[i], static_cast<int64_t>(i) * 40) << i;
    }
    EXPECT_EQ(DecodeErrors(files[0]), "");
}

TEST(RecorderTest, ANewHistoryClosesTheFileAndTheNextFrameStartsAnother)
{
    Camera camera(61);
    TempFolder folder;
    const Steady::time_point now = Steady::now();
    for (int n = -20; n <= 0; ++n)
    {
        camera.Store(now + n * 40ms, 0);
    }
    StatusLog log;
    CRecorder recorder(camera.history, folder.Path(), u"Gate");
    log.Attach(recorder);
    ASSERT_TRUE(recorder.Start());
    ASSERT_TRUE(log.WaitFor([](const CRecorder::Status& s) { return s.frames == 21; }));
    // A reconnect: the history starts over on the same channel, its numbers going on.
    camera.history.Reset();
    for (int n = 1; n <= 10; ++n)
    {
        camera.Store(now + n * 40ms, 0);
    }
    recorder.Notify();
    ASSERT_TRUE(
        log.WaitFor([](const CRecorder::Status& s) { return s.files == 2 && s.frames == 10; }));
    // A channel switch, within the same second: the third file's name takes a number.
    camera.history.Reset();
    for (int n = 11; n <= 40; ++n)
    {
        camera.Store(now + n * 40ms, 5);
    }
    recorder.Notify();
    ASSERT_TRUE(
        log.WaitFor([](const CRecorder::Status& s) { return s.files == 3 && s.frames == 30; }));
    recorder.Stop();

    const std::vector<std::filesystem::path> files = Recordings(folder.Path());
    ASSERT_EQ(files.size(), 3u);
    EXPECT_TRUE(files[0].filename().string().starts_with("Gate_CH-01_")) << files[0];
    EXPECT_TRUE(files[1].filename().string().starts_with("Gate_CH-01_")) << files[1];
    EXPECT_TRUE(files[2].filename().string().starts_with("Gate_CH-06_")) << files[2];
    EXPECT_EQ(ExtractJpegs(files[0]), camera.Stored(0, 21));
    EXPECT_EQ(ExtractJpegs(files[1]), camera.Stored(21, 31));
    EXPECT_EQ(ExtractJpegs(files[2]), camera.Stored(31));
    EXPECT_EQ(Probe(files[1]).tags["title"], "Gate CH-01");
    EXPECT_EQ(Probe(files[2]).tags["title"], "Gate CH-06");
}

TEST(RecorderTest, ALowDiskOrAFailedWriteStopsItWithTheReasonAndAFileThatPlays)
{
    struct Case
    {
        bool diskLow;
        const char16_t* reason;
    };
    for (const Case& c : {Case{true, u"Recording stopped: less than 1 GB is free on the disk."},
                          Case{false, u"The disk is full."}})
    {
        Camera camera(101);
        TempFolder folder;
        CFailingStorage storage;
        RecorderSettings settings;
        settings.spaceCheckEvery = 0ms;
        StatusLog log;
        CRecorder recorder(camera.history, folder.Path(), u"Gate", storage, settings);
        log.Attach(recorder);
        const Steady::time_point now = Steady::now();
        camera.Store(now);
        ASSERT_TRUE(recorder.Start());
        ASSERT_TRUE(log.WaitFor([](const CRecorder::Status& s) { return s.frames == 1; }));
        if (c.diskLow)
        {
            storage.freeBytes = 999999999;
        }
        else
        {
            storage.failAfter = 60000;
        }
        for (int n = 1; n <= 100; ++n)
        {
            camera.Store(now + n * 40ms);
        }
        recorder.Notify();
        ASSERT_TRUE(log.WaitFor([](const CRecorder::Status& s) { return !s.recording; }));
        const CRecorder::Status status = recorder.GetStatus();
        EXPECT_FALSE(status.recording);
        EXPECT_EQ(status.stopReason, c.reason);
        const std::vector<std::filesystem::path> files = Recordings(folder.Path());
        ASSERT_EQ(files.size(), 1u);
        const ProbedClip clip = Probe(files[0]);
        EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
        // Stopped for space, the file is complete; after a failed write, cut at a cluster.
        EXPECT_GE(clip.pts.size(), 1u);
        EXPECT_EQ(clip.pts.size() == status.frames, c.diskLow) << clip.pts.size();
        EXPECT_EQ(DecodeErrors(files[0]), "");
        EXPECT_EQ(ExtractJpegs(files[0]), camera.Stored(0, clip.pts.size()));
        recorder.Stop();
        EXPECT_EQ(recorder.GetStatus().stopReason, c.reason);
    }

    // Too full to begin with: nothing starts.
    Camera camera(1);
    TempFolder folder;
    CFailingStorage storage;
    storage.freeBytes = 1000;
    CRecorder recorder(camera.history, folder.Path(), u"Gate", storage);
    EXPECT_FALSE(recorder.Start());
    EXPECT_EQ(recorder.GetStatus().stopReason,
              u"Recording stopped: less than 1 GB is free on the disk.");
    EXPECT_TRUE(std::filesystem::is_empty(folder.Path()));
}

TEST(RecorderTest, ARecordingKilledFiveSecondsInPlaysUpToTwoSecondsBeforeTheKill)
{
    TempFolder folder;
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
    {
        ::dup2(pipeEnds[1], STDOUT_FILENO);
        ::close(pipeEnds[0]);
        ::execl(QUILLON_RECORDING_CHILD, QUILLON_RECORDING_CHILD, folder.Path().c_str(), nullptr);
        ::_exit(127);
    }
    ::close(pipeEnds[1]);
    FILE* lines = ::fdopen(pipeEnds[0], "r");
    ASSERT_NE(lines, nullptr);

    std::vector<long long> stored;
    long long start = 0;
    Steady::time_point killedAt;
    char what[16];
    long long value = 0;
    while (std::fscanf(lines, "%15s %lld", what, &value) == 2)
    {
        const std::string said = what;
        if (said == "stored")
        {
            stored.push_back(value);
        }
        else if (said == "start")
        {
            start = value;
        }
        // 10 s of pre-roll and 5 s since Start written: the last second may still be in memory.
        else if (said == "written" && value >= 250 + 4 * 25 &&
                 Steady::now().time_since_epoch() >= std::chrono::nanoseconds(start) + 5s)
        {
            killedAt = Steady::now();
            ::kill(child, SIGKILL);
            break;
        }
    }
    std::fclose(lines);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "the child ended by itself";

    const std::vector<std::string> names = FolderNames(folder.Path());
    ASSERT_EQ(names.size(), 1u);
    EXPECT_TRUE(names[0].starts_with("Gate_CH-03_") && names[0].ends_with(".mkv")) << names[0];
    const ProbedClip clip = Probe(folder.Path() / names[0]);
    EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
    // Every frame from 10 s before Start to 2 s before the kill, in order, at its time.
    const long long from = start - 10'000'000'000LL;
    const long long until =
        std::chrono::duration_cast<std::chrono::nanoseconds>(killedAt.time_since_epoch() - 2s)
            .count();
    const auto first =
        std::find_if(stored.begin(), stored.end(), [&](long long at) { return at >= from; });
    ASSERT_NE(first, stored.end());
    const size_t expected = static_cast<size_t>(
        std::count_if(first, stored.end(), [&](long long at) { return at <= until; }));
    EXPECT_GE(expected, 12u * 25u);
    ASSERT_GE(clip.pts.size(), expected);
    for (size_t i = 0; i < expected; ++i)
    {
        EXPECT_NEAR(static_cast<double>(clip.pts[i]), (first[static_cast<long>(i)] - *first) / 1e6,
                    1.0)
            << i;
    }
}
