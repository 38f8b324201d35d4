// The per-buffer entry's cost at 256 frames, 44100 Hz, 16-bit, playing a
// loop: the engine owner's own work (three try-locks, loop and tick/sample
// conversions, the data renderer's broadcasts, the time keeper) around one
// block through the song's graph. "p50_us" and "p999_us" are the median and
// the 99.9th percentile of single buffers, to be read against "period_us",
// the time the device takes to play one; "allocs_per_buffer" counts every
// operator new inside the entry (it must be 0).
//
// Empty document: the graph of a song with nothing in it, the input source
// straight into the master bus's buffer renderer.
//
// Sixteen channels: each channel a push source into a null synth, a tee
// whose first output runs through the effect path's merge switch and the
// channel's gain-pan into the master bus's summing mixer and whose second
// output is an aux send (gain-pan) into an aux bus (summing mixer, gain-pan,
// then the master mixer); the master bus: summing mixer, the metronome's
// merge switch, gain-pan, buffer matcher, buffer renderer.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <optional>
#include <vector>

#include "bench/AllocationCounter.h"
#include "devices/CAppConfig.h"
#include "engine/graph/CMergeSwitch.h"
#include "platform/media/CBufferMatcherFilter.h"
#include "platform/media/IGainPan.h"
#include "tests/engine/TransportFakes.h"
#include "tests/engine/BuiltSongDocument.h"
#include "tests/engine/GraphBuilder.h"

namespace {

constexpr int kFrames = 256;
constexpr int kRate = 44100;

// A song of `channels` channels, built in the engine owner's graph once
// the device has set the block length.
class MixerDocument : public mvtest::BuiltSongDocument {
public:
    using BuiltSongDocument::BuiltSongDocument;

    bool Build(CTransport& transport)
    {
        CDxFilterGraph* graph = transport.GetFilterGraph();
        mvtest::GraphBuilder g(graph);
        mvtest::GraphBuilder::Buses buses;
        bool ok = g.MakeBuses(transport.GetAudioRenderer(), buses, m_renderer);
        IBaseFilter* auxGain = g.Create(CLSID_GainPanFilter);
        IBaseFilter* masterGain = g.Create(CLSID_GainPanFilter);
        std::vector<IBufferMatcher*> masterBus;
        IBaseFilter* matcher = g.Matcher(&masterBus);
        ok = ok && auxGain && masterGain && matcher;
        for (int c = 0; ok && c < m_channels; ++c) {
            mvtest::GraphBuilder::ChannelHead head;
            CMergeSwitch* effects = nullptr;
            ok = g.MakeChannelHead(head) && g.Adopt(CMergeSwitch::Create(graph, 1, 1, &effects), effects);
            IBaseFilter* volume = g.Create(CLSID_GainPanFilter);
            IBaseFilter* send = g.Create(CLSID_GainPanFilter);
            ok = ok && volume && send && g.Ok(graph->Connect(head.tee, 0, effects, 0, nullptr)) &&
                 g.Ok(graph->Connect(effects, 0, volume, 0, nullptr)) &&
                 g.Ok(graph->ConnectToPin(volume, 0, buses.master->GetFreeInputPin(), nullptr)) &&
                 g.Ok(graph->Connect(head.tee, 1, send, 0, nullptr)) &&
                 g.Ok(graph->ConnectToPin(send, 0, buses.aux->GetFreeInputPin(), nullptr));
            if (ok) {
                head.source->SetEnabled(TRUE);
                render.sources.push_back(head.source);
            }
        }
        ok = ok && g.Ok(graph->Connect(buses.aux, 0, auxGain, 0, nullptr)) &&
             g.Ok(graph->ConnectToPin(auxGain, 0, buses.master->GetFreeInputPin(), nullptr)) &&
             g.Ok(graph->Connect(buses.master, 0, buses.metronome, 0, nullptr)) &&
             g.Ok(graph->Connect(buses.metronome, 0, masterGain, 0, nullptr)) &&
             g.Ok(graph->Connect(masterGain, 0, matcher, 0, nullptr)) &&
             g.Ok(graph->Connect(matcher, 0, m_renderer, 0, nullptr));
        render.renderer = m_renderer;
        render.masterBus = masterBus.empty() ? nullptr : masterBus.front();
        return ok;
    }
};

// An engine owner started the way the program's first timer tick leaves it,
// then playing a four-beat loop, with the fakes' journal off.
template <class Document>
class PlayingEngine {
public:
    template <class... DocumentArgs>
    explicit PlayingEngine(DocumentArgs... args) : doc(&factory.journal, args...)
    {
        CAppConfig::SetRewireDeviceMode(false);
        m_config.emplace();
        CAppConfig::SetDriverType(CTransport::kDriverDirectSound);
        factory.directSoundScript.fixedBufferBytes = kFrames * 4;
        ok = SUCCEEDED(transport.Init(FALSE));
        doc.UseGraph(transport.GetFilterGraph());
        ok = ok && SUCCEEDED(transport.SetDocument(&doc)) && SUCCEEDED(transport.ApplyAudioReset());
        if constexpr (requires { doc.Build(transport); })
            ok = ok && doc.Build(transport);
        ok = ok && SUCCEEDED(transport.SetLoop(0, 3840, TRUE)) && SUCCEEDED(transport.Play()) &&
             transport.GetFilterGraph()->GetBlockFrames() == kFrames;
        // One buffer that must go through every path of the graph.
        int paths = 1;
        if constexpr (requires { doc.Paths(); })
            paths = doc.Paths();
        ok = ok && transport.ProcessBuffer(out.data(), in.data(), kFrames * 4, -1) == S_OK &&
             transport.GetAudioRenderer()->GetSamplePosition() == kFrames &&
             std::abs(out[kFrames] - paths * in[kFrames]) <= 2;
        factory.journal.SetEnabled(false);
    }
    ~PlayingEngine() { transport.SetDocument(nullptr); }

    mvtest::FakeEngineFactory factory;
    CTransport transport{&factory};
    Document doc;
    // A quiet stereo input and the device buffer.
    std::vector<short> in = std::vector<short>(kFrames * 2, 64);
    std::vector<short> out = std::vector<short>(kFrames * 2);
    bool ok = false;

private:
    std::optional<CAppConfig> m_config;
};

// Times every buffer on its own and reports the percentiles beside the mean.
template <class Engine>
void RunBuffers(benchmark::State& state, Engine& engine)
{
    if (!engine.ok) {
        state.SkipWithError("the engine did not start");
        return;
    }
    CTransport& transport = engine.transport;
    std::vector<short>& out = engine.out;
    std::vector<double> times;
    times.reserve(1 << 20);
    long allocations = 0;
    for (auto _ : state) {
        const long before = mvbench::Allocations();
        const auto t0 = std::chrono::steady_clock::now();
        HRESULT hr = transport.ProcessBuffer(out.data(), engine.in.data(), static_cast<UINT>(out.size() * 2), -1);
        const auto t1 = std::chrono::steady_clock::now();
        allocations += mvbench::Allocations() - before;
        benchmark::DoNotOptimize(hr);
        benchmark::DoNotOptimize(out.data());
        if (times.size() < times.capacity())
            times.push_back(std::chrono::duration<double, std::micro>(t1 - t0).count());
    }
    std::sort(times.begin(), times.end());
    auto at = [&](double q) { return times.empty() ? 0.0 : times[static_cast<std::size_t>(q * (times.size() - 1))]; };
    state.counters["p50_us"] = at(0.5);
    state.counters["p999_us"] = at(0.999);
    state.counters["period_us"] = kFrames * 1e6 / kRate;
    state.counters["allocs_per_buffer"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
}

void BM_ProcessBuffer_EmptyDocument(benchmark::State& state)
{
    PlayingEngine<mvtest::FakeTransportDocument> engine;
    RunBuffers(state, engine);
}
BENCHMARK(BM_ProcessBuffer_EmptyDocument)->Unit(benchmark::kMicrosecond);

void BM_ProcessBuffer_SixteenNullSynthChannels(benchmark::State& state)
{
    PlayingEngine<MixerDocument> engine(16);
    RunBuffers(state, engine);
}
BENCHMARK(BM_ProcessBuffer_SixteenNullSynthChannels)->Unit(benchmark::kMicrosecond);

}  // namespace
