// SPDX-License-Identifier: GPL-3.0-or-later
// What the 4 x 4 wall costs: the real viewer (offscreen, a 1280 x 720 window) on
// sixteen streams at 25 frames/s from quillon-dvrsim in a child process, which
// replays frames of the decoder tests' busy pattern, at 704 x 480, 1280 x 720 and
// 1920 x 1080 at device pixel ratio 1, and 704 x 480 at ratio 2 (a child of this
// program started with the screen's scale set). Between the rounds of each watch,
// TurboJPEG's bare decode of the same frames at the tiles' scale. Only this
// process's CPU is counted: receiving, deframing, decoding and painting.
#include "BareDecode.h"
#include "BenchRatios.h"
#include "ChildSimulator.h"
#include "OffscreenApplication.h"
#include "ScaledChild.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "history/CHistoryBudget.h"
#include "support/TestJpegEncoder.h"
#include "wall/CWallSwitcher.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace
{
constexpr double kWatchSeconds = 10;
constexpr int kRounds = 10;
// Each bare round decodes sixteen frames this many times.
constexpr int kBareIterations = 4;
constexpr double kWarmUpSeconds = 2;
constexpr int kTiles = 16;
// Each in a fresh viewer; the medians are compared.
constexpr int kWallRepetitions = 3;
constexpr int kFramesPerSecond = 25;
// Frames replayed in turn, so a camera's pictures differ from one to the next.
constexpr int kPatternFrames = 4;
// The highest quality at which the pattern's 1920 x 1080 frames fit in one packet.
constexpr int kPatternQuality = 40;
constexpr std::chrono::milliseconds kLatenessProbe{100};
// Small enough to be full before the watch, as every wall's is once it has run a
// minute: from then on a stored frame takes the oldest one's buffer, and no page
// is touched for the first time (a filling history is bench_history's case).
constexpr size_t kHistoryBudget = size_t{64} << 20;
constexpr qint64 kFillLimitMs = 30000;

struct WallCase
{
    int width;
    int height;
    int ratio;
};

constexpr WallCase kCases[] = {{704, 480, 1}, {1280, 720, 1}, {1920, 1080, 1}, {704, 480, 2}};

std::string CaseName(const WallCase& c)
{
    return "wall 4x4 " + std::to_string(c.width) + "x" + std::to_string(c.height) + " ratio " +
           std::to_string(c.ratio);
}

const std::vector<std::vector<uint8_t>>& Frames(const WallCase& c)
{
    static std::map<int, std::vector<std::vector<uint8_t>>> frames;
    std::vector<std::vector<uint8_t>>& made = frames[c.width * 10000 + c.height];
    for (int seed = static_cast<int>(made.size()); seed < kPatternFrames; ++seed)
    {
        made.push_back(EncodeTestJpeg({c.width, c.height, 3, false, kPatternQuality},
                                      [seed](int x, int y, int component)
                                      { return PatternSample(x + seed * 5, y + seed, component); }));
    }
    return made;
}

double ThreadCpuNow()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// The denominator of the library's smallest scale whose size still covers the tile.
int CoveringDenominator(const WallCase& c, int tileWidth, int tileHeight)
{
    for (const int denominator : {8, 4, 2})
    {
        if ((c.width + denominator - 1) / denominator >= tileWidth &&
            (c.height + denominator - 1) / denominator >= tileHeight)
        {
            return denominator;
        }
    }
    return 1;
}

// This thread's CPU seconds for iterations of sixteen frames at 1/denominator,
// or a negative number when TurboJPEG refuses one.
double DecodeBare(bench::BareDecoder& decoder, const WallCase& c, int denominator)
{
    const int width = (c.width + denominator - 1) / denominator;
    const int height = (c.height + denominator - 1) / denominator;
    static std::vector<uint8_t> bits;
    bits.resize(static_cast<size_t>(bench::BareDecoder::Stride(width)) * height);
    const auto& frames = Frames(c);
    const double before = ThreadCpuNow();
    for (int i = 0; i < kBareIterations * kTiles; ++i)
    {
        if (!decoder.Decode(frames[static_cast<size_t>(i) % frames.size()], width, height,
                            bits.data()))
        {
            return -1;
        }
    }
    return ThreadCpuNow() - before;
}

// How late a zero-delay timer runs on the GUI thread, posted every 100 ms while
// the wall's events run; not while the bare decode holds the thread.
class LatenessProbe
{
public:
    LatenessProbe()
    {
        QObject::connect(&m_probe, &QTimer::timeout,
                         [this]
                         {
                             const int round = m_round;
                             const qint64 posted = m_clock.nsecsElapsed();
                             QTimer::singleShot(0, [this, round, posted]
                                                {
                                                    if (round == m_round)
                                                    {
                                                        m_late.push_back(static_cast<double>(
                                                            m_clock.nsecsElapsed() - posted));
                                                    }
                                                });
                         });
        m_clock.start();
    }
    void Start() { m_probe.start(kLatenessProbe); }
    // Timers posted before now no longer count.
    void Stop()
    {
        m_probe.stop();
        ++m_round;
    }
    double P99Milliseconds()
    {
        if (m_late.empty())
        {
            return -1;
        }
        std::sort(m_late.begin(), m_late.end());
        return m_late[std::min(m_late.size() - 1, m_late.size() * 99 / 100)] * 1e-6;
    }

private:
    QTimer m_probe;
    QElapsedTimer m_clock;
    int m_round = 0;
    std::vector<double> m_late;
};

// The wall is watched in rounds, and after each the GUI thread decodes the same
// frames bare, so that the machine's moods fall on both sides of the ratios alike.
void WatchWall(benchmark::State& state, const WallCase& c, const ChildSimulator& simulator,
               unsigned port)
{
    AppSettings settings;
    settings.directoryFile = std::filesystem::temp_directory_path() / "quillon-bench-wall.db";
    settings.settingsFile = std::filesystem::temp_directory_path() / "quillon-bench-wall.conf";
    settings.autoCloseDelay = std::chrono::hours(1);
    CZentrelApp app(settings);
    if (!app.InitInstance())
    {
        state.SkipWithError("the viewer did not start");
        return;
    }
    app.GetMainFrame()->resize(1280, 720);
    app.GetHistoryBudget().SetTotal(kHistoryBudget);
    CWallSwitcher& switcher = *app.GetWallSwitcher();
    const std::string portText = std::to_string(port);
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
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!allPainting())
    {
        state.SkipWithError("not every tile showed a picture");
        return;
    }
    const CHistoryBudget& budget = app.GetHistoryBudget();
    const size_t frameBytes = Frames(c)[0].size();
    waited.restart();
    while (budget.GetUsed() + kTiles * frameBytes < budget.GetTotal() &&
           waited.elapsed() < kFillLimitMs)
    {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    RunEventsFor(kWarmUpSeconds);
    const CWallTile& first = wall.GetTile(0);
    const int tileWidth = static_cast<int>(std::ceil(first.width() * first.devicePixelRatioF()));
    const int tileHeight = static_cast<int>(std::ceil(first.height() * first.devicePixelRatioF()));
    const int denominator = CoveringDenominator(c, tileWidth, tileHeight);
    bench::BareDecoder bare;
    LatenessProbe lateness;
    for (auto _ : state)
    {
        std::vector<int> painted(static_cast<size_t>(wall.GetTileCount()), 0);
        std::map<std::string, double> threads;
        double seconds = 0;
        double cpu = 0;
        double bareSeconds = 0;
        double simulatorCpu = 0;
        for (int round = 0; round < kRounds; ++round)
        {
            std::vector<int> before;
            for (int i = 0; i < wall.GetTileCount(); ++i)
            {
                before.push_back(wall.GetTile(i).GetPaintedPictures());
            }
            const auto threadsBefore = ThreadCpuSeconds();
            const double cpuBefore = ProcessCpuSeconds();
            const double simulatorBefore = simulator.CpuSeconds();
            QElapsedTimer elapsed;
            elapsed.start();
            lateness.Start();
            RunEventsFor(kWatchSeconds / kRounds);
            lateness.Stop();
            simulatorCpu += simulator.CpuSeconds() - simulatorBefore;
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
            const double bareRound = DecodeBare(bare, c, denominator);
            if (bareRound <= 0)
            {
                state.SkipWithError("TurboJPEG refused a frame");
                return;
            }
            bareSeconds += bareRound;
        }
        // The GUI thread is the one whose id is the process's; the wall's workers and
        // the receivers go by the names they give themselves.
        const std::string guiThread = " " + std::to_string(getpid());
        double gui = 0;
        double workers = 0;
        double receivers = 0;
        double others = 0;
        for (const auto& [thread, used] : threads)
        {
            (thread.ends_with(guiThread)                ? gui
             : thread.starts_with("quillon-decode ")   ? workers
             : thread.starts_with("quillon-receive ")  ? receivers
                                                        : others) += used;
        }
        std::printf("%s: GUI thread %.3f s, decode workers %.3f s, receivers %.3f s, the other "
                    "threads %.3f s of CPU in %.1f s\n",
                    CaseName(c).c_str(), gui, workers, receivers, others, seconds);
        const double bareFrameSeconds = bareSeconds / (kRounds * kBareIterations * kTiles);
        int shown = 0;
        for (const int tile : painted)
        {
            shown += tile;
        }
        // What could be shown: every frame sent, unless the cores cannot even decode them bare.
        const double cores = std::max(1u, std::thread::hardware_concurrency());
        const double possible =
            std::min<double>(kTiles * kFramesPerSecond, cores / bareFrameSeconds);
        state.SetIterationTime(seconds);
        state.counters["cpu_percent"] = cpu / seconds * 100;
        state.counters["gui_percent"] = gui / seconds * 100;
        state.counters["slowest_tile_per_s"] =
            *std::min_element(painted.begin(), painted.end()) / seconds;
        state.counters["shown_possible"] = shown / seconds / possible;
        state.counters["lateness_p99_ms"] = lateness.P99Milliseconds();
        state.counters["bare_percent"] = bareFrameSeconds * kTiles * kFramesPerSecond * 100;
        state.counters["denominator"] = denominator;
        state.counters["tile_width"] = tileWidth;
        state.counters["tile_height"] = tileHeight;
        state.counters["frame_kib"] = static_cast<double>(Frames(c)[0].size()) / 1024;
        state.counters["worker_ms"] = shown > 0 ? workers / shown * 1e3 : 0;
        state.counters["bare_ms"] = bareFrameSeconds * 1e3;
        state.counters["receivers_percent"] = receivers / seconds * 100;
        // The simulator plays the DVRs on the viewer's own cores; a DVR is a machine of its own.
        const double simulatorCores = simulatorCpu / seconds;
        state.counters["simulator_percent"] = simulatorCores * 100;
        state.counters["shown_possible_left"] =
            shown / seconds /
            std::min<double>(kTiles * kFramesPerSecond,
                             std::max(0.0, cores - simulatorCores) / bareFrameSeconds);
    }
    switcher.SetLayout(1);
}

// The one line per case that runs are compared by.
void PrintCase(const bench::RatioReporter& reporter, const WallCase& c)
{
    const bench::Measured* m = reporter.Find(CaseName(c));
    if (m == nullptr || m->counters.count("cpu_percent") == 0)
    {
        return;
    }
    const auto& k = m->counters;
    std::printf("%s: cpu %.1f %%, gui %.1f %%, slowest tile %.1f/s, shown/possible %.2f, "
                "lateness p99 %.0f ms, bare 1/%.0f %.1f %%, wall/bare %.2f\n",
                CaseName(c).c_str(), k.at("cpu_percent"), k.at("gui_percent"),
                k.at("slowest_tile_per_s"), k.at("shown_possible"), k.at("lateness_p99_ms"),
                k.at("denominator"), k.at("bare_percent"), k.at("cpu_percent") / k.at("bare_percent"));
    std::printf("  (tile %.0fx%.0f device pixels, frames of %.0f KiB; the workers %.2f ms a "
                "picture shown against the bare decode's %.2f ms, %.2f; receivers %.1f %%; the "
                "simulator %.1f %%, shown over what the cores it leaves can bare-decode %.2f)\n",
                k.at("tile_width"), k.at("tile_height"), k.at("frame_kib"), k.at("worker_ms"),
                k.at("bare_ms"), k.at("worker_ms") / k.at("bare_ms"), k.at("receivers_percent"),
                k.at("simulator_percent"), k.at("shown_possible_left"));
}
} // namespace

int main(int argc, char** argv)
{
    const int ratio = bench::TakeRatioOption(argc, argv);
    OffscreenApplication qtApp(argv);
    std::vector<std::unique_ptr<ChildSimulator>> simulators;
    std::vector<WallCase> cases;
    std::vector<std::string> frameFiles;
    bench::RatioReporter reporter;
    for (const WallCase& c : kCases)
    {
        if (c.ratio != ratio)
        {
            continue;
        }
        std::vector<std::string> options = {"--fps", std::to_string(kFramesPerSecond),
                                            "--channels", std::to_string(kTiles)};
        for (const auto& frame : Frames(c))
        {
            options.push_back("--replay");
            frameFiles.push_back(WriteTempFile(frame));
            options.push_back(frameFiles.back());
        }
        auto simulator = std::make_unique<ChildSimulator>();
        const unsigned port = simulator->Start(std::move(options));
        if (port == 0)
        {
            std::fprintf(stderr, "bench_wall: quillon-dvrsim did not start\n");
            return 1;
        }
        simulators.push_back(std::move(simulator));
        cases.push_back(c);
        const ChildSimulator& running = *simulators.back();
        benchmark::RegisterBenchmark(CaseName(c).c_str(),
                                     [c, &running, port](benchmark::State& state)
                                     { WatchWall(state, c, running, port); })
            ->Unit(benchmark::kSecond)
            ->UseManualTime()
            ->Iterations(1)
            ->Repetitions(kWallRepetitions);
    }
    const int result = bench::RunAndPrint(argc, argv, reporter);
    simulators.clear();
    for (const std::string& file : frameFiles)
    {
        std::filesystem::remove(file);
    }
    std::vector<std::string> scaled;
    if (ratio == 1)
    {
        scaled = bench::RunAtRatio(2, argc, argv);
    }
    std::printf("\n");
    for (const WallCase& c : cases)
    {
        PrintCase(reporter, c);
    }
    for (const std::string& line : scaled)
    {
        if (line.starts_with("wall 4x4 ") || line.starts_with("  (tile"))
        {
            std::fputs(line.c_str(), stdout);
        }
    }
    return result;
}
