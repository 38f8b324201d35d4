// The summing loops of the mixers: a copy of the first input and an add of
// every further one, for stereo into stereo and for stereo folded to mono
// ((left + right) / 2 per frame). Vectorised (AVX where the processor has it,
// SSE2 otherwise); the results are the same on every path, since each output
// value is the same sum in the same order.
//
// Audio thread: every function here is free of allocation and locks.
#pragma once

// dst[i] = src[i] and dst[i] += src[i] over `count` floats.
void MixCopy(float* dst, const float* src, int count);
void MixAdd(float* dst, const float* src, int count);
// dst[k] = (src[2k] + src[2k + 1]) * 0.5, and += the same, over `frames`.
void MixFoldCopy(float* dst, const float* src, int frames);
void MixFoldAdd(float* dst, const float* src, int frames);
