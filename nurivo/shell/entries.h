// The steps the shell hands over to: one table of entry functions, each the real function
// unless a test has put a recorder in its place.
#pragma once
#include <functional>
#include <string>

class KXDraw;

struct ShellEntries {
    std::function<int()> frmNVMainShowModal;
    std::function<void(int directPrint, int openMode)> startOpenRaster;
    std::function<void(const std::string& rasterPath)> tracePreprocess;
    std::function<void(KXDraw* drawing, int useTrace)> traceAnalyseInfo;
    std::function<int(KXDraw* drawing)> showKXInput;
    std::function<void(KXDraw* drawing)> inputFreeWorkBitmaps;
    std::function<void(KXDraw* drawing, int dpi, int scale)> printSetSource;
    std::function<void(int kind, int paperIndex)> showPrint;
};

ShellEntries& shellEntries();
void shellEntriesReset();
