// SPDX-License-Identifier: GPL-3.0-or-later
// A camera's history being filled at 25 frames/s, recorded into the folder given as
// the argument, until the test kills this program. Tells on standard output, a line
// each: "stored NS" for every frame stored (its steady arrival in nanoseconds), "start
// NS" just before Start, "written N" when the recorder has written N frames.
#include "ClipTools.h"
#include "history/CFrameHistory.h"
#include "history/CHistoryBudget.h"
#include "record/CRecorder.h"

#include <cstdio>
#include <mutex>
#include <thread>

namespace
{
using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

std::mutex g_output;

void Tell(const char* what, long long value)
{
    std::lock_guard lock(g_output);
    std::printf("%s %lld\n", what, value);
    std::fflush(stdout);
}

long long Nanoseconds(Steady::time_point at)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    CHistoryBudget budget(256 << 20);
    CFrameHistory history(budget);
    std::vector<std::vector<uint8_t>> jpegs;
    for (int n = 0; n < 25; ++n)
    {
        jpegs.push_back(NumberedJpeg(n, 352, 240));
    }
    // 11 s already kept when recording starts, so its 10 s of pre-roll are all there.
    Steady::time_point next = Steady::now() - 11s;
    int number = 0;
    const auto store = [&](Steady::time_point at)
    {
        const std::vector<uint8_t>& jpeg = jpegs[number++ % jpegs.size()];
        history.Store(jpeg.data(), jpeg.size(), FrameAt(at, 2));
        Tell("stored", Nanoseconds(at));
    };
    for (; next <= Steady::now(); next += 40ms)
    {
        store(next);
    }
    CRecorder recorder(history, argv[1], u"Gate");
    recorder.SetObserver([](const CRecorder::Status& status)
                         { Tell("written", static_cast<long long>(status.frames)); });
    Tell("start", Nanoseconds(Steady::now()));
    if (!recorder.Start())
    {
        return 1;
    }
    // A camera's pace; the test ends this program long before a minute is over.
    for (const Steady::time_point end = Steady::now() + 60s; next < end; next += 40ms)
    {
        std::this_thread::sleep_until(next);
        store(next);
        recorder.Notify();
    }
    return 3;
}
