// The summing mixer against the arithmetic it must do. BM_PlainAdd64 is the
// floor: 64 stereo blocks of 256 frames summed by a vectorised copy and 63
// vectorised adds, nothing else. BM_Mixer64 delivers the same 64 blocks to
// the 64 inputs of a running CStereoSumMixer, which queues them, mixes when
// the last arrives and hands the sum to the buffer renderer. Compare the
// medians of one run: the mixer may cost at most 1.5 times the floor.
// BM_Chain runs a block through source, null synth, tee, merge switch,
// mixer, gain-pan and buffer matcher into the renderer. "allocs_per_block"
// counts every operator new inside the timed loop (it must be 0).
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/AllocationCounter.h"
#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "engine/graph/CMergeSwitch.h"
#include "engine/graph/CNullSynth.h"
#include "engine/graph/CSimpleTee.h"
#include "engine/graph/CStereoSumMixer.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/CBufferMatcherFilter.h"
#include "platform/media/IGainPan.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define MV_X86 1
#endif

namespace {

constexpr int kFrames = 256;
constexpr int kInputs = 64;
constexpr int kFloats = kFrames * 2;

void ReportAllocations(benchmark::State& state, long before)
{
    mvbench::ReportAllocations(state, before, "allocs_per_block", "the block path allocated");
}

// 64 sources, each holding one filled sample, into a mixer and the renderer.
struct MixerRig {
    MixerRig()
    {
        HRESULT hr = S_OK;
        graph = std::make_unique<CDxFilterGraph>(&hr);
        graph->SetBlockFrames(kFrames);
        CStereoSumMixer::Create(graph.get(), nullptr, "MainSumMixer", &mixer);
        graph->AddFilter(mixer, u"MainSumMixer");
        graph->CreateBufRenderer(&renderer);
        graph->AddFilter(renderer, u"Render");
        for (int i = 0; i < kInputs; ++i) {
            CDxSource* s = nullptr;
            graph->CreateSource(&s);
            graph->AddFilter(s, u"src");
            graph->ConnectToPin(s, 0, mixer->GetFreeInputPin(), nullptr);
            sources.push_back(s);
        }
        graph->Connect(mixer, 0, renderer, 0, nullptr);
        graph->Run();
        for (int i = 0; i < kInputs; ++i) {
            IMediaSample* sample = nullptr;
            sources[static_cast<std::size_t>(i)]->Stream()->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
            BYTE* p = nullptr;
            sample->GetPointer(&p);
            auto* f = reinterpret_cast<float*>(p);
            for (int k = 0; k < kFloats; ++k)
                f[k] = static_cast<float>((k * 7 + i * 13) % 97) * 0.001f - 0.05f;
            sample->SetActualDataLength(kFloats * 4);
            samples.push_back(sample);
            inputs.push_back(f);
        }
    }
    ~MixerRig()
    {
        renderer->ReleaseSample();
        for (IMediaSample* s : samples)
            s->Release();
        graph->Stop();
        graph.reset();
        for (CDxSource* s : sources)
            s->Release();
        mixer->Release();
        renderer->Release();
    }
    bool Push()
    {
        for (int i = 0; i < kInputs; ++i)
            sources[static_cast<std::size_t>(i)]->Stream()->Deliver(samples[static_cast<std::size_t>(i)]);
        float* data = nullptr;
        LONG frames = 0;
        const bool mixed = SUCCEEDED(renderer->GetRenderedBuffer(&data, &frames)) && frames == kFrames;
        renderer->ReleaseSample();
        return mixed;
    }

    std::unique_ptr<CDxFilterGraph> graph;
    CStereoSumMixer* mixer = nullptr;
    CDxBufRenderer* renderer = nullptr;
    std::vector<CDxSource*> sources;
    std::vector<IMediaSample*> samples;
    std::vector<const float*> inputs;
};

#ifdef MV_X86
__attribute__((target("avx"))) void PlainSum(float* out, const std::vector<const float*>& in)
{
    std::memcpy(out, in[0], kFloats * sizeof(float));
    for (std::size_t i = 1; i < in.size(); ++i) {
        const float* x = in[i];
        for (int k = 0; k < kFloats; k += 8)
            _mm256_storeu_ps(out + k, _mm256_add_ps(_mm256_loadu_ps(out + k), _mm256_loadu_ps(x + k)));
    }
}
#else
void PlainSum(float* out, const std::vector<const float*>& in)
{
    std::memcpy(out, in[0], kFloats * sizeof(float));
    for (std::size_t i = 1; i < in.size(); ++i)
        for (int k = 0; k < kFloats; ++k)
            out[k] += in[i][k];
}
#endif

void BM_PlainAdd64(benchmark::State& state)
{
    MixerRig rig;
    std::vector<float> out(kFloats);
    for (auto _ : state) {
        PlainSum(out.data(), rig.inputs);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_PlainAdd64);

void BM_Mixer64(benchmark::State& state)
{
    MixerRig rig;
    // Warm up, and prove the sum is what the floor computes.
    if (!rig.Push()) {
        state.SkipWithError("no block was mixed");
        return;
    }
    std::vector<float> expected(kFloats);
    PlainSum(expected.data(), rig.inputs);
    rig.sources[0]->Stream()->Deliver(rig.samples[0]);
    for (int i = 1; i < kInputs; ++i)
        rig.sources[static_cast<std::size_t>(i)]->Stream()->Deliver(rig.samples[static_cast<std::size_t>(i)]);
    float* data = nullptr;
    LONG frames = 0;
    if (FAILED(rig.renderer->GetRenderedBuffer(&data, &frames)) ||
        std::memcmp(data, expected.data(), kFloats * sizeof(float)) != 0) {
        state.SkipWithError("the mix differs from the plain sum");
        return;
    }
    rig.renderer->ReleaseSample();
    const long before = mvbench::Allocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(rig.Push());
    ReportAllocations(state, before);
}
BENCHMARK(BM_Mixer64);

// source -> null synth (2 outputs); synth 0 -> tee (2 outputs); tee 0 ->
// merge switch -> mixer; tee 1 and synth 1 -> mixer; mixer -> gain-pan ->
// buffer matcher -> renderer.
void BM_Chain(benchmark::State& state)
{
    HRESULT hr = S_OK;
    auto graph = std::make_unique<CDxFilterGraph>(&hr);
    graph->SetBlockFrames(kFrames);
    CDxSource* src = nullptr;
    CNullSynth* synth = nullptr;
    CSimpleTee* tee = nullptr;
    CMergeSwitch* merge = nullptr;
    CStereoSumMixer* mixer = nullptr;
    CDxBufRenderer* renderer = nullptr;
    IBaseFilter* gainPan = nullptr;
    IBaseFilter* matcher = nullptr;
    graph->CreateSource(&src);
    CNullSynth::Create(graph.get(), 2, &synth);
    CSimpleTee::Create(graph.get(), 2, &tee);
    CMergeSwitch::Create(graph.get(), 1, 1, &merge);
    CStereoSumMixer::Create(graph.get(), nullptr, "MainSumMixer", &mixer);
    graph->CreateBufRenderer(&renderer);
    CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&gainPan));
    CoCreateInstance(CLSID_BufferMatcherFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                     reinterpret_cast<void**>(&matcher));
    IBaseFilter* all[] = {src, synth, tee, merge, mixer, gainPan, matcher, renderer};
    for (IBaseFilter* f : all)
        graph->AddFilter(f, u"f");
    graph->Connect(src, 0, synth, 0, nullptr);
    graph->Connect(synth, 0, tee, 0, nullptr);
    graph->Connect(tee, 0, merge, 0, nullptr);
    graph->ConnectToPin(merge, 0, mixer->GetFreeInputPin(), nullptr);
    graph->ConnectToPin(tee, 1, mixer->GetFreeInputPin(), nullptr);
    graph->ConnectToPin(synth, 1, mixer->GetFreeInputPin(), nullptr);
    graph->Connect(mixer, 0, gainPan, 0, nullptr);
    graph->Connect(gainPan, 0, matcher, 0, nullptr);
    graph->Connect(matcher, 0, renderer, 0, nullptr);
    graph->Run();
    IBufferMatcher* control = nullptr;
    matcher->QueryInterface(IID_IBufferMatcher, reinterpret_cast<void**>(&control));
    control->SetSegmentSize(kFrames * 8);
    src->SetEnabled(TRUE);
    std::vector<float> block(kFloats, 0.125f);
    float* data = nullptr;
    LONG frames = 0;
    src->PushBuffer(0, block.data(), kFrames, TRUE);
    if (FAILED(renderer->GetRenderedBuffer(&data, &frames)) || frames != kFrames || data[0] != 0.375f) {
        state.SkipWithError("the block did not pass the chain");
    } else {
        renderer->ReleaseSample();
        REFERENCE_TIME t = 0;
        const long before = mvbench::Allocations();
        for (auto _ : state) {
            src->PushBuffer(t, block.data(), kFrames, FALSE);
            renderer->ReleaseSample();
            t += 58049;
        }
        ReportAllocations(state, before);
    }
    renderer->ReleaseSample();
    control->Release();
    graph->Stop();
    graph.reset();
    for (IBaseFilter* f : all)
        f->Release();
}
BENCHMARK(BM_Chain);

}  // namespace
