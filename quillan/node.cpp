#include "node.h"

#include "bitrow.h"

#include <algorithm>
#include <new>

namespace quillan {

namespace {

// Appends the node points of rows first … last − 1, in order.
void nodeFindInRows(const WorkImage& img, std::int64_t first, std::int64_t last, PointList& nodes)
{
    const std::size_t words = bitRowWords(img);
    BitRow rows[3] = {BitRow(words), BitRow(words), BitRow(words)};
    BitRow* prev = &rows[0];
    BitRow* cur = &rows[1];
    BitRow* next = &rows[2];
    bitRowLoad(img, first - 1, *prev);
    bitRowLoad(img, first, *cur);
    for (std::int64_t y = first; y < last; ++y) {
        bitRowLoad(img, y + 1, *next);
        const Word* p = prev->data();
        const Word* c = cur->data();
        const Word* n = next->data();
        for (std::size_t w = 0; w < words; ++w) {
            if (!c[w])
                continue;
            const Neighbours nb = neighboursAt(p, c, n, w);
            // 3 <= B <= 5 and A >= 3
            Word hit = c[w] & countSet(nb).atLeast3 & countClear(nb).atLeast3 & countTransitions(nb).atLeast3;
            while (hit) {
                const int lead = __builtin_clzll(hit);
                nodes.push_back(Point{static_cast<std::int32_t>(w * 64 + static_cast<std::size_t>(lead)),
                                      static_cast<std::int32_t>(y)});
                hit &= ~(Word{1} << (63 - lead));
            }
        }
        BitRow* freed = prev;
        prev = cur;
        cur = next;
        next = freed;
    }
}

} // namespace

bool nodeFindPoints(const WorkImage& img, PointList& nodes, Workers& workers)
{
    nodes.clear();
    if (img.empty())
        return true;
    try {
        // Bands of rows on all threads, joined in row order.
        const std::int64_t words = static_cast<std::int64_t>(bitRowWords(img));
        const std::int64_t perBand = std::max({std::int64_t{64}, img.height / (8 * std::int64_t{workers.size()}),
                                               static_cast<std::int64_t>(workers.grain()) / words});
        const std::size_t bands = static_cast<std::size_t>((img.height + perBand - 1) / perBand);
        std::vector<PointList> found(bands);
        workers.forEach(bands, [&](std::size_t band) {
            const std::int64_t first = static_cast<std::int64_t>(band) * perBand;
            nodeFindInRows(img, first, std::min<std::int64_t>(img.height, first + perBand), found[band]);
        });
        std::size_t total = 0;
        for (const PointList& part : found)
            total += part.size();
        nodes.reserve(total);
        for (const PointList& part : found)
            nodes.insert(nodes.end(), part.begin(), part.end());
    } catch (const std::bad_alloc&) {
        PointList().swap(nodes);
        return false;
    }
    return true;
}

NodeIndex::NodeIndex(const PointList& nodes, std::int32_t height) : nodes_(nodes)
{
    const std::uint64_t rows = height > 0 ? static_cast<std::uint64_t>(height) : 0;
    while ((rows >> shift_) > 2 * nodes.size() + 16)
        ++shift_;
    bandStart_.assign(static_cast<std::size_t>(rows >> shift_) + 2, 0);
    std::size_t i = 0;
    for (std::size_t band = 0; band < bandStart_.size(); ++band) {
        while (i < nodes.size() && (static_cast<std::size_t>(nodes[i].y) >> shift_) < band)
            ++i;
        bandStart_[band] = i;
    }
}

std::size_t NodeIndex::find(const Point& p) const
{
    if (p.y < 0)
        return 0;
    const std::size_t band = static_cast<std::size_t>(p.y) >> shift_;
    if (band + 1 >= bandStart_.size())
        return 0;
    const auto first = nodes_.begin() + static_cast<std::ptrdiff_t>(bandStart_[band]);
    const auto last = nodes_.begin() + static_cast<std::ptrdiff_t>(bandStart_[band + 1]);
    const auto it = std::lower_bound(first, last, p, [](const Point& a, const Point& b) { return ptCompareYX(a, b) < 0; });
    if (it == last || !(*it == p))
        return 0;
    return static_cast<std::size_t>(it - nodes_.begin()) + 1;
}

} // namespace quillan

namespace quillan {

unsigned NodeIndex::around(const Point& q) const
{
    unsigned mask = 0;
    for (int dy = -1; dy <= 1; ++dy) {
        const std::int64_t y = std::int64_t{q.y} + dy;
        if (y < 0)
            continue;
        const std::size_t band = static_cast<std::size_t>(y) >> shift_;
        if (band + 1 >= bandStart_.size())
            continue;
        const auto last = nodes_.begin() + static_cast<std::ptrdiff_t>(bandStart_[band + 1]);
        const Point from{q.x - 1, static_cast<std::int32_t>(y)};
        auto it = std::lower_bound(nodes_.begin() + static_cast<std::ptrdiff_t>(bandStart_[band]), last, from,
                                   [](const Point& a, const Point& b) { return ptCompareYX(a, b) < 0; });
        for (; it != last && it->y == y && it->x <= std::int64_t{q.x} + 1; ++it)
            mask |= 1u << (3 * (dy + 1) + (it->x - q.x + 1));
    }
    return mask;
}

} // namespace quillan
