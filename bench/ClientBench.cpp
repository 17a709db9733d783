// SPDX-License-Identifier: GPL-3.0-or-later
// The whole frame path: the in-process simulator sends the same pre-encoded
// frame over loopback, the client's receiver reads, deframes and decodes it up
// to a committed picture. Against it, in the same run, the bare decode of that
// frame. Throughput runs with the simulator unthrottled; latency at a steady
// rate the client keeps up with, so frames never queue in the socket.
#include "BareDecode.h"
#include "BenchFrames.h"
#include "DvrSimulator.h"
#include "net/CDVRClient.h"
#include "platform/BusyCursor.h"
#include "platform/MessageBox.h"
#include "platform/MessagePump.h"
#include "platform/NotifyWindow.h"
#include "platform/PictureWindow.h"
#include "platform/TextCodec.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>

namespace
{
using bench::FrameSize;
using Clock = std::chrono::steady_clock;

constexpr int kFramesPerIteration = 25;
constexpr double kLatencyRate = 50;
constexpr int kLatencyFrames = 150;
constexpr size_t kStamps = 1 << 16;

double ThreadCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

double ProcessCpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Everything a GUI would do, done at once on the calling thread. A repaint
// request comes right after a picture is committed: the commit timestamp.
class Surroundings : public INotifyWindow,
                     public IPictureWindow,
                     public IMessageBox,
                     public IMessagePump,
                     public IBusyCursor
{
public:
    Surroundings() : m_sentAt(std::make_unique<std::atomic<int64_t>[]>(kStamps)) {}

    intptr_t SendMessage(unsigned, uintptr_t, intptr_t) override { return 0; }
    bool Exists() const override { return true; }
    int ClientWidth() const override { return 704; }
    int ClientHeight() const override { return 480; }
    void RepaintNow() override
    {
        const int64_t now = Clock::now().time_since_epoch().count();
        const double cpu = ThreadCpuSeconds();
        std::lock_guard lock(m_mutex);
        ++m_frames;
        m_receiverCpu = cpu;
        // Frames are committed in the order they were sent, numbered from 1.
        const int64_t sent = m_sentAt[m_frames % kStamps].load(std::memory_order_acquire);
        if (m_recordLatency && sent != 0)
        {
            m_latencies.push_back(
                std::chrono::duration<double>(Clock::duration(now - sent)).count());
        }
        m_changed.notify_all();
    }
    MessageBoxAnswer Show(const std::u16string&, const std::u16string&, MessageBoxIcon,
                          MessageBoxButtons) override
    {
        return MessageBoxAnswer::Ok;
    }
    void DispatchPending() override {}
    // No GUI thread here: the handlers do nothing, so they may run where they are posted.
    void Post(std::function<void()> task) override { task(); }
    void Begin() override {}
    void End() override {}

    // The simulator's note of a frame's last byte going out.
    void OnFrameSent(uint32_t number, Clock::time_point at)
    {
        m_sentAt[number % kStamps].store(at.time_since_epoch().count(), std::memory_order_release);
    }

    bool WaitForFrames(uint64_t count)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10),
                                  [&] { return m_frames >= count; });
    }

    uint64_t Frames()
    {
        std::lock_guard lock(m_mutex);
        return m_frames;
    }

    double ReceiverCpuSeconds()
    {
        std::lock_guard lock(m_mutex);
        return m_receiverCpu;
    }

    void RecordLatency()
    {
        std::lock_guard lock(m_mutex);
        m_recordLatency = true;
    }

    std::vector<double> Latencies()
    {
        std::lock_guard lock(m_mutex);
        return m_latencies;
    }

private:
    std::unique_ptr<std::atomic<int64_t>[]> m_sentAt;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_frames = 0;
    double m_receiverCpu = 0;
    bool m_recordLatency = false;
    std::vector<double> m_latencies;
};

// One client logged in to one simulator that replays the frame of the size.
struct Session
{
    Session(const FrameSize& size, bool unthrottled)
    {
        DvrSimSettings settings;
        settings.frameSource.replay =
            std::make_shared<const std::vector<std::vector<uint8_t>>>(1, bench::SceneFrame(size));
        settings.frameSource.unthrottled = unthrottled;
        settings.framesPerSecond = kLatencyRate;
        dvr = std::make_unique<DvrSimulator>(settings);
        dvr->SetFrameSentObserver([this](uint8_t, uint32_t number, Clock::time_point at)
                                  { gui.OnFrameSent(number, at); });
        client = std::make_unique<CDVRClient>(gui, gui, gui, gui, gui);
    }

    ~Session()
    {
        client->Disconnect();
        client.reset();
        dvr->Stop();
    }

    bool Start()
    {
        if (!dvr->Start())
        {
            return false;
        }
        client->Start(MakeConnectInfo(u"bench", u"127.0.0.1",
                                      FromAscii(std::to_string(dvr->GetPort())), 0, u"ADMIN",
                                      u"1234"));
        return gui.WaitForFrames(1);
    }

    Surroundings gui;
    std::unique_ptr<DvrSimulator> dvr;
    std::unique_ptr<CDVRClient> client;
};

void ClientThroughput(benchmark::State& state, FrameSize size)
{
    Session session(size, true);
    if (!session.Start())
    {
        state.SkipWithError("no frame arrived");
        return;
    }
    const uint64_t firstFrame = session.gui.Frames();
    const double receiverCpuBefore = session.gui.ReceiverCpuSeconds();
    const double processCpuBefore = ProcessCpuSeconds();
    for (auto _ : state)
    {
        if (!session.gui.WaitForFrames(session.gui.Frames() + kFramesPerIteration))
        {
            state.SkipWithError("the stream stopped");
            return;
        }
    }
    const double processCpu = ProcessCpuSeconds() - processCpuBefore;
    const double frames = static_cast<double>(session.gui.Frames() - firstFrame);
    state.counters["receiver_cpu_us_per_frame"] =
        (session.gui.ReceiverCpuSeconds() - receiverCpuBefore) / frames * 1e6;
    state.counters["process_cpu_us_per_frame"] = processCpu / frames * 1e6;
    state.counters["frames_per_s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
}

void ClientLatency(benchmark::State& state, FrameSize size)
{
    Session session(size, false);
    if (!session.Start())
    {
        state.SkipWithError("no frame arrived");
        return;
    }
    // Past the first frames, which meet a cold client.
    session.gui.WaitForFrames(session.gui.Frames() + 5);
    session.gui.RecordLatency();
    for (auto _ : state)
    {
        if (!session.gui.WaitForFrames(session.gui.Frames() + kLatencyFrames))
        {
            state.SkipWithError("the stream stopped");
            return;
        }
    }
    std::vector<double> latencies = session.gui.Latencies();
    if (latencies.size() < kLatencyFrames)
    {
        state.SkipWithError("frames were not stamped");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["latency_median_us"] = latencies[latencies.size() / 2] * 1e6;
    state.counters["latency_p99_us"] = latencies[latencies.size() * 99 / 100] * 1e6;
}

void BareDecode(benchmark::State& state, FrameSize size)
{
    const std::vector<uint8_t>& jpeg = bench::SceneFrame(size);
    std::vector<uint8_t> bits(static_cast<size_t>(bench::BareDecoder::Stride(size.width)) *
                              size.height);
    bench::BareDecoder bare;
    for (auto _ : state)
    {
        if (!bare.Decode(jpeg, size.width, size.height, bits.data()))
        {
            state.SkipWithError("TurboJPEG refused the frame");
            break;
        }
        benchmark::DoNotOptimize(bits.data());
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
        benchmark::RegisterBenchmark(("BareDecode/" + name).c_str(), BareDecode, size)
            ->Unit(benchmark::kMicrosecond)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("ClientThroughput/" + name).c_str(), ClientThroughput, size)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->MinTime(1.0)
            ->Repetitions(bench::kRepetitions)
            ->DisplayAggregatesOnly();
        benchmark::RegisterBenchmark(("ClientLatency/" + name).c_str(), ClientLatency, size)
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime()
            ->Iterations(1)
            ->Repetitions(1);
        reporter.AddSpeedRatio("client/bare fps " + name, "ClientThroughput/" + name,
                               "BareDecode/" + name, bench::RatioReporter::Basis::RealTime,
                               kFramesPerIteration);
    }
    const int result = bench::RunAndPrint(argc, argv, reporter);
    for (const FrameSize& size : bench::kFrameSizes)
    {
        const std::string name = bench::SizeName(size);
        const bench::Measured* bare = reporter.Find("BareDecode/" + name);
        const bench::Measured* client = reporter.Find("ClientThroughput/" + name);
        const bench::Measured* latency = reporter.Find("ClientLatency/" + name);
        if (bare == nullptr || bare->cpuSeconds <= 0)
        {
            continue;
        }
        const double decodeUs = bare->cpuSeconds * 1e6;
        if (client != nullptr)
        {
            const double receiverUs = client->counters.at("receiver_cpu_us_per_frame");
            std::printf("%-40s %6.3f   (%.1f us of the receiver thread, %.1f us of the whole "
                        "process with the simulator, against %.1f us)\n",
                        ("client cpu/bare " + name).c_str(), receiverUs / decodeUs, receiverUs,
                        client->counters.at("process_cpu_us_per_frame"), decodeUs);
        }
        if (latency != nullptr && latency->counters.count("latency_median_us") != 0)
        {
            const double median = latency->counters.at("latency_median_us");
            std::printf("%-40s median %.2f ms, p99 %.2f ms, median beyond one decode %.2f ms\n",
                        ("latency " + name).c_str(), median / 1000,
                        latency->counters.at("latency_p99_us") / 1000, (median - decodeUs) / 1000);
        }
    }
    return result;
}
