// Walking the thinned line work into chains, clearing each pixel as the walk enters it.
#pragma once

#include "node.h"
#include "point.h"
#include "polyline.h"
#include "workers.h"
#include "workimage.h"

namespace quillan {

// A chain being walked: its vertices with horizontal and vertical runs collapsed to their
// ends as they arrive.
struct Chain {
    PointList vertices;
    Point beforeLast;
    Point last;
};

Chain chainNew();
Chain chainNew(const Point& p);
// Empties the chain for another walk, seeded with p when given; its storage stays.
void chainReset(Chain& chain);
void chainReset(Chain& chain, const Point& p);
// Adds p, overwriting the last vertex when it continues a horizontal or vertical run.
// 0 when memory runs out.
int chainAddPoint(Chain& chain, const Point& p);

// The first foreground pixel in raster order from row `from`, column `column` on.
bool pixelFindNext(const WorkImage& img, std::int64_t from, std::int64_t column, Point& found);

struct TraceSettings {
    double tolerance = 0;
    double minimumLength = 0;
};

constexpr int kNoDirection = -1;

// Walks from start (previous direction or kNoDirection) and ends the chain at a node point
// beside its last pixel when there is one. 1, or 0 when memory runs out.
int chainTrace(const WorkImage& img, int previousDirection, const NodeIndex& index, Chain& chain, const Point& start);

// Chains out of every node point, then the free lines in raster order, until no foreground
// is left; each chain is simplified and written in that order. Polylines written, or -1 when
// memory runs out (the chains walked until then are still written when they can be).
long chainTraceAll(const WorkImage& img, RvlWriter& out, const TraceSettings& settings, const NodeIndex& index,
                   const PointList& nodes, Workers& workers);

} // namespace quillan
