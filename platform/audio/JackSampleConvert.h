// The JACK driver's sample edge: its ASIO channels hold 24-bit integers in
// the low end of 32-bit little-endian words (kAsioInt32LSB24), JACK ports
// hold float. The scales are the device edge's 24-bit ones, so the engine's
// 24-bit samples cross into JACK unchanged.
//
// Integers become float scaled by 1/8388608, from the word's low 24 bits
// sign-extended (the top byte is not part of the sample), so full scale
// maps to [-1, 1). Float becomes integer scaled by 8388607, rounded to
// nearest and saturated to -8388608..8388607, sign-extended into the word;
// a NaN becomes 0.
//
// Audio thread: no allocation, no blocking.
#pragma once

#include <cstdint>

void Int24In32ToJackFloat(float* dst, const std::int32_t* src, int count);
void JackFloatToInt24In32(std::int32_t* dst, const float* src, int count);
