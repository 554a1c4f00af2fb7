// Opening a drawing from the command line, and the trace pre-processing.
#pragma once
#include <string>

class KXDraw;

// The command-line road: opens cmdBaseDir/cmdSubDir/cmdRasterName with one figure store per
// layer of the layer set, in the workbench (directPrint 0) or the print form, then frees it.
void startOpenRaster(int directPrint, int openMode);

// Writes the raster's TMP work image, runs trelvex on it (waiting, without handling events)
// so that it writes the RVL file beside the raster, and deletes the work image.
void tracePreprocess(const std::string& rasterPath);

// The launcher to run: trelvex in the start folder, else beside the running program.
std::string startTrelvexPath();

// True when every file that saving the drawing writes (each layer's figure and layer
// definition files, the Def file) is its own and not the raster; else the operator is told
// which files clash, and the drawing must not be opened for editing.
bool startCompanionsFree(const KXDraw& drawing);
