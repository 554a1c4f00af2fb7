// Figure input on the workbench's sheet view: drawing modes, snapping, the commit, bands,
// measuring, picking and moving. A plain object over the workbench state (wbstate.h) with one
// funnel for presses, moves and menu commands; it reaches the form only through InputView, so
// tests drive it with plain coordinates and a fake view.
#pragma once
#include "model/pdata.h"

#include <QPoint>
#include <QRect>
#include <QSize>

#include <string>
#include <vector>

class Canvas;

// What the input needs of the form. Coordinates named "view" are client pixels of the sheet
// view (PaintBoxEx1); "raster" ones are full-resolution raster pixels.
class InputView {
public:
    virtual ~InputView() = default;

    // Sheet view scrolling: the scroll position (view pixels of the visible top-left corner)
    // and the size of the visible part of ScrollBox1.
    virtual QPoint scrollPosition() const = 0;
    virtual QSize scrollBoxSize() const = 0;
    virtual void scrollTo(int x, int y) = 0;
    virtual void scrollToCentre(int x, int y) = 0; // inputScrollToCentre, raster pixels

    // The figure list SG_Kx.
    virtual int gridRow() const = 0;
    virtual int gridRowCount() const = 0;
    virtual void setGridRow(int row) = 0; // moves the current row only, no click effects
    virtual void fillGrid() = 0;          // inputFillGrid
    virtual void gridRowClicked() = 0;    // SG_KxClick: the effects of a row click
    virtual void resetState() = 0;        // inputResetState

    // Options of the form.
    virtual bool checkPointTicked() const = 0; // CB_CheckPoint
    virtual bool moveTicked() const = 0;       // CB_Move
    virtual std::string oresenText() const = 0; // ED_Oresen, the band width in mm

    virtual void setStatus(const std::string& text) = 0; // StatusBar1
    virtual void setHint(const std::string& text) = 0;   // PaintBoxEx1's tool tip; empty: off

    // Repaints: the overlay over the kept picture in a view rectangle; everything; the
    // magnifier.
    virtual void repaintView(const QRect& viewRect) = 0;
    virtual void repaintAll() = 0;
    virtual void repaintLoupe() = 0;

    // A figure of the store of `layer` changed: the figure as it was and as it is now (null for
    // an added or a deleted figure), so the kept picture renders only their areas again.
    virtual void figureChanged(int layer, const TPRec* before, const TPRec* after) = 0;

    // The popups, shown at a view point: PM_PicRB; PM_PEditRB with one item a text; PM_PEditRB2
    // with "頂点移動" and "文字位置移動" shown or not.
    virtual void popupPicRB(QPoint viewPt) = 0;
    virtual void popupCandidates(QPoint viewPt, const std::vector<std::string>& texts) = 0;
    virtual void popupEditActions(QPoint viewPt, bool vertexMove, bool textMove) = 0;
};

class TKXInput {
public:
    explicit TKXInput(InputView& view);

    // The funnel: a press (right button or any other) and a move at a view point.
    void mouseDown(bool right, Qt::KeyboardModifiers mods, int x, int y);
    void mouseMove(Qt::KeyboardModifiers mods, int x, int y);

    // Popup commands.
    void PM_PicRB_DeleteClick(); // "１点戻す"
    void PM_PicRB_FIXClick();    // "確定"
    void PM_PicRB_CancelClick(); // "取消"
    void ITEM11Click(int tag);   // a candidate of PM_PEditRB; -1 "取消"
    void MenuItem2Click(int tag); // PM_PEditRB2: -1 "終了", 0 "選択", 1 "頂点移動", 2 "文字位置移動"

    // The commit of the figure in inputRec (3.104).
    void MI_FixClick();

    // Draws the overlay (control points, the figure in progress, selRec's marks, the
    // inverted feedback) on the sheet view's canvas after the picture.
    void inputPaintOverlay(Canvas& canvas);

    // The pick at raster point p with tolerance tol in the current layer's store: one hit is
    // taken at once, several are offered in PM_PEditRB. Result: the number of hits.
    int inputPopupCandidates(int tol, TPoint p);

    // The feedback shapes in raster pixels: what the overlay inverts over the picture now.
    struct Shapes {
        bool mark = false;    // large mark at markAt
        TPoint markAt;
        bool line = false;    // line from lineFrom to lineTo
        bool rect = false;    // the same two points as a rectangle outline instead
        TPoint lineFrom;
        TPoint lineTo;
        bool closing = false; // line from closeFrom to lineTo
        TPoint closeFrom;
        bool operator==(const Shapes&) const = default;
    };
    Shapes currentShapes() const;

private:
    void pressDrawing(bool right, TPoint p, int x, int y);
    void pressMove();
    void measureDistance();
    void measureArea();
    void commitStore(); // steps 2 to 8 of the commit
    int askAttributes();
    bool storePoint(TPoint p);
    void refreshFeedback();
    void repaintWhole();
    void moveFeedback(TPoint p);

    InputView& view_;
    Shapes shown_;                  // the shapes last asked to be painted
    bool moveFeedbackOn_ = false;   // a move of the chosen hit has been shown
    bool measureLineShown_ = false; // the distance query is open
    int candidateCount_ = 0;        // hits of the last pick
    std::string hint_;
    bool hintKnown_ = false;
};

// Sets drawTag, inputRec.kind and inputMode for a drawing-mode tag.
void inputSetDrawMode(int tag);

// The snap of a raster point: a vertex of the current layer's figures within tol, else a
// recognised line end within tol. False when neither is found.
bool inputSnapToVertex(int tol, TPoint p, TPoint& found);

// Replaces the centre line in inputRec by the closed band polygon around it, widthText
// millimetres wide (the text of ED_Oresen, read as a C number) on a raster of dpi.
void inputPolylineToBand(const std::string& widthText, int dpi);

// The area of the closed ring in inputRec in square metres.
double inputPolygonArea();
