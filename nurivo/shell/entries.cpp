#include "shell/entries.h"

#include "render/frmprint.h"
#include "shell/frmnvmain.h"
#include "shell/startopen.h"
#include "workbench/frmkxinput.h"
#include "workbench/traceanalyse.h"

namespace {
ShellEntries realEntries()
{
    ShellEntries e;
    e.frmNVMainShowModal = frmNVMainShowModal;
    e.startOpenRaster = startOpenRaster;
    e.tracePreprocess = tracePreprocess;
    e.traceAnalyseInfo = traceAnalyseInfo;
    e.showKXInput = showKXInput;
    e.inputFreeWorkBitmaps = inputFreeWorkBitmaps;
    e.printSetSource = printSetSource;
    e.showPrint = showPrint;
    return e;
}
} // namespace

ShellEntries& shellEntries()
{
    static ShellEntries table = realEntries();
    return table;
}

void shellEntriesReset() { shellEntries() = realEntries(); }
