#include "workbench/qrvinputrec.h"

#include <cstdio>

// Stand-in until the dialog is built.
int showQRVInputRec(int, int, TPRec*)
{
    std::fprintf(stderr, "nurivo: the reference-number picker is not built yet\n");
    return 1;
}
