// CJpegDecoder::Decode against the best bare decode of the same frames:
// TurboJPEG with one handle reused, straight into bottom-up blue-green-red rows
// padded as the decoder pads them. The decoder also de-interlaces from 704 x 480.
#include "BareDecode.h"
#include "BenchFrames.h"
#include "decode/CJpegDecoder.h"
#include "platform/MessageBox.h"

#include <vector>

namespace
{
using bench::FrameSize;

class SilentMessageBox : public IMessageBox
{
public:
    MessageBoxAnswer Show(const std::u16string&, const std::u16string&, MessageBoxIcon,
                          MessageBoxButtons) override
    {
        return MessageBoxAnswer::Ok;
    }
};

// outputs 1: the same buffer every time, the reference. 2: two buffers in
// turn, as any decoder must use that keeps the last picture whole for a painter.
void BareDecode(benchmark::State& state, FrameSize size, int outputs)
{
    const std::vector<uint8_t>& jpeg = bench::SceneFrame(size);
    const size_t bytes = static_cast<size_t>(bench::BareDecoder::Stride(size.width)) * size.height;
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
        if (!bare.Decode(jpeg, size.width, size.height, bits))
        {
            state.SkipWithError("TurboJPEG refused the frame");
            break;
        }
        benchmark::DoNotOptimize(bits);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}

void Decoder(benchmark::State& state, FrameSize size)
{
    const std::vector<uint8_t>& jpeg = bench::SceneFrame(size);
    SilentMessageBox boxes;
    std::mutex commitLock;
    CJpegDecoder decoder(boxes, &commitLock);
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
} // namespace

int main(int argc, char** argv)
{
    bench::RatioReporter reporter;
    for (const FrameSize& size : bench::kFrameSizes)
    {
        const std::string name = bench::SizeName(size);
        benchmark::RegisterBenchmark(("BareDecode/" + name).c_str(), BareDecode, size, 1)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("BareDecodeTwoBuffers/" + name).c_str(), BareDecode, size, 2)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("CJpegDecoder/" + name).c_str(), Decoder, size)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        reporter.AddSpeedRatio("decode/bare " + name, "CJpegDecoder/" + name, "BareDecode/" + name,
                               bench::RatioReporter::Basis::CpuTime);
        reporter.AddSpeedRatio("decode/bare-two-buffers " + name, "CJpegDecoder/" + name,
                               "BareDecodeTwoBuffers/" + name,
                               bench::RatioReporter::Basis::CpuTime);
    }
    return bench::RunAndPrint(argc, argv, reporter);
}
