#include "workbench/wbstate.h"

#include "render/kxdraw.h"

TWorkbenchState wb;

PData* wbStore(KXDraw* drawing, int layer)
{
    if (drawing == nullptr || layer < 0 || layer >= KX_MAX_LAYERS)
        return nullptr;
    return drawing->pdata[static_cast<std::size_t>(layer)];
}
