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
#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <new>
#include <optional>
#include <vector>

#include "devices/CAppConfig.h"
#include "tests/engine/TransportFakes.h"

namespace {
std::atomic<long> g_allocations{0};
}

// The counting operators below replace both new and delete, on malloc/free.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n)
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr int kFrames = 256;
constexpr int kRate = 44100;

// An engine owner started the way the program's first timer tick leaves it,
// then playing a four-beat loop, with the fakes' journal off.
class PlayingEngine {
public:
    PlayingEngine()
    {
        CAppConfig::SetRewireDeviceMode(false);
        m_config.emplace();
        CAppConfig::SetDriverType(CTransport::kDriverDirectSound);
        factory.directSoundScript.fixedBufferBytes = kFrames * 4;
        ok = SUCCEEDED(transport.Init(FALSE));
        doc.UseGraph(transport.GetFilterGraph());
        ok = ok && SUCCEEDED(transport.SetDocument(&doc)) && SUCCEEDED(transport.ApplyAudioReset()) &&
             SUCCEEDED(transport.SetLoop(0, 3840, TRUE)) && SUCCEEDED(transport.Play()) &&
             transport.GetFilterGraph()->GetBlockFrames() == kFrames;
        // One buffer that must go through the graph, not out as silence.
        std::vector<short> out(kFrames * 2);
        ok = ok && transport.ProcessBuffer(out.data(), nullptr, static_cast<UINT>(out.size() * 2), -1) == S_OK &&
             transport.GetAudioRenderer()->GetSamplePosition() == kFrames;
        factory.journal.SetEnabled(false);
    }
    ~PlayingEngine() { transport.SetDocument(nullptr); }

    mvtest::FakeEngineFactory factory;
    CTransport transport{&factory};
    mvtest::FakeTransportDocument doc{&factory.journal};
    bool ok = false;

private:
    std::optional<CAppConfig> m_config;
};

// Times every buffer on its own and reports the percentiles beside the mean.
void RunBuffers(benchmark::State& state, CTransport& transport)
{
    std::vector<short> out(kFrames * 2);
    std::vector<double> times;
    times.reserve(1 << 20);
    long allocations = 0;
    for (auto _ : state) {
        const long before = g_allocations.load(std::memory_order_relaxed);
        const auto t0 = std::chrono::steady_clock::now();
        HRESULT hr = transport.ProcessBuffer(out.data(), nullptr, static_cast<UINT>(out.size() * 2), -1);
        const auto t1 = std::chrono::steady_clock::now();
        allocations += g_allocations.load(std::memory_order_relaxed) - before;
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
    PlayingEngine engine;
    if (!engine.ok) {
        state.SkipWithError("the engine did not start");
        return;
    }
    RunBuffers(state, engine.transport);
}
BENCHMARK(BM_ProcessBuffer_EmptyDocument)->Unit(benchmark::kMicrosecond);

}  // namespace
