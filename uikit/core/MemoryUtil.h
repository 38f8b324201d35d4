// Integer scaling and raw memory helpers.
#pragma once

#include "platform/win/WinTypes.h"

// a * b / c over a 64-bit product, truncated toward zero. A zero divisor
// gives 0 and a quotient beyond 32 bits is held at the int limit, where
// Windows would fault; callers are not meant to pass either.
int MulDivTruncate(int a, int b, int c);

// Copies `count` bytes between ranges that may overlap (as memmove).
void CopyMemoryOverlapped(void* destination, const void* source, std::size_t count);

// Fills `count` bytes with a repeated 32-bit pattern: whole words, then the
// remaining bytes from the pattern's low byte upward.
void FillMemoryPattern(void* destination, DWORD pattern, std::size_t count);
