// CJpegDecoder::Decode against bare libjpeg-turbo decoding the same frames to
// RGB with default settings, side by side, with the ratio per frame size.
#include "decode/CJpegDecoder.h"

#include "TestJpegEncoder.h"
#include "platform/MessageBox.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace
{
struct FrameSize
{
    int width;
    int height;
};

constexpr FrameSize kSizes[] = {{320, 240}, {704, 480}, {1280, 720}};

class SilentMessageBox : public IMessageBox
{
public:
    MessageBoxAnswer Show(const std::u16string&, const std::u16string&, MessageBoxIcon,
                          MessageBoxButtons) override
    {
        return MessageBoxAnswer::Ok;
    }
};

// A camera-like frame at the quality DVRs commonly send.
const std::vector<uint8_t>& Frame(const FrameSize& size)
{
    static std::map<int, std::vector<uint8_t>> frames;
    auto& frame = frames[size.width * 10000 + size.height];
    if (frame.empty())
    {
        frame = EncodeTestJpeg({size.width, size.height, 3, false, 75}, PatternSample);
    }
    return frame;
}

void BareLibjpeg(benchmark::State& state, FrameSize size)
{
    const std::vector<uint8_t>& jpeg = Frame(size);
    std::vector<uint8_t> rgb(static_cast<size_t>(size.width) * size.height * 3);
    for (auto _ : state)
    {
        jpeg_decompress_struct cinfo{};
        jpeg_error_mgr error{};
        cinfo.err = jpeg_std_error(&error);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, jpeg.data(), jpeg.size());
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        while (cinfo.output_scanline < cinfo.output_height)
        {
            JSAMPROW row = rgb.data() + static_cast<size_t>(cinfo.output_scanline) * size.width * 3;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(rgb.data());
    }
    state.SetItemsProcessed(state.iterations());
}

void Decoder(benchmark::State& state, FrameSize size)
{
    const std::vector<uint8_t>& jpeg = Frame(size);
    SilentMessageBox boxes;
    CJpegDecoder decoder(boxes);
    for (auto _ : state)
    {
        if (!decoder.Decode(jpeg.data(), jpeg.size()))
        {
            state.SkipWithError("decode failed");
            break;
        }
        benchmark::DoNotOptimize(decoder.GetBits());
    }
    state.SetItemsProcessed(state.iterations());
}

std::string SizeName(const FrameSize& size)
{
    return std::to_string(size.width) + "x" + std::to_string(size.height);
}

// Keeps each benchmark's time per frame (the median of its repetitions) so the
// ratios can be printed after the table.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs)
        {
            if (run.error_occurred)
            {
                continue;
            }
            if (run.run_type == Run::RT_Iteration)
            {
                m_nsPerFrame[run.run_name.function_name] =
                    run.real_accumulated_time * 1e9 / run.iterations;
            }
            else if (run.aggregate_name == "median")
            {
                m_nsPerFrame[run.run_name.function_name] = run.GetAdjustedRealTime() * 1000;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios() const
    {
        std::printf("\n%-10s %14s %14s %8s\n", "frame", "libjpeg us", "decoder us", "ratio");
        for (const FrameSize& size : kSizes)
        {
            const auto bare = m_nsPerFrame.find("BareLibjpeg/" + SizeName(size));
            const auto ours = m_nsPerFrame.find("CJpegDecoder/" + SizeName(size));
            if (bare == m_nsPerFrame.end() || ours == m_nsPerFrame.end())
            {
                continue;
            }
            std::printf("%-10s %14.1f %14.1f %8.3f\n", SizeName(size).c_str(), bare->second / 1000,
                        ours->second / 1000, ours->second / bare->second);
        }
    }

private:
    std::map<std::string, double> m_nsPerFrame;
};
} // namespace

int main(int argc, char** argv)
{
    for (const FrameSize& size : kSizes)
    {
        benchmark::RegisterBenchmark(("BareLibjpeg/" + SizeName(size)).c_str(), BareLibjpeg, size)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("CJpegDecoder/" + SizeName(size)).c_str(), Decoder, size)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(5)
            ->DisplayAggregatesOnly();
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios();
    benchmark::Shutdown();
    return 0;
}
