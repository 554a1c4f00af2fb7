// Opening a drawing from the command line, and the trace pre-processing.
#pragma once
#include <string>

void startOpenRaster(int directPrint, int openMode);
void tracePreprocess(const std::string& rasterPath);
