// Float to device-integer conversion on one core, in samples per second:
// the 16-bit kernel of the graph library and the 24-bit packed and 24-in-32
// kernels of the device edge, each with rounding to nearest and saturation.
// Blocks of 512 samples (one 256-frame stereo block) and of 8192.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "devices/AudDataConvert.h"
#include "engine/graph/SampleKernels.h"

namespace {

std::vector<float> Signal(int n)
{
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i)
        v[static_cast<std::size_t>(i)] = static_cast<float>((i * 7919) % 2001 - 1000) / 900.0f;  // some beyond full scale
    return v;
}

// Times `convert(out, in, n)` over a block of n samples into a vector of Out.
template <class Out, class Convert>
void MeasureConversion(benchmark::State& state, std::size_t outPerSample, Convert convert)
{
    const int n = static_cast<int>(state.range(0));
    std::vector<float> in = Signal(n);
    std::vector<Out> out(static_cast<std::size_t>(n) * outPerSample);
    for (auto _ : state) {
        convert(out.data(), in.data(), n);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * n);
}

void BM_FloatToInt16(benchmark::State& state)
{
    MeasureConversion<short>(state, 1, [](short* o, const float* i, int n) { FloatToInt16(o, i, n, 32767.0, 2, 4); });
}
BENCHMARK(BM_FloatToInt16)->Arg(512)->Arg(8192);

void BM_Float24ToPacked(benchmark::State& state)
{
    MeasureConversion<BYTE>(state, 3,
                            [](BYTE* o, const float* i, int n) { Float24ToPacked(o, i, n, kScale24Out, 2, 6); });
}
BENCHMARK(BM_Float24ToPacked)->Arg(512)->Arg(8192);

void BM_Float24To32(benchmark::State& state)
{
    MeasureConversion<std::int32_t>(
        state, 1, [](std::int32_t* o, const float* i, int n) { Float24To32(o, i, n, kScale24Out, 2, 8); });
}
BENCHMARK(BM_Float24To32)->Arg(512)->Arg(8192);

// The reference the vector kernels match bit for bit, for comparison.
void BM_FloatToIntRangePlain(benchmark::State& state)
{
    MeasureConversion<std::int32_t>(state, 1, [](std::int32_t* o, const float* i, int n) {
        FloatToIntRangePlain(o, i, n, kScale24Out, -8388608.0, 8388607.0);
    });
}
BENCHMARK(BM_FloatToIntRangePlain)->Arg(8192);

}  // namespace
