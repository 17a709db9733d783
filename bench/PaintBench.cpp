// SPDX-License-Identifier: GPL-3.0-or-later
// The view's own paint of a committed 704 x 480 picture against the least any
// painter must do: one drawImage of an already converted RGB32 picture into
// the same place of the same target. The view is the real one, logged in to
// the in-process simulator, its receiver paused once a picture is committed.
#include "BenchFrames.h"
#include "DvrSimulator.h"
#include "OffscreenApplication.h"
#include "app/CZentrelView.h"
#include "platform/QtBusyCursor.h"
#include "platform/QtMessageBox.h"
#include "platform/QtMessagePump.h"
#include "platform/TextCodec.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <filesystem>
#include <memory>

namespace
{
using bench::FrameSize;

constexpr FrameSize kPicture{704, 480};
constexpr FrameSize kWindows[] = {{240, 320}, {1280, 720}};

class NoFrame : public INotifyWindow
{
public:
    intptr_t SendMessage(unsigned, uintptr_t, intptr_t) override { return 0; }
};

// The real view showing the simulator's scene, frozen on one committed picture.
struct Viewer
{
    Viewer()
    {
        DvrSimSettings settings;
        settings.frameSource.replay = std::make_shared<const std::vector<std::vector<uint8_t>>>(
            1, bench::SceneFrame(kPicture));
        settings.framesPerSecond = 25;
        dvr = std::make_unique<DvrSimulator>(settings);
        const CZentrelView::Services services{frame,
                                              messageBox,
                                              messagePump,
                                              busyCursor,
                                              std::filesystem::temp_directory_path() /
                                                  "quillon-bench-paint.db",
                                              {},
                                              CPictureAge([this] { return Now(); })};
        view = std::make_unique<CZentrelView>(services);
    }

    ~Viewer()
    {
        if (paused)
        {
            view->GetClient().ResumeReceiver();
        }
        view.reset();
        dvr->Stop();
    }

    bool Start()
    {
        if (!dvr->Start())
        {
            return false;
        }
        view->resize(kPicture.width, kPicture.height);
        view->show();
        view->ConnectTo(DvrEntry{u"bench", u"127.0.0.1", FromAscii(std::to_string(dvr->GetPort())),
                                 0, u"ADMIN", u"1234"});
        QElapsedTimer waited;
        waited.start();
        while (view->GetPaintedPictures() == 0 && waited.elapsed() < 10000)
        {
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        }
        if (view->GetPaintedPictures() == 0)
        {
            return false;
        }
        view->GetClient().PauseReceiver();
        pausedAt = CPictureAge::Clock::now();
        paused = true;
        return true;
    }

    // The committed picture turned the right way up and converted once, and
    // where the view places it in a window of the view's current size.
    QImage Converted(QRect& placement)
    {
        QImage converted;
        view->GetClient().GetPictureDisplay().PaintCommitted(
            [&](const CJpegDecoder& picture, const PictureRect& where)
            {
                const QImage rows(picture.GetBits(), picture.GetWidth(), picture.GetHeight(),
                                  static_cast<qsizetype>(picture.GetStride()),
                                  QImage::Format_BGR888);
                converted = rows.mirrored().convertToFormat(QImage::Format_RGB32);
                placement = QRect(where.left, where.top, where.right - where.left,
                                  where.bottom - where.top);
            });
        return converted;
    }

    // What is measured is the paint of a live picture: its age stops with the
    // stream, so the held picture never dims as a frozen one.
    CPictureAge::Clock::time_point Now() const
    {
        return paused ? pausedAt : CPictureAge::Clock::now();
    }

    NoFrame frame;
    QtMessageBox messageBox;
    QtMessagePump messagePump;
    QtBusyCursor busyCursor;
    std::unique_ptr<DvrSimulator> dvr;
    std::unique_ptr<CZentrelView> view;
    bool paused = false;
    CPictureAge::Clock::time_point pausedAt{};
};

Viewer* g_viewer = nullptr;

QImage Target(const FrameSize& window)
{
    QImage target(window.width, window.height, QImage::Format_RGB32);
    target.fill(Qt::black);
    return target;
}

void ViewPaint(benchmark::State& state, FrameSize window)
{
    g_viewer->view->resize(window.width, window.height);
    QImage target = Target(window);
    for (auto _ : state)
    {
        g_viewer->view->render(&target);
        benchmark::DoNotOptimize(target.constBits());
    }
}

void BareDrawImage(benchmark::State& state, FrameSize window)
{
    g_viewer->view->resize(window.width, window.height);
    QRect placement;
    const QImage converted = g_viewer->Converted(placement);
    QImage target = Target(window);
    for (auto _ : state)
    {
        QPainter painter(&target);
        painter.drawImage(placement, converted);
        painter.end();
        benchmark::DoNotOptimize(target.constBits());
    }
}

// Both ways must give the very same pixels, or the comparison means nothing.
bool SamePixels(const FrameSize& window)
{
    g_viewer->view->resize(window.width, window.height);
    QImage viewed = Target(window);
    g_viewer->view->render(&viewed);
    QRect placement;
    const QImage converted = g_viewer->Converted(placement);
    QImage bare = Target(window);
    QPainter painter(&bare);
    painter.drawImage(placement, converted);
    painter.end();
    return viewed == bare;
}
} // namespace

int main(int argc, char** argv)
{
    OffscreenApplication qtApp(argv);
    Viewer viewer;
    if (!viewer.Start())
    {
        std::fprintf(stderr, "bench_paint: no picture arrived from the simulator\n");
        return 1;
    }
    g_viewer = &viewer;

    bench::RatioReporter reporter;
    for (const FrameSize& window : kWindows)
    {
        const std::string name = bench::SizeName(window);
        benchmark::RegisterBenchmark(("ViewPaint/" + name).c_str(), ViewPaint, window)
            ->Unit(benchmark::kMicrosecond)
            ->MeasureProcessCPUTime()
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("BareDrawImage/" + name).c_str(), BareDrawImage, window)
            ->Unit(benchmark::kMicrosecond)
            ->MeasureProcessCPUTime()
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        reporter.AddSpeedRatio("paint/bare " + name, "ViewPaint/" + name, "BareDrawImage/" + name,
                               bench::RatioReporter::Basis::CpuTime);
    }
    const int result = bench::RunAndPrint(argc, argv, reporter);
    for (const FrameSize& window : kWindows)
    {
        std::printf("%-40s %s\n", ("paint pixels " + bench::SizeName(window)).c_str(),
                    SamePixels(window) ? "identical to the bare drawImage" : "DIFFER");
    }
    return result;
}
