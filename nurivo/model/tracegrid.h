// The trace grid: recognised line pixels and line end points of the drawing being edited,
// built from the polylines of its RVL file, and the search for the end point nearest to a
// click. One program-wide grid; polyInit replaces it, polyFree drops it.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

// One straight piece of a recognised polyline, raster pixels with y down.
struct TraceSeg {
    int x1 = 0, y1 = 0, x2 = 0, y2 = 0;
};

enum TraceCell : uint8_t {
    traceEmpty = 0,
    traceInk = 1,
    traceEndPoint = 2,
};

// The cells are held in square tiles of 32 x 32, made when a cell in them is first written:
// a sheet's line work touches a fraction of its area, and the tiles it does not touch cost
// only a pointer.
struct TraceGrid {
    static constexpr int kTileShift = 5;
    static constexpr int kTileSide = 1 << kTileShift;
    static constexpr int kTileCells = kTileSide * kTileSide;
    // The tiles' memory comes in blocks of 2 MB, each mapped from the system on its own.
    static constexpr size_t kBlockBytes = size_t(2) << 20;
    struct FreeBlock {
        void operator()(uint8_t* block) const;
    };

    int width = 0;
    int height = 0;
    int tilesAcross = 0;
    // Row by row of tiles from the top; null for a tile whose cells are all empty. Within a
    // tile the cell of (x, y) is at (y % 32) * 32 + x % 32.
    std::vector<uint8_t*> tiles;
    std::vector<std::unique_ptr<uint8_t[], FreeBlock>> tileMemory; // the tiles, in blocks
    int segCapacity = 0;
    int segCount = 0;
    std::vector<TraceSeg> segs;
    bool made = false; // false until polyInit succeeds, and again after polyFree
};

// Frees what exists, then makes an all-empty grid and a segment list of capacity 1000.
// 1; 0 (with a message, and no grid) when the memory for the grid cannot be had.
int polyInit(int width, int height);
// Appends the file's polylines, rows turned to count from the top (height - y - 1).
// The segment count, 0 when the file cannot be opened.
int polyReadRvl(const std::string& path, int height);
// The new count; the capacity doubles first when the list is full.
int polyAddSegment(int x1, int y1, int x2, int y2);
// Marks as ink the pixels of every segment drawn as a one-pixel line without its last pixel,
// within the work bitmap's size (the pixels of the bitmap itself play no part). Result: mode.
int polyGridFromBitmap(int mode, int bitmapWidth, int bitmapHeight);
// Marks the polyline ends and the starts that do not join the previous segment; 1.
int polyMarkVertices();
// The end point nearest to (x, y) within radius - 1 cells (Chebyshev distance; ties by the
// smaller x offset, then y offset): 1 and the point, or 0.
int polyFindVertexNear(int radius, int x, int y, int& foundX, int& foundY);
int polyGetSegCount();
// Cells outside the grid read as empty and are never written.
int polyGetCell(int x, int y);
void polySetCell(int x, int y, int code);
void polyFree();

const TraceGrid& polyGetGrid();
