// The sheet view's kept picture: the raster with the figures of every layer as KXDraw draws
// them, kept between repaints so that a repaint copies, a scroll renders only the exposed strip
// and an edit only the area of the figure that changed. The input feedback is painted over it by
// the form, never into it.
#pragma once
#include <QRect>
#include <QSize>

class KXDraw;
class QPainter;
struct TPRec;

class KeptPicture {
public:
    KeptPicture();
    ~KeptPicture();
    KeptPicture(const KeptPicture&) = delete;
    KeptPicture& operator=(const KeptPicture&) = delete;

    // The drawing, the size of the whole paint box in view pixels and the dots per millimetre
    // of Draw. The caller sets the drawing's render parameters; a change of any of these, or of
    // the render parameters (options, scale, colours), must be followed by invalidateAll.
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

private:
    KXDraw* drawing_ = nullptr;
    QSize viewSize_;
    double dpm_ = 1.0;
};
