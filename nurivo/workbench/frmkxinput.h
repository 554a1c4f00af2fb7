// The workbench form over one opened drawing.
#pragma once

class KXDraw;

// One editing run: 3 when the operator saved at exit, 2 otherwise.
int showKXInput(KXDraw* drawing);

// Frees the drawing's loupe, raster, half and quarter bitmaps and clears the pointers.
void inputFreeWorkBitmaps(KXDraw* drawing);
