// SPDX-License-Identifier: GPL-3.0-or-later
// Deframing against the floor of touching the same bytes once: a stream of
// frame packets carrying the simulator's JPEGs, fed in 512-byte reads as the
// client's receiver feeds it, against memcpy of the same reads.
#include "BenchFrames.h"
#include "protocol/CFrameHeader.h"
#include "protocol/CPacketParser.h"
#include "protocol/Protocol.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace
{
using bench::FrameSize;

constexpr size_t kChunk = 512;
constexpr int kFramesPerStream = 32;

std::vector<uint8_t> MakeStream(const FrameSize& size)
{
    const std::vector<uint8_t>& jpeg = bench::SceneFrame(size);
    std::vector<uint8_t> stream;
    std::vector<uint8_t> login(DvrInfoBlock::kSize, 0);
    login[0] = 16;
    auto packet = BuildPacket(1, PKT_LOGIN_REPLY, login.data(), login.size());
    stream.insert(stream.end(), packet.begin(), packet.end());
    std::vector<uint8_t> payload(CFrameHeader::kSize + jpeg.size());
    const auto jpegSize = static_cast<uint32_t>(jpeg.size());
    WriteFrameHeader(payload.data(), {.dataLength = jpegSize, .imageLength = jpegSize});
    std::copy(jpeg.begin(), jpeg.end(), payload.begin() + CFrameHeader::kSize);
    packet = BuildPacket(1, PKT_FRAME, payload.data(), static_cast<uint32_t>(payload.size()));
    for (int frame = 0; frame < kFramesPerStream; ++frame)
    {
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

void Deframe(benchmark::State& state, FrameSize size)
{
    const std::vector<uint8_t> stream = MakeStream(size);
    std::vector<uint8_t> out(CPacketParser::kOutputSize);
    CPacketParser parser;
    parser.InitBuffers();
    size_t packets = 0;
    for (auto _ : state)
    {
        for (size_t at = 0; at < stream.size(); at += kChunk)
        {
            const uint8_t* bytes = stream.data() + at;
            auto count = static_cast<uint32_t>(std::min(kChunk, stream.size() - at));
            while (parser.Feed(out.data(), bytes, count) == 1)
            {
                ++packets;
                bytes = nullptr;
                count = 0;
            }
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    if (packets != static_cast<size_t>(state.iterations()) * (kFramesPerStream + 1))
    {
        state.SkipWithError("the parser lost packets");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}

void Memcpy(benchmark::State& state, FrameSize size)
{
    const std::vector<uint8_t> stream = MakeStream(size);
    std::vector<uint8_t> out(stream.size());
    for (auto _ : state)
    {
        for (size_t at = 0; at < stream.size(); at += kChunk)
        {
            std::memcpy(out.data() + at, stream.data() + at, std::min(kChunk, stream.size() - at));
        }
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
}
} // namespace

int main(int argc, char** argv)
{
    bench::RatioReporter reporter;
    for (const FrameSize& size : bench::kFrameSizes)
    {
        const std::string name = bench::SizeName(size);
        benchmark::RegisterBenchmark(("Memcpy/" + name).c_str(), Memcpy, size)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("CPacketParser/" + name).c_str(), Deframe, size)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        reporter.AddSpeedRatio("deframe/memcpy " + name, "CPacketParser/" + name, "Memcpy/" + name,
                               bench::RatioReporter::Basis::CpuTime);
    }
    return bench::RunAndPrint(argc, argv, reporter);
}
