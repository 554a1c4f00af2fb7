#include "platform/satint.h"

#include <cmath>

int satToInt(double v)
{
    if (std::isnan(v))
        return 0;
    if (v >= kSatIntLimit)
        return kSatIntLimit;
    if (v <= -kSatIntLimit)
        return -kSatIntLimit;
    return static_cast<int>(v);
}
