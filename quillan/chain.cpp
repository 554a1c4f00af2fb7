#include "chain.h"

#include <cstring>
#include <new>

namespace quillan {

namespace {

constexpr int kStepX[8] = {0, 1, 0, -1, 1, 1, -1, -1};
constexpr int kStepY[8] = {1, 0, -1, 0, 1, -1, -1, 1};

// Directions to try after a step in direction f (row f); row 8 when there was none. After a
// step only the first seven are tried: the eighth leads straight back.
constexpr int kSearchOrder[9][8] = {
    {0, 4, 7, 1, 3, 5, 6, 2}, {1, 5, 4, 2, 0, 6, 7, 3}, {2, 6, 5, 3, 1, 7, 4, 0},
    {3, 7, 6, 0, 2, 4, 5, 1}, {1, 0, 4, 5, 7, 2, 3, 6}, {2, 1, 5, 6, 4, 3, 0, 7},
    {3, 2, 6, 7, 5, 0, 1, 4}, {0, 3, 7, 4, 6, 1, 2, 5}, {0, 1, 2, 3, 4, 5, 6, 7},
};
constexpr int kAnyDirection = 8;

inline Point ptStep(const Point& p, int e)
{
    return Point{p.x + kStepX[e], p.y + kStepY[e]};
}

inline int triesFor(int row)
{
    return row == kAnyDirection ? 8 : 7;
}

inline bool foregroundAt(const WorkImage& img, const Point& p)
{
    return img.inside(p.x, p.y) && pixelIsForeground(img, p.x, p.y);
}

} // namespace

Chain chainNew()
{
    return Chain{};
}

Chain chainNew(const Point& p)
{
    Chain c;
    c.vertices.push_back(p);
    c.beforeLast = c.last = p;
    return c;
}

int chainAddPoint(Chain& chain, const Point& p)
{
    try {
        PointList& v = chain.vertices;
        if (v.empty()) {
            v.push_back(p);
            chain.beforeLast = chain.last = p;
        } else if (v.size() >= 2 && ((chain.beforeLast.x == chain.last.x && chain.last.x == p.x) ||
                                     (chain.beforeLast.y == chain.last.y && chain.last.y == p.y))) {
            v.back() = p;
            chain.last = p;
        } else {
            v.push_back(p);
            chain.beforeLast = chain.last;
            chain.last = p;
        }
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return 1;
}

bool pixelFindNext(const WorkImage& img, std::int64_t from, std::int64_t column, Point& found)
{
    if (img.empty())
        return false;
    const unsigned char bg = img.backgroundByte();
    const std::uint64_t bgWord = bg ? ~std::uint64_t{0} : 0;
    // Bytes past the last pixel only hold padding.
    const std::size_t used = (static_cast<std::size_t>(img.width) + 7) / 8;
    for (std::int64_t y = from; y < img.height; ++y) {
        const unsigned char* row = img.row(y);
        const std::int64_t firstX = y == from ? column : 0;
        for (std::size_t b = static_cast<std::size_t>(firstX) / 8; b < used; ++b) {
            std::uint64_t w;
            while (b + 8 <= used && (std::memcpy(&w, row + b, 8), w == bgWord))
                b += 8;
            if (b >= used)
                break;
            if (row[b] == bg)
                continue;
            const std::int64_t x0 = static_cast<std::int64_t>(b) * 8;
            for (std::int64_t x = x0 < firstX ? firstX : x0; x < x0 + 8 && x < img.width; ++x) {
                if (pixelIsForeground(img, x, y)) {
                    found = Point{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y)};
                    return true;
                }
            }
        }
    }
    return false;
}

int chainTrace(const WorkImage& img, RvlWriter& out, const TraceSettings& settings, int previousDirection,
               const NodeIndex& index, Chain& chain, const Point& start, int& written)
{
    written = 0;
    std::size_t k = chain.vertices.size();
    Point q = start;
    int f = previousDirection;
    for (;;) {
        if (k > 0)
            pixelClear(img, q.x, q.y);
        if (!chainAddPoint(chain, q))
            return 0;
        ++k;
        if (f == kNoDirection)
            f = kAnyDirection;
        const int* order = kSearchOrder[f];
        const int tries = triesFor(f);
        bool moved = false;
        for (int t = 0; t < tries; ++t) {
            const Point c = ptStep(q, order[t]);
            if (foregroundAt(img, c)) {
                q = c;
                f = order[t];
                moved = true;
                break;
            }
        }
        if (!moved)
            break;
    }
    if (k == 1)
        pixelClear(img, q.x, q.y);
    const int* order = kSearchOrder[f];
    const int tries = triesFor(f);
    for (int t = 0; t < tries; ++t) {
        const Point c = ptStep(q, order[t]);
        if (index.find(c)) {
            if (!chainAddPoint(chain, c))
                return 0;
            break;
        }
    }
    written = polylineSimplifyWrite(out, chain.vertices, settings.tolerance, settings.minimumLength);
    chain = Chain{};
    return 1;
}

long chainTraceAll(const WorkImage& img, RvlWriter& out, const TraceSettings& settings, const NodeIndex& index,
                   const PointList& nodes)
{
    long count = 0;
    int written = 0;
    try {
        for (const Point& n : nodes) {
            for (int d = 0; d < 8; ++d) {
                const Point c = ptStep(n, d);
                if (!foregroundAt(img, c))
                    continue;
                Chain chain = chainNew(n);
                if (!chainTrace(img, out, settings, d, index, chain, c, written))
                    return -1;
                count += written;
            }
        }
        // Everything before the last start pixel is background by now, so the search for the
        // next one may go on from there.
        Point s;
        std::int64_t y0 = 0;
        std::int64_t x0 = 0;
        while (pixelFindNext(img, y0, x0, s)) {
            Chain chain = chainNew();
            if (!chainTrace(img, out, settings, kNoDirection, index, chain, s, written))
                return -1;
            count += written;
            y0 = s.y;
            x0 = s.x;
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
    return count;
}

} // namespace quillan
