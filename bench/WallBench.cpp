// SPDX-License-Identifier: GPL-3.0-or-later
// What the 4 x 4 wall costs: the real viewer (offscreen, 1280 x 720) on sixteen
// 704 x 480 streams at 25 frames/s from quillon-dvrsim in a child process,
// pre-encoded; then the same wall decoding at full size. Between the rounds of
// each watch, TurboJPEG's bare decode of the same frames at full size and at the
// tiles' scale. Only this process's CPU is counted: receiving, deframing,
// decoding and painting.
#include "BareDecode.h"
#include "BenchRatios.h"
#include "ChildSimulator.h"
#include "JpegEncoder.h"
#include "OffscreenApplication.h"
#include "TestScene.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "wall/CWallSwitcher.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace
{
constexpr double kWatchSeconds = 10;
constexpr int kRounds = 10;
// Each bare round decodes the sixteen frames this many times at each scale.
constexpr int kBareIterations = 10;
constexpr double kWarmUpSeconds = 2;
constexpr int kTiles = 16;
// Each in a fresh viewer; the medians are compared.
constexpr int kWallRepetitions = 3;
constexpr int kFramesPerSecond = 25;
constexpr int kWidth = 704;
constexpr int kHeight = 480;

unsigned g_port = 0;

// The sixteen channels' scenes, as the simulator encodes them.
const std::vector<std::vector<uint8_t>>& Frames()
{
    static const std::vector<std::vector<uint8_t>> frames = []
    {
        std::vector<std::vector<uint8_t>> made;
        const std::chrono::system_clock::time_point noon{std::chrono::hours(12)};
        for (unsigned channel = 0; channel < kTiles; ++channel)
        {
            made.push_back(JpegEncoder::Encode(
                TestScene::Render(channel, CameraState{}, PictureSize{kWidth, kHeight}, noon), 75));
        }
        return made;
    }();
    return frames;
}

double ThreadCpuNow()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// This thread's CPU seconds for iterations of the sixteen frames at 1/denominator,
// or a negative number when TurboJPEG refuses one.
double DecodeBare(bench::BareDecoder& decoder, int denominator, int iterations)
{
    const int width = (kWidth + denominator - 1) / denominator;
    const int height = (kHeight + denominator - 1) / denominator;
    static std::vector<uint8_t> bits;
    bits.resize(static_cast<size_t>(bench::BareDecoder::Stride(width)) * height);
    const double before = ThreadCpuNow();
    for (int i = 0; i < iterations; ++i)
    {
        for (const auto& jpeg : Frames())
        {
            if (!decoder.Decode(jpeg, width, height, bits.data()))
            {
                return -1;
            }
        }
    }
    return ThreadCpuNow() - before;
}

// The wall is watched in rounds, and after each the GUI thread decodes the same
// frames bare, so that the machine's moods fall on both sides of the ratios alike.
void WatchWall(benchmark::State& state, bool scaled)
{
    AppSettings settings;
    settings.directoryFile = std::filesystem::temp_directory_path() / "quillon-bench-wall.db";
    settings.settingsFile = std::filesystem::temp_directory_path() / "quillon-bench-wall.conf";
    settings.autoCloseDelay = std::chrono::hours(1);
    settings.wall.scaledDecoding = scaled;
    CZentrelApp app(settings);
    if (!app.InitInstance())
    {
        state.SkipWithError("the viewer did not start");
        return;
    }
    app.GetMainFrame()->resize(1280, 720);
    CWallSwitcher& switcher = *app.GetWallSwitcher();
    const std::string portText = std::to_string(g_port);
    switcher.ShowWall(4, DvrEntry{u"bench", u"127.0.0.1",
                                  std::u16string(portText.begin(), portText.end()), 0, u"ADMIN",
                                  u"1234"});
    CCameraWall& wall = switcher.GetWall();
    QElapsedTimer waited;
    waited.start();
    auto allPainting = [&]
    {
        for (int i = 0; i < wall.GetTileCount(); ++i)
        {
            if (wall.GetTile(i).GetPaintedPictures() == 0)
            {
                return false;
            }
        }
        return true;
    };
    while (!allPainting() && waited.elapsed() < 20000)
    {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (!allPainting())
    {
        state.SkipWithError("not every tile showed a picture");
        return;
    }
    RunEventsFor(kWarmUpSeconds);
    bench::BareDecoder bare;
    for (auto _ : state)
    {
        std::vector<int> painted(static_cast<size_t>(wall.GetTileCount()), 0);
        std::map<std::string, double> threads;
        double seconds = 0;
        double cpu = 0;
        double bareFull = 0;
        double bareHalf = 0;
        for (int round = 0; round < kRounds; ++round)
        {
            std::vector<int> before;
            for (int i = 0; i < wall.GetTileCount(); ++i)
            {
                before.push_back(wall.GetTile(i).GetPaintedPictures());
            }
            const auto threadsBefore = ThreadCpuSeconds();
            const double cpuBefore = ProcessCpuSeconds();
            QElapsedTimer elapsed;
            elapsed.start();
            RunEventsFor(kWatchSeconds / kRounds);
            seconds += static_cast<double>(elapsed.nsecsElapsed()) * 1e-9;
            cpu += ProcessCpuSeconds() - cpuBefore;
            for (const auto& [thread, threadCpu] : ThreadCpuSeconds())
            {
                const auto was = threadsBefore.find(thread);
                threads[thread] += threadCpu - (was == threadsBefore.end() ? 0 : was->second);
            }
            for (int i = 0; i < wall.GetTileCount(); ++i)
            {
                painted[static_cast<size_t>(i)] +=
                    wall.GetTile(i).GetPaintedPictures() - before[static_cast<size_t>(i)];
            }
            bareFull += DecodeBare(bare, 1, kBareIterations);
            bareHalf += DecodeBare(bare, 2, kBareIterations);
        }
        if (bareFull <= 0 || bareHalf <= 0)
        {
            state.SkipWithError("TurboJPEG refused a frame");
            return;
        }
        // The GUI thread is the one whose id is the process's; the others receive.
        const std::string guiThread = " " + std::to_string(getpid());
        double gui = 0;
        for (const auto& [thread, used] : threads)
        {
            if (thread.ends_with(guiThread))
            {
                gui += used;
            }
            if (used >= 0.001)
            {
                std::printf("%s thread %-28s %.3f s CPU in %.1f s\n", scaled ? "scaled" : "full",
                            thread.c_str(), used, seconds);
            }
        }
        // Sixteen frames an iteration, 25 iterations a second: the share of one core.
        const double bareIterations = kRounds * kBareIterations;
        state.SetIterationTime(seconds);
        state.counters["cpu_percent"] = cpu / seconds * 100;
        state.counters["gui_thread_percent"] = gui / seconds * 100;
        state.counters["bare_full_percent"] = bareFull / bareIterations * kFramesPerSecond * 100;
        state.counters["bare_half_percent"] = bareHalf / bareIterations * kFramesPerSecond * 100;
        state.counters["slowest_tile_pictures_per_s"] =
            *std::min_element(painted.begin(), painted.end()) / seconds;
        state.counters["tile_width"] = wall.GetTile(0).width();
        state.counters["tile_height"] = wall.GetTile(0).height();
    }
    switcher.SetLayout(1);
}
} // namespace

int main(int argc, char** argv)
{
    OffscreenApplication qtApp(argv);
    ChildSimulator simulator;
    std::vector<std::string> options = {"--pre-encoded", "--fps", "25", "--channels", "16"};
    for (int channel = 1; channel <= kTiles; ++channel)
    {
        options.push_back("--size");
        options.push_back(std::to_string(channel) + "=704x480");
    }
    g_port = simulator.Start(std::move(options));
    if (g_port == 0)
    {
        std::fprintf(stderr, "bench_wall: quillon-dvrsim did not start\n");
        return 1;
    }
    bench::RatioReporter reporter;
    for (const bool scaled : {true, false})
    {
        benchmark::RegisterBenchmark(scaled ? "Wall4x4/scaled" : "Wall4x4/full",
                                     [scaled](benchmark::State& state)
                                     { WatchWall(state, scaled); })
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(kWallRepetitions);
    }
    const int result = bench::RunAndPrint(argc, argv, reporter);

    const bench::Measured* scaled = reporter.Find("Wall4x4/scaled");
    const bench::Measured* full = reporter.Find("Wall4x4/full");
    if (scaled == nullptr || full == nullptr || scaled->counters.count("cpu_percent") == 0 ||
        full->counters.count("cpu_percent") == 0)
    {
        return result == 0 ? 1 : result;
    }
    const double bareFullPercent = scaled->counters.at("bare_full_percent");
    const double bareHalfPercent = scaled->counters.at("bare_half_percent");
    const double wallPercent = scaled->counters.at("cpu_percent");
    const double fullPercent = full->counters.at("cpu_percent");
    std::printf("%-40s %.2f %%   (slowest tile %.1f pictures a second, tile %.0fx%.0f)\n",
                "wall cpu 4x4 704x480@25", wallPercent,
                scaled->counters.at("slowest_tile_pictures_per_s"),
                scaled->counters.at("tile_width"), scaled->counters.at("tile_height"));
    std::printf("%-40s %.2f %%   (slowest tile %.1f pictures a second)\n", "wall cpu 4x4 unscaled",
                fullPercent, full->counters.at("slowest_tile_pictures_per_s"));
    std::printf("%-40s %.2f %%\n", "bare decode 16x704x480@25 full", bareFullPercent);
    std::printf("%-40s %.2f %%\n", "bare decode 16x704x480@25 1/2", bareHalfPercent);
    std::printf("%-40s %6.3f   (at most 0.8)\n", "wall/bare full decode",
                wallPercent / bareFullPercent);
    std::printf("%-40s %6.3f   (at most 1.2)\n", "wall/bare scaled decode",
                wallPercent / bareHalfPercent);
    std::printf("%-40s %6.3f\n", "wall/wall unscaled", wallPercent / fullPercent);
    // Where the wall's CPU goes: its GUI thread decodes, places and paints; the
    // other threads only read the sixteen streams and keep their newest frames.
    const double guiPercent = scaled->counters.at("gui_thread_percent");
    std::printf("%-40s %6.3f   (GUI thread %.2f %%, the other threads %.2f %%)\n",
                "gui thread/bare scaled decode", guiPercent / bareHalfPercent, guiPercent,
                wallPercent - guiPercent);
    std::printf("%-40s %6.3f\n", "other threads/bare scaled decode",
                (wallPercent - guiPercent) / bareHalfPercent);
    return result;
}
