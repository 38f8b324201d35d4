// a * b / c over a 64-bit product, rounded to the nearest integer (halves
// away from zero), as Windows computes it. -1 when c is 0 or the result does
// not fit 32 bits. Any thread.
#pragma once

#include "platform/win/WinTypes.h"

int MulDiv(int a, int b, int c);
