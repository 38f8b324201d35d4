#include "platform/audio/JackSampleConvert.h"

#include <cmath>

namespace {

constexpr float kIn = 1.0f / 8388608.0f;
constexpr double kOut = 8388607.0;
constexpr double kLowest = -8388608.0;

}  // namespace

void Int24In32ToJackFloat(float* dst, const std::int32_t* src, int count)
{
    for (int i = 0; i < count; ++i) {
        const auto low24 = static_cast<std::int32_t>(static_cast<std::uint32_t>(src[i]) << 8) >> 8;
        dst[i] = static_cast<float>(low24) * kIn;
    }
}

void JackFloatToInt24In32(std::int32_t* dst, const float* src, int count)
{
    for (int i = 0; i < count; ++i) {
        double v = static_cast<double>(src[i]) * kOut;
        if (!(v == v))
            v = 0.0;
        v = std::fmin(std::fmax(v, kLowest), kOut);
        dst[i] = static_cast<std::int32_t>(std::nearbyint(v));
    }
}
