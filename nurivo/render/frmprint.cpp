#include "render/frmprint.h"

#include "model/kxtbl.h"
#include "model/startup.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/typedbox.h"
#include "platform/ui.h"
#include "render/canvas.h"
#include "render/kxdraw.h"
#include "render/paintboxex.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>

KXDraw* printSource = nullptr;
int printSourceDpi = 200;
int printSourceScale = 1000;
int printFormKind = 0;
TFrm_Print* Frm_Print = nullptr;

namespace {

constexpr double kInchPerMm = 0.039370078740157482516;

std::string utf8(const QString& s) { return s.toStdString(); }

int textValue(const QLineEdit* e) { return strToSatInt(utf8(e->text())); }

// Paper of the full print, mm; index 0 is the free size of the edits.
struct PaperMm {
    int w, h;
};
constexpr PaperMm kPaper[] = {{0, 0},     {210, 297}, {297, 210}, {297, 420},  {420, 297}, {420, 594},
                              {594, 420}, {594, 840}, {840, 594}, {840, 1188}, {1188, 840}};

QString scaleItems[] = {QStringLiteral("200"), QStringLiteral("500"), QStringLiteral("1000"),
                        QStringLiteral("2500"), QStringLiteral("5000")};

QPrinter*& runPrinter()
{
    // Lives for the run, like the class library's printer object, and is never freed: it
    // outlives the application object, after which it must not be torn down.
    static QPrinter* printer = nullptr;
    return printer;
}

} // namespace

void printSetSource(KXDraw* drawing, int dpi, int scale)
{
    printSource = drawing;
    printSourceDpi = dpi <= 0 ? 200 : dpi;
    printSourceScale = scale <= 0 ? 1000 : scale;
}

void printGetBBPaperMM(int index, int& width, int& height)
{
    static constexpr PaperMm bb[] = {{210, 297}, {297, 210}, {297, 420}, {420, 297}};
    if (index < 0 || index > 3) {
        width = height = 0;
        return;
    }
    width = bb[index].w;
    height = bb[index].h;
}

void printDrawRubberRect(Canvas& canvas, int x1, int y1, int x2, int y2)
{
    canvas.setPenMode(PenMode::Not);
    canvas.setPenStyle(PenStyle::Solid);
    canvas.setPenWidth(2);
    canvas.moveTo(x1, y1);
    canvas.lineTo(x1, y2);
    canvas.lineTo(x2, y2);
    canvas.lineTo(x2, y1);
    canvas.lineTo(x1, y1);
    canvas.setPenMode(PenMode::Copy);
}

QPrinter& printGetPrinter()
{
    QPrinter*& p = runPrinter();
    if (!p)
        p = new QPrinter(QPrinter::HighResolution);
    return *p;
}

void printSetTestOutput(const QPageSize& pageSize, QPageLayout::Orientation orientation,
                        const std::string& pdfPath, int dpi, const QMarginsF& marginsMm)
{
    QPrinter& p = printGetPrinter();
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QString::fromStdString(pdfPath));
    p.setResolution(dpi);
    p.setFullPage(false);
    p.setPageSize(pageSize);
    p.setPageOrientation(orientation);
    p.setPageMargins(marginsMm, QPageLayout::Millimeter);
}

// ---------------------------------------------------------------------------------------
// The form

TFrm_Print::TFrm_Print(QWidget* parent) : QDialog(parent)
{
    canvasInstallFontSubstitutes();
    buildControls();
    FormCreate();
    connectHandlers();
}

TFrm_Print::~TFrm_Print() = default;

void TFrm_Print::buildControls()
{
    setObjectName(QStringLiteral("Frm_Print"));
    setWindowTitle(QStringLiteral("印刷"));
    QFont f(QStringLiteral("ＭＳ ゴシック"));
    f.setPixelSize(12);
    setFont(f);

    auto label = [](const char* text) { return new QLabel(QString::fromUtf8(text)); };
    auto named = [](auto* w, const char* name) {
        w->setObjectName(QString::fromLatin1(name));
        return w;
    };
    auto edit = [&](const char* name) {
        QLineEdit* e = named(new QLineEdit(QStringLiteral("0")), name);
        e->setMaximumWidth(56);
        return e;
    };
    auto scaleBox = [&](const char* name) {
        QComboBox* c = named(new QComboBox, name);
        setTypedTextStands(c);
        for (const QString& s : scaleItems)
            c->addItem(s);
        c->setCurrentText(QStringLiteral("500"));
        return c;
    };

    // Image settings.
    GroupBox1 = named(new QGroupBox(QStringLiteral("イメージ設定")), "GroupBox1");
    L_Img = named(new QLabel(QStringLiteral("200DPI 1/1000")), "L_Img");
    CB_Scale = scaleBox("CB_Scale");
    CB_Paper = named(new QComboBox, "CB_Paper");
    for (const char* item : {"0 任意", "1 A4縦", "2 A4横", "3 A3縦", "4 A3横", "5 A2縦", "6 A2横", "7 A1縦",
                             "8 A1横", "9 A0縦", "10 A0横", ""})
        CB_Paper->addItem(QString::fromUtf8(item));
    ED_PMmX = edit("ED_PMmX");
    ED_PMmY = edit("ED_PMmY");
    Button4 = named(new QPushButton(QStringLiteral("再表示")), "Button4");
    ED_POffsX = edit("ED_POffsX");
    ED_POffsY = edit("ED_POffsY");
    {
        auto* g = new QGridLayout(GroupBox1);
        g->addWidget(L_Img, 0, 0, 1, 5);
        g->addWidget(label("表示縮尺"), 1, 0);
        g->addWidget(label("1/"), 1, 1);
        g->addWidget(CB_Scale, 1, 2, 1, 3);
        g->addWidget(label("用紙サイズ"), 2, 0);
        g->addWidget(CB_Paper, 2, 1, 1, 4);
        g->addWidget(ED_PMmX, 3, 1, 1, 2);
        g->addWidget(label("×"), 3, 3);
        g->addWidget(ED_PMmY, 3, 4);
        g->addWidget(Button4, 3, 0);
        g->addWidget(label("ｵﾌｾｯﾄ(mm)"), 4, 0);
        auto* offs = new QHBoxLayout;
        offs->addWidget(label("X:"));
        offs->addWidget(ED_POffsX);
        offs->addWidget(label("Y:"));
        offs->addWidget(ED_POffsY);
        g->addLayout(offs, 4, 1, 1, 4);
    }

    // Scale bar.
    GroupBox3 = named(new QGroupBox(QStringLiteral("凡例表示設定")), "GroupBox3");
    CB_HR_Size = named(new QComboBox, "CB_HR_Size");
    for (const char* item : {"印刷しない", "小(40mm)", "中(80mm)", "大(120mm)"})
        CB_HR_Size->addItem(QString::fromUtf8(item));
    CB_HR_Pos = named(new QComboBox, "CB_HR_Pos");
    for (const char* item : {"左上", "左下", "右上", "右下"})
        CB_HR_Pos->addItem(QString::fromUtf8(item));
    ED_HOffsX = edit("ED_HOffsX");
    ED_HOffsY = edit("ED_HOffsY");
    {
        auto* g = new QGridLayout(GroupBox3);
        g->addWidget(CB_HR_Size, 0, 0, 1, 4);
        g->addWidget(CB_HR_Pos, 1, 0, 1, 4);
        g->addWidget(label("X:"), 2, 0);
        g->addWidget(ED_HOffsX, 2, 1);
        g->addWidget(label("Y:"), 2, 2);
        g->addWidget(ED_HOffsY, 2, 3);
    }

    // Preview zoom and background.
    GroupBox2 = named(new QGroupBox(QStringLiteral("表示設定")), "GroupBox2");
    RadioButton1 = named(new QRadioButton(QStringLiteral("1/1")), "RadioButton1");
    RadioButton2 = named(new QRadioButton(QStringLiteral("3/4")), "RadioButton2");
    RadioButton3 = named(new QRadioButton(QStringLiteral("2/4")), "RadioButton3");
    RadioButton4 = named(new QRadioButton(QStringLiteral("1/4")), "RadioButton4");
    RadioButton1->setProperty("Tag", 2);
    RadioButton2->setProperty("Tag", 3);
    RadioButton3->setProperty("Tag", 4);
    RadioButton4->setProperty("Tag", 5);
    RadioButton4->setChecked(true);
    CHB_Target = named(new QCheckBox(QStringLiteral("背景イメージ表示")), "CHB_Target");
    CHB_Target->setChecked(true);
    {
        auto* g = new QGridLayout(GroupBox2);
        g->addWidget(RadioButton1, 0, 0);
        g->addWidget(RadioButton2, 0, 1);
        g->addWidget(RadioButton3, 1, 0);
        g->addWidget(RadioButton4, 1, 1);
        g->addWidget(CHB_Target, 2, 0, 1, 2);
    }

    // Partial print.
    GroupBox4 = named(new QGroupBox(QStringLiteral("部分印刷設定")), "GroupBox4");
    CB_BB_Scale = scaleBox("CB_BB_Scale");
    CB_BB_Paper = named(new QComboBox, "CB_BB_Paper");
    for (const char* item : {"1 A4縦", "2 A4横", "3 A3縦", "4 A3横"})
        CB_BB_Paper->addItem(QString::fromUtf8(item));
    Btn_BBDef = named(new QPushButton(QStringLiteral("印刷範囲設定")), "Btn_BBDef");
    Btn_BBPrint = named(new QPushButton(QStringLiteral("部分印刷")), "Btn_BBPrint");
    {
        auto* g = new QGridLayout(GroupBox4);
        g->addWidget(label("印刷縮尺"), 0, 0);
        g->addWidget(label("1/"), 0, 1);
        g->addWidget(CB_BB_Scale, 0, 2);
        g->addWidget(CB_BB_Paper, 1, 0, 1, 3);
        g->addWidget(Btn_BBDef, 2, 0, 1, 3);
        g->addWidget(Btn_BBPrint, 3, 0, 1, 3);
    }

    Btn_DefPrint = named(new QPushButton(QStringLiteral("プリンタ設定")), "Btn_DefPrint");
    Btn_Print = named(new QPushButton(QStringLiteral("印刷")), "Btn_Print");
    Btn_Exit = named(new QPushButton(QStringLiteral("終了")), "Btn_Exit");
    for (QPushButton* b : {Button4, Btn_BBDef, Btn_BBPrint, Btn_DefPrint, Btn_Print, Btn_Exit})
        b->setAutoDefault(false);

    auto* top = new QWidget;
    top->setObjectName(QStringLiteral("Panel1"));
    auto* row = new QHBoxLayout(top);
    row->setContentsMargins(4, 4, 4, 4);
    for (QGroupBox* g : {GroupBox1, GroupBox3, GroupBox2, GroupBox4})
        row->addWidget(g, 0, Qt::AlignTop);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(Btn_DefPrint);
    buttons->addWidget(Btn_Print);
    buttons->addStretch(1);
    buttons->addWidget(Btn_Exit);
    row->addLayout(buttons);
    row->addStretch(1);

    PaintBoxEx1 = named(new TPaintBoxEx, "PaintBoxEx1");
    QFont pf(QStringLiteral("ＭＳ 明朝"));
    pf.setPixelSize(12);
    PaintBoxEx1->setFont(pf);
    PaintBoxEx1->setAccessibleName(QStringLiteral("印刷プレビュー"));
    ScrollBox1 = named(new QScrollArea, "ScrollBox1");
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    ScrollBox1->setWidget(PaintBoxEx1);

    StatusBar1 = named(new QStatusBar, "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);

    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(0, 0, 0, 0);
    main->setSpacing(0);
    main->addWidget(top);
    main->addWidget(ScrollBox1, 1);
    main->addWidget(StatusBar1);
    resize(1200, 800);
}

void TFrm_Print::connectHandlers()
{
    connect(CB_Paper, &QComboBox::currentIndexChanged, this, &TFrm_Print::CB_PaperChange);
    connect(CB_Scale, &QComboBox::editTextChanged, this, &TFrm_Print::CB_ScaleChange);
    // Enter or leaving the box takes the typed scale.
    connect(CB_Scale->lineEdit(), &QLineEdit::editingFinished, this, [this] { acceptScale(CB_Scale, goodS_); });
    connect(CB_BB_Scale->lineEdit(), &QLineEdit::editingFinished, this,
            [this] { acceptScale(CB_BB_Scale, goodB_); });
    for (QRadioButton* r : {RadioButton1, RadioButton2, RadioButton3, RadioButton4})
        connect(r, &QRadioButton::clicked, this, &TFrm_Print::RadioButton1Click);
    connect(Button4, &QPushButton::clicked, this, &TFrm_Print::Button4Click);
    connect(CHB_Target, &QCheckBox::clicked, this, &TFrm_Print::CHB_TargetClick);
    connect(CB_HR_Size, &QComboBox::currentIndexChanged, this, &TFrm_Print::CB_HR_SizeChange);
    connect(CB_HR_Pos, &QComboBox::currentIndexChanged, this, &TFrm_Print::CB_HR_PosChange);
    connect(CB_BB_Paper, &QComboBox::currentIndexChanged, this, &TFrm_Print::CB_BB_PaperChange);
    connect(Btn_DefPrint, &QPushButton::clicked, this, &TFrm_Print::Btn_DefPrintClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_Print::Btn_ExitClick);
    connect(Btn_Print, &QPushButton::clicked, this, &TFrm_Print::Btn_PrintClick);
    connect(Btn_BBPrint, &QPushButton::clicked, this, &TFrm_Print::Btn_BBPrintClick);
    connect(Btn_BBDef, &QPushButton::clicked, this, &TFrm_Print::Btn_BBDefClick);
    connect(PaintBoxEx1, &TPaintBoxEx::OnPaint, this, &TFrm_Print::PaintBoxEx1Paint);
    connect(PaintBoxEx1, &TPaintBoxEx::OnMouseDown, this, &TFrm_Print::PaintBoxEx1MouseDown);
    connect(PaintBoxEx1, &TPaintBoxEx::OnMouseMove, this, &TFrm_Print::PaintBoxEx1MouseMove);
}

void TFrm_Print::FormCreate()
{
    zoomTag = 5;
    paperIndex = cfgGetInt(kxPaperSize);
    CB_Paper->setCurrentIndex(paperIndex);
    CB_Scale->setCurrentIndex(1);
    CB_Scale->setCurrentText(QString::number(cfgGetInt(kxSCALE)));
    paperWidthMm = cfgGetInt(kxPaperX);
    paperHeightMm = cfgGetInt(kxPaperY);
    // The stored free size stands in the edits, so that "0 任意" opens with it instead of 0 x 0.
    ED_PMmX->setText(QString::number(cfgGetInt(kxPaperX)));
    ED_PMmY->setText(QString::number(cfgGetInt(kxPaperY)));
    CHB_Target->setChecked(true);
    CB_HR_Size->setCurrentIndex(cfgGetInt(kxHRSize));
    CB_HR_Pos->setCurrentIndex(cfgGetInt(kxHRPos));
    ED_POffsX->setText(QString::number(cfgGetInt(kxPOffsX)));
    ED_POffsY->setText(QString::number(cfgGetInt(kxPOffsY)));
    ED_HOffsX->setText(QString::number(cfgGetInt(kxHROffsX)));
    ED_HOffsY->setText(QString::number(cfgGetInt(kxHROffsY)));
    CB_BB_Scale->setCurrentIndex(1);
    CB_BB_Scale->setCurrentText(QString::number(cfgGetInt(kxBB_Scale)));
    // A stored partial paper without a size opens as the setting's default.
    const int bb = cfgGetInt(kxBB_Paper);
    CB_BB_Paper->setCurrentIndex(bb >= 0 && bb <= 3 ? bb : 2);
    rangeCentreX = cfgGetInt(kxBB_CX);
    rangeCentreY = cfgGetInt(kxBB_CY);
    // The loaded scales are the first good ones; a stored scale that is none opens as 500.
    for (auto [box, good] : {std::pair{CB_Scale, &goodS_}, {CB_BB_Scale, &goodB_}}) {
        *good = GoodScale{};
        if (!readScale(box->currentText(), good->value))
            box->setCurrentText(good->text);
        good->text = box->currentText();
    }
    SetOutput(0);
    UpdatePaper();
}

void TFrm_Print::UpdatePaper()
{
    switch (zoomTag) {
    case 2: previewZoom = 1.0; break;
    case 3: previewZoom = 0.75; break;
    case 4: previewZoom = 0.5; break;
    case 5: previewZoom = 0.25; break;
    default: break;
    }
    if (paperIndex >= 1 && paperIndex <= 10) {
        paperWidthMm = kPaper[paperIndex].w;
        paperHeightMm = kPaper[paperIndex].h;
    } else if (paperIndex == 0) {
        paperWidthMm = textValue(ED_PMmX);
        paperHeightMm = textValue(ED_PMmY);
    }
    previewWidth = MmToDots(paperWidthMm) * previewZoom;
    previewHeight = MmToDots(paperHeightMm) * previewZoom;
    // A widget is at most 2^24 - 1 pixels a side; a size typed out of reason gives an empty box.
    auto side = [](double v) {
        const int s = satToInt(v);
        return s < 0 || s > QWIDGETSIZE_MAX ? 0 : s;
    };
    PaintBoxEx1->setFixedSize(side(previewWidth), side(previewHeight));
    ED_PMmX->setEnabled(paperIndex == 0);
    ED_PMmY->setEnabled(paperIndex == 0);
    ED_PMmX->setText(QString::number(satToInt(paperWidthMm)));
    ED_PMmY->setText(QString::number(satToInt(paperHeightMm)));
}

void TFrm_Print::SetOutput(int mode)
{
    outputMode = mode;
    if (mode == 0) {
        outCanvas = nullptr; // the paint event's canvas, while it paints
        outDpi = PaintBoxEx1->pixelsPerInch();
        physOffsetX = physOffsetY = 0;
    } else {
        QPrinter& p = printGetPrinter();
        outDpi = p.logicalDpiX();
        const QRect paper = p.paperRect(QPrinter::DevicePixel).toRect();
        const QRect page = p.pageRect(QPrinter::DevicePixel).toRect();
        physOffsetX = page.left() - paper.left();
        physOffsetY = page.top() - paper.top();
    }
    outDpm = outDpi * kInchPerMm;
}

int TFrm_Print::MmToDots(double mm) const { return satToInt(mm * outDpm); }

void TFrm_Print::SetOutFontName(const QString& name)
{
    if (outCanvas)
        outCanvas->setFontName(name);
}

bool TFrm_Print::readScale(const QString& text, double& scale)
{
    double v = 0;
    if (strScan(utf8(text), "%lf", &v) != 1 || !(v >= 1 && v <= kMaxScale))
        return false;
    scale = v;
    return true;
}

double TFrm_Print::typedScale(const QComboBox* box, const GoodScale& good)
{
    // Only a scale taken becomes the good one: a repaint while "1e9" is being typed shows 1:1
    // but leaves the previous scale to go back into the box when "1e9" is refused.
    double typed = 0;
    return readScale(box->currentText(), typed) ? typed : good.value;
}

bool TFrm_Print::acceptScale(QComboBox* box, GoodScale& good)
{
    const QString typed = box->currentText();
    if (readScale(typed, good.value)) {
        good.text = typed;
        return true;
    }
    // The previous scale goes back before the message, which may take the focus and so
    // finish the editing once more.
    box->setCurrentText(good.text);
    ui::showMessage("縮尺「" + utf8(typed) + "」は使えません。1 から " + std::to_string(kMaxScale) +
                    " までの数値を入力してください。");
    return false;
}

double TFrm_Print::scaleS() { return typedScale(CB_Scale, goodS_); }

double TFrm_Print::scaleB() { return typedScale(CB_BB_Scale, goodB_); }

// ---------------------------------------------------------------------------------------
// Page composition

void TFrm_Print::DrawPage()
{
    if (!outCanvas || !printSource)
        return;
    KXDraw& kx = *printSource;
    SetOutFontName(cfgGetInt(kxFontType) != 0 ? QStringLiteral("ＭＳ 明朝") : QStringLiteral("ＭＳ ゴシック"));
    const double I = printSourceDpi;
    const double R = printSourceScale;
    const double S = scaleS();
    const double B = scaleB();
    const bool kind5 = aplGetKind() == akQuorelR;
    const int showImage = CHB_Target->isChecked() ? 1 : 0;
    int Wp = 0, Hp = 0;
    printGetBBPaperMM(CB_BB_Paper->currentIndex(), Wp, Hp);
    // Offsets of -1 mm are offsets like any other here, not the setter's "no change".
    auto layout = [&](int offX, int offY, int hrSize) {
        kx.SetPrintLayout(offX, offY, hrSize, CB_HR_Pos->currentIndex(), textValue(ED_HOffsX),
                          textValue(ED_HOffsY));
        kx.pOffsX = offX;
        kx.pOffsY = offY;
    };
    auto scaleInfo = [&] {
        if (kind5)
            kx.SetScaleInfo(satToInt(S), satToInt(outDpi));
    };

    if (outputMode == 2) {
        const double P = PaintBoxEx1->pixelsPerInch() * kInchPerMm;
        const double r = B / R;
        const double d = I * r / outDpi;
        const double k = B * P / S;
        const int offX = satToInt(rangeCentreX / k - Wp / 2);
        const int offY = satToInt(rangeCentreY / k - Hp / 2);
        layout(-offX, -offY, 0);
        kx.SetDrawParams(showImage, -1, 2, -1, -1, -1, -1, 1, r, d, 1.0, 1.0);
        scaleInfo();
        const int W = satToInt(Wp * outDpm);
        const int H = satToInt(Hp * outDpm);
        kx.Draw(outCanvas, W, H, outDpm);
        // White bands and the frame, placed from the paper's corner.
        const int m = satToInt(12 * outDpm);
        const int f = satToInt(10 * outDpm);
        const int x0 = satToInt(-physOffsetX);
        const int y0 = satToInt(-physOffsetY);
        Canvas& c = *outCanvas;
        c.setCopyMode(CopyMode::SrcCopy);
        c.setBrushStyle(BrushStyle::Solid);
        c.setBrushColor(0xFFFFFF);
        c.fillRect(x0, y0, x0 + m, y0 + H);
        c.fillRect(x0 + W - m, y0, x0 + W, y0 + H);
        c.fillRect(x0, y0, x0 + W, y0 + m);
        c.fillRect(x0, y0 + H - m, x0 + W, y0 + H);
        c.setPenMode(PenMode::Copy);
        c.setPenStyle(PenStyle::Solid);
        c.setPenColor(0x000000);
        c.setPenWidth(5);
        c.moveTo(x0 + f, y0 + f);
        c.lineTo(x0 + f, y0 + H - f);
        c.lineTo(x0 + W - f, y0 + H - f);
        c.lineTo(x0 + W - f, y0 + f);
        c.lineTo(x0 + f, y0 + f);
        return;
    }

    if (outputMode == 1) {
        // The full print draws at 1:(S + 1); the preview and the scale bar use S.
        const double r = (S + 1) / R;
        const double d = I * r / outDpi;
        layout(textValue(ED_POffsX), textValue(ED_POffsY), CB_HR_Size->currentIndex());
        kx.SetDrawParams(showImage, -1, 2, -1, -1, -1, -1, 1, r, d, 1.0, 1.0);
        scaleInfo();
        kx.Draw(outCanvas, satToInt(paperWidthMm * outDpm), satToInt(paperHeightMm * outDpm), outDpm);
        return;
    }

    // Preview.
    const double r = S / R;
    const double d = I * r / outDpi / previewZoom;
    layout(textValue(ED_POffsX), textValue(ED_POffsY), CB_HR_Size->currentIndex());
    kx.SetDrawParams(showImage, -1, 1, -1, -1, -1, -1, 1, r, d, previewZoom, 1.0);
    scaleInfo();
    const int w = PaintBoxEx1->width();
    const int h = PaintBoxEx1->height();
    kx.Draw(outCanvas, w, h, outDpm);

    // The partial-print range: the part of the partial paper inside its bands.
    Canvas& c = *outCanvas;
    c.setPenMode(PenMode::Copy);
    c.setPenStyle(PenStyle::Solid);
    c.setPenColor(0x008000);
    c.setPenWidth(2);
    const int cx = satToInt(rangeCentreX * previewZoom);
    const int cy = satToInt(rangeCentreY * previewZoom);
    const int fw = satToInt(B * ((Wp - 24) * outDpm) / S * previewZoom);
    const int fh = satToInt(B * ((Hp - 24) * outDpm) / S * previewZoom);
    const int left = satToInt(static_cast<long long>(cx) - fw / 2);
    const int right = satToInt(static_cast<long long>(cx) + fw / 2);
    const int top = satToInt(static_cast<long long>(cy) - fh / 2);
    const int bottom = satToInt(static_cast<long long>(cy) + fh / 2);
    c.moveTo(left, top);
    c.lineTo(left, bottom);
    c.lineTo(right, bottom);
    c.lineTo(right, top);
    c.lineTo(left, top);
    c.setPenWidth(1);
    c.moveTo(left, top);
    c.lineTo(right, bottom);
    c.moveTo(left, bottom);
    c.lineTo(right, top);

    StatusBar1->showMessage(QString::fromStdString(
        strPrintf("Scale:%.15g Width:%d Height:%d DPM: %.15g", d, w, h, outDpm)));
}

// ---------------------------------------------------------------------------------------
// Preview

QString TFrm_Print::previewKey() const
{
    return QStringList{CB_Scale->currentText(),
                       CB_BB_Scale->currentText(),
                       QString::number(CB_BB_Paper->currentIndex()),
                       QString::number(CHB_Target->isChecked()),
                       QString::number(CB_HR_Size->currentIndex()),
                       QString::number(CB_HR_Pos->currentIndex()),
                       ED_POffsX->text(),
                       ED_POffsY->text(),
                       ED_HOffsX->text(),
                       ED_HOffsY->text(),
                       QString::number(rangeCentreX),
                       QString::number(rangeCentreY),
                       QString::number(previewZoom, 'g', 17),
                       QString::number(PaintBoxEx1->width()),
                       QString::number(PaintBoxEx1->height()),
                       QString::number(outDpi, 'g', 17),
                       QString::number(cfgGetInt(kxFontType)),
                       QString::number(aplGetKind()),
                       QString::number(reinterpret_cast<quintptr>(printSource))}
        .join(QChar(0x1F));
}

void TFrm_Print::repaintPreview() { PaintBoxEx1->update(); }

void TFrm_Print::PaintBoxEx1Paint(Canvas& canvas)
{
    if (outputMode != 0)
        return;
    const int w = PaintBoxEx1->width();
    const int h = PaintBoxEx1->height();
    const QString key = previewKey();
    // The composed preview is kept, so that the rubber rectangle of a drag and plain exposes
    // cost a copy; a preview too large to keep is composed where it is shown.
    const bool keep = static_cast<qint64>(w) * h <= (qint64{16} << 20);
    if (keep && (key != previewKey_ || preview_.size() != QSize(w, h))) {
        preview_ = QImage(w, h, QImage::Format_RGB32);
        if (!preview_.isNull()) {
            preview_.fill(Qt::white);
            Canvas pc(preview_, PaintBoxEx1->pixelsPerInch());
            pc.setFontName(PaintBoxEx1->font().family());
            pc.setFontHeight(-12);
            outCanvas = &pc;
            DrawPage();
            outCanvas = nullptr;
            previewKey_ = key;
        }
    }
    if (keep && !preview_.isNull()) {
        canvas.setCopyMode(CopyMode::SrcCopy);
        canvas.draw(0, 0, preview_);
    } else {
        preview_ = QImage();
        previewKey_.clear();
        canvas.setPenColor(0x000000);
        canvas.setPenMode(PenMode::Copy);
        canvas.setBrushStyle(BrushStyle::Solid);
        canvas.setBrushColor(0xFFFFFF);
        canvas.setCopyMode(CopyMode::SrcCopy);
        canvas.fillRect(0, 0, w, h);
        outCanvas = &canvas;
        DrawPage();
        outCanvas = nullptr;
    }
    if (rangeState == 2)
        printDrawRubberRect(canvas, satToInt(rangeX1 * previewZoom), satToInt(rangeY1 * previewZoom),
                            satToInt(rangeX2 * previewZoom), satToInt(rangeY2 * previewZoom));
}

void TFrm_Print::PaintBoxEx1MouseDown(Qt::MouseButton, Qt::KeyboardModifiers, int x, int y)
{
    const int ux = satToInt(x / previewZoom);
    const int uy = satToInt(y / previewZoom);
    switch (rangeState) {
    case 0:
        rangeCentreX = ux;
        rangeCentreY = uy;
        repaintPreview();
        break;
    case 1:
        rangeX1 = rangeX2 = ux;
        rangeY1 = rangeY2 = uy;
        rangeState = 2;
        repaintPreview(); // shows the (empty) rubber rectangle from here on
        break;
    default: {
        rangeX2 = ux;
        rangeY2 = uy;
        rangeCentreX = satToInt((static_cast<long long>(rangeX1) + rangeX2) / 2);
        rangeCentreY = satToInt((static_cast<long long>(rangeY1) + rangeY2) / 2);
        int Wp = 0, Hp = 0;
        printGetBBPaperMM(CB_BB_Paper->currentIndex(), Wp, Hp);
        const double span = std::abs(static_cast<double>(rangeX2) - rangeX1);
        const double partial = span * scaleS() / (Wp * outDpm);
        CB_BB_Scale->setCurrentText(QString::number(satToInt(partial)));
        rangeState = 0;
        repaintPreview();
        break;
    }
    }
}

void TFrm_Print::PaintBoxEx1MouseMove(Qt::KeyboardModifiers, int x, int y)
{
    if (rangeState != 2)
        return;
    rangeX2 = satToInt(x / previewZoom);
    rangeY2 = satToInt(y / previewZoom);
    repaintPreview();
}

// ---------------------------------------------------------------------------------------
// Handlers

void TFrm_Print::CB_PaperChange()
{
    paperIndex = CB_Paper->currentIndex();
    UpdatePaper();
}

void TFrm_Print::CB_ScaleChange() {} // a typed scale shows at the next repaint

void TFrm_Print::RadioButton1Click()
{
    const QObject* s = sender();
    if (s && s->property("Tag").isValid())
        zoomTag = s->property("Tag").toInt();
    UpdatePaper();
    repaintPreview();
}

void TFrm_Print::Button4Click()
{
    acceptScale(CB_Scale, goodS_);
    acceptScale(CB_BB_Scale, goodB_);
    if (paperIndex == 0)
        UpdatePaper();
    repaintPreview();
}

void TFrm_Print::CHB_TargetClick() { repaintPreview(); }
void TFrm_Print::CB_HR_SizeChange() { repaintPreview(); }
void TFrm_Print::CB_HR_PosChange() { repaintPreview(); }
void TFrm_Print::CB_BB_PaperChange() { repaintPreview(); }

void TFrm_Print::Btn_DefPrintClick()
{
    presetPaper(paperWidthMm, paperHeightMm);
    ui::printerSetupDialog(printGetPrinter());
}

void TFrm_Print::Btn_ExitClick() { done(2); }

void TFrm_Print::done(int result)
{
    // What the settings get of the scales is a scale.
    acceptScale(CB_Scale, goodS_);
    acceptScale(CB_BB_Scale, goodB_);
    QDialog::done(result);
}

void TFrm_Print::Btn_BBDefClick() { rangeState = 1; }

void TFrm_Print::Btn_PrintClick() { printPage(1, paperWidthMm, paperHeightMm); }

void TFrm_Print::Btn_BBPrintClick()
{
    int Wp = 0, Hp = 0;
    printGetBBPaperMM(CB_BB_Paper->currentIndex(), Wp, Hp);
    printPage(2, Wp, Hp);
}

void TFrm_Print::presetPaper(double widthMm, double heightMm)
{
    if (presetWidthMm_ == widthMm && presetHeightMm_ == heightMm)
        return; // what the operator chose in the dialogs for this paper stands
    presetWidthMm_ = widthMm;
    presetHeightMm_ = heightMm;
    QPrinter& printer = printGetPrinter();
    // A standard size only where it is that size exactly: A1 and A0 are composed 840 and
    // 1188 mm long, 1 mm short of the standard's.
    const QPageSize size(QSizeF(std::min(widthMm, heightMm), std::max(widthMm, heightMm)),
                         QPageSize::Millimeter, QString(), QPageSize::ExactMatch);
    if (size.isValid())
        printer.setPageSize(size);
    printer.setPageOrientation(widthMm > heightMm ? QPageLayout::Landscape : QPageLayout::Portrait);
}

void TFrm_Print::printPage(int mode, double widthMm, double heightMm)
{
    if (!acceptScale(CB_Scale, goodS_) || (mode == 2 && !acceptScale(CB_BB_Scale, goodB_)))
        return;
    QPrinter& printer = printGetPrinter();
    presetPaper(widthMm, heightMm);
    if (!ui::printDialog(printer))
        return;
    SetOutput(mode);
    bool ok = false;
    {
        QPainter painter;
        if (painter.begin(&printer)) {
            {
                // The page is the printable area, as on a printer; the painter's origin is
                // its corner.
                const QRect page(QPoint(0, 0), printer.pageRect(QPrinter::DevicePixel).toRect().size());
                Canvas canvas(painter, satToInt(outDpi), page);
                canvas.setClipRect(page);
                canvas.setFontName(PaintBoxEx1->font().family());
                outCanvas = &canvas;
                DrawPage();
                outCanvas = nullptr;
            }
            ok = painter.end();
        }
    }
    if (!ok) {
        const QString file = printer.outputFileName();
        ui::showMessage("印刷できません: " + utf8(file.isEmpty() ? printer.printerName() : file));
    }
    SetOutput(0);
    previewKey_.clear(); // the drawing's render state was the page's
    repaintPreview();
}

// ---------------------------------------------------------------------------------------
// Entry

void showPrint(int kind, int paperIndex)
{
    auto form = std::make_unique<TFrm_Print>();
    Frm_Print = form.get();
    printFormKind = kind;
    form->L_Img->setText(QStringLiteral("%1DPI 1/%2").arg(printSourceDpi).arg(printSourceScale));
    if (aplGetKind() == akQuorelR)
        form->CB_HR_Size->setCurrentIndex(1);
    form->GroupBox1->show();
    form->GroupBox2->show();
    form->GroupBox4->show();
    form->GroupBox3->hide();
    form->CB_Paper->setCurrentIndex(paperIndex);
    form->paperIndex = paperIndex;
    form->UpdatePaper();
    // Maximised; without a window manager to do it, the screen's free area is taken.
    if (QScreen* screen = form->screen())
        form->setGeometry(screen->availableGeometry());
    form->setWindowState(form->windowState() | Qt::WindowMaximized);
    form->exec();

    TFrm_Print& f = *form;
    cfgSetInt(kxPaperSize, f.paperIndex);
    cfgSetInt(kxSCALE, satToInt(f.scaleS()));
    cfgSetInt(kxPaperX, textValue(f.ED_PMmX));
    cfgSetInt(kxPaperY, textValue(f.ED_PMmY));
    cfgSetInt(kxHRSize, f.CB_HR_Size->currentIndex());
    cfgSetInt(kxHRPos, f.CB_HR_Pos->currentIndex());
    cfgSetInt(kxPOffsX, textValue(f.ED_POffsX));
    cfgSetInt(kxPOffsY, textValue(f.ED_POffsY));
    cfgSetInt(kxHROffsX, textValue(f.ED_HOffsX));
    cfgSetInt(kxHROffsY, textValue(f.ED_HOffsY));
    cfgSetInt(kxBB_Paper, f.CB_BB_Paper->currentIndex());
    cfgSetInt(kxBB_Scale, satToInt(f.scaleB()));
    cfgSetInt(kxBB_CX, f.rangeCentreX);
    cfgSetInt(kxBB_CY, f.rangeCentreY);
    Frm_Print = nullptr;
}
