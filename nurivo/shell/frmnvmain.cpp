#include "shell/frmnvmain.h"

#include <cstdio>

// Stand-ins until the picker is built.
void frmNVMainCreate() {}
void frmNVMainDestroy() {}
int frmNVMainShowModal()
{
    std::fprintf(stderr, "nurivo: the raster picker is not built yet\n");
    return 2;
}
