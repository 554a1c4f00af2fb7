#include "model/tracegrid.h"

#include "platform/message.h"
#include "platform/satint.h"
#include "platform/textfile.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <sys/mman.h>

namespace {

TraceGrid grid;

constexpr int kFirstCapacity = 1000;
// Far beyond any scanned sheet (an A0 sheet at 1200 dpi is 2.2 G cells); a size past it is a
// damaged raster header, not a drawing.
constexpr uint64_t kMaxCells = uint64_t(1) << 33;
constexpr int kShift = TraceGrid::kTileShift;
constexpr int64_t kSide = TraceGrid::kTileSide;
constexpr int64_t kMask = kSide - 1;
constexpr size_t kBlockTiles = TraceGrid::kBlockBytes / TraceGrid::kTileCells;

// A block of all-empty cells straight from the kernel, on a 2 MB boundary so that it can be
// supplied as one large page (one page fault, not hundreds): the kernel clears only the
// blocks that lines reach. Null when no memory is to be had.
uint8_t* mapBlock()
{
    constexpr size_t size = TraceGrid::kBlockBytes;
    void* p = ::mmap(nullptr, 2 * size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return nullptr;
    const uintptr_t start = reinterpret_cast<uintptr_t>(p);
    const uintptr_t aligned = (start + size - 1) & ~(uintptr_t(size) - 1);
    if (aligned > start)
        ::munmap(p, aligned - start);
    if (start + 2 * size > aligned + size)
        ::munmap(reinterpret_cast<void*>(aligned + size), start + 2 * size - (aligned + size));
#ifdef MADV_HUGEPAGE
    ::madvise(reinterpret_cast<void*>(aligned), size, MADV_HUGEPAGE); // only a hint
#endif
    return reinterpret_cast<uint8_t*>(aligned);
}

std::mutex tileMemoryLock; // grid.tileMemory, written by the threads that draw bands

// Hands out fresh, all-empty tiles from blocks of its own; one per thread that writes cells.
class TileSupply {
public:
    // A tile, or null when no memory is to be had.
    uint8_t* take()
    {
        if (left_ == 0) {
            uint8_t* block = mapBlock();
            if (block == nullptr)
                return nullptr;
            try {
                std::lock_guard<std::mutex> lock(tileMemoryLock);
                grid.tileMemory.emplace_back(block);
            } catch (const std::bad_alloc&) {
                TraceGrid::FreeBlock()(block);
                return nullptr;
            }
            next_ = block;
            left_ = kBlockTiles;
        }
        --left_;
        uint8_t* tile = next_;
        next_ += TraceGrid::kTileCells;
        return tile;
    }

private:
    uint8_t* next_ = nullptr;
    size_t left_ = 0;
};

// The supply of single cells written outside a build (end points, polySetCell); emptied
// whenever the grid's memory goes.
TileSupply looseTiles;

bool inGrid(int64_t x, int64_t y) { return grid.made && x >= 0 && y >= 0 && x < grid.width && y < grid.height; }

uint8_t*& tileOf(int64_t x, int64_t y)
{
    return grid.tiles[static_cast<size_t>((y >> kShift) * grid.tilesAcross + (x >> kShift))];
}

int64_t inTile(int64_t x, int64_t y) { return (y & kMask) * kSide + (x & kMask); }

// The cell of (x, y) inside the grid; empty in a tile not made.
uint8_t cellAt(int64_t x, int64_t y)
{
    const uint8_t* tile = tileOf(x, y);
    return tile != nullptr ? tile[inTile(x, y)] : uint8_t(traceEmpty);
}

// Writes the cell of (x, y) inside the grid, making its tile from `supply` when needed. False
// when no memory is to be had for the tile.
bool writeCell(int64_t x, int64_t y, uint8_t code, TileSupply& supply)
{
    uint8_t*& tile = tileOf(x, y);
    if (tile == nullptr) {
        if (code == traceEmpty)
            return true;
        tile = supply.take();
        if (tile == nullptr)
            return false;
    }
    tile[inTile(x, y)] = code;
    return true;
}

// Marks as ink the pixels of the one-pixel line from (x1, y1) to (x2, y2) without its last
// pixel, only those with 0 <= x < w and 0 <= y < h, so a segment far outside costs nothing.
// Along the major axis pixel i is at minor offset round(i * dMinor / dMajor), halves rounded
// away from the start. `ink` (x, y) marks one pixel.
template <bool XMajor, class Ink>
void inkLine(const Ink& ink, int64_t a1, int64_t b1, int64_t a2, int64_t b2, int64_t aLimit, int64_t bLimit)
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
        if (static_cast<uint64_t>(b) < static_cast<uint64_t>(bLimit)) {
            if (XMajor)
                ink(a, b);
            else
                ink(b, a);
        }
        a += sa;
        r += rise;
        if (r >= den) {
            r -= den;
            b += sb;
        }
    }
}

// Clears the cells of rows [y0, y1) and columns [0, w) in the tiles that exist, then draws
// those rows of the w x h drawing surface. A line's pixels do not depend on where it is cut:
// rows drawn apart come out as the whole drawn at once. Bands start and end on tile rows, so
// the threads drawing them never share a tile. False when a tile could not be had.
bool drawBand(int64_t y0, int64_t y1, int64_t w)
{
    for (int64_t ty = y0 >> kShift; ty < (y1 + kMask) >> kShift; ++ty)
        for (int64_t tx = 0; tx < (w + kMask) >> kShift; ++tx) {
            uint8_t* tile = grid.tiles[static_cast<size_t>(ty * grid.tilesAcross + tx)];
            if (tile == nullptr)
                continue;
            const int64_t cols = std::min(kSide, w - tx * kSide);
            for (int64_t y = std::max(y0, ty * kSide); y < std::min(y1, (ty + 1) * kSide); ++y)
                std::memset(tile + (y & kMask) * kSide, traceEmpty, static_cast<size_t>(cols));
        }
    TileSupply supply;
    bool ok = true;
    // Consecutive pixels of a line mostly fall in one tile: it is looked up once for them.
    int64_t lastTile = -1;
    uint8_t* tile = nullptr;
    const auto ink = [&](int64_t x, int64_t y) {
        y += y0;
        const int64_t at = (y >> kShift) * grid.tilesAcross + (x >> kShift);
        if (at != lastTile) {
            uint8_t*& slot = grid.tiles[static_cast<size_t>(at)];
            if (slot == nullptr)
                slot = supply.take();
            tile = slot;
            lastTile = at;
        }
        if (tile != nullptr)
            tile[inTile(x, y)] = traceInk;
        else
            ok = false;
    };
    const int64_t h = y1 - y0;
    for (const TraceSeg& s : grid.segs) {
        if (std::max(s.y1, s.y2) < y0 || std::min(s.y1, s.y2) >= y1)
            continue;
        const int64_t sy1 = s.y1 - y0, sy2 = s.y2 - y0;
        if (std::abs(int64_t(s.x2) - s.x1) >= std::abs(sy2 - sy1))
            inkLine<true>(ink, s.x1, sy1, s.x2, sy2, w, h);
        else
            inkLine<false>(ink, sy1, s.x1, sy2, s.x2, h, w);
    }
    return ok;
}

// A sheet's grid is drawn in horizontal bands on a few threads.
bool drawGrid(int64_t w, int64_t h)
{
    constexpr int64_t kCellsPerBand = int64_t(16) << 20;
    const int64_t bands = std::min<int64_t>({4, std::max(1u, std::thread::hardware_concurrency()),
                                             std::max<int64_t>(1, w * h / kCellsPerBand)});
    std::vector<std::thread> helpers;
    std::vector<char> done(static_cast<size_t>(bands), 1);
    int64_t y0 = 0;
    for (int64_t b = 0; b < bands - 1; ++b) {
        const int64_t y1 = (h * (b + 1) / bands) & ~kMask; // on a tile row
        if (y1 <= y0)
            continue;
        try {
            helpers.emplace_back([y0, y1, w, &flag = done[static_cast<size_t>(b)]] { flag = drawBand(y0, y1, w); });
        } catch (const std::system_error&) {
            break; // no thread to be had: the calling thread draws the rest
        }
        y0 = y1;
    }
    bool ok = drawBand(y0, h, w);
    for (std::thread& t : helpers)
        t.join();
    for (char d : done)
        ok = ok && d;
    return ok;
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

void TraceGrid::FreeBlock::operator()(uint8_t* block) const { ::munmap(block, kBlockBytes); }

int polyInit(int width, int height)
{
    polyFree();
    width = std::max(width, 0);
    height = std::max(height, 0);
    const uint64_t count = uint64_t(width) * uint64_t(height);
    const int64_t across = (int64_t(width) + kMask) >> kShift, down = (int64_t(height) + kMask) >> kShift;
    bool ok = count <= kMaxCells;
    if (ok) {
        try {
            grid.tiles.assign(static_cast<size_t>(across * down), nullptr);
            grid.segs.reserve(kFirstCapacity);
        } catch (const std::bad_alloc&) {
            ok = false;
        }
    }
    if (!ok) {
        polyFree();
        showMessage("端点認識の領域を確保できません（" + std::to_string(width) + " x " +
                    std::to_string(height) + "）。端点認識なしで続けます。");
        return 0;
    }
    grid.width = width;
    grid.height = height;
    grid.tilesAcross = static_cast<int>(across);
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
        // Coordinates of real sheets lie well inside the limit; farther ones are clipped.
        int cx = satToInt(x);
        int cy = satToInt(int64_t(height) - satToInt(y) - 1);
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
    const int64_t w = std::clamp(bitmapWidth, 0, grid.width);
    const int64_t h = std::clamp(bitmapHeight, 0, grid.height);
    // The drawing surface starts white: the covered cells are cleared, the rest kept.
    if (!drawGrid(w, h)) {
        const int width = grid.width, height = grid.height;
        polyFree();
        showMessage("端点認識の領域を確保できません（" + std::to_string(width) + " x " +
                    std::to_string(height) + "）。端点認識なしで続けます。");
    }
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
    if (inGrid(x, y))
        writeCell(x, y, static_cast<uint8_t>(code), looseTiles); // no memory: the cell stays empty
}

void polyFree()
{
    grid.tiles = std::vector<uint8_t*>();
    grid.tileMemory = std::vector<std::unique_ptr<uint8_t[], TraceGrid::FreeBlock>>();
    looseTiles = TileSupply();
    grid.segs = std::vector<TraceSeg>();
    grid.width = grid.height = grid.tilesAcross = 0;
    grid.segCount = grid.segCapacity = 0;
    grid.made = false;
}

const TraceGrid& polyGetGrid() { return grid; }
