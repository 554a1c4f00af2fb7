// The workbench's program-level state: one workbench at a time, reached by the form, the input
// object and the dialogs. The current layer, the area-column flag and the attributes of the
// next figure in inputRec carry over from one opening to the next.
#pragma once
#include "model/pdata.h"

class KXDraw;

constexpr int WB_INPUT_POINTS = 2000; // the input buffer: the limit of one figure

struct TWorkbenchState {
    KXDraw* drawing = nullptr; // given by showKXInput, not owned
    int viewDivisor = 1;       // 1, 2, 4 or 8
    int drawTag = 1;           // tag of the drawing mode; 23 for the band
    int inputMode = 1;         // 1 polygon, 2 open line, 3 two points, 4 one point, 5 three points
    int xorMarkShown = 0;
    int pickIndex = -1;
    int editMode = -1;         // -1 none, 0 select, 1 vertex move, 2 text-position move
    int measureState = 0;      // 0 none, 2/3 distance, 12 area
    int curLayer = 0;          // 0 the figure layer, k reference layer k
    int areaColumn = 0;
    TPRec inputRec;            // pts is the 2000-point input buffer; nPts counts the points
    TPRec selRec;              // copy of the figure of the current row; nPts 0: none
    TPRec editRec;             // the edit copy of a row double click; lives for the run, so a
                               // "新規" double click opens on what the last one left
    TPoint prevPoint;
    TPoint curPoint;
    TPoint loupeCentre;
};

extern TWorkbenchState wb;

// The figure store of the drawing's layer `layer`; nullptr without a drawing or outside its layers.
PData* wbStore(KXDraw* drawing, int layer);
// The current layer's store of the open drawing.
inline PData* wbCurrentStore() { return wbStore(wb.drawing, wb.curLayer); }
