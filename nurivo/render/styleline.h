// The dashed pen: draws dotted, dashed and dash-dotted polylines, polygons and circles with a
// solid canvas pen by cutting every segment into drawn and skipped pieces. Piece lengths
// follow the device resolution, and the pattern runs on across corners.
#pragma once
#include <QPoint>

class Canvas;

class StyleLine {
public:
    StyleLine();

    int pattern[128];   // entry lengths in device dots: even entries drawn, odd ones gaps
    int entryCount = 2; // entries in use
    int style = 1;      // 1 plain, 2 dotted, 3 dashed, 4 dash-dot, 5 dash-dot-dot
    int width = 1;      // pen width in device dots, at least 1
    int phase = 0;      // length used of the current entry, carried from segment to segment
    int entryIndex = 0;
    Canvas* canvas = nullptr; // not owned

    void SetCanvas(Canvas* c) { canvas = c; }
    // Stores the style and builds its pattern for the canvas's resolution.
    void SetStyle(int newStyle);
    void SetWidth(int newWidth);
    // Starts a run at (x, y): solid canvas pen of `width`, pattern from its start.
    void MoveTo(int x, int y);
    // One segment from the canvas pen position through the pattern.
    void LineTo(int x, int y);
    void Polyline(const QPoint* points, int n);
    // Closed outline: from the last point through every point, the pattern running on.
    void Polygon(const QPoint* points, int n);
    // 32 chords from angle 0, the pattern carried around.
    void Circle(int cx, int cy, int r);
    void CircleThrough(int cx, int cy, int px, int py);

    // Pattern lengths in whole dots, halves going up.
    static int LengthInDots(double x);
};
