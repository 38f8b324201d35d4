// The floating-point control word as plug-in hosts set it: which
// exceptions are masked. Only the exception-mask bits are honoured here;
// they map onto both the SSE control register and the x87 control word of
// the calling thread.
#pragma once

constexpr unsigned int _EM_INEXACT = 0x00000001;
constexpr unsigned int _EM_UNDERFLOW = 0x00000002;
constexpr unsigned int _EM_OVERFLOW = 0x00000004;
constexpr unsigned int _EM_ZERODIVIDE = 0x00000008;
constexpr unsigned int _EM_INVALID = 0x00000010;
constexpr unsigned int _EM_DENORMAL = 0x00080000;
constexpr unsigned int _MCW_EM = 0x0008001F;

// Sets the bits of `newValue` selected by `mask` and returns the control
// word in force afterwards (mask bits set = exception masked). Any thread.
unsigned int _control87(unsigned int newValue, unsigned int mask);
