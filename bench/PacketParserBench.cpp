// Deframing cost against the floor of touching the same bytes once: a realistic
// stream of 704 x 480 JPEG-sized frame packets fed in 512-byte reads.
#include "net/FrameHeader.h"
#include "net/PacketParser.h"
#include "net/Protocol.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

namespace
{
constexpr size_t kChunk = 512;

std::vector<uint8_t> MakeStream()
{
    std::mt19937 random(7);
    std::vector<uint8_t> stream;
    std::vector<uint8_t> login(DvrInfoBlock::kSize, 0);
    login[0] = 16;
    auto packet = BuildPacket(1, PKT_LOGIN_REPLY, login.data(), login.size());
    stream.insert(stream.end(), packet.begin(), packet.end());
    // A 704 x 480 JPEG at common quality settings runs from about 30 to 60 KB.
    for (int frame = 0; frame < 64; ++frame)
    {
        const uint32_t jpegSize = 30000 + random() % 30000;
        std::vector<uint8_t> payload(CFrameHeader::kSize + jpegSize);
        WriteFrameHeader(payload.data(), {.dataLength = jpegSize, .imageLength = jpegSize});
        for (size_t i = CFrameHeader::kSize; i < payload.size(); ++i)
        {
            payload[i] = static_cast<uint8_t>(random());
        }
        packet = BuildPacket(1, PKT_FRAME, payload.data(), static_cast<uint32_t>(payload.size()));
        stream.insert(stream.end(), packet.begin(), packet.end());
    }
    return stream;
}

const std::vector<uint8_t>& Stream()
{
    static const std::vector<uint8_t> stream = MakeStream();
    return stream;
}

void BM_PacketParserFeed(benchmark::State& state)
{
    const auto& stream = Stream();
    std::vector<uint8_t> out(CPacketParser::kOutputSize);
    CPacketParser parser;
    parser.InitBuffers();
    size_t packets = 0;
    for (auto _ : state)
    {
        for (size_t at = 0; at < stream.size(); at += kChunk)
        {
            const auto n = static_cast<uint32_t>(std::min(kChunk, stream.size() - at));
            const uint8_t* bytes = stream.data() + at;
            uint32_t count = n;
            while (parser.Feed(out.data(), bytes, count) == 1)
            {
                ++packets;
                bytes = nullptr;
                count = 0;
            }
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * stream.size()));
    state.counters["packets"] = benchmark::Counter(static_cast<double>(packets),
                                                   benchmark::Counter::kAvgIterations);
}

void BM_MemcpySameBytes(benchmark::State& state)
{
    const auto& stream = Stream();
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

BENCHMARK(BM_MemcpySameBytes);
BENCHMARK(BM_PacketParserFeed);
BENCHMARK_MAIN();
