// The two small families that move a loop clip's samples: converters that
// turn a file's samples into floats when a clip is loaded, and mixing
// kernels that copy or add source samples into a float output with a left
// and a right gain, fixed or following a ramp (a slope, and a curvature that
// bends the slope, both added after every frame). Each family is one routine
// per variant behind a selector.
//
// Kernels keep the gains in double precision across a call and write the
// gains they reached back into the context, so a ramp split over two calls
// goes on where it stopped. A ramp is followed several frames at a time, so
// its gains may stray a few double roundings from stepping frame by frame:
// a sample then lands at most on the float next to that one. Fixed gains
// give exactly what frame by frame gives. Integer sources are used as their
// integer value: the scale belongs in the gain. The kernels give the same
// samples on every processor.
//
// Audio thread: no allocation, no blocking (kernels and converters alike).
#pragma once

#include "platform/win/WinTypes.h"

struct MixKernelContext {
    float* output = nullptr;      // interleaved frames of 1 or 2 floats
    const void* input = nullptr;  // 16-bit, packed 24-bit or float samples, interleaved
    int frames = 0;               // nothing happens for 0 or less
    double leftGain = 0, rightGain = 0;
    double leftSlope = 0, rightSlope = 0;
    double leftCurvature = 0, rightCurvature = 0;
    int bytesPerSample = 0;
};

using MixKernel = void (*)(MixKernelContext& context);

// Bits 24 select one of four kernels for a mono 24-bit source into a mono
// output; 32 a float source; any other count a 16-bit source. store writes
// instead of adding; ramp follows slope and curvature.
MixKernel SelectKernel(int sourceBits, int sourceChannels, int outputChannels, bool store, bool ramp);

// Writes samples floats: each source sample's value times scale. Converters
// run from the end of the buffer towards its start, so the output may be
// the buffer that holds the source at its start.
using SampleConverter = void (*)(float* output, const void* source, int samples, float scale);

// 4 (one byte a sample, value - 8), 8 (unsigned), 16, 24 (packed, signed) or
// 32 (float, copied); null for any other bit count.
SampleConverter SelectConverter(int bits);
