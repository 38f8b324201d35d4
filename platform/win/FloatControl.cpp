#include "platform/win/FloatControl.h"

#include <cfenv>

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

struct Bit {
    unsigned int em;
    int fe;
    unsigned int sse;  // the MXCSR mask bit
};

constexpr Bit kBits[] = {
    {_EM_INEXACT, FE_INEXACT, 0x1000},   {_EM_UNDERFLOW, FE_UNDERFLOW, 0x0800}, {_EM_OVERFLOW, FE_OVERFLOW, 0x0400},
    {_EM_ZERODIVIDE, FE_DIVBYZERO, 0x0200}, {_EM_INVALID, FE_INVALID, 0x0080},   {_EM_DENORMAL, 0, 0x0100},
};

}  // namespace

unsigned int _control87(unsigned int newValue, unsigned int mask)
{
    mask &= _MCW_EM;
    int enable = 0, disable = 0;
    for (const Bit& b : kBits) {
        if (!(mask & b.em) || !b.fe)
            continue;
        (newValue & b.em ? disable : enable) |= b.fe;
    }
    if (disable)
        fedisableexcept(disable);
    if (enable)
        feenableexcept(enable);
    unsigned int word = 0;
#if defined(__SSE__)
    unsigned int csr = _mm_getcsr();
    for (const Bit& b : kBits)
        if (mask & b.em)
            csr = newValue & b.em ? (csr | b.sse) : (csr & ~b.sse);
    _mm_setcsr(csr);
    for (const Bit& b : kBits)
        if (csr & b.sse)
            word |= b.em;
#else
    const int on = fegetexcept();
    for (const Bit& b : kBits)
        if (b.fe && !(on & b.fe))
            word |= b.em;
#endif
    return word;
}
