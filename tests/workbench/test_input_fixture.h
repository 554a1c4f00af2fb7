// What the figure-input tests share: a fake sheet view that records what the input asks of the
// form, and a workbench over a real figure store and trace grid.
#pragma once
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/tracegrid.h"
#include "platform/ui.h"
#include "testutil.h"
#include "render/kxdraw.h"
#include "platform/strscan.h"
#include "workbench/input.h"
#include "workbench/pixmetric.h"
#include "workbench/wbdialogs.h"
#include "workbench/wbstate.h"

#include <gtest/gtest.h>

#include <QRect>

#include <algorithm>
#include <cmath>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

struct FakeView : InputView {
    PData* store = nullptr;
    QPoint scroll{0, 0};
    QSize box{800, 600};
    int row = 1;
    bool checkPoint = false;
    bool move = false;
    std::string oresen = "5.0";
    std::string status;
    std::string hint;
    int hintCalls = 0;
    std::vector<QRect> repaints;
    int fullRepaints = 0;
    int loupeRepaints = 0;
    int fills = 0;
    int rowClicks = 0;
    int picRB = 0;
    QPoint picRBAt;
    std::vector<std::string> candidates;
    int candidatePopups = 0;
    QPoint candidatesAt;
    int editPopups = 0;
    QPoint editAt;
    bool editVertex = false;
    bool editText = false;
    int changes = 0;

    QPoint scrollPosition() const override { return scroll; }
    QSize scrollBoxSize() const override { return box; }
    void scrollTo(int x, int y) override { scroll = QPoint(x, y); }
    void scrollToCentre(int, int) override {}
    int gridRow() const override { return row; }
    int gridRowCount() const override { return store->PD_GetCount() + 2; }
    void setGridRow(int r) override { row = r; }
    void fillGrid() override
    {
        ++fills;
        row = std::clamp(row, 1, gridRowCount() - 1);
    }
    void gridRowClicked() override
    {
        ++rowClicks;
        if (row >= 1 && row <= store->PD_GetCount())
            wb.selRec = store->PD_GetPoly(row - 1);
        else
            wb.selRec.nPts = 0;
        resetState();
    }
    void resetState() override
    {
        wb.inputRec.nPts = 0;
        wb.pickIndex = -1;
        wb.editMode = -1;
    }
    bool checkPointTicked() const override { return checkPoint; }
    bool moveTicked() const override { return move; }
    std::string oresenText() const override { return oresen; }
    void setStatus(const std::string& text) override { status = text; }
    void setHint(const std::string& text) override
    {
        hint = text;
        ++hintCalls;
    }
    void repaintView(const QRect& r) override { repaints.push_back(r); }
    // As the form's paint of the whole view: the cursor mark is dropped.
    void repaintAll() override
    {
        ++fullRepaints;
        wb.xorMarkShown = 0;
    }
    void repaintLoupe() override { ++loupeRepaints; }
    void figureChanged(int, const TPRec*, const TPRec*) override { ++changes; }
    void popupPicRB(QPoint p) override
    {
        ++picRB;
        picRBAt = p;
    }
    void popupCandidates(QPoint p, const std::vector<std::string>& texts) override
    {
        ++candidatePopups;
        candidatesAt = p;
        candidates = texts;
    }
    void popupEditActions(QPoint p, bool vertexMove, bool textMove) override
    {
        ++editPopups;
        editAt = p;
        editVertex = vertexMove;
        editText = textMove;
    }
};

// The dialog fake: answers from a queue (3 "追加" when empty) and notes what it was shown.
struct FakeDialogs {
    std::vector<int> answers;
    std::vector<std::string> namesShown;
    std::vector<int> modes;
    std::vector<int> tables;
    std::string setName; // written into the record on a confirm when not empty

    void install()
    {
        auto answer = [this](int mode, TPRec* rec) {
            modes.push_back(mode);
            namesShown.push_back(rec->name);
            int a = 3;
            if (!answers.empty()) {
                a = answers.front();
                answers.erase(answers.begin());
            }
            if (a != 1 && !setName.empty())
                rec->name = setName;
            return a;
        };
        wbDialogs().showKXInputRec2 = answer;
        wbDialogs().showQRVInputRec = [this, answer](int t, int mode, TPRec* rec) {
            tables.push_back(t);
            return answer(mode, rec);
        };
    }
};

class InputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        wb = TWorkbenchState{};
        wb.viewDivisor = 1;
        store.PD_Clear();
        refStore.PD_Clear();
        view = FakeView{};
        in_ = std::make_unique<TKXInput>(view);
        drawing.imgDef->dpi = 400;
        drawing.pdata[0] = &store;
        drawing.pdata[1] = &refStore;
        drawing.layerCount = 2;
        wb.drawing = &drawing;
        view.store = &store;
        cfgSetInt(kxVtxVal, 5); // snapping tolerance 10
        polyFree();
        dialogs = FakeDialogs{};
        dialogs.install();
        ui::clearRecorded();
        inputSetDrawMode(1);
    }
    void TearDown() override
    {
        wbDialogsReset();
        polyFree();
        wb = TWorkbenchState{};
    }

    // A recognised line from (x1, y1) to (x2, y2) on a 400 x 400 grid.
    static void traceLine(int x1, int y1, int x2, int y2)
    {
        ASSERT_EQ(polyInit(400, 400), 1);
        polyAddSegment(x1, y1, x2, y2);
        polyGridFromBitmap(1, 400, 400);
        polyMarkVertices();
    }

    int addFigure(int kind, std::vector<TPoint> pts, const std::string& name = "F",
                  int layerIndex = 0)
    {
        TPRec r;
        r.kind = kind;
        r.name = name;
        r.layerIndex = layerIndex;
        r.nPts = static_cast<int>(pts.size());
        r.pts = std::move(pts);
        const int i = store.PD_AddPoly(1, r);
        view.row = store.PD_GetCount() + 1;
        return i;
    }

    // The figure list's current row on "新規", so the next commit adds.
    void newRow() { view.row = store.PD_GetCount() + 1; }
    void click(int x, int y) { input().mouseDown(false, Qt::NoModifier, x, y); }
    void rightClick(int x, int y) { input().mouseDown(true, Qt::NoModifier, x, y); }
    void moveTo(int x, int y) { input().mouseMove(Qt::NoModifier, x, y); }
    void clickAt(int x, int y)
    {
        moveTo(x, y);
        click(x, y);
    }
    std::vector<TPoint> inputPoints() const
    {
        return std::vector<TPoint>(wb.inputRec.pts.begin(),
                                   wb.inputRec.pts.begin() + wb.inputRec.nPts);
    }
    static std::vector<TPoint> points(const TPRec& r)
    {
        return std::vector<TPoint>(r.pts.begin(), r.pts.begin() + r.nPts);
    }
    int messages(const std::string& text) const
    {
        return static_cast<int>(std::count_if(ui::recorded().begin(), ui::recorded().end(),
                                              [&](const ui::Record& r) {
                                                  return r.kind == "message" && r.text == text;
                                              }));
    }

    KXDraw drawing;
    PData store;
    PData refStore;
    FakeView view;
    FakeDialogs dialogs;
    std::unique_ptr<TKXInput> in_;
    TKXInput& input() { return *in_; }
};

// The shoelace area in square metres of a closed ring of raster points, through the
// workbench's conversion.
inline double ringArea(const std::vector<TPoint>& ring)
{
    double sum = 0;
    for (size_t i = 1; i < ring.size(); ++i) {
        double x0, y0, x1, y1;
        inputPixelToMetric(ring[i - 1].x, ring[i - 1].y, x0, y0);
        inputPixelToMetric(ring[i].x, ring[i].y, x1, y1);
        sum += x0 * y1 - x1 * y0;
    }
    return std::fabs(sum / 2);
}

inline std::ostream& operator<<(std::ostream& os, const TPoint& p)
{
    return os << "(" << p.x << ", " << p.y << ")";
}
