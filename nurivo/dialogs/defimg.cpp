#include "dialogs/defimg.h"

#include <cstdio>

// Stand-in until the dialog is built.
int showDefImg(const std::string&, const std::string&, TImgDef*)
{
    std::fprintf(stderr, "nurivo: the image and position dialog is not built yet\n");
    return 1;
}
