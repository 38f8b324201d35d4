// The JACK driver's sample edge: its ASIO channels hold 32-bit little-endian
// integers (kAsioInt32LSB), JACK ports hold float.
//
// Integers become float scaled by 1/2^31, so full scale maps to [-1, 1).
// Float becomes integer scaled by 2^31 - 1, rounded to nearest and
// saturated to the 32-bit range; a NaN becomes 0.
//
// Audio thread: no allocation, no blocking.
#pragma once

#include <cstdint>

void Int32ToJackFloat(float* dst, const std::int32_t* src, int count);
void JackFloatToInt32(std::int32_t* dst, const float* src, int count);
