#include "platform/audio/JackSampleConvert.h"

#include <cmath>

namespace {

constexpr float kIn = 1.0f / 2147483648.0f;
constexpr double kOut = 2147483647.0;

}  // namespace

void Int32ToJackFloat(float* dst, const std::int32_t* src, int count)
{
    for (int i = 0; i < count; ++i)
        dst[i] = static_cast<float>(src[i]) * kIn;
}

void JackFloatToInt32(std::int32_t* dst, const float* src, int count)
{
    for (int i = 0; i < count; ++i) {
        double v = static_cast<double>(src[i]) * kOut;
        if (!(v == v))
            v = 0.0;
        v = std::fmin(std::fmax(v, -2147483648.0), kOut);
        dst[i] = static_cast<std::int32_t>(std::nearbyint(v));
    }
}
