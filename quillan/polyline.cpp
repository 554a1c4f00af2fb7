#include "polyline.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <new>

namespace quillan {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr double kTurn = 2.0943951023931953;   // 2π / 3
constexpr std::size_t kFlushSize = 1 << 16;

// dx² + dy² without overflow for any two points of an image (coordinates below 2³¹).
double squaredLength(std::int64_t dx, std::int64_t dy)
{
    return static_cast<double>(dx * dx + dy * dy);
}

// True when some vertex k, from <= k < to, lies at tolerance or more from the line. Where
// SSE2 is there, two vertices at a time with the very operations of lineSignedDistance, so
// the outcome is that of testing them one by one.
bool anyOutside(const double* xs, const double* ys, std::size_t from, std::size_t to, const Line& line,
                double tolerance)
{
    std::size_t k = from;
#ifdef __SSE2__
    const __m128d a = _mm_set1_pd(line.a);
    const __m128d b = _mm_set1_pd(line.b);
    const __m128d c = _mm_set1_pd(line.c);
    const __m128d hi = _mm_set1_pd(tolerance);
    const __m128d lo = _mm_set1_pd(-tolerance);
    for (; k + 4 <= to; k += 4) {
        const __m128d d0 = _mm_add_pd(_mm_add_pd(_mm_mul_pd(a, _mm_loadu_pd(xs + k)), _mm_mul_pd(b, _mm_loadu_pd(ys + k))), c);
        const __m128d d1 =
            _mm_add_pd(_mm_add_pd(_mm_mul_pd(a, _mm_loadu_pd(xs + k + 2)), _mm_mul_pd(b, _mm_loadu_pd(ys + k + 2))), c);
        const __m128d out = _mm_or_pd(_mm_or_pd(_mm_cmpge_pd(d0, hi), _mm_cmple_pd(d0, lo)),
                                      _mm_or_pd(_mm_cmpge_pd(d1, hi), _mm_cmple_pd(d1, lo)));
        if (_mm_movemask_pd(out))
            return true;
    }
#endif
    for (; k < to; ++k) {
        const double d = line.a * xs[k] + line.b * ys[k] + line.c;
        if (std::fabs(d) >= tolerance)
            return true;
    }
    return false;
}

// The convex hull of the vertices between the anchor and the current vertex, kept while they
// arrive strictly monotone along x or along y (as straight runs of line work do). The distance
// from a line is an affine function, so its largest magnitude over the vertices is reached at
// a hull vertex; that lets long straight chains be judged without visiting every vertex.
class MonotoneHull {
public:
    void reset()
    {
        for (Order& o : orders_) {
            o.alive = true;
            o.sign = 0;
            o.upper.clear();
            o.lower.clear();
        }
        count_ = 0;
    }

    void add(const Point& p)
    {
        if (p.x >= kLimit || p.y >= kLimit || p.x < 0 || p.y < 0) {
            orders_[0].alive = orders_[1].alive = false;
            return;
        }
        for (int axis = 0; axis < 2; ++axis) {
            Order& o = orders_[axis];
            if (!o.alive)
                continue;
            if (count_ > 0) {
                const std::int64_t du = primary(p, axis) - primary(last_, axis);
                const int sign = du > 0 ? 1 : du < 0 ? -1 : 0;
                if (sign == 0 || (o.sign != 0 && sign != o.sign)) {
                    o.alive = false;
                    continue;
                }
                o.sign = sign;
            }
            push(o.upper, p, axis, 1);
            push(o.lower, p, axis, -1);
        }
        last_ = p;
        ++count_;
    }

    // The hull's vertices (some repeated), or null when neither order held.
    const std::vector<Point>* chains(const std::vector<Point>*& other) const
    {
        for (const Order& o : orders_) {
            if (o.alive) {
                other = &o.lower;
                return &o.upper;
            }
        }
        return nullptr;
    }

private:
    // Coordinates below 2^30 keep every cross product inside 64 bits.
    static constexpr std::int32_t kLimit = 1 << 30;

    struct Order {
        bool alive = true;
        int sign = 0;
        std::vector<Point> upper, lower;
    };

    static std::int64_t primary(const Point& p, int axis) { return axis == 0 ? p.x : p.y; }
    static std::int64_t secondary(const Point& p, int axis) { return axis == 0 ? p.y : p.x; }

    // One chain of Andrew's monotone hull; side +1 drops vertices that do not turn one way,
    // −1 those that do not turn the other.
    static void push(std::vector<Point>& chain, const Point& p, int axis, int side)
    {
        while (chain.size() >= 2) {
            const Point& o = chain[chain.size() - 2];
            const Point& a = chain.back();
            const std::int64_t cross = (primary(a, axis) - primary(o, axis)) * (secondary(p, axis) - secondary(o, axis)) -
                                       (secondary(a, axis) - secondary(o, axis)) * (primary(p, axis) - primary(o, axis));
            if (side * cross < 0)
                break;
            chain.pop_back();
        }
        chain.push_back(p);
    }

    Order orders_[2];
    Point last_;
    std::size_t count_ = 0;
};

// Whether some vertex k, from <= k < to, lies at tolerance or more from the line, decided
// from the hull where its margin is safe and by visiting every vertex otherwise.
bool corridorLeft(const double* xs, const double* ys, std::size_t from, std::size_t to, const Line& line,
                  double tolerance, const MonotoneHull& hull, double extent)
{
    const std::vector<Point>* lower = nullptr;
    const std::vector<Point>* upper = hull.chains(lower);
    if (upper) {
        double largest = 0;
        for (const std::vector<Point>* chain : {upper, lower}) {
            for (const Point& p : *chain) {
                const double d = line.a * static_cast<double>(p.x) + line.b * static_cast<double>(p.y) + line.c;
                // A hull vertex is one of the vertices: its own distance decides outright.
                if (std::fabs(d) >= tolerance)
                    return true;
                largest = std::max(largest, std::fabs(d));
            }
        }
        // Each computed distance is within `error` of the exact one for the same line, so
        // no vertex can come out at the tolerance while the hull stays below it by twice that.
        const double error = 8 * DBL_EPSILON * (std::fabs(line.a) * extent + std::fabs(line.b) * extent + std::fabs(line.c));
        if (largest + 2 * error < tolerance)
            return false;
    }
    return anyOutside(xs, ys, from, to, line, tolerance);
}

} // namespace

void RvlWriter::putNumber(std::int64_t v)
{
    char digits[24];
    int n = 0;
    const bool negative = v < 0;
    std::uint64_t u = negative ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    do {
        digits[n++] = static_cast<char>('0' + u % 10);
        u /= 10;
    } while (u);
    if (negative)
        buffer_ += '-';
    while (n > 0)
        buffer_ += digits[--n];
}

void RvlWriter::writeBlock(const PointList& vertices)
{
    buffer_ += "PS\r\n";
    for (const Point& p : vertices) {
        putNumber(p.x);
        buffer_ += ' ';
        putNumber(p.y);
        buffer_ += "\r\n";
    }
    buffer_ += "PE\r\n";
    if (buffer_.size() >= kFlushSize)
        flush();
}

void RvlWriter::writeText(const std::string& blocks)
{
    buffer_ += blocks;
    if (buffer_.size() >= kFlushSize)
        flush();
}

bool RvlWriter::flush()
{
    if (file_ && !buffer_.empty()) {
        if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size())
            failed_ = true;
        buffer_.clear();
    }
    return !failed_;
}

double vecAngle(std::int64_t dx, std::int64_t dy)
{
    const double r = std::sqrt(squaredLength(dx, dy));
    if (r == 0)
        return 0;
    const double angle = std::acos(static_cast<double>(dx) / r);
    return dy >= 0 ? angle : kTwoPi - angle;
}

double ptDistance(const Point& p, const Point& q)
{
    return std::sqrt(squaredLength(static_cast<std::int64_t>(q.x) - p.x, static_cast<std::int64_t>(q.y) - p.y));
}

int lineFromPoints(const Point& p1, const Point& p2, Line& line)
{
    const double length = ptDistance(p1, p2);
    if (length == 0) {
        line = Line{};
        return 0;
    }
    const std::int64_t x1 = p1.x, y1 = p1.y, x2 = p2.x, y2 = p2.y;
    line.a = static_cast<double>(y2 - y1) / length;
    line.b = static_cast<double>(-(x2 - x1)) / length;
    line.c = static_cast<double>(x2 * y1 - x1 * y2) / length;
    return 1;
}

int polylineWrite(RvlWriter& out, const PointList& vertices, double minimumLength)
{
    if (vertices.size() < 2)
        return 0;
    double length = 0;
    for (std::size_t i = 1; i < vertices.size(); ++i)
        length += ptDistance(vertices[i - 1], vertices[i]);
    if (minimumLength > 0 && length < minimumLength)
        return 0;
    out.writeBlock(vertices);
    return 1;
}

int polylineSimplifyWrite(RvlWriter& out, const PointList& v, double tolerance, double minimumLength)
{
    const std::size_t m = v.size();
    if (m < 8)
        return polylineWrite(out, v, minimumLength);
    PointList kept;
    std::vector<double> xs, ys;
    try {
        xs.resize(m);
        ys.resize(m);
        double extent = 0;
        for (std::size_t i = 0; i < m; ++i) {
            xs[i] = v[i].x;
            ys[i] = v[i].y;
            extent = std::max({extent, std::fabs(xs[i]), std::fabs(ys[i])});
        }
        MonotoneHull hull;
        hull.reset();
        std::size_t nextInHull = 1;
        kept.push_back(v[0]);
        std::size_t anchor = 0;
        double dir = vecAngle(static_cast<std::int64_t>(v[1].x) - v[0].x, static_cast<std::int64_t>(v[1].y) - v[0].y);
        for (std::size_t j = 1; j < m; ++j) {
            const double prev = dir;
            dir = vecAngle(static_cast<std::int64_t>(v[j].x) - v[anchor].x,
                           static_cast<std::int64_t>(v[j].y) - v[anchor].y);
            // Only whether some vertex leaves the corridor matters, so stop at the first.
            bool leaves = std::fabs(dir - prev) >= kTurn;
            if (!leaves && j > anchor + 1) {
                Line line;
                if (lineFromPoints(v[anchor], v[j], line)) {
                    for (; nextInHull < j; ++nextInHull)
                        hull.add(v[nextInHull]);
                    leaves = corridorLeft(xs.data(), ys.data(), anchor + 1, j, line, tolerance, hull, extent);
                } else {
                    leaves = 0.0 >= tolerance;
                }
            } else if (!leaves) {
                leaves = 0.0 >= tolerance;
            }
            if (leaves) {
                kept.push_back(v[j - 1]);
                anchor = j - 1;
                hull.reset();
                nextInHull = j;
                dir = vecAngle(static_cast<std::int64_t>(v[j].x) - v[j - 1].x,
                               static_cast<std::int64_t>(v[j].y) - v[j - 1].y);
            }
        }
        kept.push_back(v[m - 1]);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    return polylineWrite(out, kept, minimumLength);
}

} // namespace quillan
