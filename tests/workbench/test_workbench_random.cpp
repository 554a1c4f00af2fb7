// The workbench under a long run of an operator's random input from a fixed seed: presses and
// moves on the sheet view in view pixels (near figure vertices too), keys on the sheet, the list,
// a button and the band width, choices in whichever popup menu is open, the mode buttons, the
// list commands, the display options, and random answers of the dialogs. It must neither
// crash nor break its state, and "終了" → "はい" must save figures that load back the same.
#include "wbfixture.h"

#include "formtest.h"
#include "model/kxtbl.h"
#include "model/qrv.h"
#include "model/tracegrid.h"
#include "platform/codec.h"
#include "platform/ui.h"
#include "render/paintboxex.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using wbtest::polygon;
using wbtest::Sheet;

constexpr std::uint32_t kSeed = 20261210;
constexpr int kActions = 3000;

// The figures as their ZKI file keeps them.
std::string describe(const TPRec& r)
{
    std::ostringstream s;
    s << r.kind << " " << r.linkType << " " << r.linkNo << " " << r.layerIndex << " " << r.flags
      << " " << r.startPt.x << "," << r.startPt.y << " " << r.startAngle << " " << r.endPt.x << ","
      << r.endPt.y << " " << r.endAngle << " [" << r.name << "] " << r.labelX << "," << r.labelY
      << " " << r.startNoOfs.x << "," << r.startNoOfs.y << " " << r.endNoOfs.x << ","
      << r.endNoOfs.y << " " << r.sizeMode << " :";
    for (int i = 0; i < r.nPts && i < static_cast<int>(r.pts.size()); ++i)
        s << " " << r.pts[static_cast<size_t>(i)].x << "," << r.pts[static_cast<size_t>(i)].y;
    return s.str();
}

std::vector<std::string> describeStore(const PData& store)
{
    std::vector<std::string> out;
    for (int i = 0; i < store.PD_GetCount(); ++i)
        out.push_back(describe(*store.PD_GetPolyPtr(i)));
    return out;
}

class Operator {
public:
    Operator(TFrm_KXInput& form, Sheet& sheet) : form_(form), sheet_(sheet), rng_(kSeed) {}

    int pick(int n) { return n <= 0 ? 0 : static_cast<int>(rng_() % static_cast<std::uint32_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    void installDialogs()
    {
        WorkbenchDialogs& d = wbDialogs();
        d.showKXInputRec2 = [this](int, TPRec* rec) { return answerRecord(rec, false); };
        d.showQRVInputRec = [this](int, int, TPRec* rec) { return answerRecord(rec, true); };
        d.showDefImg = [this](const std::string&, const std::string&, TImgDef*) { return 1 + pick(2); };
        d.showInputPos = [this] { return pick(2); };
    }

    void act()
    {
        // Now and then the next question or query finds an answer waiting; otherwise it is
        // answered as Escape would (cancel).
        if (chance(30)) {
            switch (pick(4)) {
            case 0: ui::scriptAnswer(ui::Answer::Yes); break;
            case 1: ui::scriptAnswer(ui::Answer::No); break;
            case 2: ui::scriptAnswer(ui::Answer::Cancel); break;
            default: ui::scriptInput(pick(2) ? "12.5" : "x"); break;
            }
        }
        if (QMenu* menu = openMenu()) {
            if (chance(85)) {
                chooseFrom(menu);
                return;
            }
            menu->hide(); // a click elsewhere closes it
        }
        const int r = pick(100);
        if (r < 42)
            press(false);
        else if (r < 50)
            press(true);
        else if (r < 72)
            move();
        else if (r < 80)
            key();
        else if (r < 86)
            modeButton();
        else if (r < 92)
            listCommand();
        else if (r < 97)
            option();
        else
            measureOrBand();
    }

private:
    int answerRecord(TPRec* rec, bool reference)
    {
        static const char* const names[] = {"宅地", "A-1", "", "12", "道路"};
        const int result = 1 + pick(3);
        if (result != 1) {
            rec->name = reference ? std::to_string(1 + pick(9)) : names[pick(5)];
            rec->layerIndex = pick(4);
        }
        return result;
    }

    QMenu* openMenu()
    {
        for (QMenu* m : {form_.PM_PicRB, form_.PM_PEditRB, form_.PM_PEditRB2})
            if (m->isVisible())
                return m;
        return nullptr;
    }

    void chooseFrom(QMenu* menu)
    {
        std::vector<QAction*> shown;
        for (QAction* a : menu->actions())
            if (a->isVisible())
                shown.push_back(a);
        menu->hide();
        if (!shown.empty())
            shown[static_cast<size_t>(pick(static_cast<int>(shown.size())))]->trigger();
    }

    // A view point: anywhere on the sheet view, or near a vertex of a figure or of the input.
    QPoint viewPoint()
    {
        const int d = std::max(1, wb.viewDivisor);
        std::vector<TPoint> near;
        if (const PData* store = wbStore(&sheet_.drawing, wb.curLayer)) {
            if (store->PD_GetCount() > 0) {
                const TPRec* f = store->PD_GetPolyPtr(pick(store->PD_GetCount()));
                if (f && f->nPts > 0)
                    near.push_back(f->pts[static_cast<size_t>(pick(f->nPts))]);
            }
        }
        if (wb.inputRec.nPts > 0)
            near.push_back(wb.inputRec.pts[0]);
        static const TPoint lineEnds[] = {{50, 300}, {750, 300}, {400, 20}, {400, 580}, {60, 60}, {300, 500}};
        near.push_back(lineEnds[pick(static_cast<int>(std::size(lineEnds)))]);
        if (chance(60)) {
            const TPoint p = near[static_cast<size_t>(pick(static_cast<int>(near.size())))];
            return QPoint(p.x / d + pick(5) - 2, p.y / d + pick(5) - 2);
        }
        const QSize size = form_.PaintBoxEx1->size();
        return QPoint(pick(size.width()), pick(size.height()));
    }

    void send(QEvent::Type type, Qt::MouseButton button, Qt::MouseButtons held, QPoint at,
              Qt::KeyboardModifiers mods)
    {
        QWidget* box = form_.PaintBoxEx1;
        QMouseEvent e(type, QPointF(at), box->mapToGlobal(QPointF(at)), button, held, mods);
        QApplication::sendEvent(box, &e);
    }

    void press(bool right)
    {
        const QPoint at = viewPoint();
        send(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, at, Qt::NoModifier);
        const Qt::MouseButton button = right ? Qt::RightButton : Qt::LeftButton;
        send(QEvent::MouseButtonPress, button, button, at, Qt::NoModifier);
        send(QEvent::MouseButtonRelease, button, Qt::NoButton, at, Qt::NoModifier);
        if (chance(8)) {
            send(QEvent::MouseButtonDblClick, button, button, at, Qt::NoModifier);
            send(QEvent::MouseButtonRelease, button, Qt::NoButton, at, Qt::NoModifier);
        }
    }

    void move()
    {
        send(QEvent::MouseMove, Qt::NoButton, Qt::NoButton, viewPoint(),
             chance(10) ? Qt::ShiftModifier : Qt::NoModifier);
    }

    void key()
    {
        static const Qt::Key keys[] = {Qt::Key_1, Qt::Key_2, Qt::Key_3, Qt::Key_4, Qt::Key_B,
                                       Qt::Key_C, Qt::Key_N, Qt::Key_M, Qt::Key_D, Qt::Key_S,
                                       Qt::Key_E, Qt::Key_X, Qt::Key_F4, Qt::Key_F9, Qt::Key_Q,
                                       Qt::Key_Period, Qt::Key_Down, Qt::Key_Up};
        QWidget* targets[] = {form_.PaintBoxEx1, form_.SG_Kx, form_.Btn_Sort, form_.ED_Oresen};
        QWidget* target = targets[pick(4)];
        target->setFocus();
        const Qt::Key k = keys[pick(static_cast<int>(std::size(keys)))];
        QTest::keyClick(target, k, chance(10) ? Qt::KeypadModifier : Qt::NoModifier);
    }

    void modeButton()
    {
        static const char* const modes[] = {"RB_PolyGon2", "RB_PolyLine2", "RB_Arrow2",
                                            "RB_Text1",    "RB_Text2",     "RB_HVLine",
                                            "RB_Rect",     "RB_PolyGon3",  "RadioButton1",
                                            "RB_Rect3",    "RadioButton3", "CB_Oresen"};
        formtest::click(&form_, modes[pick(static_cast<int>(std::size(modes)))]);
    }

    void listCommand()
    {
        switch (pick(8)) {
        case 0:
        case 1: {
            const int row = pick(form_.SG_Kx->rowCount());
            QTableWidgetItem* it = form_.SG_Kx->item(row, 1);
            if (it)
                QTest::mouseClick(form_.SG_Kx->viewport(), Qt::LeftButton,
                                  chance(20) ? Qt::ControlModifier : Qt::NoModifier,
                                  form_.SG_Kx->visualItemRect(it).center());
            break;
        }
        case 2: form_.SG_Kx2DblClick(); break;
        case 3: form_.Btn_KX2Del->click(); break;
        case 4: form_.Btn_Sort->click(); break;
        case 5: form_.Panel5DblClick(); break;
        case 6: {
            const int layer = pick(form_.CB_LayName->count());
            form_.CB_LayName->setCurrentIndex(layer);
            emit form_.CB_LayName->activated(layer);
            break;
        }
        default:
            if (form_.Btn_DspDetail->isVisible())
                form_.Btn_DspDetail->click();
            break;
        }
    }

    void option()
    {
        static const char* const options[] = {"CB_DrawName", "CB_Touka", "CB_DrawBack", "CB_ATSize",
                                              "CB_CheckPoint", "CB_Move", "RG_Scale0", "RG_Scale1",
                                              "RG_Scale2", "RG_Scale3", "RG_Paint0", "RG_Paint2"};
        formtest::click(&form_, options[pick(static_cast<int>(std::size(options)))]);
    }

    void measureOrBand()
    {
        static const char* const widths[] = {"5.0", "3.5", "0", "abc", "-2", "40"};
        switch (pick(9)) {
        case 0:
        case 1: form_.Btn_ShowLen->click(); break;
        case 2: form_.Btn_ShowArea->click(); break;
        case 3: form_.ED_Oresen->setText(QString::fromLatin1(widths[pick(6)])); break;
        case 4: form_.Btn_InputSrv->click(); break;
        case 5: form_.Btn_DefZumen->click(); break;
        case 6: form_.Btn_Print->click(); break;
        case 7:
            if (form_.Btn_ShowBW->isVisible())
                form_.Btn_ShowBW->click();
            break;
        default:
            // "終了" answered "キャンセル": the workbench stays.
            ui::useScripted();
            ui::scriptAnswer(ui::Answer::Cancel);
            form_.Btn_Exit->click();
            break;
        }
    }

    TFrm_KXInput& form_;
    Sheet& sheet_;
    std::mt19937 rng_;
};

struct RandomInput : testing::Test {
    void SetUp() override
    {
        wbtest::resetWorkbench();
        ui::clearRecorded();
        cfgSetInt(kxVtxVal, 5);
    }
    void TearDown() override
    {
        wbDialogsReset();
        polyFree();
        ui::useScripted(); // no answer left queued for the next test
        wb.drawing = nullptr;
    }
};

TEST_F(RandomInput, ThousandsOfActionsThenSaveAndReloadTheSameFigures)
{
    Sheet sheet(2, 800, 600, true);
    testutil::TempDir dir;
    ASSERT_EQ(wbtest::loadReferenceTable(dir, "11\t12\r\n番号\t所有者\r\n7\t山田\r\n9\t佐藤\r\n"), 2);
    sheet.load(0);
    sheet.store(0).PD_AddPoly(1, polygon("1", 100, 100, 120));
    sheet.store(0).PD_AddPoly(1, polygon("2", 400, 200, 80));
    sheet.store(1).PD_AddPoly(1, polygon("7", 250, 350, 60));
    // Recognised line work, so that "端点認識" is on and the presses snap to line ends too.
    ASSERT_EQ(polyInit(800, 600), 1);
    polyAddSegment(50, 300, 750, 300);
    polyAddSegment(400, 20, 400, 580);
    polyAddSegment(60, 60, 300, 500);
    polyGridFromBitmap(1, 800, 600);
    polyMarkVertices();

    std::vector<std::string> saved[2];
    formtest::whenModal([&](QWidget* w) {
        auto* form = qobject_cast<TFrm_KXInput*>(w);
        ASSERT_NE(form, nullptr);
        Operator op(*form, sheet);
        op.installDialogs();
        for (int i = 0; i < kActions; ++i) {
            op.act();
            if (i % 25 == 0) {
                QApplication::processEvents(); // the repaints asked for meanwhile
                ui::clearRecorded();
            }
        }
        for (QMenu* m : {form->PM_PicRB, form->PM_PEditRB, form->PM_PEditRB2})
            m->hide();
        for (int layer = 0; layer < 2; ++layer)
            saved[layer] = describeStore(sheet.store(layer));
        ui::useScripted(); // drops any answer still queued
        ui::scriptAnswer(ui::Answer::Yes);
        form->Btn_Exit->click();
    });
    ASSERT_EQ(showKXInput(&sheet.drawing), 3);

    for (int layer = 0; layer < 2; ++layer) {
        PData reloaded;
        reloaded.useNames = 1;
        reloaded.PD_LoadFile(sheet.drawing.zkiPath[static_cast<size_t>(layer)], layer);
        EXPECT_EQ(describeStore(reloaded), saved[layer]) << "layer " << layer;
        EXPECT_EQ(describeStore(sheet.store(layer)), saved[layer]) << "layer " << layer;
    }
}

} // namespace
