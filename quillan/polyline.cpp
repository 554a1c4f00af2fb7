#include "polyline.h"

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

bool RvlWriter::flush()
{
    if (!buffer_.empty()) {
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
        for (std::size_t i = 0; i < m; ++i) {
            xs[i] = v[i].x;
            ys[i] = v[i].y;
        }
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
                    leaves = anyOutside(xs.data(), ys.data(), anchor + 1, j, line, tolerance);
                } else {
                    leaves = 0.0 >= tolerance;
                }
            } else if (!leaves) {
                leaves = 0.0 >= tolerance;
            }
            if (leaves) {
                kept.push_back(v[j - 1]);
                anchor = j - 1;
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
