// A plain drawing of the trace grid, pixel by pixel from the rounding rule, for comparing with
// the grid as built for speed (the model tests and the trace grid benchmark).
#pragma once
#include "model/tracegrid.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace tracegridref {

__extension__ typedef __int128 Wide;

struct Reference {
    int width = 0, height = 0;
    std::vector<uint8_t> cells;

    Reference(int w, int h) : width(w), height(h), cells(static_cast<size_t>(w) * h, traceEmpty) {}

    void set(int64_t x, int64_t y, uint8_t code)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            cells[static_cast<size_t>(y * width + x)] = code;
    }

    // Pixel i of n along the major axis sits at minor offset floor(i * dMinor / n + 1/2): every
    // major coordinate of the covered area between the ends is tried.
    void line(const TraceSeg& s, int64_t w, int64_t h)
    {
        const int64_t dx = int64_t(s.x2) - s.x1, dy = int64_t(s.y2) - s.y1;
        const bool xMajor = std::abs(dx) >= std::abs(dy);
        const int64_t a1 = xMajor ? s.x1 : s.y1, b1 = xMajor ? s.y1 : s.x1;
        const int64_t n = std::abs(xMajor ? dx : dy), db = std::abs(xMajor ? dy : dx);
        const int64_t sa = (xMajor ? dx : dy) >= 0 ? 1 : -1, sb = (xMajor ? dy : dx) >= 0 ? 1 : -1;
        const int64_t aLimit = xMajor ? w : h, bLimit = xMajor ? h : w;
        if (n == 0)
            return;
        const int64_t a2 = xMajor ? s.x2 : s.y2;
        for (int64_t a = std::max<int64_t>(0, std::min(a1, a2)); a < std::min(aLimit, std::max(a1, a2) + 1); ++a) {
            const int64_t i = (a - a1) * sa;
            if (i < 0 || i >= n)
                continue;
            // i and db reach 2^33 for ends far outside: 128-bit arithmetic.
            const int64_t b = b1 + sb * static_cast<int64_t>((2 * Wide(i) * db + n) / (2 * Wide(n)));
            if (b >= 0 && b < bLimit)
                xMajor ? set(a, b, traceInk) : set(b, a, traceInk);
        }
    }

    void build(const std::vector<TraceSeg>& segs, int64_t w, int64_t h)
    {
        for (int64_t y = 0; y < h; ++y)
            std::fill_n(cells.begin() + y * width, w, traceEmpty);
        for (const TraceSeg& s : segs)
            line(s, w, h);
    }

    void mark(const std::vector<TraceSeg>& segs)
    {
        for (size_t i = 0; i < segs.size(); ++i) {
            if (i == 0 || segs[i].x1 != segs[i - 1].x2 || segs[i].y1 != segs[i - 1].y2)
                set(segs[i].x1, segs[i].y1, traceEndPoint);
            set(segs[i].x2, segs[i].y2, traceEndPoint);
        }
    }
};

// The first cell where the built grid differs from the reference, or -1 when none does.
inline int64_t firstDifference(const Reference& ref)
{
    const TraceGrid& g = polyGetGrid();
    if (g.width != ref.width || g.height != ref.height)
        return 0;
    for (int y = 0; y < ref.height; ++y) {
        const uint8_t* row = ref.cells.data() + static_cast<size_t>(y) * ref.width;
        for (int x = 0; x < ref.width; ++x)
            if (polyGetCell(x, y) != row[x])
                return int64_t(y) * ref.width + x;
    }
    return -1;
}

} // namespace tracegridref
