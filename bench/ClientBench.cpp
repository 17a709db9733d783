// The whole frame path: the simulator over loopback, the client's receiver
// reading, deframing and decoding, up to a committed picture. Beside it, in the
// same run, the simulator's own cost of making one frame, which bounds the rate
// a single stream can reach.
#include "DvrSimulator.h"
#include "JpegEncoder.h"
#include "TestScene.h"
#include "net/CDVRClient.h"
#include "platform/BusyCursor.h"
#include "platform/MessageBox.h"
#include "platform/MessagePump.h"
#include "platform/NotifyWindow.h"
#include "platform/PictureWindow.h"
#include "platform/TextCodec.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>

namespace
{
// Everything a GUI would do, done at once on the calling thread.
class Surroundings : public INotifyWindow,
                     public IPictureWindow,
                     public IMessageBox,
                     public IMessagePump,
                     public IBusyCursor
{
public:
    intptr_t SendMessage(unsigned, uintptr_t, intptr_t) override { return 0; }
    bool Exists() const override { return true; }
    int ClientWidth() const override { return 704; }
    int ClientHeight() const override { return 480; }
    void RepaintNow() override
    {
        std::lock_guard lock(m_mutex);
        ++m_frames;
        m_changed.notify_all();
    }
    MessageBoxAnswer Show(const std::u16string&, const std::u16string&, MessageBoxIcon,
                          MessageBoxButtons) override
    {
        return MessageBoxAnswer::Ok;
    }
    void DispatchPending() override {}
    void Post(std::function<void()> task) override { task(); }
    void Begin() override {}
    void End() override {}

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

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    uint64_t m_frames = 0;
};

void BM_ClientFrameFromSimulator(benchmark::State& state)
{
    DvrSimSettings settings;
    settings.sizes[0] = {static_cast<unsigned>(state.range(0)),
                         static_cast<unsigned>(state.range(1))};
    settings.framesPerSecond = 1000; // as fast as the simulator can make them
    DvrSimulator dvr(settings);
    if (!dvr.Start())
    {
        state.SkipWithError("the simulator did not start");
        return;
    }
    Surroundings gui;
    CDVRClient client(gui, gui, gui, gui, gui);
    client.Start(MakeConnectInfo(u"bench", u"127.0.0.1", FromAscii(std::to_string(dvr.GetPort())),
                                 0, u"ADMIN", u"1234"));
    if (!gui.WaitForFrames(1))
    {
        state.SkipWithError("no frame arrived");
        return;
    }
    for (auto _ : state)
    {
        if (!gui.WaitForFrames(gui.Frames() + 1))
        {
            state.SkipWithError("the stream stopped");
            break;
        }
    }
    client.Disconnect();
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void BM_SimulatorMakesFrame(benchmark::State& state)
{
    const PictureSize size{static_cast<unsigned>(state.range(0)),
                           static_cast<unsigned>(state.range(1))};
    auto now = std::chrono::system_clock::now();
    for (auto _ : state)
    {
        now += std::chrono::milliseconds(40);
        const auto jpeg = JpegEncoder::Encode(TestScene::Render(0, CameraState{}, size, now), 75);
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
} // namespace

BENCHMARK(BM_SimulatorMakesFrame)->Args({320, 240})->Args({704, 480})->UseRealTime();
BENCHMARK(BM_ClientFrameFromSimulator)->Args({320, 240})->Args({704, 480})->UseRealTime();
BENCHMARK_MAIN();
