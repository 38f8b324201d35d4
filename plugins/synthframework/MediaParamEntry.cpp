#include "plugins/synthframework/MediaParamEntry.h"

#include <cmath>

namespace mvsynth {

float MediaParamEntry::ToInternal(float x) const
{
    if (info.mpType == MPT_BOOL)
        return x >= 0.5f ? 1.0f : 0.0f;
    const float range = info.mpdMaxValue - info.mpdMinValue;
    if (range == 0.0f || !std::isfinite(range))
        return internalMin;
    const float v = internalMin + (x - info.mpdMinValue) / range * (internalMax - internalMin);
    if (info.mpType == MPT_INT || info.mpType == MPT_ENUM)
        return std::floor(v + 0.5f);
    return v;
}

float MediaParamEntry::ToExternal(float x) const
{
    if (info.mpType == MPT_BOOL)
        return x;
    const float range = internalMax - internalMin;
    if (range == 0.0f || !std::isfinite(range))
        return info.mpdMinValue;
    return info.mpdMinValue + (x - internalMin) / range * (info.mpdMaxValue - info.mpdMinValue);
}

}  // namespace mvsynth
