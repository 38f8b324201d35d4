#include "platform/media/FaderTaper.h"

#include <cmath>

namespace mvmedia {

float FaderPositionToGain(float p)
{
    if (p >= 0.7951756f && p <= 0.7953756f)
        return 1.0f;
    if (p <= 0.0f)
        return 0.0f;
    const double x = p;
    double exponent;
    if (p <= 14.0f / 127.0f)
        exponent = 635.0 / 12.0 * x - 12.5;
    else if (p <= 35.0f / 127.0f)
        exponent = 1270.0 / 63.0 * x - 80.0 / 9.0;
    else if (p <= 58.0f / 127.0f)
        exponent = 635.0 / 68.0 * x - 100.0 / 17.0;
    else
        exponent = 127.0 / 26.0 * x - 101.0 / 26.0;
    return static_cast<float>(std::exp2(exponent));
}

}  // namespace mvmedia
