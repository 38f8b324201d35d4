// The graph's own cost: one 256-frame stereo block pushed from a source
// through N pass-through filters (each takes its filter lock and hands the
// same sample on, touching no audio) into the buffer renderer. The cost per
// filter is the slope between the runs; "allocs_per_push" counts every
// operator new during the timed pushes (it must be 0).
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/AllocationCounter.h"
#include "devices/CAudioRenderer.h"
#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "platform/media/CBaseFilter.h"
#include "platform/media/CBaseInputPin.h"
#include "platform/media/CBaseOutputPin.h"

namespace {

MV_DEFINE_GUID(CLSID_BenchPass, 0x7A7A0001, 0x0001, 0x0001, 0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01);

class PassFilter;

class PassIn : public CBaseInputPin {
public:
    PassIn(PassFilter* f, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    STDMETHODIMP Receive(IMediaSample* sample) override;

private:
    PassFilter* m_owner;
};

class PassOut : public CBaseOutputPin {
public:
    PassOut(PassFilter* f, CCritSec* lock);
    HRESULT CheckMediaType(const CMediaType*) override { return S_OK; }
    HRESULT DecideBufferSize(IMemAllocator* a, ALLOCATOR_PROPERTIES* props) override
    {
        props->cBuffers = 1;
        props->cbBuffer = 2 * 1024 * 8;
        ALLOCATOR_PROPERTIES actual{};
        return a->SetProperties(props, &actual);
    }
};

class PassFilter : public CBaseFilter {
public:
    PassFilter() : CBaseFilter("PassFilter", nullptr, &m_lock, CLSID_BenchPass), m_in(this, &m_lock), m_out(this, &m_lock) {}
    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override { return n == 0 ? static_cast<CBasePin*>(&m_in) : n == 1 ? &m_out : nullptr; }
    PassOut& Out() { return m_out; }
    CCritSec* Lock() { return &m_lock; }

private:
    CCritSec m_lock;
    PassIn m_in;
    PassOut m_out;
};

PassOut::PassOut(PassFilter* f, CCritSec* lock) : CBaseOutputPin("PassOut", f, lock, nullptr, u"Out") {}

PassIn::PassIn(PassFilter* f, CCritSec* lock) : CBaseInputPin("PassIn", f, lock, nullptr, u"In"), m_owner(f) {}

HRESULT PassIn::Receive(IMediaSample* sample)
{
    CAutoLock lock(m_owner->Lock());
    HRESULT hr = CheckStreaming();
    return hr == S_OK ? m_owner->Out().Deliver(sample) : hr;
}

constexpr int kFrames = 256;

// source -> N pass filters -> buffer renderer, running.
struct Chain {
    explicit Chain(int n)
    {
        HRESULT hr = S_OK;
        graph = std::make_unique<CDxFilterGraph>(&hr);
        graph->SetBlockFrames(kFrames);
        graph->CreateSource(&source);
        graph->CreateBufRenderer(&renderer);
        graph->AddFilter(source, u"src");
        graph->AddFilter(renderer, u"Render");
        IBaseFilter* last = source;
        for (int i = 0; i < n; ++i) {
            auto* f = new PassFilter;
            f->AddRef();
            graph->AddFilter(f, u"pass");
            graph->Connect(last, 0, f, 0, nullptr);
            passes.push_back(f);
            last = f;
        }
        graph->Connect(last, 0, renderer, 0, nullptr);
        graph->Run();
        source->SetEnabled(TRUE);
    }
    ~Chain()
    {
        graph->Stop();
        graph.reset();
        for (auto* f : passes)
            f->Release();
        source->Release();
        renderer->Release();
    }
    std::unique_ptr<CDxFilterGraph> graph;
    CDxSource* source = nullptr;
    CDxBufRenderer* renderer = nullptr;
    std::vector<PassFilter*> passes;
};

void ReportAllocations(benchmark::State& state, long before)
{
    mvbench::ReportAllocations(state, before, "allocs_per_push", "the push path allocated");
}

void BM_PushThroughFilters(benchmark::State& state)
{
    const int n = static_cast<int>(state.range(0));
    Chain chain(n);
    std::vector<float> block(kFrames * 2, 0.25f);
    float* data = nullptr;
    LONG frames = 0;
    // Warm up, and prove the block arrives.
    chain.source->PushBuffer(0, block.data(), kFrames, FALSE);
    if (FAILED(chain.renderer->GetRenderedBuffer(&data, &frames)) || frames != kFrames) {
        state.SkipWithError("the block did not arrive");
        return;
    }
    chain.renderer->ReleaseSample();
    const long before = mvbench::Allocations();
    for (auto _ : state) {
        chain.source->PushBuffer(0, block.data(), kFrames, FALSE);
        chain.renderer->ReleaseSample();
    }
    ReportAllocations(state, before);
    state.counters["filters"] = n;
}
BENCHMARK(BM_PushThroughFilters)->Arg(0)->Arg(1)->Arg(4)->Arg(16)->Arg(64);

// The whole device segment: 16-bit input to float, the push, float to 16-bit.
class OneSourceDocument : public IRenderDocument {
public:
    explicit OneSourceDocument(Chain* c) : m_chain(c) {}
    CDxSource* GetInputSource() override { return m_chain->source; }
    int GetPushSourceCount() override { return 0; }
    CDxSource* GetPushSource(int) override { return nullptr; }
    int GetChannelCount() override { return 0; }
    int GetChannelOutputCount(int) override { return 0; }
    IBufferMatcher* GetChannelOutputMatcher(int, int) override { return nullptr; }
    int GetAuxBusCount() override { return 0; }
    IBufferMatcher* GetAuxBusMatcher(int) override { return nullptr; }
    bool AuxBusHasConnectedInputs(int) override { return false; }
    bool HasMasterBus() override { return true; }
    IBufferMatcher* GetMasterChainMatcher() override { return nullptr; }
    IBufferMatcher* GetMasterBusMatcher() override { return nullptr; }
    CDxBufRenderer* GetMasterRenderer() override { return m_chain->renderer; }

private:
    Chain* m_chain;
};

void BM_RenderBuffer16(benchmark::State& state)
{
    Chain chain(static_cast<int>(state.range(0)));
    OneSourceDocument doc(&chain);
    auto renderer = std::make_unique<CAudioRenderer>();
    renderer->SetDocument(&doc);
    std::vector<short> in(kFrames * 2, 1000), out(kFrames * 2);
    int got = 0;
    renderer->RenderBuffer(out.data(), in.data(), kFrames, &got, kFrames, 0);
    const long before = mvbench::Allocations();
    for (auto _ : state) {
        renderer->RenderBuffer(out.data(), in.data(), kFrames, &got, kFrames, 0);
        benchmark::DoNotOptimize(out.data());
    }
    ReportAllocations(state, before);
    if (got != kFrames)
        state.SkipWithError("no block rendered");
}
BENCHMARK(BM_RenderBuffer16)->Arg(0)->Arg(8);

}  // namespace
