// The dialogs the workbench opens, as one table of entry points named after their functions.
// Each entry starts as the real function; tests put fakes in its place.
#pragma once
#include <functional>
#include <string>

class KXDraw;
struct TPRec;
struct TImgDef;

struct WorkbenchDialogs {
    std::function<int(int mode, TPRec* rec)> showKXInputRec2;
    std::function<int(int t, int mode, TPRec* rec)> showQRVInputRec;
    std::function<void(const std::string& title, int table, const std::string& number)> showQRVDetail;
    std::function<int()> showInputPos;
    std::function<int(const std::string& caption, const std::string& folderPrefix, TImgDef* def)> showDefImg;
    std::function<int(int index)> showDefSakuzu;
    std::function<void(KXDraw* drawing, int dpi, int scale)> printSetSource;
    std::function<void(int kind, int paperIndex)> showPrint;
};

// The table in use.
WorkbenchDialogs& wbDialogs();
// Puts every entry back to the real function.
void wbDialogsReset();
