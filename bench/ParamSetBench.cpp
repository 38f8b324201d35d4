// Playback applying automation to a parameter set: one value for each of
// 1,000 parameters (the owner's controls and four plug-ins of 200 each),
// then the views' read of the dirty mask. Measured per parameter; the path
// runs on the audio thread and must not allocate.
#include <benchmark/benchmark.h>

#include <vector>

#include "bench/AllocationCounter.h"
#include "engine/mixer/CControlParamSet.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

constexpr DWORD kGroups = 5;
constexpr DWORD kPerGroup = 200;
constexpr DWORD kParams = kGroups * kPerGroup;

class BenchSet final : public CControlParamSet {
public:
    BenchSet() : CControlParamSet(nullptr, &m_lock)
    {
        for (DWORD g = 0; g < kGroups; ++g) {
            const GUID cls = {0x1000 + g, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
            const GUID inst = {g == 0 ? 0u : 0x2000 + g, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
            DWORD first = 0;
            RegisterGroup(cls, inst, kPerGroup, &first);
            for (DWORD i = 0; i < kPerGroup; ++i) {
                ControlParam p{};
                p.info.mpdMaxValue = 1.0f;
                p.number = 0xFFFF;
                p.touchStartValue = kNoTouch;
                p.automatable = 1;
                AddParamIfAbsent(first + i, p);
                m_ids.push_back(first + i);
            }
        }
    }
    HRESULT FormatValue(DWORD, float, CString*) override { return E_NOTIMPL; }
    HRESULT SetParamValueFromUser(DWORD id, double value) override
    {
        return SetParamValue(id, static_cast<float>(value));
    }
    HRESULT GetGroupName(CString*, const GroupKey&) override { return E_NOTIMPL; }
    HRESULT GetParamTarget(DWORD, DWORD*, GUID*, GUID*, IMediaParams**) override { return S_FALSE; }

    std::vector<DWORD> m_ids;

private:
    CHeapCriticalSection m_lock;
};

void BM_ApplyAutomationAndReadDirtyMask(benchmark::State& state)
{
    BenchSet set;
    // Two spans' worth of events whose values differ, so every apply stores.
    std::vector<CMfxEvent> spans[2];
    for (int s = 0; s < 2; ++s) {
        spans[s].assign(kParams, CMfxEvent(MfxAutomation));
        for (DWORD i = 0; i < kParams; ++i) {
            spans[s][i].m_automation.param = set.m_ids[i];
            spans[s][i].m_value = s == 0 ? 0.25f : 0.75f;
        }
    }
    mv::ScopedThreadRole audio(mv::ThreadRole::Audio);
    const long before = mvbench::Allocations();
    int s = 0;
    for (auto _ : state) {
        set.ApplyAutomation(spans[s].data(), spans[s].size());
        benchmark::DoNotOptimize(set.GetDirtyMask());
        set.ClearDirtyBits(1);
        s ^= 1;
    }
    mvbench::ReportAllocations(state, before, "allocations", "applying automation allocated");
    state.SetItemsProcessed(state.iterations() * kParams);
    state.counters["per_param"] = benchmark::Counter(
        kParams, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ApplyAutomationAndReadDirtyMask);

}  // namespace
