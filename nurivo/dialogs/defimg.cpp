#include "dialogs/defimg.h"
#include "dialogs/placed.h"

#include "model/startup.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/typedbox.h"
#include "platform/ui.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/paintboxex.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>

QPoint imgDlgMousePoint(0, 0);

namespace {

constexpr int kPoint1 = 0x0000FF;
constexpr int kPoint2 = 0xFF0000;
constexpr int kFrame = 0x008000;
constexpr int kBorder = 0x808080;
constexpr int kViewport = 0x0000FF;
constexpr double kPi = 3.14159265358979323846;

// A typed coordinate, resolution or scale: held within the range that the views can add their
// offsets to and double (the loupe), so 99999999999 neither wraps nor overflows.
int intOf(const QLineEdit* e)
{
    return strToSatInt(e->text().toStdString());
}

int intOf(const QComboBox* c)
{
    return strToSatInt(c->currentText().toStdString());
}

double realOf(const QLineEdit* e)
{
    return strToReal(e->text().toStdString());
}

QLineEdit* edit(QWidget* owner, const char* name, int x, int y, int w = 64)
{
    return named(new QLineEdit(owner), name, x, y, w, 20);
}

QComboBox* list(QWidget* owner, const char* name, std::initializer_list<const char*> items, int x, int y)
{
    auto* cb = named(new QComboBox(owner), name, x, y, 90, 22);
    setTypedTextStands(cb);
    for (const char* i : items)
        cb->addItem(QString::fromLatin1(i));
    return cb;
}

QLabel* resultLabel(QWidget* owner, const char* name)
{
    auto* l = new QLabel(owner);
    l->setObjectName(QString::fromLatin1(name));
    l->setMinimumWidth(90);
    l->setFrameShape(QFrame::Panel);
    l->setFrameShadow(QFrame::Sunken);
    return l;
}

// Moves the span lo … hi of `view` pixels back inside 0 … `extent`.
void keepInside(int& lo, int& hi, int view, int extent)
{
    if (lo < 0) {
        lo = 0;
        hi = view;
    }
    if (hi > extent) {
        hi = extent;
        lo = extent - view;
    }
}

} // namespace

void imgDlgDrawMarker(Canvas& canvas, int color, int x, int y, const std::string& label)
{
    canvas.setPenColor(color);
    canvas.setPenWidth(1);
    canvas.moveTo(x - 5, y);
    canvas.lineTo(x + 5, y);
    canvas.moveTo(x, y - 5);
    canvas.lineTo(x, y + 5);
    canvas.setBrushStyle(BrushStyle::Clear);
    canvas.ellipse(x - 10, y - 10, x + 10, y + 10);
    if (!label.empty()) {
        canvas.setFontColor(color);
        canvas.setTransparent(true);
        canvas.textOut(x + 6, y + 6, label);
    }
    canvas.setBrushStyle(BrushStyle::Solid);
    canvas.setPenWidth(1);
}

void imgDlgDrawFrameRect(Canvas& canvas, int color, int left, int top, int right, int bottom)
{
    canvas.setPenColor(color);
    const QPoint pts[] = {{left, top}, {left, bottom}, {right, bottom}, {right, top}, {left, top}};
    canvas.polyline(pts, 5);
}

TFrm_DefImg::TFrm_DefImg(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("Frm_DefImg"));
    setWindowTitle(QStringLiteral("イメージ/位置設定"));
    resize(1024, 768);

    // The left column: loupe, overview, the two points, the frame, the drawing settings.
    // The captions' full-width digits are measured and drawn in one Japanese face; with the
    // default face the title is measured narrower than it is drawn and loses its last stroke.
    canvasInstallFontSubstitutes();
    QFont face(QStringLiteral("ＭＳ Ｐゴシック"));
    face.setPointSizeF(font().pointSizeF());
    // A point's fields hold plane coordinates such as -123456.789: eleven characters of the
    // face they are drawn in, which sets the width of the groups and so of the column.
    QLineEdit sample;
    sample.setFont(face);
    const int fw = std::max(62, fieldWidthForChars(&sample, 11));
    const int fx1 = 62, fx2 = fx1 + fw + 2, bx = fx2 + fw + 2, gw = bx + 62 + 2;
    auto* left = new QWidget;
    left->setObjectName(QStringLiteral("Panel1"));
    left->setFixedSize(gw + 4, 716);
    const int viewX = (gw + 4 - 254) / 2;
    PaintBoxEx2 = named(new TPaintBoxEx(left), "PaintBoxEx2", viewX, 2, 254, 190);
    PaintBoxEx2->setAccessibleName(QStringLiteral("拡大表示"));
    PaintBoxEx3 = named(new TPaintBoxEx(left), "PaintBoxEx3", viewX, 194, 254, 190);
    PaintBoxEx3->setAccessibleName(QStringLiteral("全体表示"));

    auto pointGroup = [&](const char* caption, const char* name, int y, QLineEdit** ix, QLineEdit** iy,
                          QLineEdit** sx, QLineEdit** sy, const char* names[4]) {
        auto* g = named(new QGroupBox(QString::fromUtf8(caption), left), name, 2, y, gw, 76);
        g->setFont(face);
        label(g, "Ｘ", fx1, 12, fw, 16)->setAlignment(Qt::AlignCenter);
        label(g, "Ｙ", fx2, 12, fw, 16)->setAlignment(Qt::AlignCenter);
        label(g, "ＩＭＧ座標", 4, 28, 58);
        *ix = edit(g, names[0], fx1, 28, fw);
        *iy = edit(g, names[1], fx2, 28, fw);
        label(g, "国家座標", 4, 50, 58);
        *sx = edit(g, names[2], fx1, 50, fw);
        *sy = edit(g, names[3], fx2, 50, fw);
        return g;
    };
    const char* p1[4] = {"ED_IX1", "ED_IY1", "ED_SX1", "ED_SY1"};
    const char* p2[4] = {"ED_IX2", "ED_IY2", "ED_SX2", "ED_SY2"};
    QGroupBox* g1 = pointGroup("１点目", "GroupBox1", 388, &ED_IX1, &ED_IY1, &ED_SX1, &ED_SY1, p1);
    Button1 = named(new QPushButton(QStringLiteral("マウス指示"), g1), "Button1", bx, 27, 62, 22);
    QGroupBox* g2 = pointGroup("２点目", "GroupBox2", 466, &ED_IX2, &ED_IY2, &ED_SX2, &ED_SY2, p2);
    Button2 = named(new QPushButton(QStringLiteral("マウス指示"), g2), "Button2", bx, 27, 62, 22);
    Button9 = named(new QPushButton(QStringLiteral("一点指示"), g2), "Button9", bx, 49, 62, 22);

    auto* g3 = named(new QGroupBox(QStringLiteral("図枠"), left), "GroupBox3", 2, 544, gw, 58);
    label(g3, "左上", 4, 14, 34);
    ED_WSX = edit(g3, "ED_WSX", 40, 14, 72);
    ED_WSY = edit(g3, "ED_WSY", 114, 14, 72);
    Button5 = named(new QPushButton(QStringLiteral("マウス指示"), g3), "Button5", bx, 13, 62, 22);
    label(g3, "右下", 4, 36, 34);
    ED_WEX = edit(g3, "ED_WEX", 40, 36, 72);
    ED_WEY = edit(g3, "ED_WEY", 114, 36, 72);
    Button6 = named(new QPushButton(QStringLiteral("マウス指示"), g3), "Button6", bx, 35, 62, 22);

    auto* g4 = named(new QGroupBox(QStringLiteral("図面設定"), left), "GroupBox4", 2, 604, gw, 70);
    label(g4, "イメージ解像度", 4, 18, 96);
    CB_DPI = list(g4, "CB_DPI", {"100", "200", "300", "400", "600"}, 104, 16);
    label(g4, "ＤＰＩ", 198, 18, 50);
    label(g4, "図面縮尺", 4, 44, 70);
    label(g4, "１/", 80, 44, 22);
    CB_ZScale = list(g4, "CB_ZScale", {"500", "1000", "2000", "2500", "5000", "10000", "20000"}, 104, 42);

    Button4 = named(new QPushButton(QStringLiteral("取消"), left), "Button4", 40, 682, 90, 28);
    Button3 = named(new QPushButton(QStringLiteral("確定"), left), "Button3", 140, 682, 90, 28);

    // The detail view above the result bar.
    PaintBoxEx1 = new TPaintBoxEx;
    PaintBoxEx1->setObjectName(QStringLiteral("PaintBoxEx1"));
    PaintBoxEx1->setAccessibleName(QStringLiteral("イメージ"));
    PaintBoxEx1->setMouseTracking(true);
    PaintBoxEx2->setMouseTracking(true);
    PaintBoxEx3->setMouseTracking(true);
    // The result bar in two rows, image above plane, ratio and rotation on the right: in one
    // row it would be wider than the window's 1024 pixels.
    auto* bar = new QWidget;
    bar->setObjectName(QStringLiteral("Panel2"));
    auto* barLayout = new QGridLayout(bar);
    barLayout->setContentsMargins(6, 2, 6, 2);
    barLayout->setVerticalSpacing(2);
    auto text = [&](const char* t, int row, int col) {
        barLayout->addWidget(new QLabel(QString::fromUtf8(t), bar), row, col);
    };
    text("ＩＭＧ座標", 0, 0);
    text("距離：", 0, 1);
    barLayout->addWidget(L_ILen = resultLabel(bar, "L_ILen"), 0, 2);
    text("方向角：", 0, 3);
    barLayout->addWidget(L_IAng = resultLabel(bar, "L_IAng"), 0, 4);
    text("国家座標", 1, 0);
    text("距離：", 1, 1);
    barLayout->addWidget(L_SLen = resultLabel(bar, "L_SLen"), 1, 2);
    text("方向角：", 1, 3);
    barLayout->addWidget(L_SAng = resultLabel(bar, "L_SAng"), 1, 4);
    barLayout->setColumnMinimumWidth(5, 16);
    text("距離比率：", 0, 6);
    barLayout->addWidget(L_LenRat = resultLabel(bar, "L_LenRat"), 0, 7);
    text("回転角：", 1, 6);
    barLayout->addWidget(L_RotAng = resultLabel(bar, "L_RotAng"), 1, 7);
    barLayout->setColumnStretch(8, 1);

    auto* right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->addWidget(PaintBoxEx1, 1);
    right->addWidget(bar);
    auto* columns = new QHBoxLayout;
    columns->setContentsMargins(0, 0, 0, 0);
    columns->setSpacing(2);
    columns->addWidget(left, 0, Qt::AlignTop);
    columns->addLayout(right, 1);
    StatusBar1 = new QStatusBar;
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    auto* all = new QVBoxLayout(this);
    all->setContentsMargins(0, 0, 0, 0);
    all->setSpacing(0);
    all->addLayout(columns, 1);
    all->addWidget(StatusBar1);

    // Enter in a field presses no button: only the four "マウス指示" start a pick.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);

    connect(PaintBoxEx1, &TPaintBoxEx::OnPaint, this, &TFrm_DefImg::PaintBoxEx1Paint);
    connect(PaintBoxEx2, &TPaintBoxEx::OnPaint, this, &TFrm_DefImg::PaintBoxEx2Paint);
    connect(PaintBoxEx3, &TPaintBoxEx::OnPaint, this, &TFrm_DefImg::PaintBoxEx3Paint);
    connect(PaintBoxEx1, &TPaintBoxEx::OnMouseDown, this, &TFrm_DefImg::PaintBoxEx1MouseDown);
    connect(PaintBoxEx1, &TPaintBoxEx::OnMouseMove, this, &TFrm_DefImg::PaintBoxEx1MouseMove);
    connect(PaintBoxEx3, &TPaintBoxEx::OnMouseDown, this, &TFrm_DefImg::PaintBoxEx3MouseDown);
    connect(PaintBoxEx3, &TPaintBoxEx::OnMouseMove, this, &TFrm_DefImg::PaintBoxEx3MouseMove);
    connect(PaintBoxEx3, &TPaintBoxEx::OnMouseUp, this, &TFrm_DefImg::PaintBoxEx3MouseUp);
    connect(Button1, &QPushButton::clicked, this, &TFrm_DefImg::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrm_DefImg::Button2Click);
    connect(Button5, &QPushButton::clicked, this, &TFrm_DefImg::Button5Click);
    connect(Button6, &QPushButton::clicked, this, &TFrm_DefImg::Button6Click);
    connect(Button9, &QPushButton::clicked, this, &TFrm_DefImg::Button9Click);
    connect(Button3, &QPushButton::clicked, this, &TFrm_DefImg::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TFrm_DefImg::Button4Click);
    for (QLineEdit* e : {ED_IX1, ED_IY1, ED_SX1, ED_SY1, ED_IX2, ED_IY2, ED_SX2, ED_SY2, ED_WSX, ED_WSY,
                         ED_WEX, ED_WEY})
        connect(e, &QLineEdit::textChanged, this, &TFrm_DefImg::ED_IX1Change);
    // The viewport follows the detail view's size (the dialog opens maximised).
    PaintBoxEx1->installEventFilter(this);
}

void TFrm_DefImg::keepViewportSize()
{
    vpRight = vpLeft + PaintBoxEx1->width();
    vpBottom = vpTop + PaintBoxEx1->height();
}

void TFrm_DefImg::imgDlgFitOverview()
{
    const int vw = PaintBoxEx3->width(), vh = PaintBoxEx3->height();
    const double fx = static_cast<double>(vw) / source.width();
    const double fy = static_cast<double>(vh) / source.height();
    overviewScale = 0.9 * (fx >= fy ? fy : fx);
    const int l = static_cast<int>((vw - source.width() * overviewScale) * 0.5);
    const int t = static_cast<int>((vh - source.height() * overviewScale) * 0.5);
    const int r = static_cast<int>(source.width() * overviewScale + l);
    const int b = static_cast<int>(source.height() * overviewScale + t);
    overviewRect = QRect(QPoint(l, t), QPoint(r, b));
    const int ow = std::max(1, r - l), oh = std::max(1, b - t);
    if (source.isOneBit())
        imgResizeRefine1Bit(ow, oh, source, overview);
    else
        imgResizeBitmap(ow, oh, source, overview);
    vpLeft = 0;
    vpTop = 0;
    keepViewportSize();
    PaintBoxEx3->update();
}

void TFrm_DefImg::imgDlgScrollView(int dx, int dy)
{
    const int vw = PaintBoxEx1->width(), vh = PaintBoxEx1->height();
    vpLeft += dx;
    vpRight += dx;
    vpTop += dy;
    vpBottom += dy;
    keepInside(vpTop, vpBottom, vh, source.height());
    keepInside(vpLeft, vpRight, vw, source.width());
}

void TFrm_DefImg::imgDlgShowCalc()
{
    auto show = [](QLabel* l, double v) { l->setText(QString::fromStdString(strPrintf("%.3lf", v))); };
    show(L_ILen, work.imgDist);
    show(L_IAng, work.imgAngle * 180.0 / kPi);
    show(L_SLen, work.worldDist);
    show(L_SAng, work.worldAngle * 180.0 / kPi);
    show(L_LenRat, work.lenRatio);
    show(L_RotAng, work.rotation * 180.0 / kPi);
}

void TFrm_DefImg::imgDlgToEdits()
{
    // Long numbers show from their first digit.
    auto i = [](QLineEdit* e, int v) {
        e->setText(QString::number(v));
        e->setCursorPosition(0);
    };
    auto r = [](QLineEdit* e, double v) {
        e->setText(QString::fromStdString(strPrintf("%.15g", v)));
        e->setCursorPosition(0);
    };
    i(ED_IX1, work.imgX1);
    i(ED_IY1, work.imgY1);
    r(ED_SX1, work.worldX1);
    r(ED_SY1, work.worldY1);
    i(ED_IX2, work.imgX2);
    i(ED_IY2, work.imgY2);
    r(ED_SX2, work.worldX2);
    r(ED_SY2, work.worldY2);
    i(ED_WSX, work.frameX1);
    i(ED_WSY, work.frameY1);
    i(ED_WEX, work.frameX2);
    i(ED_WEY, work.frameY2);
    CB_DPI->setEditText(QString::number(work.dpi));
    CB_ZScale->setEditText(QString::number(work.scale));
}

void TFrm_DefImg::imgDlgFromEdits()
{
    work.imgX1 = intOf(ED_IX1);
    work.imgY1 = intOf(ED_IY1);
    work.worldX1 = realOf(ED_SX1);
    work.worldY1 = realOf(ED_SY1);
    work.imgX2 = intOf(ED_IX2);
    work.imgY2 = intOf(ED_IY2);
    work.worldX2 = realOf(ED_SX2);
    work.worldY2 = realOf(ED_SY2);
    work.frameX1 = intOf(ED_WSX);
    work.frameY1 = intOf(ED_WSY);
    work.frameX2 = intOf(ED_WEX);
    work.frameY2 = intOf(ED_WEY);
    // A resolution of 0 or less has no length on the ground: the previous one stays.
    const int dpi = intOf(CB_DPI);
    if (dpi > 0)
        work.dpi = dpi;
    work.scale = intOf(CB_ZScale);
}

template <class Map>
void TFrm_DefImg::drawFrameAndMarkers(Canvas& canvas, const Map& map, int framePen)
{
    canvas.setPenWidth(framePen);
    const QPoint a = map(intOf(ED_WSX), intOf(ED_WSY));
    const QPoint b = map(intOf(ED_WEX), intOf(ED_WEY));
    imgDlgDrawFrameRect(canvas, kFrame, a.x(), a.y(), b.x(), b.y());
    canvas.setPenWidth(1);
    const QPoint m1 = map(intOf(ED_IX1), intOf(ED_IY1));
    imgDlgDrawMarker(canvas, kPoint1, m1.x(), m1.y(), "P1");
    const QPoint m2 = map(intOf(ED_IX2), intOf(ED_IY2));
    imgDlgDrawMarker(canvas, kPoint2, m2.x(), m2.y(), "P2");
}

void TFrm_DefImg::PaintBoxEx1Paint(Canvas& canvas)
{
    canvas.setBrushStyle(BrushStyle::Solid);
    canvas.setBrushColor(0xFFFFFF);
    canvas.fillRect(0, 0, PaintBoxEx1->width(), PaintBoxEx1->height());
    canvas.draw(-vpLeft, -vpTop, source);
    drawFrameAndMarkers(canvas, [&](int x, int y) { return QPoint(x - vpLeft, y - vpTop); }, 3);
}

void TFrm_DefImg::PaintBoxEx2Paint(Canvas& canvas)
{
    const int W = PaintBoxEx2->width(), H = PaintBoxEx2->height();
    const int mx = imgDlgMousePoint.x(), my = imgDlgMousePoint.y();
    loupe = Bitmap(W / 2, H / 2, pf24bit);
    if (!loupe.isEmpty()) {
        Canvas lc(loupe);
        lc.draw(W / 4 - mx, H / 4 - my, source);
    }
    canvas.stretchDraw(QRect(0, 0, W, H), loupe);
    canvas.setPenColor(kViewport);
    canvas.setPenWidth(1);
    canvas.moveTo(0, H / 2);
    canvas.lineTo(W, H / 2);
    canvas.moveTo(W / 2, 0);
    canvas.lineTo(W / 2, H);
    drawFrameAndMarkers(
        canvas, [&](int x, int y) { return QPoint(2 * (x + W / 4 - mx), 2 * (y + H / 4 - my)); }, 3);
}

void TFrm_DefImg::PaintBoxEx3Paint(Canvas& canvas)
{
    const int ol = overviewRect.left(), ot = overviewRect.top();
    const int orr = overviewRect.right(), ob = overviewRect.bottom();
    const double s = overviewScale;
    canvas.setBrushStyle(BrushStyle::Solid);
    canvas.setBrushColor(0xFFFFFF);
    canvas.fillRect(0, 0, PaintBoxEx3->width(), ot);
    canvas.fillRect(0, ob, PaintBoxEx3->width(), PaintBoxEx3->height());
    canvas.fillRect(0, ot, ol, ob);
    canvas.fillRect(orr, ot, PaintBoxEx3->width(), ob);
    canvas.draw(ol, ot, overview);
    canvas.setPenWidth(1);
    imgDlgDrawFrameRect(canvas, kBorder, ol, ot, orr, ob);
    imgDlgDrawFrameRect(canvas, kViewport, static_cast<int>(ol + vpLeft * s), static_cast<int>(ot + vpTop * s),
                        static_cast<int>(ol + vpRight * s), static_cast<int>(ot + vpBottom * s));
    drawFrameAndMarkers(
        canvas, [&](int x, int y) { return QPoint(satToInt(ol + x * s), satToInt(ot + y * s)); }, 3);
    PaintBoxEx1->update();
}

void TFrm_DefImg::PaintBoxEx1MouseMove(Qt::KeyboardModifiers shift, int x, int y)
{
    if (shift & Qt::ShiftModifier) {
        const int w = PaintBoxEx1->width(), h = PaintBoxEx1->height();
        if (x < 64)
            imgDlgScrollView(-64, 0);
        if (x > w - 64)
            imgDlgScrollView(64, 0);
        if (y < 64)
            imgDlgScrollView(0, -64);
        if (y > h - 64)
            imgDlgScrollView(0, 64);
        PaintBoxEx3->update();
    }
    imgDlgMousePoint = QPoint(x + vpLeft, y + vpTop);
    PaintBoxEx2->update();
    static const char* const prefix[] = {"入力なし ", "１点目指示 ", "２点目指示 ", "枠左上指示 ", "枠右下指示 "};
    double wx = 0.0, wy = 0.0, px = 0.0, py = 0.0;
    geoPixToWorld(work, imgDlgMousePoint.x(), imgDlgMousePoint.y(), wx, wy);
    geoWorldToPix(work, wx, wy, px, py);
    std::string text = mode >= 0 && mode <= 4 ? prefix[mode] : "";
    text += strPrintf("(%d, %d) (%.3lf, %.3lf) (%.3lf, %.3lf)", imgDlgMousePoint.x(), imgDlgMousePoint.y(), wx, wy,
                      px, py);
    StatusBar1->showMessage(QString::fromStdString(text));
}

void TFrm_DefImg::PaintBoxEx1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    QLineEdit* fields[][2] = {{ED_IX1, ED_IY1}, {ED_IX2, ED_IY2}, {ED_WSX, ED_WSY}, {ED_WEX, ED_WEY}};
    if (mode < 1 || mode > 4)
        return;
    fields[mode - 1][0]->setText(QString::number(imgDlgMousePoint.x()));
    fields[mode - 1][1]->setText(QString::number(imgDlgMousePoint.y()));
    mode = 0;
    imgDlgFromEdits();
    geoCalcTransform(work);
    imgDlgShowCalc();
    PaintBoxEx3->update();
}

void TFrm_DefImg::PaintBoxEx3MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    if (dragging)
        return;
    dragging = 1;
    dragPoint = QPoint(static_cast<int>((x - overviewRect.left()) / overviewScale),
                       static_cast<int>((y - overviewRect.top()) / overviewScale));
}

void TFrm_DefImg::PaintBoxEx3MouseMove(Qt::KeyboardModifiers, int x, int y)
{
    if (!dragging)
        return;
    QPoint p(static_cast<int>((x - overviewRect.left()) / overviewScale),
             static_cast<int>((y - overviewRect.top()) / overviewScale));
    imgDlgScrollView(p.x() - dragPoint.x(), p.y() - dragPoint.y());
    dragPoint = p;
    PaintBoxEx3->update();
}

void TFrm_DefImg::PaintBoxEx3MouseUp(Qt::MouseButton, Qt::KeyboardModifiers, int, int)
{
    dragging = 0;
}

void TFrm_DefImg::Button1Click() { mode = 1; }
void TFrm_DefImg::Button2Click() { mode = 2; }
void TFrm_DefImg::Button5Click() { mode = 3; }
void TFrm_DefImg::Button6Click() { mode = 4; }

void TFrm_DefImg::Button9Click()
{
    // Without a resolution 100 pixels have no length on the ground.
    if (work.dpi <= 0) {
        ui::showMessage("イメージ解像度が正しくありません");
        return;
    }
    work.imgX2 = work.imgX1 + 100;
    work.imgY2 = work.imgY1 + 100;
    const double d = geoPixToMetre(work, 100.0);
    work.worldX2 = work.worldX1 - d;
    work.worldY2 = work.worldY1 + d;
    mode = -1;
    geoCalcTransform(work);
    imgDlgToEdits();
    imgDlgShowCalc();
    mode = 0;
    PaintBoxEx3->update();
}

void TFrm_DefImg::Button3Click() { done(2); }
void TFrm_DefImg::Button4Click() { done(1); }

// Typed values reach the working copy at the next pick or at "確定".
void TFrm_DefImg::ED_IX1Change() {}

void TFrm_DefImg::reject()
{
    // Reached from the window frame (Escape is kept away in keyPressEvent).
    done(2);
}

bool TFrm_DefImg::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == PaintBoxEx1 && event->type() == QEvent::Resize)
        keepViewportSize();
    return QDialog::eventFilter(watched, event);
}

void TFrm_DefImg::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int showDefImg(const std::string& caption, const std::string& folderPrefix, TImgDef* def)
{
    if (!def)
        return 0;
    auto dlg = std::make_unique<TFrm_DefImg>();
    imgLoadToBitmap(placeholderImagePath, dlg->source);
    imgLoadToBitmap(placeholderImagePath, dlg->overview);
    imgLoadToBitmap(placeholderImagePath, dlg->loupe);
    dlg->setWindowTitle(QString::fromStdString(caption));
    dlg->work = *def;
    dlg->mode = -1;
    const std::string path = folderPrefix.empty() ? def->imagePath : folderPrefix + "/" + def->imagePath;
    if (!imgLoadToBitmap(path, dlg->source) || dlg->source.isEmpty()) {
        ui::showMessage("ERROR-OPEN " + path);
        return 0;
    }
    dlg->imgDlgFitOverview();
    dlg->work.width = dlg->source.width();
    dlg->work.height = dlg->source.height();
    geoCalcTransform(dlg->work);
    dlg->imgDlgToEdits();
    dlg->imgDlgShowCalc();
    dlg->mode = 0;
    if (QScreen* screen = dlg->screen())
        dlg->move(screen->availableGeometry().center() - dlg->rect().center());
    dlg->setWindowState(Qt::WindowMaximized);
    const int result = dlg->exec();
    if (result == 2) {
        dlg->imgDlgFromEdits();
        *def = dlg->work;
    }
    return result;
}
