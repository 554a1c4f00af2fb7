#include "render/styleline.h"

#include "render/canvas.h"

#include <cmath>
#include <numbers>

StyleLine::StyleLine() : pattern{}
{
    pattern[0] = 4;
    pattern[1] = 4;
}

int StyleLine::LengthInDots(double x)
{
    return static_cast<int>(std::trunc(x + 0.4999999999999));
}

void StyleLine::SetStyle(int newStyle)
{
    style = newStyle;
    // Dots per printer's point, whole; a device under 72 dpi still gets one dot, so that
    // every entry has a length and the walk advances.
    int a = (canvas ? canvas->dpiX() : 96) / 72;
    if (a < 1)
        a = 1;
    auto set = [this, a](std::initializer_list<int> units) {
        int i = 0;
        for (int u : units)
            pattern[i++] = LengthInDots(static_cast<double>(u) * a);
        entryCount = i;
    };
    switch (newStyle) {
    case 2:
        set({4, 4});
        break;
    case 3:
        set({24, 8});
        break;
    case 4:
        set({12, 8, 4, 8});
        break;
    case 5:
        set({12, 4, 4, 4, 4, 4});
        break;
    default:
        break; // plain, or no pattern of its own: the pattern stays
    }
}

void StyleLine::SetWidth(int newWidth) { width = newWidth <= 0 ? 1 : newWidth; }

void StyleLine::MoveTo(int x, int y)
{
    phase = 0;
    entryIndex = 0;
    if (!canvas)
        return;
    canvas->moveTo(x, y);
    canvas->setPenStyle(PenStyle::Solid);
    canvas->setPenWidth(width);
}

void StyleLine::LineTo(int x, int y)
{
    if (!canvas)
        return;
    if (style == 1 || canvas->drawingOff()) {
        // Nothing is drawn while the canvas is off: no need to walk the pattern.
        canvas->lineTo(x, y);
        return;
    }
    const QPoint s = canvas->penPos();
    const double dx = x - s.x();
    const double dy = y - s.y();
    double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0)
        return;
    if (entryCount < 1 || entryCount > 128)
        entryCount = 1;
    if (entryIndex < 0 || entryIndex >= entryCount)
        entryIndex = 0;
    const double ux = dx / len;
    const double uy = dy / len;
    double pos = 0;
    int empty = 0; // entries in a row without length: a pattern of nothing draws plainly
    auto go = [&](double at) {
        const int px = static_cast<int>(std::trunc(s.x() + at * ux));
        const int py = static_cast<int>(std::trunc(s.y() + at * uy));
        if (entryIndex % 2 == 0)
            canvas->lineTo(px, py);
        else
            canvas->moveTo(px, py);
    };
    while (len > 0) {
        const int left = pattern[entryIndex] - phase;
        if (left <= 0) {
            if (++empty > entryCount) {
                canvas->lineTo(x, y);
                return;
            }
            entryIndex = (entryIndex + 1) % entryCount;
            phase = 0;
            continue;
        }
        empty = 0;
        if (len >= left) {
            pos += left;
            go(pos);
            entryIndex = (entryIndex + 1) % entryCount;
            phase = 0;
            len -= left;
        } else {
            pos += len;
            go(pos);
            phase = static_cast<int>(std::trunc(phase + len));
            len = 0;
        }
    }
}

void StyleLine::Polyline(const QPoint* points, int n)
{
    if (!points || n < 1)
        return;
    MoveTo(points[0].x(), points[0].y());
    for (int i = 1; i < n; ++i)
        LineTo(points[i].x(), points[i].y());
}

void StyleLine::Polygon(const QPoint* points, int n)
{
    if (!points || n < 1)
        return;
    MoveTo(points[n - 1].x(), points[n - 1].y());
    for (int i = 0; i < n; ++i)
        LineTo(points[i].x(), points[i].y());
}

void StyleLine::Circle(int cx, int cy, int r)
{
    MoveTo(cx + r, cy);
    for (int i = 1; i <= 32; ++i) {
        const double t = 2 * std::numbers::pi * i / 32;
        LineTo(static_cast<int>(std::trunc(cx + r * std::cos(t))),
               static_cast<int>(std::trunc(cy + r * std::sin(t))));
    }
}

void StyleLine::CircleThrough(int cx, int cy, int px, int py)
{
    const double dx = static_cast<double>(px) - cx;
    const double dy = static_cast<double>(py) - cy;
    Circle(cx, cy, static_cast<int>(std::trunc(std::sqrt(dx * dx + dy * dy))));
}
