// One operator's run through the real program: the start-up form, the command-line hand-off
// with the real trelvex, the workbench driven by mouse events on its sheet view, the record
// dialogs, the files it saves; then the stand-alone road over the same folder: the picker,
// its preview, the image and position dialog, the workbench and the print form.
#include "dialogs/defsakuzu.h"
#include "formtest.h"
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "model/qrv.h"
#include "model/startup.h"
#include "model/tracegrid.h"
#include "platform/codec.h"
#include "platform/ui.h"
#include "dialogs/defimg.h"
#include "render/frmprint.h"
#include "render/kxdraw.h"
#include "render/paintboxex.h"
#include "shell/entries.h"
#include "shell/frmnvmain.h"
#include "shell/frmnvmain0.h"
#include "testutil.h"
#include "workbench/frmkxinput.h"
#include "workbench/inputpos.h"
#include "workbench/pixmetric.h"
#include "workbench/qrvdetail.h"
#include "workbench/wbstate.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEventLoop>
#include <QFileSystemModel>
#include <QListView>
#include <QProcess>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace fs = std::filesystem;

// Points print as (x, y) in failures.
std::ostream& operator<<(std::ostream& os, const TPoint& p) { return os << "(" << p.x << ", " << p.y << ")"; }

namespace {

using formtest::child;
using formtest::click;
using formtest::recordsOf;

const std::string scratch = NURIVO_ROAD_SCRATCH;
const std::string data = scratch + "/data"; // the scratch copy of samples/
const std::string sheet = data + "/sample-sheet.tif";

// Reference layers of the application definition file, with their tables' records.
const char* const refLayers[] = {"区画", "建物"};

std::vector<std::string> roadArgs()
{
    return {"5", "2", "1", data, data, data, ".", "sample-sheet.tif"};
}

using testutil::writeText;

void makeScratch()
{
    std::error_code ec;
    fs::remove_all(scratch, ec);
    fs::create_directories(scratch + "/home");
    fs::create_directories(scratch + "/config");
    fs::copy(std::string(NURIVO_SOURCE_DIR) + "/samples", data, fs::copy_options::recursive);
    writeText(data + "/QuorelR.def", "0 QuorelR .\n2\n1 区画\n2 建物\n");
    const std::string header = "1\t2\t1\t1\t1\t1\t1\t1\t1\t1\n"
                               "整理番号\t種別\t所在\t地番\t予備1\t予備2\t予備3\t予備4\t面積\t備考\n";
    writeText(data + "/区画.txt", header + "101\t1\t本町\t1-1\t\t\t\t\t120.5\t甲\n"
                                           "102\t2\t本町\t1-2\t\t\t\t\t88.0\t乙\n");
    writeText(data + "/建物.txt", header + "201\t1\t本町\t2-1\t\t\t\t\t45.0\t木造\n");
    writeText(data + "/LayerDef-区画.Txt", "2 1\n1\t筆\t255\t2\t1\t0\n2\t私道\t8421504\t1\t1\t0\n");
    writeText(data + "/LayerDef-建物.Txt", "1 1\n1\t木造\t33023\t2\t1\t0\n");
}

// The environment of one program run: its home, settings folder and start folder (the build's
// bin folder, where trelvex, libquillan.so and RozedAdo.tif lie, as the run command starts it).
void enterRun(const std::vector<std::string>& args)
{
    ::setenv("HOME", (scratch + "/home").c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (scratch + "/config").c_str(), 1);
    fs::current_path(NURIVO_BIN_DIR);
    startReset();
    shellEntriesReset();
    cmdArgs = args;
    cmdLine.clear();
    for (const std::string& a : args)
        cmdLine += (cmdLine.empty() ? "" : " ") + a;
    QApplication::setQuitOnLastWindowClosed(false);
    ui::clearRecorded();
}

QWidget* modalNamed(const char* name)
{
    QWidget* w = QApplication::activeModalWidget();
    return w && w->objectName() == QLatin1String(name) && w->isVisible() ? w : nullptr;
}

// Runs the program as main() does, from the start-up form to its close; `onForm` is called
// once when the modal form named `formName` is up, and must end it.
void runProgram(const char* formName, const std::function<void(QWidget*)>& onForm)
{
    auto startForm = std::make_unique<TFrm_NVMain0>();
    Frm_NVMain0 = startForm.get();
    frmNVMainCreate();
    defSakuzuCreate();
    qrvDetailCreate();
    inputPosCreate();

    QEventLoop loop;
    QObject::connect(startForm.get(), &TFrm_NVMain0::formClosed, &loop, &QEventLoop::quit,
                     Qt::QueuedConnection);
    bool reached = false;
    QTimer poll;
    poll.setInterval(20);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* form = modalNamed(formName);
        if (!form || reached)
            return;
        reached = true;
        poll.stop();
        onForm(form);
        // A failed step must not leave the run hanging in its modal form.
        if (QWidget* still = modalNamed(formName)) {
            ADD_FAILURE() << formName << " was left open";
            if (auto* dialog = qobject_cast<QDialog*>(still))
                dialog->done(2);
            else
                still->close();
        }
    });
    poll.start();
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, [&] {
        ADD_FAILURE() << "the run did not end";
        loop.quit();
    });
    guard.start(50000);
    startForm->show();
    loop.exec();
    EXPECT_TRUE(reached) << formName << " never opened";

    inputPosDestroy();
    qrvDetailDestroy();
    defSakuzuDestroy();
    frmNVMainDestroy();
    Frm_NVMain0 = nullptr;
}

// Acts on the modal dialog named `name` as soon as the event loop runs inside it.
void whenDialog(const char* name, std::function<void(QWidget*)> operate)
{
    QTimer::singleShot(0, [name, operate] {
        QWidget* dialog = modalNamed(name);
        if (!dialog) {
            ADD_FAILURE() << "no dialog " << name << " open";
            return;
        }
        operate(dialog);
        if (modalNamed(name) == dialog) {
            ADD_FAILURE() << name << " was left open";
            if (auto* d = qobject_cast<QDialog*>(dialog))
                d->done(1);
        }
    });
}


void setChecked(QWidget* form, const char* name, bool on)
{
    auto* b = child<QAbstractButton>(form, name);
    if (b && b->isChecked() != on)
        click(form, name);
}

void typeInto(QWidget* form, const char* name, const QString& text)
{
    if (auto* e = child<QLineEdit>(form, name)) {
        // Typed through the input method: key events carry only Latin-1.
        e->setFocus();
        e->selectAll();
        e->insert(text);
    }
}

std::string str(const QString& s) { return s.toStdString(); }

std::vector<TPoint> points(const TPRec& r) { return {r.pts.begin(), r.pts.begin() + r.nPts}; }

// The workbench as the operator drives it: mouse on the sheet view, the figure list, the
// popup menus. Points are full-resolution raster pixels; the view shows them at 1/2.
struct Bench {
    TFrm_KXInput* form;
    TPaintBoxEx* view;

    explicit Bench(QWidget* w) : form(qobject_cast<TFrm_KXInput*>(w)), view(form ? form->PaintBoxEx1 : nullptr) {}

    void mouse(QEvent::Type type, TPoint p, Qt::MouseButton button)
    {
        const QPointF at(p.x / 2, p.y / 2);
        QMouseEvent e(type, at, view->mapToGlobal(at), button,
                      type == QEvent::MouseButtonPress ? Qt::MouseButtons(button) : Qt::MouseButtons(),
                      Qt::NoModifier);
        QApplication::sendEvent(view, &e);
    }
    void moveTo(TPoint p) { mouse(QEvent::MouseMove, p, Qt::NoButton); }
    void clickAt(TPoint p, Qt::MouseButton button = Qt::LeftButton)
    {
        moveTo(p);
        mouse(QEvent::MouseButtonPress, p, button);
        mouse(QEvent::MouseButtonRelease, p, button);
    }
    void clickAll(const std::vector<TPoint>& pts)
    {
        for (const TPoint& p : pts)
            clickAt(p);
    }
    // The figure list's "新規" row, so the next figure is added.
    void newRow()
    {
        QTableWidget* grid = form->SG_Kx;
        const int row = grid->rowCount() - 1;
        ASSERT_EQ(str(form->cellText(1, row + 1)), "新規");
        grid->scrollToItem(grid->item(row, 1));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualItemRect(grid->item(row, 1)).center());
        ASSERT_EQ(grid->currentRow(), row);
    }
    // Triggers the item of a popup menu that the sheet view has opened, as a click on it would.
    void menuItem(QMenu* menu, const char* action)
    {
        ASSERT_TRUE(menu->isVisible()) << str(menu->objectName());
        auto* a = menu->findChild<QAction*>(QString::fromLatin1(action));
        ASSERT_NE(a, nullptr) << action;
        ASSERT_TRUE(a->isVisible()) << action;
        menu->hide();
        a->trigger();
    }
    // Right click, then "確定" of the popup.
    void fix(TPoint at)
    {
        clickAt(at, Qt::RightButton);
        menuItem(form->PM_PicRB, "PM_PicRB_FIX");
    }
    std::vector<std::string> names(int column = 1)
    {
        std::vector<std::string> out;
        for (int r = 0; r + 1 < form->SG_Kx->rowCount(); ++r)
            out.push_back(str(form->cellText(column, r + 1)));
        return out;
    }
};

// Answers the attribute dialog with a name, a layer row and, when shown, fill and sizes.
void answerAttributes(const QString& name, int layerRow, std::function<void(QWidget*)> more = {})
{
    whenDialog("Frm_KXInputRec2", [=](QWidget* d) {
        EXPECT_EQ(str(child<QAbstractButton>(d, "BTN_Update")->text()), "追加");
        typeInto(d, "ED_Name", name);
        child<QComboBox>(d, "CB_Layer")->setCurrentIndex(layerRow);
        if (more)
            more(d);
        click(d, "BTN_Update");
    });
}

// The end points of the recognised line work with no other end point within 12 pixels, at
// even coordinates (so a view pixel at 1/2 is one exactly).
std::vector<TPoint> loneLineEnds()
{
    const TraceGrid& g = polyGetGrid();
    std::vector<TPoint> ends;
    for (int y = 12; y < g.height - 12; y += 2)
        for (int x = 12; x < g.width - 12; x += 2) {
            if (polyGetCell(x, y) != traceEndPoint)
                continue;
            bool lone = true;
            for (int dy = -12; dy <= 12 && lone; ++dy)
                for (int dx = -12; dx <= 12 && lone; ++dx)
                    if ((dx || dy) && polyGetCell(x + dx, y + dy) == traceEndPoint)
                        lone = false;
            if (lone)
                ends.push_back({x, y});
        }
    return ends;
}

bool nearLineEnd(TPoint p)
{
    int fx = 0, fy = 0;
    return polyFindVertexNear(14, p.x, p.y, fx, fy) != 0;
}

double dist(TPoint a, TPoint b) { return std::hypot(a.x - b.x, a.y - b.y); }

TPoint even(double x, double y) { return {2 * static_cast<int>(std::lround(x / 2)), 2 * static_cast<int>(std::lround(y / 2))}; }

// What road 1 drew, for the checks after the files are read back.
struct Drawn {
    TPoint d, e, v, moved;           // the second polygon: line ends d, e, the first's vertex v
    std::vector<TPoint> first;       // the first polygon's corners
    std::vector<TPoint> bandCentre;
    std::vector<TPoint> leader;
    TPoint text;
    std::vector<TPoint> callout;
    std::vector<TPoint> refPolygon;
};

void drawTheRoad(Bench& b, Drawn& dr)
{
    TFrm_KXInput& f = *b.form;
    EXPECT_TRUE(str(f.windowTitle()).ends_with("着色登録")) << str(f.windowTitle());
    EXPECT_EQ(str(f.CB_LayName->itemText(0)), "図形等");
    ASSERT_EQ(f.CB_LayName->count(), 3);
    EXPECT_EQ(str(f.CB_LayName->itemText(1)), "区画");
    ASSERT_GT(polyGetSegCount(), 100); // the real trelvex recognised the sheet
    EXPECT_TRUE(f.CB_CheckPoint->isChecked()); // end points are recognised in open mode 1

    click(&f, "RG_Scale1");
    ASSERT_EQ(wb.viewDivisor, 2);
    EXPECT_EQ(f.PaintBoxEx1->size(), QSize(1200, 900));

    // Two lone line ends in the middle of the sheet and a free point beside them.
    const std::vector<TPoint> ends = loneLineEnds();
    ASSERT_GT(ends.size(), 10u);
    bool found = false;
    for (size_t i = 0; i < ends.size() && !found; ++i) {
        const TPoint d = ends[i];
        if (d.x < 500 || d.x > 1700 || d.y < 400 || d.y > 1200)
            continue;
        for (size_t j = 0; j < ends.size() && !found; ++j) {
            const TPoint e = ends[j];
            const double len = dist(d, e);
            if (len < 120 || len > 260)
                continue;
            // v off the middle of d-e, at 140 pixels on its perpendicular
            const double mx = (d.x + e.x) / 2.0, my = (d.y + e.y) / 2.0;
            const TPoint v = even(mx - (e.y - d.y) / len * 140, my + (e.x - d.x) / len * 140);
            const double ox = (v.x - mx) / 140 * 70, oy = (v.y - my) / 140 * 70;
            // The first polygon: a quadrilateral from v away from d-e.
            const std::vector<TPoint> first = {v, even(v.x + ox - oy, v.y + oy + ox),
                                               even(v.x + 2 * ox, v.y + 2 * oy),
                                               even(v.x + ox + oy, v.y + oy - ox)};
            bool clear = true;
            for (const TPoint& p : first)
                clear = clear && !nearLineEnd(p) && p.x > 20 && p.y > 20 && p.x < 2380 && p.y < 1780;
            if (!clear)
                continue;
            dr.d = d;
            dr.e = e;
            dr.v = v;
            dr.first = first;
            found = true;
        }
    }
    ASSERT_TRUE(found) << "no pair of lone line ends on the sheet";

    // The first polygon, free of any snapping.
    setChecked(&f, "CB_CheckPoint", false);
    std::vector<TPoint> ring = dr.first;
    ring.push_back(dr.first[0]);
    answerAttributes("下書き", 0);
    b.clickAll(ring);
    ASSERT_EQ(wb.drawing->pdata[0]->PD_GetCount(), 1);

    // The second: each click 2 pixels off, snapped to the line ends and to the first's vertex.
    setChecked(&f, "CB_CheckPoint", true);
    b.newRow();
    auto off = [](TPoint p) { return TPoint{p.x + 2, p.y + 2}; };
    answerAttributes("区画A", 1, [](QWidget* d) {
        ASSERT_TRUE(child<QCheckBox>(d, "CBOX_FILL")->isVisible());
        setChecked(d, "CBOX_FILL", true);
    });
    b.clickAll({off(dr.d), off(dr.e), off(dr.v), off(dr.d)});
    ASSERT_EQ(wb.drawing->pdata[0]->PD_GetCount(), 2);
    EXPECT_EQ(b.names(), (std::vector<std::string>{"下書き", "区画A"}));

    // Snapping off for the figures in free space, below or above the polygons.
    setChecked(&f, "CB_CheckPoint", false);
    const int y0 = dr.d.y < 900 ? 1450 : 250;
    const int x0 = 400;

    // A band along three centre points.
    b.newRow();
    click(&f, "CB_Oresen");
    ASSERT_EQ(wb.drawTag, 23);
    dr.bandCentre = {{x0, y0}, {x0 + 200, y0}, {x0 + 300, y0 + 100}};
    b.clickAll(dr.bandCentre);
    answerAttributes("帯", 2);
    b.fix(dr.bandCentre.back());
    click(&f, "CB_Oresen");
    ASSERT_EQ(wb.drawTag, 1);

    // A leader line with its end arrow.
    b.newRow();
    click(&f, "RB_Arrow2");
    dr.leader = {{x0 + 500, y0}, {x0 + 650, y0 + 80}};
    b.clickAll(dr.leader);
    answerAttributes("引出", 5, [](QWidget* d) {
        ASSERT_TRUE(child<QWidget>(d, "GB_SEDef")->isVisible());
        setChecked(d, "CHK_EDsp", true);
    });
    b.fix(dr.leader.back());

    // From here "画面中央へ移動" moves on to "新規" after each figure.
    b.newRow();
    setChecked(&f, "CB_Move", true);
    click(&f, "RB_Text1");
    dr.text = {x0 + 800, y0};
    answerAttributes("本町一丁目", 5, [](QWidget* d) {
        ASSERT_TRUE(child<QLineEdit>(d, "ED_SIZE")->isVisible());
        typeInto(d, "ED_SIZE", "4.0");
    });
    b.clickAt(dr.text);

    click(&f, "RadioButton3");
    dr.callout = {{x0 + 1000, y0}, {x0 + 1100, y0}, {x0 + 1200, y0 - 60}};
    std::string calloutName;
    whenDialog("Frm_KXInputRec2", [&](QWidget* d) {
        calloutName = str(child<QLineEdit>(d, "ED_Name")->text());
        child<QComboBox>(d, "CB_Layer")->setCurrentIndex(5);
        click(d, "BTN_Update");
    });
    b.clickAll(dr.callout);
    EXPECT_EQ(b.names(), (std::vector<std::string>{"下書き", "区画A", "帯", "引出", "本町一丁目", calloutName}));
    double x1, y1, x2, y2;
    inputPixelToMetric(dr.callout[0].x, dr.callout[0].y, x1, y1);
    inputPixelToMetric(dr.callout[1].x, dr.callout[1].y, x2, y2);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.3lf", std::hypot(x2 - x1, y2 - y1));
    EXPECT_EQ(calloutName, buf);
    setChecked(&f, "CB_Move", false);
    click(&f, "RB_PolyGon2");

    // Pick the second polygon at its vertex e and move that vertex.
    b.clickAt(dr.e, Qt::RightButton);
    b.menuItem(f.PM_PEditRB2, "MenuItem4"); // "頂点移動"
    ASSERT_EQ(wb.editMode, 1);
    dr.moved = {dr.e.x + 20, dr.e.y + 14};
    b.clickAt(dr.moved);
    EXPECT_EQ(wb.drawing->pdata[0]->PD_GetPoly(1).pts[1], dr.moved);

    // A distance and an area: the queries show the measures (and are cancelled).
    ui::clearRecorded();
    const TPoint m1{x0, y0 + 200 > 1780 ? y0 - 200 : y0 + 200}, m2{m1.x + 300, m1.y + 40};
    click(&f, "Btn_ShowLen");
    b.clickAt(m1);
    b.clickAt(m2);
    click(&f, "Btn_ShowArea");
    const std::vector<TPoint> area = {m1, {m1.x + 100, m1.y}, {m1.x + 100, m1.y + 50}, {m1.x, m1.y + 50}, m1};
    b.clickAll(area);
    const std::vector<ui::Record> queries = recordsOf("input");
    ASSERT_EQ(queries.size(), 2u);
    EXPECT_EQ(queries[0].caption, "距離入力(P-01)");
    inputPixelToMetric(m1.x, m1.y, x1, y1);
    inputPixelToMetric(m2.x, m2.y, x2, y2);
    EXPECT_NEAR(std::atof(queries[0].value.c_str()), std::hypot(x2 - x1, y2 - y1), 0.0011);
    EXPECT_TRUE(queries[1].caption.starts_with("面積入力(A-")) << queries[1].caption;
    EXPECT_GT(std::atof(queries[1].value.c_str()), 0.0);
    EXPECT_EQ(wb.drawing->pdata[0]->PD_GetCount(), 6); // measures store nothing

    // The reference layer "区画": a polygon given record 102 through the picker.
    f.CB_LayName->setCurrentIndex(1);
    emit f.CB_LayName->activated(1);
    ASSERT_EQ(wb.curLayer, 1);
    ASSERT_EQ(f.SG_Kx->rowCount(), 1); // only "新規"
    dr.refPolygon = {{m1.x + 500, m1.y}, {m1.x + 640, m1.y}, {m1.x + 640, m1.y + 90}, {m1.x + 500, m1.y}};
    whenDialog("Frm_QRVInputRec", [](QWidget* d) {
        auto* kinds = child<QComboBox>(d, "CB_Layer");
        ASSERT_EQ(str(kinds->itemText(0)), "000 全レイヤ");
        kinds->setCurrentIndex(0);
        emit kinds->activated(0);
        auto* list = child<QListWidget>(d, "ListBox1");
        ASSERT_EQ(list->count(), 2);
        QListWidgetItem* item = list->item(1);
        ASSERT_TRUE(str(item->text()).starts_with(" 102 本町 1-2")) << str(item->text());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        EXPECT_EQ(str(child<QLineEdit>(d, "ED_No")->text()), "102");
        click(d, "BTN_Update");
    });
    b.clickAll(dr.refPolygon);
    ASSERT_EQ(wb.drawing->pdata[1]->PD_GetCount(), 1);

    // "終了", "はい".
    ui::clearRecorded();
    ui::scriptAnswer(ui::Answer::Yes);
    click(&f, "Btn_Exit");
    EXPECT_EQ(recordsOf("yesnocancel").size(), 1u);
    EXPECT_TRUE(recordsOf("message").empty());
}

} // namespace

TEST(Road, StartedByAnotherApplication)
{
    makeScratch();
    enterRun(roadArgs());
    Drawn dr;
    runProgram("Frm_KXInput", [&](QWidget* w) {
        Bench b(w);
        ASSERT_NE(b.form, nullptr);
        drawTheRoad(b, dr);
    });
    ASSERT_FALSE(HasFailure());

    // The hand-off ran the trace pre-processing: the RVL file stays, the work image is gone.
    EXPECT_GT(fs::file_size(data + "/sample-sheet.RVL"), 1000u);
    EXPECT_FALSE(fs::exists(data + "/sample-sheet.TMP"));

    // The figure layer's ZKI beside the raster.
    PData figures;
    figures.useNames = 1;
    ASSERT_EQ(figures.PD_LoadFile(data + "/sample-sheet.ZKI", 0), 6);
    const TPRec first = figures.PD_GetPoly(0), second = figures.PD_GetPoly(1);
    EXPECT_EQ(first.kind, 0);
    std::vector<TPoint> ring = dr.first;
    ring.push_back(dr.first[0]);
    EXPECT_EQ(points(first), ring);
    EXPECT_EQ(second.name, "区画A");
    EXPECT_EQ(second.kind, 0);
    EXPECT_EQ(second.layerIndex, 1);
    EXPECT_EQ(second.flags, 1);
    EXPECT_EQ(points(second), (std::vector<TPoint>{dr.d, dr.moved, dr.v, dr.d}));
    const TPRec band = figures.PD_GetPoly(2);
    EXPECT_EQ(band.kind, 0);
    EXPECT_EQ(band.nPts, 7);
    EXPECT_EQ(band.layerIndex, 2);
    const TPRec leader = figures.PD_GetPoly(3);
    EXPECT_EQ(leader.kind, 3);
    EXPECT_EQ(leader.flags, 2);
    EXPECT_EQ(points(leader), dr.leader);
    const TPRec text = figures.PD_GetPoly(4);
    EXPECT_EQ(text.kind, 4);
    EXPECT_EQ(text.name, "本町一丁目");
    EXPECT_EQ(text.startPt.x, 40);
    EXPECT_EQ(points(text), (std::vector<TPoint>{dr.text, {dr.text.x + 32, dr.text.y}}));
    const TPRec callout = figures.PD_GetPoly(5);
    EXPECT_EQ(callout.kind, 6);
    EXPECT_EQ(points(callout), dr.callout);

    // Each reference layer's ZKI in its layer folder.
    PData parcels;
    parcels.useNames = 1;
    ASSERT_EQ(parcels.PD_LoadFile(data + "/区画/sample-sheet.ZKI", 1), 1);
    EXPECT_EQ(parcels.PD_GetPoly(0).name, "102");
    EXPECT_EQ(parcels.PD_GetPoly(0).layerIndex, 1); // the row whose code is record 102's kind
    EXPECT_EQ(points(parcels.PD_GetPoly(0)), dr.refPolygon);
    EXPECT_TRUE(fs::exists(data + "/建物/sample-sheet.ZKI"));
    // Kind 5: the reference layers' definitions stay in the data folder.
    for (const char* name : refLayers)
        EXPECT_TRUE(fs::exists(data + "/LayerDef-" + name + ".Txt")) << name;
    EXPECT_FALSE(fs::exists(data + "/区画/LayerDef.Txt"));
    EXPECT_TRUE(fs::exists(data + "/LayerDef.Txt"));
    TImgDef def;
    def.imagePath = sheet;
    EXPECT_NE(imgDefRead(def), 0);
    EXPECT_EQ(def.width, 2400);
    EXPECT_EQ(def.height, 1800);
    EXPECT_TRUE(fs::exists(scratch + "/config/Tavisol/NV_Tool.conf"));

    // The same command line again shows the same figures.
    enterRun(roadArgs());
    runProgram("Frm_KXInput", [&](QWidget* w) {
        Bench b(w);
        ASSERT_NE(b.form, nullptr);
        // The workbench opens on the layer it was left on, as within one run.
        TFrm_KXInput& f = *b.form;
        EXPECT_EQ(f.CB_LayName->currentIndex(), wb.curLayer);
        EXPECT_EQ(b.names(), std::vector<std::string>{"102"});
        f.CB_LayName->setCurrentIndex(0);
        emit f.CB_LayName->activated(0);
        EXPECT_EQ(b.names(), (std::vector<std::string>{"下書き", "区画A", "帯", "引出", "本町一丁目",
                                                       callout.name}));
        ui::scriptAnswer(ui::Answer::No);
        click(w, "Btn_Exit");
    });
}

namespace {

// The orange of the "建物" row (0x0080FF as 0x00BBGGRR), as a page or preview shows it.
bool isOrange(QRgb c) { return qRed(c) > 200 && qGreen(c) > 90 && qGreen(c) < 170 && qBlue(c) < 80; }
bool isDark(QRgb c) { return qRed(c) < 80 && qGreen(c) < 80 && qBlue(c) < 80; }

int countIf(const QImage& image, const QRect& r, bool (*test)(QRgb))
{
    int n = 0;
    for (int y = std::max(r.top(), 0); y <= std::min(r.bottom(), image.height() - 1); ++y)
        for (int x = std::max(r.left(), 0); x <= std::min(r.right(), image.width() - 1); ++x)
            n += test(image.pixel(x, y)) ? 1 : 0;
    return n;
}

// Points in polygon (even-odd), raster pixels.
bool inside(const std::vector<TPoint>& ring, double x, double y)
{
    bool in = false;
    for (size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
        const TPoint a = ring[i], b = ring[j];
        if ((a.y > y) != (b.y > y) && x < (b.x - a.x) * (y - a.y) / double(b.y - a.y) + a.x)
            in = !in;
    }
    return in;
}

void pickerSelect(TFrm_NVMain& picker, const std::string& path)
{
    // The file list fills in the background.
    QModelIndex index;
    for (int i = 0; i < 200 && !index.isValid(); ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        const QModelIndex found = picker.fileModel->index(QString::fromStdString(path));
        if (found.isValid() && picker.fileModel->rowCount(found.parent()) > 0)
            index = found;
    }
    ASSERT_TRUE(index.isValid()) << path;
    QListView* list = picker.FileListBox1;
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
    ASSERT_EQ(picker.selectedPath(), path);
    ASSERT_TRUE(picker.Btn_Dsp->isEnabled());
}

} // namespace

TEST(Road, StandAlone)
{
    ASSERT_TRUE(fs::exists(data + "/sample-sheet.ZKI")) << "the command-line road runs first";
    const std::string pdf = scratch + "/page.pdf";
    std::error_code ec;
    fs::remove(pdf, ec);
    fs::remove(data + "/sample-sheet.Def", ec);
    // Stand-alone, the figure layer's list of drawing kinds is the one in the home folder.
    fs::copy_file(data + "/LayerDef.Txt", scratch + "/home/LayerDef.Txt", fs::copy_options::overwrite_existing);
    enterRun({});
    // "DataDir" seeded with the scratch folder: the picker opens there.
    cfgLoad(registryCreateKey);
    cfgSetText(kxDataDir, data);
    cfgSave(registryCreateKey);

    PData saved;
    saved.useNames = 1;
    ASSERT_EQ(saved.PD_LoadFile(data + "/sample-sheet.ZKI", 0), 6);
    const std::vector<TPoint> polygon = points(saved.PD_GetPoly(1)); // "区画A", filled, orange

    runProgram("Frm_NVMain", [&](QWidget* w) {
        auto* picker = qobject_cast<TFrm_NVMain*>(w);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->currentFolder(), data);
        pickerSelect(*picker, sheet);

        // "表示": the preview shows the raster with the saved figures.
        click(w, "Btn_Dsp");
        const QImage preview = previewBitmap.image().convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(preview.isNull());
        EXPECT_GT(countIf(preview, preview.rect(), isOrange), 20);
        EXPECT_GT(countIf(preview, preview.rect(), isDark), 500);

        // "座標設定": two control points, resolution and scale typed and confirmed.
        whenDialog("Frm_DefImg", [](QWidget* d) {
            const struct {
                const char* name;
                const char* text;
            } fields[] = {{"ED_IX1", "0"},      {"ED_IY1", "0"},     {"ED_SX1", "1000"},
                          {"ED_SY1", "2000"},   {"ED_IX2", "2400"},  {"ED_IY2", "1800"},
                          {"ED_SX2", "923.8"},  {"ED_SY2", "2101.6"}};
            for (const auto& f : fields)
                typeInto(d, f.name, QString::fromLatin1(f.text));
            child<QComboBox>(d, "CB_DPI")->setCurrentText("300");
            child<QComboBox>(d, "CB_ZScale")->setCurrentText("500");
            click(d, "Button3");
        });
        click(w, "Btn_SetPos");
        TImgDef def;
        def.imagePath = sheet;
        ASSERT_NE(imgDefRead(def), 0);
        EXPECT_EQ(def.imgX2, 2400);
        EXPECT_EQ(def.imgY2, 1800);
        EXPECT_DOUBLE_EQ(def.worldX2, 923.8);
        EXPECT_EQ(def.dpi, 300);
        EXPECT_EQ(def.scale, 500);

        // "編集": the workbench on the saved figures; its "印刷" prints A3 landscape at 1:500.
        whenDialog("Frm_KXInput", [&](QWidget* wbForm) {
            Bench b(wbForm);
            EXPECT_EQ(b.names().size(), 6u);
            printSetTestOutput(QPageSize(QPageSize::A3), QPageLayout::Landscape, pdf, 300);
            whenDialog("Frm_Print", [](QWidget* p) {
                auto* paper = child<QComboBox>(p, "CB_Paper");
                paper->setCurrentIndex(4);
                ASSERT_EQ(str(paper->currentText()), "4 A3横");
                child<QComboBox>(p, "CB_Scale")->setCurrentText("500");
                ui::scriptAnswer(ui::Answer::Yes); // the print dialog
                click(p, "Btn_Print");
                click(p, "Btn_Exit");
            });
            click(wbForm, "Btn_Print");
            ui::scriptAnswer(ui::Answer::No);
            click(wbForm, "Btn_Exit");
        });
        click(w, "Btn_Edit");
        ASSERT_TRUE(w->isVisible());
        // "終了" writes the settings itself, before the start-up form does again.
        const std::string conf = scratch + "/config/Tavisol/NV_Tool.conf";
        fs::remove(conf);
        click(w, "Btn_Exit");
        EXPECT_NE(testutil::readBytes(conf).find("\"DataDir\"=\"" + data + "\""), std::string::npos);
    });
    EXPECT_TRUE(recordsOf("message").empty()) << recordsOf("message").front().text;

    // The page, rasterised at 200 dpi.
    ASSERT_TRUE(fs::exists(pdf));
    const std::string png = scratch + "/page";
    ASSERT_EQ(QProcess::execute("pdftoppm", {"-r", "200", "-png", "-singlefile", QString::fromStdString(pdf),
                                             QString::fromStdString(png)}), 0);
    const QImage page = QImage(QString::fromStdString(png + ".png")).convertToFormat(QImage::Format_RGB32);
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(page.width() / 200.0 * 25.4, 420, 1); // A3 landscape
    EXPECT_NEAR(page.height() / 200.0 * 25.4, 297, 1);

    // Where the raster lies on the page: its line work's extent, found on the sheet itself.
    QImage raster(QString::fromStdString(sheet));
    raster = raster.convertToFormat(QImage::Format_RGB32);
    QRect ink;
    for (int y = 0; y < raster.height(); ++y)
        for (int x = 0; x < raster.width(); ++x)
            if (isDark(raster.pixel(x, y)))
                ink |= QRect(x, y, 1, 1);
    ASSERT_FALSE(ink.isEmpty());
    // The raster's ink touches its four edges, so the page's dark extent is the raster's.
    QRect dark;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x)
            if (isDark(page.pixel(x, y)))
                dark |= QRect(x, y, 1, 1);
    // A full print at 1:S is drawn at 1:(S + 1): 2400 pixels at 300 dpi are 203.2 mm at 1:500
    // on the ground's scale, 202.79 mm on paper (1596.8 dots at 200 dpi, not 1600).
    const double k = 25.4 / 300 * 500 / 501 / 25.4 * 200; // page dots per raster pixel
    EXPECT_NEAR(dark.width(), ink.width() * k, 1.2) << "1:500 would be " << ink.width() * 200.0 / 300;
    EXPECT_NEAR(dark.height(), ink.height() * k, 1.2);

    // Over the polygon the line work lies black on the tone fill: every pixel in the middle of
    // a line inside it is dark on the page, and the fill shows between the lines.
    int lineDots = 0, darkDots = 0;
    QRect box;
    for (const TPoint& p : polygon)
        box |= QRect(p.x, p.y, 1, 1);
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x) {
            bool core = inside(polygon, x, y);
            for (int dy = -4; dy <= 4 && core; ++dy)
                for (int dx = -4; dx <= 4 && core; ++dx)
                    core = inside(polygon, x + dx, y + dy);
            for (int dy = -1; dy <= 1 && core; ++dy)
                for (int dx = -1; dx <= 1 && core; ++dx)
                    core = isDark(raster.pixel(x + dx, y + dy));
            if (!core)
                continue;
            ++lineDots;
            const QPoint at(dark.left() + static_cast<int>((x + 0.5) * k), dark.top() + static_cast<int>((y + 0.5) * k));
            // within a dot of where it falls: the page's dots and the raster's do not align
            bool seen = false;
            for (int dy = -1; dy <= 1 && !seen; ++dy)
                for (int dx = -1; dx <= 1 && !seen; ++dx)
                    seen = isDark(page.pixel(at + QPoint(dx, dy)));
            darkDots += seen ? 1 : 0;
        }
    ASSERT_GT(lineDots, 20) << "no line work inside the polygon";
    EXPECT_GE(darkDots, lineDots * 95 / 100) << darkDots << " of " << lineDots;
    const QRect onPage(dark.left() + static_cast<int>(box.left() * k), dark.top() + static_cast<int>(box.top() * k),
                       static_cast<int>(box.width() * k), static_cast<int>(box.height() * k));
    EXPECT_GT(countIf(page, onPage, isOrange), onPage.width() * onPage.height() / 20);
}
