// The drawing surface of every view and page: a QPainter with the state a GDI device context
// carries (pen, brush, font, text and background colours, copy mode, current position), so
// that drawing code gets the same pixels on a bitmap, a widget and a printer or PDF page.
#pragma once
#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class Bitmap;

// Colour value 0x00BBGGRR (the model's colour type).
using TColor = std::int32_t;

enum class PenMode {
    Copy, // the pen colour
    Not,  // inverts the pixels under the pen; drawing twice restores them
    Xor,  // pixel XOR pen colour; drawing twice restores them
};

enum class PenStyle { Solid, Clear };

enum class BrushStyle {
    Solid,
    Clear,     // nothing is filled
    Pattern,   // an 8 x 8 one-bit pattern: black dots in the text colour, others in the background colour
    DiagCross, // diagonal cross hatch in the brush colour; the gaps keep what lies beneath
};

enum class CopyMode {
    SrcCopy, // bitmaps replace the pixels
    SrcAnd,  // bitmaps are ANDed with the pixels: dark line work over colour, white shows it
};

// Qt colour of a 0x00BBGGRR value, and back.
QColor colorFromTColor(TColor color);
TColor tcolorFromRgb(QRgb rgb);

// Drops the display-ready copies of rasters kept for repaints (for example when a drawing
// closes); they are made again when needed.
void canvasClearDisplayCache();

// Turns off (and on again) the ways of drawing that give the same pixels faster than the plain
// painter calls: fills in bands of rows, texts and short lines from caches of their dots. For comparing the two.
void canvasUseShortcuts(bool on);

// The character height in dots of a font whose height is 0 (the device's default).
constexpr int kCanvasDefaultFontHeight = 12;

// Makes the Japanese faces the forms name resolve to the installed IPA faces. Idempotent.
void canvasInstallFontSubstitutes();

class Canvas {
public:
    // Draws on `image` until the canvas is destroyed. Formats QPainter cannot draw on (one-bit,
    // indexed) are drawn on a 32-bit working copy that is written back, in the image's own
    // format, when the canvas ends. `dpi` is what the device reports as its resolution: an
    // off-screen bitmap is compatible with the screen, 96 dots per inch.
    explicit Canvas(QImage& image, int dpi = 96);
    // Draws on a bitmap the same way; the bitmap keeps its pixel format.
    explicit Canvas(Bitmap& bitmap, int dpi = 96);
    // Draws through a painter already open on a widget, a printer or a PDF page. `visible` is
    // the part of the device that will be seen (a paint event's rectangle, in the painter's
    // logical coordinates); drawing code may skip what lies outside it. An empty rectangle
    // means the whole device.
    Canvas(QPainter& painter, int dpi, const QRect& visible = QRect());
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    // Device resolution in dots per inch (what LOGPIXELSX reports).
    int dpiX() const { return dpi_; }
    // Whether the device can combine pixels (AND copies, inverting pens). Printer and PDF
    // engines cannot; the canvas then gives the same picture by other means where it can.
    bool hasRasterOps() const { return rasterOps_; }
    // The visible part of the device, in canvas coordinates.
    QRect clipRect() const { return visible_; }
    // Restricts drawing to `rect` (canvas coordinates); an empty rectangle lifts it.
    void setClipRect(const QRect& rect);
    QPainter& painter() { return *painter_; }
    // With drawing off, nothing is painted while every setting and the current position still
    // change as they would; a drawing routine so skips what cannot be seen and leaves the
    // canvas in the state drawing it would have left. Text extents then read 0.
    void setDrawingOff(bool off) { off_ = off; }
    bool drawingOff() const { return off_; }

    // Pen.
    void setPenColor(TColor color);
    TColor penColor() const { return penColor_; }
    void setPenWidth(int width); // device dots; 0 or less draws one dot wide
    int penWidth() const { return penWidth_; }
    void setPenMode(PenMode mode);
    PenMode penMode() const { return penMode_; }
    void setPenStyle(PenStyle style);
    PenStyle penStyle() const { return penStyle_; }

    // Brush.
    void setBrushColor(TColor color);
    TColor brushColor() const { return brushColor_; }
    void setBrushStyle(BrushStyle style);
    BrushStyle brushStyle() const { return brushStyle_; }
    // Selects an 8 x 8 one-bit pattern (colour table entry 0 black) as the brush; nullptr
    // removes it and the brush becomes solid again.
    void setBrushPattern(const QImage* pattern);

    // Font. A negative height is the character height, a positive one the cell height, both in
    // dots; 0 is the default height. Escapement is the baseline's angle in tenths of a degree,
    // counter-clockwise.
    void setFontName(const QString& name);
    QString fontName() const { return fontName_; }
    void setFontHeight(int height);
    int fontHeight() const { return fontHeight_; }
    void setFontColor(TColor color); // the text colour
    TColor fontColor() const { return fontColor_; }
    void setFontEscapement(int tenths);
    int fontEscapement() const { return escapement_; }

    void setBackColor(TColor color);
    TColor backColor() const { return backColor_; }
    void setTransparent(bool transparent); // background mode for texts
    bool transparent() const { return transparent_; }

    void setCopyMode(CopyMode mode) { copyMode_ = mode; }
    CopyMode copyMode() const { return copyMode_; }

    // Lines with a current position. The end point of a line is not drawn.
    void moveTo(int x, int y);
    void lineTo(int x, int y);
    QPoint penPos() const { return pos_; }
    void polyline(const QPoint* points, int n);
    // Filled with the brush (alternate fill) and outlined with the pen.
    void polygon(const QPoint* points, int n);
    // The ellipse inside (x1, y1)-(x2, y2), filled with the brush and outlined with the pen.
    void ellipse(int x1, int y1, int x2, int y2);
    // Fills (x1, y1)-(x2, y2), right and bottom edges excluded, with the brush; no outline.
    void fillRect(int x1, int y1, int x2, int y2);

    // Text with its top-left corner at (x, y) (rotated about it by the escapement); the
    // background is filled with the background colour unless transparent.
    void textOut(int x, int y, const std::string& text);
    int textWidth(const std::string& text);
    int textHeight(const std::string& text);

    // Bitmaps through the copy mode.
    void draw(int x, int y, const QImage& image);
    void draw(int x, int y, const Bitmap& bitmap);
    void stretchDraw(const QRect& target, const QImage& image);
    void stretchDraw(const QRect& target, const Bitmap& bitmap);

private:
    void init();
    void applyPen();
    void applyBrush();
public:
    // A font of one face and height with the metrics the drawing asks for again and again.
    struct FontEntry {
        QFont font;
        QFontMetrics metrics;
        int ascent;
        int height;
    };

private:
    // The font of the current face and height, made once per thread and kept for every
    // canvas: repaints make a canvas each time, and a font's first use is costly.
    const FontEntry& font();
    QPen currentPen() const;
    void drawImagePart(const QRect& target, const QImage& image, const QRectF& source);
    bool stretchInBands(const QRect& rect, const QRect& shown, const QImage& image);
    bool fillInBands(const QPoint* points, int n);
    bool textFromCache(int x, int y, const QString& s, const FontEntry& fe);
    bool lineFromCache(QPoint from, QPoint to);
    // One-dot lines through `points` (n of them) set dot by dot where the device is a raster:
    // false leaves them to the painter.
    bool thinLines(const QPoint* points, int n);
    // Whether lines through `points` with the current pen stay wholly outside the visible part.
    bool missesView(const QPoint* points, int n) const;
    // Whether the device takes one-dot lines set dot by dot (a raster, whole-dot mapping).
    bool thinLinesAllowed(const QPoint* points, int n) const;
    // An image device the canvas may write to itself: its pixels, the translation of the
    // painter and the device pixels that may be written.
    struct DirectTarget {
        uchar* bits;
        qsizetype stride;
        QPoint shift;
        QRect allowed;
    };
    std::optional<DirectTarget> directTarget() const;
    // The same, where the painter's plain settings allow it (no shortcuts, blending or
    // smoothing; with `painterMode` also the painter's own mode must be plain painting).
    std::optional<DirectTarget> plainTarget(bool painterMode) const;
    bool blitAnd(const QImage& source, const QRect& part, QPoint at);

    QImage* target_ = nullptr;   // the image given, when drawing on one
    QImage work_;                // 32-bit working copy when the target's format cannot be drawn on
    std::unique_ptr<QPainter> ownPainter_;
    QPainter* painter_ = nullptr;
    int dpi_ = 96;
    bool rasterOps_ = true;
    QRect visible_;
    QRect device_;

    TColor penColor_ = 0;
    int penWidth_ = 1;
    PenMode penMode_ = PenMode::Copy;
    PenStyle penStyle_ = PenStyle::Solid;
    TColor brushColor_ = 0xFFFFFF;
    BrushStyle brushStyle_ = BrushStyle::Solid;
    QImage pattern_; // one-bit 8 x 8
    QString fontName_;
    int fontHeight_ = -12;
    TColor fontColor_ = 0;
    int escapement_ = 0;
    TColor backColor_ = 0xFFFFFF;
    bool transparent_ = false;
    CopyMode copyMode_ = CopyMode::SrcCopy;
    QPoint pos_;

    std::vector<QPoint> dots_; // the dots of one-dot lines being set
    std::vector<QPoint> ring_; // a closed outline being set
    std::shared_ptr<const FontEntry> font_;
    QFont callerFont_; // the painter's font before the first text
    bool fontSet_ = false;
    bool fontDirty_ = true;
    bool off_ = false;
};
