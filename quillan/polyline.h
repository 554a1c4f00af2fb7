// Sequential simplification of walked chains and the blocks of the RVL file.
#pragma once

#include "point.h"

#include <cstdio>
#include <string>
#include <utility>

namespace quillan {

// Appends RVL blocks ("PS", "x y" lines, "PE", each ended by CR LF) to an open file, or
// collects them in memory when there is no file.
class RvlWriter {
public:
    explicit RvlWriter(std::FILE* file = nullptr) : file_(file) {}
    ~RvlWriter() { flush(); }
    RvlWriter(const RvlWriter&) = delete;
    RvlWriter& operator=(const RvlWriter&) = delete;

    void writeBlock(const PointList& vertices);
    // Appends blocks already formatted (those another writer collected).
    void writeText(const std::string& blocks);
    // Hands everything buffered to the file; false when a write has failed so far.
    bool flush();
    // Hands out the blocks collected by a writer without file; it is empty afterwards.
    std::string takeText() { return std::move(buffer_); }

private:
    void putNumber(std::int64_t v);

    std::FILE* file_;
    std::string buffer_;
    bool failed_ = false;
};

double vecAngle(std::int64_t dx, std::int64_t dy);
double ptDistance(const Point& p, const Point& q);

// Line through two points with unit normal: signed distance of (x, y) is a·x + b·y + c.
struct Line {
    double a = 0, b = 0, c = 0;
};
int lineFromPoints(const Point& p1, const Point& p2, Line& line);
inline double lineSignedDistance(const Point& p, const Line& l)
{
    return l.a * p.x + l.b * p.y + l.c;
}

// Writes the chain as one block unless it has fewer than two vertices or is shorter than
// minimumLength (when that is above 0). 1 when written, else 0.
int polylineWrite(RvlWriter& out, const PointList& vertices, double minimumLength);

// Keeps a vertex wherever the line leaves the tolerance corridor around the anchor or turns
// by 120 degrees or more; chains of fewer than eight vertices pass unchanged.
int polylineSimplifyWrite(RvlWriter& out, const PointList& vertices, double tolerance, double minimumLength);

} // namespace quillan
