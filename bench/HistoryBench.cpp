// SPDX-License-Identifier: GPL-3.0-or-later
// What keeping every camera's history costs, and how fast it shows a moment of
// it: the real viewer (offscreen) on quillon-dvrsim in a child process, sixteen
// pre-encoded 704 x 480 channels at 25 frames/s, the single view and the 4 x 4
// wall each watched with the history on and off in the same run. Only this
// process's CPU is counted.
#include "ChildSimulator.h"
#include "OffscreenApplication.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "app/CZentrelView.h"
#include "history/CHistoryBudget.h"
#include "wall/CWallSwitcher.h"

#include <QApplication>
#include <QElapsedTimer>

#include <malloc.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double kWatchSeconds = 10;
constexpr double kWarmUpSeconds = 2;
// Fresh viewers, on and off in turn, so that the machine's drift falls on both.
constexpr int kSingleRepetitions = 3;
constexpr size_t kWallBudget = size_t{256} << 20;
constexpr double kFillLimitSeconds = 180;
constexpr int kSeeks = 20;
constexpr int kTiles = 16;
constexpr double kMegabyte = 1024.0 * 1024.0;

unsigned g_port = 0;

DvrEntry Dvr(int channel)
{
    const std::string port = std::to_string(g_port);
    return DvrEntry{u"bench", u"127.0.0.1", std::u16string(port.begin(), port.end()),
                    channel,  u"ADMIN",     u"1234"};
}

std::unique_ptr<CZentrelApp> StartViewer(bool keepHistory)
{
    AppSettings settings;
    settings.directoryFile = std::filesystem::temp_directory_path() / "quillon-bench-history.db";
    settings.settingsFile = std::filesystem::temp_directory_path() / "quillon-bench-history.conf";
    settings.autoCloseDelay = std::chrono::hours(1);
    settings.windowSize = QSize(720, 560);
    settings.keepHistory = keepHistory;
    auto app = std::make_unique<CZentrelApp>(settings);
    if (!app->InitInstance())
    {
        return nullptr;
    }
    return app;
}

bool RunUntil(const std::function<bool()>& done, double seconds)
{
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < seconds * 1000)
    {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return done();
}

double CpuPercentOver(double seconds)
{
    const double before = ProcessCpuSeconds();
    QElapsedTimer elapsed;
    elapsed.start();
    RunEventsFor(seconds);
    return (ProcessCpuSeconds() - before) / (static_cast<double>(elapsed.nsecsElapsed()) * 1e-9) *
           100;
}

double ResidentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    double kilobytes = 0;
    while (status >> key)
    {
        if (key == "VmRSS:")
        {
            status >> kilobytes;
            return kilobytes / 1024;
        }
    }
    return 0;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) * 1e-6;
}

struct Seeks
{
    std::vector<double> milliseconds;
    std::vector<double> cpuMilliseconds; // the GUI thread's own, which the load does not stretch
    int extraRepaints = 0;               // paints beyond one a window per seek
    int blank = 0;                       // seeks that painted no picture
};

// Seeks spread over what the history holds, each from ShowPast to the paint
// done (a synchronous repaint), as a drag of the timeline would do them.
Seeks SeekSingle(CZentrelView& view)
{
    Seeks seeks;
    CPictureDisplay& display = view.GetClient().GetPictureDisplay();
    const auto span = display.GetHistory().GetSpan();
    if (!span)
    {
        return seeks;
    }
    for (int i = 0; i < kSeeks; ++i)
    {
        const uint64_t sequence = span->firstSequence + (span->lastSequence - span->firstSequence) *
                                                            (i * 7 % kSeeks) / kSeeks;
        const int painted = view.GetPaintedPictures();
        QElapsedTimer elapsed;
        elapsed.start();
        const double cpu = ThreadCpuMilliseconds();
        display.ShowPast(sequence);
        view.repaint();
        seeks.milliseconds.push_back(static_cast<double>(elapsed.nsecsElapsed()) * 1e-6);
        seeks.cpuMilliseconds.push_back(ThreadCpuMilliseconds() - cpu);
        seeks.extraRepaints += std::max(0, view.GetPaintedPictures() - painted - 1);
        seeks.blank += display.GetShownPast() ? 0 : 1;
        QApplication::processEvents();
    }
    display.ShowLive();
    return seeks;
}

// Every tile shows the frame that had arrived by the same moment.
Seeks SeekWall(CCameraWall& wall)
{
    Seeks seeks;
    CPictureDisplay& first = wall.GetTile(0).GetPictureConnection().GetDisplay();
    const auto span = first.GetHistory().GetSpan();
    if (!span)
    {
        return seeks;
    }
    for (int i = 0; i < kSeeks; ++i)
    {
        const auto moment = span->first + (span->last - span->first) * (i * 7 % kSeeks) / kSeeks;
        std::vector<int> painted;
        for (int t = 0; t < wall.GetTileCount(); ++t)
        {
            painted.push_back(wall.GetTile(t).GetPaintedPictures());
        }
        QElapsedTimer elapsed;
        elapsed.start();
        const double cpu = ThreadCpuMilliseconds();
        for (int t = 0; t < wall.GetTileCount(); ++t)
        {
            CPictureDisplay& display = wall.GetTile(t).GetPictureConnection().GetDisplay();
            if (const auto frame = display.GetHistory().FindAt(moment))
            {
                display.ShowPast(frame->sequence);
            }
        }
        const auto allPainted = [&]
        {
            for (int t = 0; t < wall.GetTileCount(); ++t)
            {
                if (wall.GetTile(t).GetPaintedPictures() == painted[static_cast<size_t>(t)])
                {
                    return false;
                }
            }
            return true;
        };
        // As the wall's tick does it: every tile marked, then one paint of the window.
        for (int t = 0; t < wall.GetTileCount(); ++t)
        {
            wall.GetTile(t).update();
        }
        QElapsedTimer waited;
        waited.start();
        while (!allPainted() && waited.elapsed() < 2000)
        {
            QApplication::processEvents();
        }
        seeks.milliseconds.push_back(static_cast<double>(elapsed.nsecsElapsed()) * 1e-6);
        seeks.cpuMilliseconds.push_back(ThreadCpuMilliseconds() - cpu);
        for (int t = 0; t < wall.GetTileCount(); ++t)
        {
            const int more = wall.GetTile(t).GetPaintedPictures() - painted[static_cast<size_t>(t)];
            seeks.extraRepaints += std::max(0, more - 1);
            seeks.blank += more == 0 ? 1 : 0;
        }
        QApplication::processEvents();
    }
    for (int t = 0; t < wall.GetTileCount(); ++t)
    {
        wall.GetTile(t).GetPictureConnection().GetDisplay().ShowLive();
    }
    return seeks;
}

struct SingleRun
{
    double cpuPercent = -1;
    Seeks seeks;
};

SingleRun WatchSingle(bool keepHistory)
{
    SingleRun run;
    auto app = StartViewer(keepHistory);
    if (!app)
    {
        return run;
    }
    CZentrelView& view = *app->GetView();
    view.ConnectTo(Dvr(0));
    if (!RunUntil([&] { return view.GetPaintedPictures() > 0; }, 10))
    {
        return run;
    }
    RunEventsFor(kWarmUpSeconds);
    run.cpuPercent = CpuPercentOver(kWatchSeconds);
    if (keepHistory)
    {
        run.seeks = SeekSingle(view);
    }
    view.OnDisconnect();
    return run;
}

struct WallRun
{
    double cpuPercent = -1;
    double residentMegabytes = 0;
    double fillSeconds = 0;
    double spanSeconds = 0;
    double usedMegabytes = 0;
    Seeks seeks;
};

WallRun WatchWall(bool keepHistory)
{
    WallRun run;
    auto app = StartViewer(keepHistory);
    if (!app)
    {
        return run;
    }
    app->GetHistoryBudget().SetTotal(kWallBudget);
    app->GetMainFrame()->resize(1280, 720);
    CWallSwitcher& switcher = *app->GetWallSwitcher();
    switcher.ShowWall(4, Dvr(0));
    CCameraWall& wall = switcher.GetWall();
    const auto allPainting = [&]
    {
        for (int i = 0; i < wall.GetTileCount(); ++i)
        {
            if (wall.GetTile(i).GetPaintedPictures() == 0)
            {
                return false;
            }
        }
        return wall.GetTileCount() == kTiles;
    };
    if (!RunUntil(allPainting, 20))
    {
        return run;
    }
    if (keepHistory)
    {
        // Full: from here on a stored frame takes the buffer of the oldest.
        const CHistoryBudget& budget = app->GetHistoryBudget();
        QElapsedTimer filling;
        filling.start();
        RunUntil([&] { return budget.GetUsed() + kTiles * (64u << 10) >= budget.GetTotal(); },
                 kFillLimitSeconds);
        run.fillSeconds = static_cast<double>(filling.elapsed()) / 1000;
    }
    RunEventsFor(kWarmUpSeconds);
    run.cpuPercent = CpuPercentOver(kWatchSeconds);
    run.residentMegabytes = ResidentMegabytes();
    if (keepHistory)
    {
        const auto span =
            wall.GetTile(0).GetPictureConnection().GetDisplay().GetHistory().GetSpan();
        run.spanSeconds =
            span ? std::chrono::duration<double>(span->last - span->first).count() : 0;
        run.usedMegabytes = static_cast<double>(app->GetHistoryBudget().GetUsed()) / kMegabyte;
        run.seeks = SeekWall(wall);
    }
    switcher.SetLayout(1);
    return run;
}

void PrintLoad(const char* when)
{
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
    {
        std::printf("%-40s %.2f %.2f %.2f\n", when, load[0], load[1], load[2]);
    }
}

void PrintSeeks(const char* name, const Seeks& seeks, double limit)
{
    if (seeks.milliseconds.empty())
    {
        std::printf("%-40s no seek made\n", name);
        return;
    }
    std::printf("%-40s median %.2f ms, worst %.2f ms (under %.0f ms); GUI thread CPU median "
                "%.2f ms, worst %.2f ms; %zu seeks, %d extra repaints, %d blank\n",
                name, Median(seeks.milliseconds),
                *std::max_element(seeks.milliseconds.begin(), seeks.milliseconds.end()), limit,
                Median(seeks.cpuMilliseconds),
                *std::max_element(seeks.cpuMilliseconds.begin(), seeks.cpuMilliseconds.end()),
                seeks.milliseconds.size(), seeks.extraRepaints, seeks.blank);
}
} // namespace

int main(int argc, char** argv)
{
    OffscreenApplication qtApp(argv);
    (void)argc;
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
        std::fprintf(stderr, "bench_history: quillon-dvrsim did not start\n");
        return 1;
    }
    PrintLoad("load average before");

    std::vector<double> singleOn;
    std::vector<double> singleOff;
    Seeks singleSeeks;
    for (int i = 0; i < kSingleRepetitions; ++i)
    {
        for (const bool on : {true, false})
        {
            SingleRun run = WatchSingle(on);
            if (run.cpuPercent < 0)
            {
                std::fprintf(stderr, "bench_history: the single view showed no picture\n");
                return 1;
            }
            (on ? singleOn : singleOff).push_back(run.cpuPercent);
            singleSeeks.milliseconds.insert(singleSeeks.milliseconds.end(),
                                            run.seeks.milliseconds.begin(),
                                            run.seeks.milliseconds.end());
            singleSeeks.cpuMilliseconds.insert(singleSeeks.cpuMilliseconds.end(),
                                               run.seeks.cpuMilliseconds.begin(),
                                               run.seeks.cpuMilliseconds.end());
            singleSeeks.extraRepaints += run.seeks.extraRepaints;
            singleSeeks.blank += run.seeks.blank;
        }
    }

    // Off, on, off: the two offs bracket the on run's drift.
    malloc_trim(0);
    const WallRun offBefore = WatchWall(false);
    malloc_trim(0);
    const WallRun on = WatchWall(true);
    malloc_trim(0);
    const WallRun offAfter = WatchWall(false);
    if (offBefore.cpuPercent < 0 || on.cpuPercent < 0 || offAfter.cpuPercent < 0)
    {
        std::fprintf(stderr, "bench_history: not every tile showed a picture\n");
        return 1;
    }
    PrintLoad("load average after");

    const double onMedian = Median(singleOn);
    const double offMedian = Median(singleOff);
    std::printf("%-40s %6.3f   (on %.2f %%, off %.2f %%, medians of %d; at most 1.03)\n",
                "history cpu on/off single 704x480@25", onMedian / offMedian, onMedian, offMedian,
                kSingleRepetitions);
    const double wallOff = (offBefore.cpuPercent + offAfter.cpuPercent) / 2;
    std::printf("%-40s %6.3f   (on %.2f %%, off %.2f %% and %.2f %%; at most 1.03)\n",
                "history cpu on/off wall 4x4 704x480@25", on.cpuPercent / wallOff, on.cpuPercent,
                offBefore.cpuPercent, offAfter.cpuPercent);
    const double offResident = std::max(offBefore.residentMegabytes, offAfter.residentMegabytes);
    const double limit = (offResident + static_cast<double>(kWallBudget) / kMegabyte) * 1.05;
    std::printf("%-40s %.1f MB   (off %.1f MB, at most %.1f MB; history %.1f MB, full after "
                "%.1f s, span %.1f s)\n",
                "history memory wall 4x4 256 MB", on.residentMegabytes, offResident, limit,
                on.usedMegabytes, on.fillSeconds, on.spanSeconds);
    PrintSeeks("history seek single 704x480", singleSeeks, 10);
    PrintSeeks("history seek wall 4x4 704x480", on.seeks, 60);
    return 0;
}
