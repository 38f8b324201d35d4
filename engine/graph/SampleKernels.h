// Numeric routines over float blocks that the graph library and the audio
// renderer share: the level measurement (a plain and an SSE implementation
// with identical results), float to integer conversion with rounding to
// nearest and saturation, and buffer fills including the silence pattern.
//
// Audio thread: every function here is free of allocation and locks.
#pragma once

#include <cstdint>

#include "platform/win/WinTypes.h"

// The level accumulator: squared peak and sum of squares per channel. The
// third field is not used by the measurement.
struct LEVEL_STATE {
    float peak1;
    float sum1;
    float reserved;
    float peak2;
    float sum2;
};
static_assert(sizeof(LEVEL_STATE) == 20);

constexpr int LEVEL_PEAK = 1;
constexpr int LEVEL_SUM = 2;

// Raises the state's squared peaks to those of the block (1 channel, or 2
// interleaved) and, with LEVEL_SUM, adds the squares to the sums. Any other
// channel count, and an empty block (x may then be null), does nothing.
void MeasureLevel(LEVEL_STATE* s, int channels, int flags, const float* x, int frames);
// The same with packed squares and maxima; bit-identical results.
void MeasureLevelSSE(LEVEL_STATE* s, int channels, int flags, const float* x, int frames);

// The largest square over frames x channels values (0 for an empty block).
float PeakSquare(const float* x, int frames, int channels);

// TRUE on an x86 processor from Intel that reports SSE; decided once.
BOOL HasSSE();

// Converts `count` values, each x * scale rounded to nearest (the current
// rounding mode: ties to even by default) and saturated to -32768..32767; a
// NaN becomes 0. Written densely when channels is 1 or strideBytes is
// 2 x channels, else as count / 2 stereo pairs, one per strideBytes.
void FloatToInt16(short* dst, const float* src, int count, double scale, int channels, int strideBytes);

// The conversion core: x * scale rounded to nearest and saturated to
// [lo, hi] (integral bounds), NaN to 0, into 32-bit integers. Vectorised;
// FloatToIntRangePlain is the reference it matches bit for bit.
void FloatToIntRange(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi);
void FloatToIntRangePlain(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi);
// The two vector paths FloatToIntRange picks between (AVX2 where the
// processor has it, else SSE2; both the plain one elsewhere). Callers use
// FloatToIntRange; these are named so that each path can be checked.
void FloatToIntRangeSse2(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi);
void FloatToIntRangeAvx2(std::int32_t* dst, const float* src, int count, double scale, double lo, double hi);
bool HasAvx2();

// count values: with alternate FALSE all zeros; with alternate TRUE a head of
// count mod 8 copies of `value`, then groups of 0, 0, v, v, 0, 0, v, v.
void FillFloatBuffer(float* dst, int count, BOOL alternate, float value);

// The silence of the graph: the alternating pattern with 1e-20, so that
// denormal-prone processing downstream never sees long runs of exact zeros.
constexpr float kSilenceValue = 1e-20f;
void FillSilence(float* dst, int count);
