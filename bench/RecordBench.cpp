// SPDX-License-Identifier: GPL-3.0-or-later
// What keeping frames costs. A saved clip against a plain write of the same JPEG
// bytes to the same folder (each made durable before it counts as written), and
// the CPU that sixteen recorders take while sixteen cameras at 25 frames/s fill
// their histories, as a 4 x 4 wall being recorded does.
#include "BenchFrames.h"
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "record/CClipSaver.h"
#include "record/CRecorder.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

constexpr bench::FrameSize kSize{704, 480};
constexpr int kClipFrames = 5 * 60 * 25;
constexpr int kCameras = 16;
constexpr auto kRecordFor = 8s;

// A second of the camera scene, 25 different pictures.
const std::vector<std::vector<uint8_t>>& SceneSecond()
{
    static std::vector<std::vector<uint8_t>> frames;
    if (frames.empty())
    {
        const std::chrono::system_clock::time_point noon{std::chrono::hours(12)};
        for (int n = 0; n < 25; ++n)
        {
            frames.push_back(JpegEncoder::Encode(
                TestScene::Render(0, CameraState{}, PictureSize{704, 480}, noon + n * 40ms),
                bench::kSceneQuality));
        }
    }
    return frames;
}

// On the disk the user's videos would be on, not in a memory file system.
std::filesystem::path BenchFolder()
{
    std::filesystem::path folder = std::filesystem::current_path() / "quillon-bench-record";
    std::filesystem::create_directories(folder);
    return folder;
}

HistoryFrameInfo Frame(Steady::time_point at)
{
    HistoryFrameInfo info;
    info.arrived = at;
    info.arrivedClock = std::chrono::system_clock::now();
    info.channel = 0;
    info.kind = 2;
    return info;
}

struct FiveMinutes
{
    FiveMinutes()
    {
        const auto& second = SceneSecond();
        for (int n = 0; n < kClipFrames; ++n)
        {
            const auto& jpeg = second[n % second.size()];
            history.Store(jpeg.data(), jpeg.size(), Frame(start + n * 40ms));
            bytes += jpeg.size();
        }
    }
    CHistoryBudget budget{1ull << 30};
    CFrameHistory history{budget, std::chrono::minutes(30)};
    Steady::time_point start = Steady::now() - 1h;
    size_t bytes = 0;
};

FiveMinutes& Clip()
{
    static FiveMinutes clip;
    return clip;
}

double CpuSeconds(int who)
{
    rusage usage{};
    ::getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void SaveClip(benchmark::State& state)
{
    FiveMinutes& clip = Clip();
    const std::filesystem::path file = BenchFolder() / "clip.mkv";
    CClipSaver saver;
    double cpu = 0;
    for (auto _ : state)
    {
        const double cpuBefore = CpuSeconds(RUSAGE_SELF);
        const CClipSaver::Request request{file, ClipIdentity{u"Bench", 0}, clip.start,
                                          clip.start + kClipFrames * 40ms, true};
        if (!saver.Start(clip.history, request) || !saver.Wait(10min) ||
            saver.GetState() != CClipSaver::State::Saved)
        {
            state.SkipWithError("the clip was not saved");
            break;
        }
        cpu += CpuSeconds(RUSAGE_SELF) - cpuBefore;
        state.PauseTiming();
        std::filesystem::remove(file);
        state.ResumeTiming();
    }
    state.counters["MB"] = static_cast<double>(clip.bytes) / 1e6;
    state.counters["cpu_ms"] = cpu * 1e3 / static_cast<double>(state.iterations());
}

// The same JPEGs in the same order, one write each, then fdatasync and close.
void PlainWrite(benchmark::State& state)
{
    const auto& second = SceneSecond();
    const std::filesystem::path file = BenchFolder() / "plain.jpegs";
    for (auto _ : state)
    {
        const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        bool written = fd >= 0;
        for (int n = 0; written && n < kClipFrames; ++n)
        {
            const auto& jpeg = second[n % second.size()];
            written = ::write(fd, jpeg.data(), jpeg.size()) == static_cast<ssize_t>(jpeg.size());
        }
        written = written && ::fdatasync(fd) == 0;
        written = ::close(fd) == 0 && written;
        if (!written)
        {
            state.SkipWithError("the plain write failed");
            break;
        }
        state.PauseTiming();
        std::filesystem::remove(file);
        state.ResumeTiming();
    }
}

// Sixteen histories filled at 25 frames/s by one thread standing in for the
// receivers; the process's CPU less that thread's is what the recorders took.
void RecordWall(benchmark::State& state)
{
    const auto& second = SceneSecond();
    const std::filesystem::path folder = BenchFolder() / "wall";
    for (auto _ : state)
    {
        std::filesystem::remove_all(folder);
        std::filesystem::create_directories(folder);
        CHistoryBudget budget(size_t{kCameras} * (64u << 20));
        std::vector<std::unique_ptr<CFrameHistory>> histories;
        std::vector<std::unique_ptr<CRecorder>> recorders;
        for (int c = 0; c < kCameras; ++c)
        {
            histories.push_back(std::make_unique<CFrameHistory>(budget));
            recorders.push_back(std::make_unique<CRecorder>(
                *histories.back(), folder, u"Bench " + std::u16string(1, u'A' + c)));
        }
        double feederCpu = 0;
        const double cpuBefore = CpuSeconds(RUSAGE_SELF);
        const Steady::time_point began = Steady::now();
        std::thread feeder(
            [&]
            {
                const double own = CpuSeconds(RUSAGE_THREAD);
                int n = 0;
                for (Steady::time_point next = began; next < began + kRecordFor; next += 40ms, ++n)
                {
                    std::this_thread::sleep_until(next);
                    for (int c = 0; c < kCameras; ++c)
                    {
                        const auto& jpeg = second[(n + c) % second.size()];
                        histories[c]->Store(jpeg.data(), jpeg.size(), Frame(Steady::now()));
                        recorders[c]->Notify();
                    }
                    if (n == 0)
                    {
                        for (auto& recorder : recorders)
                        {
                            recorder->Start();
                        }
                    }
                }
                feederCpu = CpuSeconds(RUSAGE_THREAD) - own;
            });
        feeder.join();
        for (auto& recorder : recorders)
        {
            recorder->Stop();
        }
        const double seconds = std::chrono::duration<double>(Steady::now() - began).count();
        const double recorderCpu = CpuSeconds(RUSAGE_SELF) - cpuBefore - feederCpu;
        size_t frames = 0;
        for (auto& recorder : recorders)
        {
            frames += recorder->GetStatus().frames;
        }
        state.SetIterationTime(seconds);
        state.counters["cpu_percent"] = recorderCpu / seconds * 100;
        state.counters["feeder_percent"] = feederCpu / seconds * 100;
        state.counters["frames_per_s"] = static_cast<double>(frames) / seconds;
    }
    std::filesystem::remove_all(folder);
}
} // namespace

int main(int argc, char** argv)
{
    bench::RatioReporter reporter;
    Clip();
    benchmark::RegisterBenchmark("SaveClip/5min/704x480", SaveClip)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1)
        ->Repetitions(bench::kRepetitions);
    benchmark::RegisterBenchmark("PlainWrite/5min/704x480", PlainWrite)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1)
        ->Repetitions(bench::kRepetitions);
    benchmark::RegisterBenchmark("RecordWall/16x704x480@25", RecordWall)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(3);
    reporter.AddSpeedRatio("save/plain write 5min 704x480", "SaveClip/5min/704x480",
                           "PlainWrite/5min/704x480", bench::RatioReporter::Basis::RealTime);
    const int result = bench::RunAndPrint(argc, argv, reporter);
    const bench::Measured* saved = reporter.Find("SaveClip/5min/704x480");
    const bench::Measured* plain = reporter.Find("PlainWrite/5min/704x480");
    if (saved != nullptr && plain != nullptr && saved->counters.count("cpu_ms") != 0)
    {
        std::printf("%-40s %.1f ms against %.1f ms of the plain write   (%.1f MB of JPEGs, %d "
                    "frames)\n",
                    "save cpu 5min 704x480", saved->counters.at("cpu_ms"), plain->cpuSeconds * 1e3,
                    saved->counters.at("MB"), kClipFrames);
    }
    if (const bench::Measured* wall = reporter.Find("RecordWall/16x704x480@25");
        wall != nullptr && wall->counters.count("cpu_percent") != 0)
    {
        std::printf("%-40s %.2f %%   (%.3f %% a camera, %.0f frames written a second; the "
                    "feeder %.2f %%)\n",
                    "record cpu 16x704x480@25", wall->counters.at("cpu_percent"),
                    wall->counters.at("cpu_percent") / kCameras, wall->counters.at("frames_per_s"),
                    wall->counters.at("feeder_percent"));
    }
    std::filesystem::remove_all(BenchFolder());
    return result;
}
