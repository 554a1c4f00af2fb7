// One rule for every typed or computed number that becomes an int coordinate, size or setting:
// truncation toward zero, held within ±kSatIntLimit instead of wrapping or overflowing.
#pragma once
#include <concepts>
#include <utility>

// 2^28. Drawing code adds offsets to such values, doubles their differences and sums a few of
// them (a parallelogram's fourth corner, a midpoint of two corners): any sum of up to seven
// values within the limit, or twice a sum of three, still fits an int. No sheet, page or size
// comes near it, so it clips only values that are already meaningless.
inline constexpr int kSatIntLimit = 1 << 28;
static_assert(7LL * kSatIntLimit <= 0x7FFFFFFF && 6LL * kSatIntLimit <= 0x7FFFFFFF);

// Truncated toward zero and held within ±kSatIntLimit; NaN gives 0, infinities the limits.
int satToInt(double v);
// Held within ±kSatIntLimit.
template <std::integral T>
constexpr int satToInt(T v)
{
    if (std::cmp_greater_equal(v, kSatIntLimit))
        return kSatIntLimit;
    if (std::cmp_less_equal(v, -kSatIntLimit))
        return -kSatIntLimit;
    return static_cast<int>(v);
}
