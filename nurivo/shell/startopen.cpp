#include "shell/startopen.h"

#include <cstdio>

// Stand-ins until opening is built.
void startOpenRaster(int, int)
{
    std::fprintf(stderr, "nurivo: opening a drawing is not built yet\n");
}

void tracePreprocess(const std::string&) {}
