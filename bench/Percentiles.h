// The per-buffer figures the real-time benches report: the median and the
// 99.9th percentile of their timed samples, in microseconds.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

namespace mvbench {

// Sorts `us` and sets the counters p50_us and p999_us; nothing for none.
inline void ReportPercentiles(benchmark::State& state, std::vector<double>& us)
{
    if (us.empty())
        return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p999_us"] = us[std::min(us.size() - 1, us.size() * 999 / 1000)];
}

}  // namespace mvbench
