// SPDX-License-Identifier: GPL-3.0-or-later
#include "JpegEncoder.h"
#include "TestScene.h"

#include <benchmark/benchmark.h>

#include <chrono>

// One simulated frame: drawing the scene and encoding it. Its cost bounds the frame
// rate that one server thread can keep per stream.
static void BM_RenderAndEncodeFrame(benchmark::State& state)
{
    const PictureSize size{static_cast<unsigned>(state.range(0)),
                           static_cast<unsigned>(state.range(1))};
    auto now = std::chrono::system_clock::now();
    size_t bytes = 0;
    for (auto _ : state)
    {
        now += std::chrono::milliseconds(40);
        const auto jpeg = JpegEncoder::Encode(TestScene::Render(0, CameraState{}, size, now), 75);
        bytes += jpeg.size();
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["jpeg_bytes"] =
        benchmark::Counter(static_cast<double>(bytes) / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_RenderAndEncodeFrame)->Args({64, 48})->Args({320, 240})->Args({704, 480});
BENCHMARK_MAIN();
