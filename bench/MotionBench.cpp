// SPDX-License-Identifier: GPL-3.0-or-later
// What motion detection costs a 4 x 4 wall of 704 x 480 cameras at 25 frames/s:
// CMotionDetector on one camera-second of frames (25, of which it looks at two)
// against the bare decode at the scale a tile of the wall decodes at (1/2), and the
// ways of looking that were tried. The frames are the real scene of tests/data/motion
// cut to 704 x 480 and encoded as a camera would, at quality 75 and 4:2:0.
#include "BareDecode.h"
#include "BenchRatios.h"
#include "motion/CLumaSampler.h"
#include "motion/CMotionDetector.h"

#include <turbojpeg.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{
constexpr int kWidth = 704;
constexpr int kHeight = 480;
constexpr int kFramesPerSecond = 25;
constexpr int kCameras = 16;
constexpr int kSceneFrames = 30;

const std::vector<std::vector<uint8_t>>& Frames()
{
    static std::vector<std::vector<uint8_t>> frames;
    if (!frames.empty())
    {
        return frames;
    }
    tjhandle decompressor = tjInitDecompress();
    tjhandle compressor = tjInitCompress();
    std::vector<uint8_t> rgb(768 * 576 * 3);
    for (int i = 0; i < kSceneFrames; ++i)
    {
        char name[32];
        std::snprintf(name, sizeof name, "/motion/walking-%02d.jpg", i);
        std::ifstream in(std::string(QUILLON_TESTDATA_DIR) + name, std::ios::binary);
        const std::vector<uint8_t> jpeg{std::istreambuf_iterator<char>(in), {}};
        unsigned char* out = nullptr;
        unsigned long size = 0;
        // The middle of the 768 x 576 picture.
        const uint8_t* cut = rgb.data() + (48 * 768 + 32) * 3;
        if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(), rgb.data(), 768, 768 * 3, 576,
                          TJPF_RGB, 0) != 0 ||
            tjCompress2(compressor, cut, kWidth, 768 * 3, kHeight, TJPF_RGB, &out, &size,
                        TJSAMP_420, 75, 0) != 0)
        {
            std::fprintf(stderr, "%s could not be made into a frame\n", name);
            std::exit(1);
        }
        frames.emplace_back(out, out + size);
        tjFree(out);
    }
    tjDestroy(compressor);
    tjDestroy(decompressor);
    return frames;
}

// One iteration is one camera-second: 25 frames. Frames further apart than 40 ms make
// the detector look at more of them, as if it looked more often at 25 frames/s.
void Detect(benchmark::State& state, std::chrono::milliseconds apart)
{
    const auto& frames = Frames();
    CMotionDetector detector;
    auto arrived = CMotionDetector::Clock::time_point(std::chrono::hours(1));
    size_t next = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kFramesPerSecond; ++i)
        {
            const std::vector<uint8_t>& jpeg = frames[next++ % frames.size()];
            arrived += apart;
            benchmark::DoNotOptimize(detector.OnFrame(jpeg.data(), jpeg.size(), arrived));
        }
    }
}

void Sample(benchmark::State& state)
{
    const auto& frames = Frames();
    CLumaSampler sampler;
    size_t next = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kFramesPerSecond; ++i)
        {
            const std::vector<uint8_t>& jpeg = frames[next++ % frames.size()];
            benchmark::DoNotOptimize(sampler.Sample(jpeg.data(), jpeg.size()));
        }
    }
}

// TurboJPEG straight into rows of the given pixel format at 1/divisor.
void Decode(benchmark::State& state, int divisor, TJPF format)
{
    const auto& frames = Frames();
    tjhandle handle = tjInitDecompress();
    const int width = (kWidth + divisor - 1) / divisor;
    const int height = (kHeight + divisor - 1) / divisor;
    const int pitch = bench::BareDecoder::Stride(width * tjPixelSize[format] / 3);
    std::vector<uint8_t> bits(static_cast<size_t>(pitch) * height + 4);
    size_t next = 0;
    for (auto _ : state)
    {
        for (int i = 0; i < kFramesPerSecond; ++i)
        {
            const std::vector<uint8_t>& jpeg = frames[next++ % frames.size()];
            if (tjDecompress2(handle, jpeg.data(), jpeg.size(), bits.data(), width, pitch, height,
                              format, TJFLAG_BOTTOMUP) != 0)
            {
                state.SkipWithError("TurboJPEG refused the frame");
                break;
            }
            benchmark::DoNotOptimize(bits.data());
        }
    }
    tjDestroy(handle);
}

void Register(const char* name, void (*run)(benchmark::State&))
{
    benchmark::RegisterBenchmark(name, run)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(bench::kRepetitions)
        ->DisplayAggregatesOnly();
}
} // namespace

int main(int argc, char** argv)
{
    Frames();
    Register("Motion/two-a-second",
             [](benchmark::State& state) { Detect(state, std::chrono::milliseconds(40)); });
    Register("Motion/five-a-second",
             [](benchmark::State& state) { Detect(state, CMotionDetector::kLookInterval / 5); });
    Register("Motion/every-frame",
             [](benchmark::State& state) { Detect(state, CMotionDetector::kLookInterval); });
    Register("LumaSample/grey-1/8", Sample);
    Register("Decode/colour-1/8", [](benchmark::State& state) { Decode(state, 8, TJPF_BGR); });
    Register("Decode/grey-full", [](benchmark::State& state) { Decode(state, 1, TJPF_GRAY); });
    Register("BareScaledDecode/1/2", [](benchmark::State& state) { Decode(state, 2, TJPF_BGR); });

    bench::RatioReporter reporter;
    using Basis = bench::RatioReporter::Basis;
    reporter.AddSpeedRatio("bare scaled decode/motion", "Motion/two-a-second",
                           "BareScaledDecode/1/2", Basis::CpuTime);
    reporter.AddSpeedRatio("five a second/two a second", "Motion/two-a-second",
                           "Motion/five-a-second", Basis::CpuTime);
    reporter.AddSpeedRatio("every frame/two a second", "Motion/two-a-second", "Motion/every-frame",
                           Basis::CpuTime);
    reporter.AddSpeedRatio("colour 1/8/grey 1/8", "LumaSample/grey-1/8", "Decode/colour-1/8",
                           Basis::CpuTime);
    reporter.AddSpeedRatio("grey full/grey 1/8", "LumaSample/grey-1/8", "Decode/grey-full",
                           Basis::CpuTime);
    const int result = bench::RunAndPrint(argc, argv, reporter);

    // Per camera-second of CPU, times the wall's sixteen cameras, as a share of a core.
    const bench::Measured* motion = reporter.Find("Motion/two-a-second");
    const bench::Measured* bare = reporter.Find("BareScaledDecode/1/2");
    if (motion && bare && bare->cpuSeconds > 0)
    {
        std::printf("motion cpu %dx%dx%d@%d %.2f %% of a core, bare scaled decode %.1f %%, "
                    "motion/bare scaled decode %.3f\n",
                    kCameras, kWidth, kHeight, kFramesPerSecond,
                    motion->cpuSeconds * kCameras * 100, bare->cpuSeconds * kCameras * 100,
                    motion->cpuSeconds / bare->cpuSeconds);
    }
    return result;
}
