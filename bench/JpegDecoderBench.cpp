// SPDX-License-Identifier: GPL-3.0-or-later
// CJpegDecoder::Decode against the best bare decode of the same frames:
// TurboJPEG with one handle reused, straight into bottom-up blue-green-red rows
// padded as the decoder pads them. The decoder also de-interlaces from 704 x 480.
// Two kinds of frame: the simulator's scene (smooth, small, quick to decode, so
// the de-interlacing weighs most) and a busy test pattern (large, slow to decode).
#include "BareDecode.h"
#include "BenchFrames.h"
#include "decode/CJpegDecoder.h"
#include "platform/MessageBox.h"
#include "platform/SilentMessageBox.h"
#include "support/TestJpegEncoder.h"

#include <map>
#include <vector>

namespace
{
using bench::FrameSize;

enum class Content
{
    Scene,
    Pattern,
};

const char* ContentName(Content content)
{
    return content == Content::Scene ? "scene" : "pattern";
}

const std::vector<uint8_t>& Frame(const FrameSize& size, Content content)
{
    if (content == Content::Scene)
    {
        return bench::SceneFrame(size);
    }
    static std::map<int, std::vector<uint8_t>> frames;
    std::vector<uint8_t>& frame = frames[size.width * 10000 + size.height];
    if (frame.empty())
    {
        frame = EncodeTestJpeg({size.width, size.height, 3, false, bench::kSceneQuality},
                               PatternSample);
    }
    return frame;
}

// outputs 1: the same buffer every time, the reference. 2: two buffers in
// turn, as any decoder must use that keeps the last picture whole for a painter.
// denominator: decoded at the library's 1/denominator scale, as the wall's tiles are.
void BareDecode(benchmark::State& state, FrameSize size, Content content, int outputs,
                int denominator)
{
    const std::vector<uint8_t>& jpeg = Frame(size, content);
    const int width = (size.width + denominator - 1) / denominator;
    const int height = (size.height + denominator - 1) / denominator;
    const size_t bytes = static_cast<size_t>(bench::BareDecoder::Stride(width)) * height;
    std::vector<uint8_t> buffers[2];
    for (int i = 0; i < outputs; ++i)
    {
        buffers[i].resize(bytes);
    }
    bench::BareDecoder bare;
    int turn = 0;
    for (auto _ : state)
    {
        uint8_t* bits = buffers[turn].data();
        turn = (turn + 1) % outputs;
        if (!bare.Decode(jpeg, width, height, bits))
        {
            state.SkipWithError("TurboJPEG refused the frame");
            break;
        }
        benchmark::DoNotOptimize(bits);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void Decoder(benchmark::State& state, FrameSize size, Content content, int denominator)
{
    const std::vector<uint8_t>& jpeg = Frame(size, content);
    SilentMessageBox boxes;
    std::mutex commitLock;
    CJpegDecoder decoder(boxes, &commitLock);
    if (denominator > 1)
    {
        decoder.SetCoverSize(size.width / denominator, size.height / denominator);
    }
    for (auto _ : state)
    {
        if (!decoder.Decode(jpeg.data(), jpeg.size()))
        {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(decoder.GetBits());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

// name: the size, the content and, for a scaled decode, the scale.
void Compare(bench::RatioReporter& reporter, const std::string& name, FrameSize size,
             Content content, int denominator, bool twoBuffers)
{
    benchmark::RegisterBenchmark(("BareDecode/" + name).c_str(), BareDecode, size, content, 1,
                                 denominator)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(bench::kRepetitions)
        ->DisplayAggregatesOnly();
    benchmark::RegisterBenchmark(("CJpegDecoder/" + name).c_str(), Decoder, size, content,
                                 denominator)
        ->Unit(benchmark::kMicrosecond)
        ->Repetitions(bench::kRepetitions)
        ->DisplayAggregatesOnly();
    reporter.AddSpeedRatio("decode/bare " + name, "CJpegDecoder/" + name, "BareDecode/" + name,
                           bench::RatioReporter::Basis::CpuTime);
    if (twoBuffers)
    {
        benchmark::RegisterBenchmark(("BareDecodeTwoBuffers/" + name).c_str(), BareDecode, size,
                                     content, 2, denominator)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        reporter.AddSpeedRatio("decode/bare-two-buffers " + name, "CJpegDecoder/" + name,
                               "BareDecodeTwoBuffers/" + name,
                               bench::RatioReporter::Basis::CpuTime);
    }
}
} // namespace

int main(int argc, char** argv)
{
    bench::RatioReporter reporter;
    for (const Content content : {Content::Scene, Content::Pattern})
    {
        for (const FrameSize& size : bench::kFrameSizes)
        {
            Compare(reporter, bench::SizeName(size) + "/" + ContentName(content), size, content, 1,
                    true);
        }
    }
    // The wall's scales: a tile of a 4 x 4 wall in a 1280 x 720 window.
    Compare(reporter, "704x480/pattern 1/2", {704, 480}, Content::Pattern, 2, false);
    Compare(reporter, "1280x720/pattern 1/4", {1280, 720}, Content::Pattern, 4, false);
    Compare(reporter, "1920x1080/pattern 1/4", {1920, 1080}, Content::Pattern, 4, false);
    return bench::RunAndPrint(argc, argv, reporter);
}
