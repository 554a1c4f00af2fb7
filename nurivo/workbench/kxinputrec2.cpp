#include "workbench/kxinputrec2.h"

#include <cstdio>

// Stand-in until the dialog is built.
int showKXInputRec2(int, TPRec*)
{
    std::fprintf(stderr, "nurivo: the figure attribute dialog is not built yet\n");
    return 1;
}
