// The print form: paper, scale, preview, page drawing, range frame and printing.
#pragma once

class KXDraw;

// Stores the drawing to print with its resolution (<= 0: 200) and scale denominator
// (<= 0: 1000); callers call it right before showPrint.
void printSetSource(KXDraw* drawing, int dpi, int scale);

// Runs the print form modally on the stored drawing.
void showPrint(int kind, int paperIndex);
