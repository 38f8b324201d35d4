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
// dst[i] = sources[0][i] + sources[1][i] + ... over `count` floats, added in
// that order (the same values as MixCopy and MixAdd one source after the
// other), a stretch of the output at a time kept in registers while every
// source is added, so the output is written once. `sources` >= 1.
void MixSum(float* dst, const float* const* sources, int sourceCount, int count);
// dst[k] = (src[2k] + src[2k + 1]) * 0.5, and += the same, over `frames`.
void MixFoldCopy(float* dst, const float* src, int frames);
void MixFoldAdd(float* dst, const float* src, int frames);
