// The soft-synth framework's own cost on the streaming thread: one 64-frame
// block through a synth that has no voices (it only writes silence), and
// each event delivered through the queue, against a plain loop that writes
// the same silence and against the same graph without the synth.
//
//   framework cost per block = SynthBlock - GraphBlockWithoutSynth
//   (PlainSilence is what the instrument's own writing costs)
//   framework cost per event = (SynthEvents - SynthBlock) / events
//
// Goals: within 1 us per block and 50 ns per event.
#include <benchmark/benchmark.h>

#include <cstring>
#include <new>
#include <vector>

#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "plugins/synthframework/CFilter.h"
#include "plugins/synthframework/PlugInServer.h"

std::span<const mvsynth::FactoryTemplate> mvsynth::PlugInFactories() { return {}; }

namespace {

constexpr int kFrames = 64;
constexpr int kEvents = 64;

MV_DEFINE_GUID(CLSID_BenchSynth, 0x6A0E52C2, 0x3B7D, 0x4F1A, 0x9C, 0x2E, 0x51, 0x7A, 0x0D, 0x88, 0x34, 0x11);

// No voices: every block is silence written into each output.
class SilentEngine : public mvsynth::CDXi {
public:
    HRESULT Process(LONGLONG, const mvsynth::DXiBuffer*, mvsynth::DXiBuffer* outputs, DWORD count, LONGLONG,
                    const mvsynth::DXiEventList&) override
    {
        for (DWORD i = 0; i < count; ++i)
            BeginWrite(outputs[i]);
        return S_OK;
    }
};

mvsynth::CDXi* MakeSilent() { return new (std::nothrow) SilentEngine; }
const mvsynth::SynthClass kClass{&CLSID_BenchSynth, "Bench", nullptr, 0, &MakeSilent};

// A host that only converts: 120 BPM, so tick 0 is sample 0.
struct BenchHost : mvsynth::IMfxTempoMap, mvsynth::IMfxMeterMap {
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, mvsynth::IID_IMfxTempoMap) || IsEqualGUID(riid, IID_IUnknown))
            *ppv = static_cast<mvsynth::IMfxTempoMap*>(this);
        else if (IsEqualGUID(riid, mvsynth::IID_IMfxMeterMap))
            *ppv = static_cast<mvsynth::IMfxMeterMap*>(this);
        else
            return *ppv = nullptr, E_NOINTERFACE;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(LONG) TicksToMsecs(LONG t) override { return t * 500 / 960; }
    STDMETHODIMP_(LONG) MsecsToTicks(LONG ms) override { return ms * 960 / 500; }
    STDMETHODIMP_(LONG) GetTicksPerQuarter() override { return 960; }
    STDMETHODIMP_(LONG) GetTempoIndexAt(LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetTempoCount() override { return 1; }
    STDMETHODIMP GetTempoAt(LONG, LONG* t, LONG* tempo) override { return *t = 0, *tempo = 12000, S_OK; }
    STDMETHODIMP TicksToMbt(LONG, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP_(LONG) MbtToTicks(LONG, LONG, LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterIndexAt(LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterCount() override { return 1; }
    STDMETHODIMP GetMeterAt(LONG, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
};

// Controllers at tick 0: each is queued, taken by the next block and passed
// once rendered, and starts no voice.
struct ControllerQueue : mvsynth::IMfxDataQueue {
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Add(const mvsynth::MfxData*) override { return E_NOTIMPL; }
    STDMETHODIMP GetCount(int* n) override { return *n = kEvents, S_OK; }
    STDMETHODIMP GetAt(int i, mvsynth::MfxData* d) override
    {
        *d = {0, static_cast<DWORD>(0xB0 | (i & 0x7F) << 8 | 64 << 16)};
        return S_OK;
    }
};

// source -> [synth] -> renderer at 44.1 kHz in 64-frame blocks.
struct Chain {
    explicit Chain(bool withSynth)
    {
        HRESULT hr = S_OK;
        graph = new CDxFilterGraph(&hr);
        graph->SetSampleRate(44100);
        graph->SetBlockFrames(kFrames);
        CMediaType mt;
        graph->BuildFloatType(&mt, 2);
        CDxSource::Create(nullptr, reinterpret_cast<const WAVEFORMATEX*>(mt.Format()), graph, &source);
        IMemAllocator* allocator = nullptr;
        graph->CreateAllocator(&allocator);
        source->SetAllocator(allocator);
        allocator->Release();
        source->SetEnabled(TRUE);
        graph->CreateBufRenderer(&renderer);
        graph->AddFilter(source, u"src");
        graph->AddFilter(renderer, u"Render");
        if (withSynth) {
            mvsynth::CFilter::CreateInstance(kClass, nullptr, IID_IBaseFilter, reinterpret_cast<void**>(&synth));
            graph->AddFilter(synth, u"Synth");
            graph->Connect(source, 0, synth, 0, nullptr);
            graph->Connect(synth, 0, renderer, 0, nullptr);
            synth->QueryInterface(mvsynth::IID_IMfxSoftSynth2, reinterpret_cast<void**>(&soft));
            host.AddRef();
            soft->Connect(static_cast<mvsynth::IMfxTempoMap*>(&host));
        } else {
            graph->Connect(source, 0, renderer, 0, nullptr);
        }
        graph->Run();
        if (soft)
            soft->Start(0);
    }
    ~Chain()
    {
        graph->Stop();
        if (soft) {
            soft->Disconnect();
            soft->Release();
        }
        renderer->ReleaseSample();
        delete graph;
        source->Release();
        renderer->Release();
        if (synth)
            synth->Release();
    }
    void Push() { source->PushBuffer(0, silence.data(), kFrames, FALSE); }

    BenchHost host;
    CDxFilterGraph* graph = nullptr;
    CDxSource* source = nullptr;
    CDxBufRenderer* renderer = nullptr;
    IBaseFilter* synth = nullptr;
    mvsynth::IMfxSoftSynth2* soft = nullptr;
    std::vector<float> silence = std::vector<float>(kFrames * 2, 0.0f);
};

void PlainSilence(benchmark::State& state)
{
    std::vector<float> out(kFrames * 2);
    for (auto _ : state) {
        for (float& v : out)
            v = 0.0f;
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(PlainSilence);

void GraphBlockWithoutSynth(benchmark::State& state)
{
    Chain chain(false);
    for (auto _ : state)
        chain.Push();
}
BENCHMARK(GraphBlockWithoutSynth);

void SynthBlock(benchmark::State& state)
{
    Chain chain(true);
    for (auto _ : state)
        chain.Push();
}
BENCHMARK(SynthBlock);

void SynthEvents(benchmark::State& state)
{
    Chain chain(true);
    ControllerQueue queue;
    for (auto _ : state) {
        // Events land at the start of the block about to render.
        chain.soft->Start(0);
        chain.soft->SendMidi(1, &queue);
        chain.Push();
    }
    state.SetItemsProcessed(state.iterations() * kEvents);
}
BENCHMARK(SynthEvents);

void SynthStartOnly(benchmark::State& state)
{
    Chain chain(true);
    for (auto _ : state) {
        chain.soft->Start(0);
        chain.Push();
    }
}
BENCHMARK(SynthStartOnly);

}  // namespace
