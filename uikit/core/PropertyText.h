// Text helpers the typed properties share: the C library's leading-number
// readers with their meaning on any text (no digits read as 0), and the
// variant change they all convert through.
#pragma once

#include "platform/com/Variant.h"
#include "platform/win/CString.h"

namespace prop {

// The leading integer of the text as atoi reads it; beyond the 32-bit range
// it saturates instead of being undefined.
LONG LeadingInt(const char* text);
// The leading floating-point number as atof reads it.
double LeadingDouble(const char* text);
// The variant as type vt, or false when the change fails.
bool ChangeType(const VARIANT& in, VARTYPE vt, VARIANT* out);
CString FormatInt(LONG value);

// A scaled integer with the given decimals as text: "%d.%0*d", with the
// minus sign kept when the integer part is 0 (-50 at two decimals is
// "-0.50").
CString FormatScaled(LONG value, int decimals);
// Reads at most 64 characters of a decimal text into the scaled integer: the
// integer part as atoi reads it, the leading digits of the fraction cut to the
// decimals and counted from the point; the sign of the integer part, or a
// leading '-' when it is 0, applies to the fraction. 64-bit, so no text wraps
// into the range.
LONGLONG ParseScaled(const char* text, int decimals);
LONGLONG PowerOfTen(int decimals);
bool IsScaledChar(int ch);

// Bounds v by lo..hi; with limits the wrong way round the minimum wins
// rather than the result being undefined.
template <typename T>
T Clamp(T v, T lo, T hi)
{
    return v > hi ? (hi < lo ? lo : hi) : (v < lo ? lo : v);
}

}  // namespace prop
