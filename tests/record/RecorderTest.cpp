// SPDX-License-Identifier: GPL-3.0-or-later
#include "ClipTools.h"
#include "FailingStorage.h"
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
} // namespace

TEST(RecorderTest, RecordsTheTenSecondsBeforeStartAndFollowsTheHistoryUntilStop)
{
    StoredCamera camera(451);
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

    const std::vector<std::string> names = FolderNames(folder.Path());
    ASSERT_EQ(names.size(), 1u);
    const std::filesystem::path file = folder.Path() / names[0];
    EXPECT_EQ(status.file, file);
    EXPECT_TRUE(names[0].starts_with("Gate_CH-03_")) << names[0];
    EXPECT_EQ(status.bytes, std::filesystem::file_size(file));
    EXPECT_GE(status.frames, least);
    EXPECT_LE(status.frames, most);
    EXPECT_EQ(ExtractJpegs(file), camera.Stored(camera.arrivals.size() - status.frames));
    const ProbedClip clip = Probe(file);
    ASSERT_EQ(clip.pts.size(), status.frames);
    for (size_t i = 0; i < clip.pts.size(); ++i)
    {
        EXPECT_EQ(clip.pts[i], static_cast<int64_t>(i) * 40) << i;
    }
    EXPECT_EQ(DecodeErrors(file), "");
}

TEST(RecorderTest, ANewHistoryClosesTheFileAndTheNextFrameStartsAnother)
{
    StoredCamera camera(61);
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
    // A reconnect: the history starts over on the same channel, its numbers going on; then
    // a channel switch. Each new history's first frame starts a file of its own.
    for (const auto& [first, last, channel] : {std::tuple{1, 10, 0}, std::tuple{11, 40, 5}})
    {
        camera.history.Reset();
        for (int n = first; n <= last; ++n)
        {
            camera.Store(now + n * 40ms, static_cast<uint8_t>(channel));
        }
        recorder.Notify();
        const size_t frames = static_cast<size_t>(last - first + 1);
        const size_t files = channel == 0 ? 2 : 3;
        ASSERT_TRUE(log.WaitFor([&](const CRecorder::Status& s)
                                { return s.files == files && s.frames == frames; }));
    }
    recorder.Stop();

    const std::vector<std::string> names = FolderNames(folder.Path());
    ASSERT_EQ(names.size(), 3u);
    const std::tuple<std::string, size_t, size_t> files[] = {
        {"CH-01", 0, 21}, {"CH-01", 21, 31}, {"CH-06", 31, 61}};
    for (size_t i = 0; i < names.size(); ++i)
    {
        const auto& [channel, from, to] = files[i];
        EXPECT_TRUE(names[i].starts_with("Gate_" + channel + "_")) << names[i];
        EXPECT_EQ(ExtractJpegs(folder.Path() / names[i]), camera.Stored(from, to)) << names[i];
        EXPECT_EQ(Probe(folder.Path() / names[i]).tags["title"], "Gate " + channel);
    }
}

TEST(RecorderTest, ALowDiskOrAFailedWriteStopsItWithTheReasonAndAFileThatPlays)
{
    struct Case
    {
        std::atomic<uint64_t> CFailingStorage::*fault;
        uint64_t value;
        const char16_t* reason;
    };
    for (const Case& c : {Case{&CFailingStorage::freeBytes, 999999999,
                               u"Recording stopped: less than 1 GB is free on the disk."},
                          Case{&CFailingStorage::failAfter, 60000, u"The disk is full."}})
    {
        const bool diskLow = c.fault == &CFailingStorage::freeBytes;
        StoredCamera camera(101);
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
        storage.*c.fault = c.value;
        for (int n = 1; n <= 100; ++n)
        {
            camera.Store(now + n * 40ms);
        }
        recorder.Notify();
        ASSERT_TRUE(log.WaitFor([](const CRecorder::Status& s) { return !s.recording; }));
        const CRecorder::Status status = recorder.GetStatus();
        EXPECT_FALSE(status.recording);
        EXPECT_EQ(status.stopReason, c.reason);
        const std::vector<std::string> names = FolderNames(folder.Path());
        ASSERT_EQ(names.size(), 1u);
        const std::filesystem::path file = folder.Path() / names[0];
        const ProbedClip clip = Probe(file);
        EXPECT_EQ(clip.exitStatus, 0) << clip.errors;
        // Stopped for space, the file is complete; after a failed write, cut at a cluster.
        EXPECT_GE(clip.pts.size(), 1u);
        EXPECT_EQ(clip.pts.size() == status.frames, diskLow) << clip.pts.size();
        EXPECT_EQ(DecodeErrors(file), "");
        EXPECT_EQ(ExtractJpegs(file), camera.Stored(0, clip.pts.size()));
        recorder.Stop();
        EXPECT_EQ(recorder.GetStatus().stopReason, c.reason);
    }

    // Too full to begin with: nothing starts.
    StoredCamera camera(1);
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
