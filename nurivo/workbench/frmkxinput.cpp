#include "workbench/frmkxinput.h"

#include <cstdio>

// Stand-in until the workbench is built.
int showKXInput(KXDraw*)
{
    std::fprintf(stderr, "nurivo: the workbench is not built yet\n");
    return 2;
}

void inputFreeWorkBitmaps(KXDraw*) {}
