// Sample-format conversion at the device edge: the engine's float samples to
// the device's integer layouts and back.
//
// Output: each value x * scale is rounded to nearest (the current rounding
// mode, ties to even by default) and saturated to the 24-bit range; a NaN
// becomes 0. 16-bit output is FloatToInt16 of the graph library.
// Input: 16-bit values are scaled by 1/32768, 24-bit values by 1/8388608.
//
// The output kernels take (destination, source, sample count, scale, channel
// count, frame stride in bytes): with one channel, or a stride equal to the
// packed frame size, they write densely; otherwise one stereo pair at the
// start of each strided frame.
//
// Audio thread: every function here is free of allocation and locks.
#pragma once

#include <cstdint>

#include "platform/win/WinTypes.h"

constexpr double kScale24Out = 8388607.0;

// Little-endian 3-byte samples; exactly `count` samples are written.
void Float24ToPacked(BYTE* dst, const float* src, int count, double scale, int channels, int strideBytes);
// The 24-bit value sign-extended in a 32-bit word (low-aligned).
void Float24To32(std::int32_t* dst, const float* src, int count, double scale, int channels, int strideBytes);
// Moves low-aligned 24-bit values into the upper 24 bits of their words.
void ShiftWordsLeft8(std::int32_t* words, int count);

void Int16ToFloat(float* dst, const short* src, int count);
void Packed24ToFloat(float* dst, const BYTE* src, int count);
// Low-aligned words, or with highAligned the value in the upper 24 bits.
void Int32ToFloat(float* dst, const std::int32_t* src, int count, bool highAligned);
