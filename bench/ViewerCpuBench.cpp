// SPDX-License-Identifier: GPL-3.0-or-later
// What watching a live stream costs: the real viewer (offscreen) connected to
// quillon-dvrsim in a child process sending one pre-encoded 704 x 480 frame
// 25 times a second. The child's CPU is not the viewer's, so only this
// process's CPU is counted: receiving, deframing, decoding and painting. Then
// the same at device pixel ratio 2, in a child of this program started with the
// screen's scale set, and the two compared.
#include "BenchRatios.h"
#include "ChildSimulator.h"
#include "OffscreenApplication.h"
#include "ScaledChild.h"
#include "app/CMainFrame.h"
#include "app/CZentrelApp.h"
#include "app/CZentrelView.h"

#include <QApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <filesystem>
#include <string>

namespace
{
constexpr double kWatchSeconds = 10;
constexpr double kWarmUpSeconds = 1;

void WatchStream(benchmark::State& state)
{
    ChildSimulator simulator;
    const unsigned port = simulator.Start({"--pre-encoded", "--fps", "25", "--size", "1=704x480"});
    if (port == 0)
    {
        state.SkipWithError("quillon-dvrsim did not start");
        return;
    }
    AppSettings settings;
    settings.directoryFile = std::filesystem::temp_directory_path() / "quillon-bench-viewer.db";
    settings.autoCloseDelay = std::chrono::hours(1);
    settings.windowSize = QSize(720, 560); // as --size: the user's remembered window stays
    CZentrelApp app(settings);
    if (!app.InitInstance())
    {
        state.SkipWithError("the viewer did not start");
        return;
    }
    // At twice the scale the window would be kept inside the offscreen screen's 400 x 300.
    app.GetMainFrame()->resize(settings.windowSize);
    CZentrelView& view = *app.GetView();
    const std::string portText = std::to_string(port);
    view.ConnectTo(DvrEntry{u"bench", u"127.0.0.1",
                            std::u16string(portText.begin(), portText.end()), 0, u"ADMIN",
                            u"1234"});
    QElapsedTimer waited;
    waited.start();
    while (view.GetPaintedPictures() == 0 && waited.elapsed() < 10000)
    {
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    if (view.GetPaintedPictures() == 0)
    {
        state.SkipWithError("no picture arrived");
        return;
    }
    RunEventsFor(kWarmUpSeconds);
    for (auto _ : state)
    {
        const int paintedBefore = view.GetPaintedPictures();
        const auto [seconds, cpu] = WatchCpu(kWatchSeconds, "viewer");
        state.SetIterationTime(seconds);
        state.counters["cpu_percent"] = cpu / seconds * 100;
        state.counters["pictures_per_s"] = (view.GetPaintedPictures() - paintedBefore) / seconds;
        state.counters["view_width"] = view.width();
        state.counters["view_height"] = view.height();
        state.counters["raster_paints"] = view.GetPictureConnection().GetRasterPaints();
    }
    view.OnDisconnect();
}
} // namespace

int main(int argc, char** argv)
{
    const int ratio = bench::TakeRatioOption(argc, argv);
    OffscreenApplication qtApp(argv);
    bench::RatioReporter reporter;
    benchmark::RegisterBenchmark("WatchStream/704x480@25", WatchStream)
        ->Unit(benchmark::kSecond)
        ->UseManualTime()
        ->Iterations(1)
        ->Repetitions(1);
    const int result = bench::RunAndPrint(argc, argv, reporter);
    const bench::Measured* watched = reporter.Find("WatchStream/704x480@25");
    if (watched == nullptr || watched->counters.count("cpu_percent") == 0)
    {
        return result;
    }
    const double percent = watched->counters.at("cpu_percent");
    const std::string label = "viewer cpu 704x480@25" +
                              (ratio == 1 ? std::string() : " ratio " + std::to_string(ratio));
    std::printf("%-40s %.2f %%   (%.1f pictures painted a second, view %.0fx%.0f, "
                "%.0f paints straight into the raster)\n",
                label.c_str(), percent, watched->counters.at("pictures_per_s"),
                watched->counters.at("view_width"), watched->counters.at("view_height"),
                watched->counters.at("raster_paints"));
    if (ratio != 1)
    {
        return result;
    }
    const std::string scaledLabel = "viewer cpu 704x480@25 ratio 2";
    for (const std::string& line : bench::RunAtRatio(2, argc, argv))
    {
        if (line.starts_with(scaledLabel))
        {
            const double scaled = std::atof(line.c_str() + scaledLabel.size());
            std::printf("viewer cpu 704x480@25 ratio 2/1: %.2f   (%.2f %% against %.2f %%)\n",
                        scaled / percent, scaled, percent);
        }
    }
    return result;
}
