#include "CAllpassChain.h"

#include <cmath>

namespace mvphaser {

float CAllpassChain::Process(float x)
{
    float u = x + feedback * lastOutput;
    const float b = sweepLow + (modulation + 1.0f) * 0.5f * (sweepHigh - sweepLow);
    const float c = (1.0f - b) / (1.0f + b);
    if (std::fabs(u) < kFlushBelow)
        u = 0.0f;
    float v = u;
    for (float& s : state) {
        float y = s - c * v;
        if (std::fabs(y) < kFlushBelow)
            y = 0.0f;
        s = v + c * y;
        v = y;
    }
    lastOutput = v;
    return x + depth * v;
}

}  // namespace mvphaser
