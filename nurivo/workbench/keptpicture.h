// The sheet view's kept picture: the raster with the figures of every layer as KXDraw draws
// them, kept between repaints so that a repaint copies, a scroll renders only the exposed strip
// and an edit only the area of the figure that changed. The input feedback is painted over it by
// the form, never into it.
//
// The picture is a ring: paint-box pixel (x, y) is kept at (x mod W, y mod H) of a W x H image
// (inside a margin where no piece is drawn) that holds a window of the paint box around the
// visible part, so moving the window moves no pixels. A paint renders only what it shows and
// the picture does not hold yet; the rest of the window is rendered ahead of the view from idle
// time, one small piece per turn of the event loop, nearest the view first. At 1/1 and 1/2 the
// window is the visible part with a margin of 256 pixels, moved in bands of 128 once the view
// is a band off its centre, so the strip a scroll exposes is normally rendered before it is
// shown. At 1/4 and 1/8 every visible figure costs a strip its whole
// outline, so there the window is the whole paint box, up to kMaxPixels; a larger box gets a
// window of that size around the view.
#pragma once
#include <QFont>
#include <QImage>
#include <QRect>
#include <QRegion>
#include <QSize>
#include <QTimer>

#include <array>
#include <cstdint>
#include <vector>

class KXDraw;
class QPainter;
struct TPRec;

class KeptPicture {
public:
    // The memory bound of the picture: 16 Mi pixels of 32 bits (64 MiB), enough for the whole
    // paint box of an A0 sheet at 400 dpi at 1/4.
    static constexpr std::int64_t kMaxPixels = std::int64_t{16} << 20;
    // The most pixels rendered ahead of the view in one turn of the event loop, so that the
    // turn stays short.
    static constexpr std::int64_t kPiecePixels = 32 * 1024;

    KeptPicture();
    ~KeptPicture();
    KeptPicture(const KeptPicture&) = delete;
    KeptPicture& operator=(const KeptPicture&) = delete;

    // The drawing, the size of the whole paint box in view pixels and the dots per millimetre
    // of Draw. The caller sets the drawing's render parameters before each paint. A change of
    // these three, of the render parameters, of the bitmaps, of the layers' attribute rows or
    // of the text and arrow sizes is seen at the next paint and renders everything again; a
    // change the picture cannot see (figure order, a figure edited in place without
    // invalidateFigure) must be followed by invalidateAll.
    void setView(KXDraw* drawing, QSize viewSize, double dpm);
    // Everything is rendered again at the next paint.
    void invalidateAll();
    // The area a figure of layer `layer` covers on the view (names, texts and arrowheads
    // included) is rendered again at the next paint. Call it for a figure as it was before an
    // edit and as it is after.
    void invalidateFigure(int layer, const TPRec& figure);
    // Paints `dirty` (paint-box coordinates) of the picture with `painter` (open on the paint
    // box); `visible` is the part of the paint box the scroll box shows now.
    void paint(QPainter& painter, const QRect& dirty, const QRect& visible);

    // Renders one piece of what the window holds but is not up to date, nearest the part last
    // shown (and the way the view has been moving), without painting; false when nothing was left to render. After a paint
    // that leaves some, a zero-timeout timer calls it from the event loop until none is left.
    bool renderAhead();

    // The part of the paint box the picture holds now, and the part of it that is up to date.
    QRect window() const { return window_; }
    QRegion validRegion() const { return valid_; }

private:
    // What the rendered pixels depend on besides the figures.
    struct State {
        std::array<double, 8> reals{};
        std::vector<std::int64_t> ints;
        QFont font;
        bool operator==(const State& o) const { return reals == o.reals && ints == o.ints && font == o.font; }
    };
    State stateNow(const QFont& font) const;
    // The ring's size; the image has a margin around it.
    QSize ringSize() const;
    void placeWindow(const QRect& shown);
    // What the window holds but is not up to date; empty when the picture cannot render ahead.
    QRegion ahead() const;
    void renderRegion(const QRegion& region);
    void renderArea(const QRect& area);
    void drawArea(QPainter& painter, const QRect& area);
    void copyOut(QPainter& painter, const QRect& area) const;

    KXDraw* drawing_ = nullptr;
    QSize viewSize_;
    double dpm_ = 1.0;
    QImage ring_;
    QRect window_;  // paint-box rectangle of the ring's size that the ring holds
    QRect shown_;   // the part of the paint box shown at the last paint
    QPoint motion_; // how the view has been moving: its last move plus half the motion before
    QRegion valid_; // paint-box pixels of the window that are up to date
    State state_;
    bool haveState_ = false;
    QFont font_;
    QTimer idle_;
};
