#include "model/tracegrid.h"

#include "platform/message.h"
#include "platform/textfile.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>
#include <thread>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {

TraceGrid grid;
// True while no cell has been written since polyInit: calloc's memory is already all empty, so
// the first polyGridFromBitmap need not clear it again (clearing would also make the kernel
// hand over every page of the grid, not only those the lines touch).
bool cellsUntouched = false;

constexpr int kFirstCapacity = 1000;
// Far beyond any scanned sheet (an A0 sheet at 1200 dpi is 2.2 G cells); a size past it is a
// damaged raster header, not a drawing.
constexpr uint64_t kMaxCells = uint64_t(1) << 33;

bool inGrid(int64_t x, int64_t y)
{
    return grid.cells && x >= 0 && y >= 0 && x < grid.width && y < grid.height;
}

uint8_t& cellAt(int64_t x, int64_t y) { return grid.cells[y * grid.width + x]; }

// A sheet's grid is some hundred megabytes, new to the process at every opening: in 2 MB pages
// the kernel supplies it with a few hundred page faults instead of tens of thousands. Only a
// hint; without it the grid is the same.
void preferLargePages([[maybe_unused]] uint8_t* cells, [[maybe_unused]] uint64_t bytes)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kLarge = uintptr_t(2) << 20;
    const uintptr_t begin = (reinterpret_cast<uintptr_t>(cells) + kLarge - 1) & ~(kLarge - 1);
    const uintptr_t end = (reinterpret_cast<uintptr_t>(cells) + bytes) & ~(kLarge - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

int clampToInt(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// Marks as ink the pixels of the one-pixel line from (x1, y1) to (x2, y2) without its last
// pixel, only those with 0 <= x < w and 0 <= y < h, so a segment far outside costs nothing.
// Along the major axis pixel i is at minor offset round(i * dMinor / dMajor), halves rounded
// away from the start. `cells` is the grid's first cell, `stride` its row length.
template <bool XMajor>
void inkLine(uint8_t* cells, int64_t stride, int64_t a1, int64_t b1, int64_t a2, int64_t b2, int64_t aLimit,
             int64_t bLimit)
{
    // (a, b) are the (major, minor) coordinates: (x, y) for a mostly horizontal line.
    const uint64_t da = static_cast<uint64_t>(std::abs(a2 - a1));
    const uint64_t db = static_cast<uint64_t>(std::abs(b2 - b1));
    const int64_t sa = a2 >= a1 ? 1 : -1, sb = b2 >= b1 ? 1 : -1;
    if (da == 0 || aLimit <= 0 || bLimit <= 0)
        return;

    // Steps i in [lo, hi) keep the major coordinate inside the limit.
    const int64_t n = static_cast<int64_t>(da);
    const int64_t lo = sa > 0 ? std::max<int64_t>(0, -a1) : std::max<int64_t>(0, a1 - (aLimit - 1));
    const int64_t hi = sa > 0 ? std::min<int64_t>(n, aLimit - a1) : std::min<int64_t>(n, a1 + 1);
    if (lo >= hi)
        return;

    // Minor offset q at step lo, and the remainder r of (2 i db + da) / (2 da); lo * db < 2^64.
    const uint64_t den = 2 * da, rise = 2 * db;
    const uint64_t prod = static_cast<uint64_t>(lo) * db;
    uint64_t q = prod / da;
    uint64_t r = 2 * (prod % da) + da;
    if (r >= den) {
        r -= den;
        ++q;
    }
    // The minor coordinate stays within [-2^33, 2^33]: both ends are ints.
    int64_t a = a1 + sa * lo;
    int64_t b = b1 + sb * static_cast<int64_t>(q);
    const int64_t steps = hi - lo;
    for (int64_t i = 0; i < steps; ++i) {
        if (static_cast<uint64_t>(b) < static_cast<uint64_t>(bLimit))
            cells[XMajor ? b * stride + a : a * stride + b] = traceInk;
        a += sa;
        r += rise;
        if (r >= den) {
            r -= den;
            b += sb;
        }
    }
}

// Clears (unless they are all empty already) and draws rows [y0, y1) of the w x h drawing
// surface. A line's pixels do not depend on where it is cut: rows drawn apart come out as the
// whole drawn at once.
void drawBand(int64_t y0, int64_t y1, int64_t w, bool clear)
{
    const int64_t stride = grid.width;
    uint8_t* band = grid.cells.get() + y0 * stride;
    if (clear) {
        if (w == stride)
            std::memset(band, traceEmpty, static_cast<size_t>(w * (y1 - y0)));
        else
            for (int64_t y = 0; y < y1 - y0; ++y)
                std::memset(band + y * stride, traceEmpty, static_cast<size_t>(w));
    }
    const int64_t h = y1 - y0;
    for (const TraceSeg& s : grid.segs) {
        if (std::max(s.y1, s.y2) < y0 || std::min(s.y1, s.y2) >= y1)
            continue;
        const int64_t sy1 = s.y1 - y0, sy2 = s.y2 - y0;
        if (std::abs(int64_t(s.x2) - s.x1) >= std::abs(sy2 - sy1))
            inkLine<true>(band, stride, s.x1, sy1, s.x2, sy2, w, h);
        else
            inkLine<false>(band, stride, sy1, s.x1, sy2, s.x2, h, w);
    }
}

// A sheet's grid is drawn in horizontal bands on a few threads: most of the time goes to the
// kernel handing over and clearing the grid's memory, which runs on every core at once.
void drawGrid(int64_t w, int64_t h, bool clear)
{
    constexpr int64_t kCellsPerBand = int64_t(16) << 20;
    const int64_t bands = std::min<int64_t>({4, std::max(1u, std::thread::hardware_concurrency()),
                                             std::max<int64_t>(1, w * h / kCellsPerBand)});
    std::vector<std::thread> helpers;
    int64_t y0 = 0;
    for (int64_t b = 0; b < bands - 1; ++b) {
        const int64_t y1 = h * (b + 1) / bands;
        try {
            helpers.emplace_back(drawBand, y0, y1, w, clear);
        } catch (const std::system_error&) {
            break; // no thread to be had: the calling thread draws the rest
        }
        y0 = y1;
    }
    drawBand(y0, h, w, clear);
    for (std::thread& t : helpers)
        t.join();
}

// "%d %d" on a point line: two integers, each after optional blanks; what follows is ignored.
bool scanPoint(std::string_view line, int64_t& x, int64_t& y)
{
    const char* p = line.data();
    const char* end = p + line.size();
    auto number = [&](int64_t& v) {
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        if (p < end && *p == '+')
            ++p;
        auto [next, ec] = std::from_chars(p, end, v);
        if (ec == std::errc::result_out_of_range)
            v = (p < end && *p == '-') ? INT64_MIN : INT64_MAX; // saturates, as strtol does
        else if (ec != std::errc())
            return false;
        p = next;
        return true;
    };
    return number(x) && number(y);
}

bool startsWith(std::string_view line, std::string_view head) { return line.substr(0, head.size()) == head; }

void reportGrowthFailure() { showMessage("端点認識の線分を読み込めません（メモリ不足）。"); }

} // namespace

int polyInit(int width, int height)
{
    polyFree();
    width = std::max(width, 0);
    height = std::max(height, 0);
    uint64_t count = uint64_t(width) * uint64_t(height);
    uint8_t* cells = count <= kMaxCells ? static_cast<uint8_t*>(std::calloc(std::max<uint64_t>(count, 1), 1))
                                        : nullptr;
    if (!cells) {
        showMessage("端点認識の領域を確保できません（" + std::to_string(width) + " x " +
                    std::to_string(height) + "）。端点認識なしで続けます。");
        return 0;
    }
    try {
        grid.segs.reserve(kFirstCapacity);
    } catch (const std::bad_alloc&) {
        std::free(cells);
        reportGrowthFailure();
        return 0;
    }
    preferLargePages(cells, count);
    grid.cells.reset(cells);
    cellsUntouched = true;
    grid.width = width;
    grid.height = height;
    grid.segCapacity = kFirstCapacity;
    grid.made = true;
    return 1;
}

int polyAddSegment(int x1, int y1, int x2, int y2)
{
    if (!grid.made)
        return 0;
    if (grid.segCount == grid.segCapacity) {
        if (grid.segCapacity > INT_MAX / 2)
            return grid.segCount;
        try {
            grid.segs.reserve(static_cast<size_t>(grid.segCapacity) * 2);
        } catch (const std::bad_alloc&) {
            return grid.segCount;
        }
        grid.segCapacity *= 2;
    }
    grid.segs.push_back(TraceSeg{x1, y1, x2, y2});
    return ++grid.segCount;
}

int polyReadRvl(const std::string& path, int height)
{
    TextReader in;
    if (!grid.made || !in.open(path))
        return 0;
    std::string line;
    bool inBlock = false, havePrev = false;
    int px = 0, py = 0;
    while (in.readRawLine(line)) {
        if (!inBlock) {
            // Outside a block only a "PS" line counts.
            if (startsWith(line, "PS")) {
                inBlock = true;
                havePrev = false;
            }
            continue;
        }
        // Only "PE" ends the points of a block; any other line that is not two integers, a
        // stray "PS" included, is passed over and the polyline goes on.
        if (startsWith(line, "PE")) {
            inBlock = false;
            continue;
        }
        int64_t x = 0, y = 0;
        if (!scanPoint(line, x, y))
            continue;
        int cx = clampToInt(x);
        int cy = clampToInt(int64_t(height) - clampToInt(y) - 1);
        if (havePrev) {
            int before = grid.segCount;
            if (polyAddSegment(px, py, cx, cy) == before) {
                reportGrowthFailure();
                break;
            }
        }
        px = cx;
        py = cy;
        havePrev = true;
    }
    return grid.segCount;
}

int polyGridFromBitmap(int mode, int bitmapWidth, int bitmapHeight)
{
    if (!grid.made)
        return mode;
    int64_t w = std::clamp(bitmapWidth, 0, grid.width);
    int64_t h = std::clamp(bitmapHeight, 0, grid.height);
    // The drawing surface starts white: the covered cells are cleared, the rest kept.
    drawGrid(w, h, !cellsUntouched);
    cellsUntouched = cellsUntouched && grid.segs.empty();
    return mode;
}

int polyMarkVertices()
{
    const std::vector<TraceSeg>& segs = grid.segs;
    for (size_t i = 0; i < segs.size(); ++i) {
        const TraceSeg& s = segs[i];
        if (i == 0 || s.x1 != segs[i - 1].x2 || s.y1 != segs[i - 1].y2)
            polySetCell(s.x1, s.y1, traceEndPoint);
        polySetCell(s.x2, s.y2, traceEndPoint);
    }
    return 1;
}

int polyFindVertexNear(int radius, int x, int y, int& foundX, int& foundY)
{
    if (!grid.made || grid.width == 0 || grid.height == 0)
        return 0;
    const int64_t w = grid.width, h = grid.height, cx = x, cy = y;
    // Squares smaller than the distance to the grid hold no cell, and once a square covers
    // the whole grid larger ones hold nothing new: the search stays within the grid's size
    // wherever the click is and whatever the radius.
    int64_t first = std::max({int64_t(0), -cx, cx - (w - 1), -cy, cy - (h - 1)});
    int64_t cover = std::max({cx, w - 1 - cx, cy, h - 1 - cy});
    int64_t last = std::min<int64_t>(int64_t(radius) - 1, cover);
    auto hit = [&](int64_t px, int64_t py) {
        if (py < 0 || py >= h || cellAt(px, py) != traceEndPoint)
            return false;
        foundX = static_cast<int>(px);
        foundY = static_cast<int>(py);
        return true;
    };
    for (int64_t r = first; r <= last; ++r) {
        // Only the ring at distance r, in the order of a scan of the whole square (dx, then
        // dy, ascending): the cells inside it were searched with the smaller squares.
        for (int64_t dx = std::max(-r, -cx); dx <= std::min(r, w - 1 - cx); ++dx) {
            int64_t px = cx + dx;
            if (dx == -r || dx == r) {
                for (int64_t dy = std::max(-r, -cy); dy <= std::min(r, h - 1 - cy); ++dy)
                    if (hit(px, cy + dy))
                        return 1;
            } else if (hit(px, cy - r) || hit(px, cy + r)) {
                return 1;
            }
        }
    }
    return 0;
}

int polyGetSegCount() { return grid.segCount; }

int polyGetCell(int x, int y) { return inGrid(x, y) ? int(cellAt(x, y)) : int(traceEmpty); }

void polySetCell(int x, int y, int code)
{
    if (inGrid(x, y)) {
        cellAt(x, y) = static_cast<uint8_t>(code);
        cellsUntouched = false;
    }
}

void polyFree()
{
    grid.cells.reset();
    cellsUntouched = false;
    grid.segs = std::vector<TraceSeg>();
    grid.width = grid.height = 0;
    grid.segCount = grid.segCapacity = 0;
    grid.made = false;
}

const TraceGrid& polyGetGrid() { return grid; }
