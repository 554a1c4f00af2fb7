// Points of the vectoriser: (column, row in stored order) as signed 32-bit integers.
#pragma once

#include <cstdint>
#include <vector>

namespace quillan {

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

// Points compare by row, then column.
inline int ptCompareYX(const Point& a, const Point& b)
{
    if (a.y != b.y)
        return a.y < b.y ? -1 : 1;
    if (a.x != b.x)
        return a.x < b.x ? -1 : 1;
    return 0;
}

using PointList = std::vector<Point>;

} // namespace quillan
