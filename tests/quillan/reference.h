// A plain, pixel-by-pixel conversion that follows the algorithm step by step without any of
// the library's shortcuts (word-wide tests, row caching, resumed scans, early exits). The
// library must produce the same image and the same RVL text on any input.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace qref {

struct Pt {
    long x, y;
    bool operator==(const Pt& o) const { return x == o.x && y == o.y; }
};

struct Image {
    unsigned char* pixels;   // row 0
    long width, height, stride;
    int polarity;
    int bit(long x, long y) const { return (pixels[y * stride + x / 8] >> (7 - x % 8)) & 1; }
    int fg(long x, long y) const { return polarity == 255 ? !bit(x, y) : bit(x, y); }
    bool inside(long x, long y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    int at(long x, long y) const { return inside(x, y) ? fg(x, y) : 0; }
    void clear(long x, long y)
    {
        unsigned char& b = pixels[y * stride + x / 8];
        const unsigned char m = static_cast<unsigned char>(0x80 >> (x % 8));
        b = polarity == 255 ? static_cast<unsigned char>(b | m) : static_cast<unsigned char>(b & ~m);
    }
};

inline int detectPolarity(const Image& img)
{
    long sx = img.width / 100, sy = img.height / 100;
    if (sx <= 0) sx = 1;
    if (sy <= 0) sy = 1;
    long set = 0, clr = 0;
    for (long y = 0; y < img.height; y += sy)
        for (long x = 0; x < img.width; x += sx)
            (img.bit(x, y) ? set : clr)++;
    return set > clr ? 255 : 0;
}

// Neighbour values P2 … P9 of (x, y) in unpacked rows prev/cur/next (null row = absent).
struct Around {
    int p[10];
    int b() const { return p[2] + p[3] + p[4] + p[5] + p[6] + p[7] + p[8] + p[9]; }
    int a() const
    {
        const int seq[9] = {p[2], p[3], p[4], p[5], p[6], p[7], p[8], p[9], p[2]};
        int n = 0;
        for (int i = 0; i < 8; ++i)
            n += seq[i] == 0 && seq[i + 1] == 1;
        return n;
    }
};

inline Around around(const unsigned char* prev, const unsigned char* cur, const unsigned char* next, long x, long w)
{
    auto get = [&](const unsigned char* r, long xx) { return (r && xx >= 0 && xx < w) ? r[xx] : 0; };
    Around n{};
    n.p[2] = get(prev, x);
    n.p[3] = get(prev, x + 1);
    n.p[4] = get(cur, x + 1);
    n.p[5] = get(next, x + 1);
    n.p[6] = get(next, x);
    n.p[7] = get(next, x - 1);
    n.p[8] = get(cur, x - 1);
    n.p[9] = get(prev, x - 1);
    return n;
}

inline long rowUnpack(unsigned char* row, const Image& img, long y, std::vector<long>& runs)
{
    std::memset(row, 0, static_cast<size_t>(img.width));
    runs.clear();
    if (y < 0 || y >= img.height)
        return 0;
    for (long x = 0; x < img.width; ++x) {
        row[x] = static_cast<unsigned char>(img.fg(x, y));
        if (row[x] && (x == 0 || !row[x - 1]))
            runs.push_back(x);
    }
    return static_cast<long>(runs.size());
}

inline long subIteration(Image& img, std::vector<unsigned char>& dirty, std::vector<unsigned char>& dirtyNext, int cond)
{
    const long w = img.width, h = img.height;
    std::vector<unsigned char> bufs[3] = {std::vector<unsigned char>(w), std::vector<unsigned char>(w),
                                          std::vector<unsigned char>(w)};
    std::vector<long> runs[2];
    std::vector<unsigned char> masks[2] = {std::vector<unsigned char>(w), std::vector<unsigned char>(w)};
    int older = 0, newer = 1;
    long olderRow = -1, newerRow = -1;
    unsigned char *prev = bufs[0].data(), *cur = bufs[1].data(), *next = bufs[2].data();
    bool prevExists = false, curExists = false, nextExists = true;
    std::vector<long>* runsCur = &runs[0];
    std::vector<long>* runsNext = &runs[1];
    long count = 0;
    auto apply = [&](int m, long r) {
        if (r < 0) return;
        for (long x = 0; x < w; ++x)
            if (masks[m][x]) {
                dirty[r] = 1;
                dirtyNext[r] = 1;
                img.clear(x, r);
            }
    };
    auto moveMasks = [&](long row) {
        // the mask just applied is zeroed and becomes the mask of this row
        std::swap(older, newer);
        olderRow = newerRow;
        std::fill(masks[newer].begin(), masks[newer].end(), 0);
        newerRow = row;
    };
    auto evaluate = [&](long r) {
        for (long x0 : *runsCur) {
            for (long x = x0; x < w && cur[x]; ++x) {
                const Around n = around(prevExists ? prev : nullptr, cur, nextExists ? next : nullptr, x, w);
                const int b = n.b();
                if (b < 2 || b > 6) continue;
                if (n.a() != 1) continue;
                const int* p = n.p;
                if (cond == 1 ? (p[2] * p[4] * p[6] == 0 && p[4] * p[6] * p[8] == 0)
                              : (p[2] * p[4] * p[8] == 0 && p[2] * p[6] * p[8] == 0)) {
                    masks[newer][x] = 1;
                    ++count;
                }
            }
        }
        (void)r;
    };
    rowUnpack(next, img, 0, *runsNext);
    for (long i = 0; i < h; ++i) {
        apply(older, olderRow);
        long R = -1;
        for (long k = i; k < h; ++k)
            if (dirty[k]) { R = k; break; }
        if (R >= 0 && R > i + 2) {
            i = R;
            moveMasks(R);
            rowUnpack(prev, img, R - 1, *runsNext);
            rowUnpack(cur, img, R, *runsCur);
            rowUnpack(next, img, R + 1, *runsNext);
            prevExists = true;
            curExists = true;
            nextExists = R + 1 < h;
            evaluate(R);
            continue;
        }
        moveMasks(i);
        unsigned char* freed = prev;
        prev = cur;
        prevExists = curExists;
        cur = next;
        curExists = true;
        std::swap(runsCur, runsNext);
        next = freed;
        rowUnpack(next, img, i + 1, *runsNext);
        nextExists = i + 1 < h;
        const bool clean = !dirty[std::max(i - 1, 0L)] && !dirty[i] && (i + 1 >= h || !dirty[i + 1]);
        if (clean) continue;
        evaluate(i);
    }
    apply(older, olderRow);
    apply(newer, newerRow);
    return count;
}

// Thins in place; returns the number of removing passes and the removed counts per pass.
inline int thin(Image& img, std::vector<long>* counts = nullptr)
{
    std::vector<unsigned char> dirty(img.height, 1), dirtyNext(img.height, 0);
    img.polarity = detectPolarity(img);
    int passes = 0;
    for (;;) {
        const long r = subIteration(img, dirty, dirtyNext, 1) + subIteration(img, dirty, dirtyNext, 2);
        if (counts) counts->push_back(r);
        if (r <= 0) break;
        std::swap(dirty, dirtyNext);
        std::fill(dirtyNext.begin(), dirtyNext.end(), 0);
        ++passes;
    }
    return passes;
}

inline std::vector<Pt> nodePoints(const Image& img)
{
    std::vector<Pt> nodes;
    for (long y = 0; y < img.height; ++y)
        for (long x = 0; x < img.width; ++x) {
            if (!img.fg(x, y)) continue;
            Around n{};
            const long dx[10] = {0, 0, 0, 1, 1, 1, 0, -1, -1, -1};
            const long dy[10] = {0, 0, -1, -1, 0, 1, 1, 1, 0, -1};
            for (int k = 2; k <= 9; ++k)
                n.p[k] = img.at(x + dx[k], y + dy[k]);
            const int b = n.b();
            if (b >= 3 && b <= 5 && n.a() >= 3)
                nodes.push_back({x, y});
        }
    return nodes;
}

// dx·dx + dy·dy is formed in integers (wide enough for any image), then rooted.
inline double dist(const Pt& p, const Pt& q)
{
    const long dx = q.x - p.x, dy = q.y - p.y;
    return std::sqrt(static_cast<double>(dx * dx + dy * dy));
}

inline double angle(long dx, long dy)
{
    const double r = std::sqrt(static_cast<double>(dx * dx + dy * dy));
    if (r == 0) return 0;
    return dy >= 0 ? std::acos(static_cast<double>(dx) / r) : 6.283185307179586 - std::acos(static_cast<double>(dx) / r);
}

struct Writer {
    std::string text;
    double minLength;
    int write(const std::vector<Pt>& v)
    {
        if (v.size() < 2) return 0;
        double len = 0;
        for (size_t i = 1; i < v.size(); ++i) len += dist(v[i - 1], v[i]);
        if (minLength > 0 && len < minLength) return 0;
        text += "PS\r\n";
        for (const Pt& p : v) text += std::to_string(p.x) + " " + std::to_string(p.y) + "\r\n";
        text += "PE\r\n";
        return 1;
    }
};

inline int simplifyWrite(Writer& out, const std::vector<Pt>& v, double tol)
{
    const size_t m = v.size();
    if (m < 8) return out.write(v);
    std::vector<Pt> kept{v[0]};
    size_t a = 0;
    double dir = angle(v[1].x - v[0].x, v[1].y - v[0].y);
    for (size_t j = 1; j < m; ++j) {
        const double prev = dir;
        dir = angle(v[j].x - v[a].x, v[j].y - v[a].y);
        double dev = 0;
        const double L = dist(v[a], v[j]);
        if (L != 0) {
            const double la = static_cast<double>(v[j].y - v[a].y) / L;
            const double lb = static_cast<double>(-(v[j].x - v[a].x)) / L;
            const double lc = static_cast<double>(v[j].x * v[a].y - v[a].x * v[j].y) / L;
            for (size_t k = a + 1; k < j; ++k)
                dev = std::max(dev, std::fabs(la * static_cast<double>(v[k].x) + lb * static_cast<double>(v[k].y) + lc));
        }
        if (dev >= tol || std::fabs(dir - prev) >= 2.0943951023931953) {
            kept.push_back(v[j - 1]);
            a = j - 1;
            dir = angle(v[j].x - v[j - 1].x, v[j].y - v[j - 1].y);
        }
    }
    kept.push_back(v[m - 1]);
    return out.write(kept);
}

struct Chain {
    std::vector<Pt> v;
    Pt a{0, 0}, l{0, 0};
    void add(const Pt& p)
    {
        if (v.empty()) { v.push_back(p); a = l = p; return; }
        if (v.size() == 1) { v.push_back(p); a = l; l = p; return; }
        if ((a.x == l.x && l.x == p.x) || (a.y == l.y && l.y == p.y)) { v.back() = p; l = p; return; }
        v.push_back(p); a = l; l = p;
    }
};

inline constexpr long kDx[8] = {0, 1, 0, -1, 1, 1, -1, -1};
inline constexpr long kDy[8] = {1, 0, -1, 0, 1, -1, -1, 1};
inline constexpr int kOrder[9][8] = {
    {0, 4, 7, 1, 3, 5, 6, 2}, {1, 5, 4, 2, 0, 6, 7, 3}, {2, 6, 5, 3, 1, 7, 4, 0},
    {3, 7, 6, 0, 2, 4, 5, 1}, {1, 0, 4, 5, 7, 2, 3, 6}, {2, 1, 5, 6, 4, 3, 0, 7},
    {3, 2, 6, 7, 5, 0, 1, 4}, {0, 3, 7, 4, 6, 1, 2, 5}, {0, 1, 2, 3, 4, 5, 6, 7},
};

inline int trace(Image& img, Writer& out, double tol, const std::vector<Pt>& nodes, Chain chain, Pt q, int f)
{
    size_t k = chain.v.size();
    for (;;) {
        if (k > 0) img.clear(q.x, q.y);
        chain.add(q);
        ++k;
        int tries = 7;
        if (f < 0) { f = 8; tries = 8; }
        bool moved = false;
        for (int t = 0; t < tries; ++t) {
            const int e = kOrder[f][t];
            const Pt c{q.x + kDx[e], q.y + kDy[e]};
            if (img.at(c.x, c.y)) { q = c; f = e; moved = true; break; }
        }
        if (!moved) break;
    }
    if (k == 1) img.clear(q.x, q.y);
    const int tries = f == 8 ? 8 : 7;
    for (int t = 0; t < tries; ++t) {
        const int e = kOrder[f][t];
        const Pt c{q.x + kDx[e], q.y + kDy[e]};
        if (std::find(nodes.begin(), nodes.end(), c) != nodes.end()) { chain.add(c); break; }
    }
    return simplifyWrite(out, chain.v, tol);
}

// The RVL text of a whole conversion of the pixel rows, which are left as tracing leaves them.
inline std::string convert(Image& img, double tol, double minLength)
{
    thin(img);
    const std::vector<Pt> nodes = nodePoints(img);
    Writer out{std::string(), minLength};
    for (const Pt& n : nodes)
        for (int d = 0; d < 8; ++d) {
            const Pt c{n.x + kDx[d], n.y + kDy[d]};
            if (!img.at(c.x, c.y)) continue;
            Chain ch;
            ch.add(n);
            trace(img, out, tol, nodes, ch, c, d);
        }
    long y0 = 0;
    for (;;) {
        bool found = false;
        Pt s{0, 0};
        for (long y = y0; y < img.height && !found; ++y)
            for (long x = 0; x < img.width; ++x)
                if (img.fg(x, y)) { s = {x, y}; found = true; break; }
        if (!found) break;
        trace(img, out, tol, nodes, Chain{}, s, -1);
        y0 = s.y;
    }
    return out.text;
}

} // namespace qref
