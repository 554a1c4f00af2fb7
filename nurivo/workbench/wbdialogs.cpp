#include "workbench/wbdialogs.h"

#include "dialogs/defimg.h"
#include "dialogs/defsakuzu.h"
#include "render/frmprint.h"
#include "workbench/inputpos.h"
#include "workbench/kxinputrec2.h"
#include "workbench/qrvdetail.h"
#include "workbench/qrvinputrec.h"

namespace {
WorkbenchDialogs realDialogs()
{
    WorkbenchDialogs d;
    d.showKXInputRec2 = showKXInputRec2;
    d.showQRVInputRec = showQRVInputRec;
    d.showQRVDetail = showQRVDetail;
    d.showInputPos = showInputPos;
    d.showDefImg = showDefImg;
    d.showDefSakuzu = showDefSakuzu;
    d.printSetSource = printSetSource;
    d.showPrint = showPrint;
    return d;
}
} // namespace

WorkbenchDialogs& wbDialogs()
{
    static WorkbenchDialogs table = realDialogs();
    return table;
}

void wbDialogsReset() { wbDialogs() = realDialogs(); }
