#include "workbench/wbstate.h"

TWorkbenchState wb;
