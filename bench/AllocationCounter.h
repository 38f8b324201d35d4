// Counts every operator new of the program that includes it, so a benchmark
// can show that a real-time path allocates nothing. The counting operators
// replace both new and delete, on malloc and free; include this header in
// exactly one source file of a benchmark program.
#pragma once

#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace mvbench {
inline std::atomic<long> g_allocations{0};
inline long Allocations() { return g_allocations.load(std::memory_order_relaxed); }

// Reports the allocations made since `before` as `counter`, per iteration,
// and fails the benchmark with `failure` if there were any: the timed path
// is one the audio thread runs.
inline void ReportAllocations(benchmark::State& state, long before, const char* counter, const char* failure)
{
    const long allocations = Allocations() - before;
    state.counters[counter] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    if (allocations != 0)
        state.SkipWithError(failure);
}
}  // namespace mvbench

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t n, const std::nothrow_t&) noexcept
{
    mvbench::g_allocations.fetch_add(1, std::memory_order_relaxed);
    return std::malloc(n ? n : 1);
}
void* operator new(std::size_t n)
{
    if (void* p = operator new(n, std::nothrow))
        return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t n) { return operator new(n); }
void* operator new[](std::size_t n, const std::nothrow_t& t) noexcept { return operator new(n, t); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
