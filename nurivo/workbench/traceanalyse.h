// Loads what an opened drawing needs before the workbench or the print form shows it: the
// raster and its reductions, the recognised line work and the figure stores.
#pragma once

class KXDraw;

// useTrace 1 also loads the recognised line work; any other value skips it.
void traceAnalyseInfo(KXDraw* drawing, int useTrace);
