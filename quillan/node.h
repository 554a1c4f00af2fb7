// Node points of the thinned line work (where three or more lines meet) and their index.
#pragma once

#include "point.h"
#include "workimage.h"

#include <cstddef>

namespace quillan {

// Appends every node point of the image, ordered by row, then column. False when memory
// runs out (nodes then holds nothing).
bool nodeFindPoints(const WorkImage& img, PointList& nodes);

// Looks node points up by position. The list it is built from is already ordered by row,
// then column, so a binary search over it gives what a balanced tree would.
class NodeIndex {
public:
    explicit NodeIndex(const PointList& nodes) : nodes_(nodes) {}
    // The 1-based position of p in the node list, or 0 when p is no node point.
    std::size_t find(const Point& p) const;

private:
    const PointList& nodes_;
};

} // namespace quillan
