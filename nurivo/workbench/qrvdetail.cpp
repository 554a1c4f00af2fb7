#include "workbench/qrvdetail.h"

#include <cstdio>

// Stand-in until the grid is built.
void showQRVDetail(const std::string&, int, const std::string&)
{
    std::fprintf(stderr, "nurivo: the record detail grid is not built yet\n");
}

void qrvDetailCreate() {}
void qrvDetailDestroy() {}
