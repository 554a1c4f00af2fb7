// Node points of the thinned line work (where three or more lines meet) and their index.
#pragma once

#include "point.h"
#include "workers.h"
#include "workimage.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillan {

// Appends every node point of the image, ordered by row, then column. False when memory
// runs out (nodes then holds nothing).
bool nodeFindPoints(const WorkImage& img, PointList& nodes, Workers& workers);

// Looks node points up by position. The list is already ordered by row, then column, so the
// index only records where each band of rows begins in it; bands are single rows unless the
// image has far more rows than node points.
class NodeIndex {
public:
    NodeIndex(const PointList& nodes, std::int32_t height);
    // The 1-based position of p in the node list, or 0 when p is no node point.
    std::size_t find(const Point& p) const;
    // The node points among q and its eight neighbours at once: bit 3 · (dy + 1) + dx + 1 is
    // set when q + (dx, dy) is one. A walk's end asks for seven neighbours; three searches,
    // one per row, answer all of them.
    unsigned around(const Point& q) const;

private:
    const PointList& nodes_;
    unsigned shift_ = 0;                  // band of row y: y >> shift_
    std::vector<std::size_t> bandStart_;  // bands + 1 entries
};

} // namespace quillan
