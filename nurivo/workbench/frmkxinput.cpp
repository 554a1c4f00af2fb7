#include "workbench/frmkxinput.h"

#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "model/qrv.h"
#include "model/tracegrid.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/strscan.h"
#include "platform/ui.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/kxdraw.h"
#include "render/paintboxex.h"
#include "workbench/wbdialogs.h"
#include "workbench/wbstate.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStyleOptionHeader>
#include <QStatusBar>
#include <QTableWidget>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <exception>
#include <new>
#include <vector>

namespace {

constexpr int topPanelHeight = 153;
constexpr int leftPanelWidth = 149;
constexpr int loupeWidth = 145;
constexpr int loupeHeight = 146;
constexpr int gridRowHeight = 16;
constexpr double dotsPerMmPerDpi = 0.03937007874015748; // 1 / 25.4

QString qs(const std::string& s) { return QString::fromStdString(s); }

std::string kindText(int kind)
{
    switch (kind) {
    case 0: return "多角形";
    case 1: return "折れ線";
    case 2:
    case 3: return "指示線";
    case 4: return "文字列";
    case 5: return "円(2点指示)";
    case 6: return "旗揚げ";
    case 10: return "地番付多角形";
    case 11: return "多角形(リンク付)";
    default: return std::to_string(kind);
    }
}

// The name of row `index` of the figure layer's attribute list; an index outside the rows in
// use reads row 0, as the figure is drawn.
std::string layerRowName(int index)
{
    TLay* lay = layTblGet(0);
    if (lay == nullptr || !lay->layer)
        return "";
    const TLayer& list = *lay->layer;
    if (index < 0 || index >= list.layerGetCount())
        index = 0;
    return list.layerGet(index).name;
}

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption)
{
    auto* b = new QPushButton(QString::fromUtf8(caption), parent);
    b->setObjectName(QString::fromLatin1(name));
    // Enter presses no button of the workbench.
    b->setAutoDefault(false);
    b->setDefault(false);
    b->setFocusPolicy(Qt::TabFocus);
    // As narrow as the caption allows rather than the style's 80 px: two buttons share a row
    // of the 149-px left column.
    b->setMinimumWidth(b->fontMetrics().horizontalAdvance(b->text()) + 16);
    return b;
}

QCheckBox* makeCheck(QWidget* parent, const char* name, const char* caption, bool on)
{
    auto* c = new QCheckBox(QString::fromUtf8(caption), parent);
    c->setObjectName(QString::fromLatin1(name));
    c->setChecked(on);
    return c;
}

// A reduction that fails is named with its step and its reason; the next step still runs.
void reduceGuarded(const char* step, const Bitmap& raster, int width, int height, Bitmap& target)
{
    if (!raster.isEmpty())
        imgResizeForViewReported(step, width, height, raster, target);
}

// A control whose keys are its own: an edit, a spin box, a text box, or a combo box (its
// arrows and letters choose an entry, the layer in "CB_LayName"), editable or not.
bool isTextField(const QWidget* w)
{
    return qobject_cast<const QLineEdit*>(w) || qobject_cast<const QAbstractSpinBox*>(w) ||
           qobject_cast<const QTextEdit*>(w) || qobject_cast<const QPlainTextEdit*>(w) ||
           qobject_cast<const QComboBox*>(w);
}

// The figure list: a string grid. Typed letters are the form's commands (B, N, D, …), so
// they must not jump the current row to a matching name as an item view's search would.
class TStringGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;
    void keyboardSearch(const QString&) override {}

protected:
    // The highlighted row is the current row, the figure that the commands act on: a Ctrl+click
    // or Ctrl+Space on it must not take the highlight off while it stays current.
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        const QItemSelectionModel::SelectionFlags flags = QTableWidget::selectionCommand(index, event);
        if (flags & (QItemSelectionModel::Deselect | QItemSelectionModel::Toggle))
            return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        return flags;
    }
    // Only the left button clicks a row: another button must not move the current row, whose
    // click ends a figure in progress.
    void mousePressEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            QTableWidget::mousePressEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            QTableWidget::mouseReleaseEvent(e);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override
    {
        if (e->button() == Qt::LeftButton)
            QTableWidget::mouseDoubleClickEvent(e);
    }
};

} // namespace

// ---------------------------------------------------------------------------------------
// Entry points

int showKXInput(KXDraw* drawing)
{
    TFrm_KXInput form;
    form.openOn(drawing);
    form.setWindowState(form.windowState() | Qt::WindowMaximized);
    const int result = form.exec();
    // The drawing goes back to its opener, who frees it.
    wb.drawing = nullptr;
    wb.selRec = TPRec();
    return result == 3 ? 3 : 2;
}

void inputFreeWorkBitmaps(KXDraw* drawing)
{
    if (drawing == nullptr)
        return;
    for (Bitmap** b : {&drawing->loupeBmp, &drawing->rasterBmp, &drawing->halfBmp,
                       &drawing->quarterBmp}) {
        delete *b;
        *b = nullptr;
    }
}

// ---------------------------------------------------------------------------------------
// Creation

TFrm_KXInput::TFrm_KXInput(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("Frm_KXInput"));
    canvasInstallFontSubstitutes();
    QFont face(QStringLiteral("ＭＳ Ｐゴシック"));
    face.setPixelSize(12);
    setFont(face);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
    setSizeGripEnabled(false);
    resize(1024, 768);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    splitter_ = new QSplitter(Qt::Vertical, this);
    splitter_->setObjectName(QStringLiteral("Splitter1"));
    splitter_->setChildrenCollapsible(false);
    root->addWidget(splitter_, 1);

    // Top panel: layer, drawing modes, figure list, list commands.
    auto* top = new QWidget(splitter_);
    top->setObjectName(QStringLiteral("Panel1"));
    // The splitter may give the panel more, never less: below its height the drawing modes
    // would be drawn over each other.
    top->setMinimumHeight(topPanelHeight);
    auto* topLay = new QHBoxLayout(top);
    topLay->setContentsMargins(2, 2, 2, 2);
    topLay->setSpacing(4);

    auto* modeCol = new QWidget(top);
    auto* modeColLay = new QVBoxLayout(modeCol);
    modeColLay->setContentsMargins(0, 0, 0, 0);
    modeColLay->setSpacing(2);
    CB_LayName = new QComboBox(modeCol);
    CB_LayName->setObjectName(QStringLiteral("CB_LayName"));
    modeColLay->addWidget(CB_LayName);

    GB_Sakuzu = new QGroupBox(QStringLiteral("作図指示"), modeCol);
    GB_Sakuzu->setObjectName(QStringLiteral("GB_Sakuzu"));
    auto* modeGrid = new QGridLayout(GB_Sakuzu);
    modeGrid->setContentsMargins(4, 2, 4, 2);
    modeGrid->setHorizontalSpacing(6);
    modeGrid->setVerticalSpacing(0);
    auto* modeGroup = new QButtonGroup(this);
    struct ModeButton {
        QRadioButton** field;
        const char* name;
        const char* caption;
        int tag;
        int row, col;
    };
    const ModeButton modes[] = {
        {&RB_PolyGon2, "RB_PolyGon2", "多角形", 1, 0, 0},
        {&RB_PolyLine2, "RB_PolyLine2", "折線", 2, 0, 1},
        {&RB_Arrow2, "RB_Arrow2", "指示線", 3, 0, 2},
        {&RB_Text1, "RB_Text1", "文字列(1点指示)", 4, 1, 0},
        {&RB_Text2, "RB_Text2", "文字列(2点指示)", 5, 1, 1},
        {&RB_HVLine, "RB_HVLine", "水平垂直線", 6, 1, 2},
        {&RB_Rect, "RB_Rect", "２点指示矩形", 7, 2, 0},
        {&RB_PolyGon3, "RB_PolyGon3", "多角形(リンク付)", 8, 2, 1},
        {&RadioButton1, "RadioButton1", "円(2点指示)", 9, 2, 2},
        {&RB_Rect3, "RB_Rect3", "３点指示矩形", 10, 3, 0},
        {&RadioButton3, "RadioButton3", "旗揚げ", 11, 3, 1},
    };
    for (const ModeButton& m : modes) {
        auto* rb = new QRadioButton(QString::fromUtf8(m.caption), GB_Sakuzu);
        rb->setObjectName(QString::fromLatin1(m.name));
        rb->setProperty("Tag", m.tag);
        modeGroup->addButton(rb, m.tag);
        modeGrid->addWidget(rb, m.row, m.col);
        connect(rb, &QRadioButton::clicked, this, &TFrm_KXInput::RB_AutoAreaClick);
        *m.field = rb;
    }
    RB_PolyGon2->setChecked(true);
    auto* bandRow = new QHBoxLayout();
    bandRow->setSpacing(4);
    CB_Oresen = makeCheck(GB_Sakuzu, "CB_Oresen", "折れ線", false);
    CB_Oresen->setProperty("Tag", 23);
    ED_Oresen = new QLineEdit(QStringLiteral("5.0"), GB_Sakuzu);
    ED_Oresen->setObjectName(QStringLiteral("ED_Oresen"));
    ED_Oresen->setFixedWidth(40);
    bandRow->addWidget(CB_Oresen);
    bandRow->addWidget(new QLabel(QStringLiteral("幅"), GB_Sakuzu));
    bandRow->addWidget(ED_Oresen);
    bandRow->addWidget(new QLabel(QStringLiteral("mm"), GB_Sakuzu));
    bandRow->addStretch(1);
    modeGrid->addLayout(bandRow, 4, 0, 1, 3);
    connect(CB_Oresen, &QCheckBox::clicked, this, &TFrm_KXInput::CB_OresenClick);
    connect(CB_LayName, &QComboBox::activated, this, [this](int) { CB_LayNameChange(); });
    modeColLay->addWidget(GB_Sakuzu, 1);
    topLay->addWidget(modeCol);

    SG_Kx = new TStringGrid(top);
    SG_Kx->setObjectName(QStringLiteral("SG_Kx"));
    {
        canvasInstallFontSubstitutes();
        QFont gridFace(QStringLiteral("ＭＳ ゴシック"));
        gridFace.setPixelSize(12);
        SG_Kx->setFont(gridFace);
        SG_Kx->horizontalHeader()->setFont(gridFace);
    }
    // The title row is the grid's header, so it stays in place while the rows scroll. The
    // number column is fixed too: the row numbers are the vertical header, which stays at the
    // left edge when the list scrolls sideways; column 0 keeps the numbers' texts, hidden.
    QHeaderView* numbers = SG_Kx->verticalHeader();
    numbers->setVisible(true);
    numbers->setFont(SG_Kx->font());
    numbers->setMinimumSectionSize(gridRowHeight);
    numbers->setDefaultSectionSize(gridRowHeight);
    numbers->setSectionResizeMode(QHeaderView::Fixed);
    numbers->setHighlightSections(false);
    numbers->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    numbers->setMinimumWidth(3 * 8);
    // Above the numbers, the corner shows column 0's title.
    if (auto* corner = SG_Kx->findChild<QAbstractButton*>(QString(), Qt::FindDirectChildrenOnly)) {
        corner->setEnabled(false); // no select-all: the list selects one row
        corner->installEventFilter(this);
        cornerButton_ = corner;
    }
    SG_Kx->horizontalHeader()->setFixedHeight(gridRowHeight + 2);
    SG_Kx->horizontalHeader()->setHighlightSections(false);
    SG_Kx->horizontalHeader()->setSectionsClickable(false);
    SG_Kx->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    SG_Kx->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG_Kx->setSelectionMode(QAbstractItemView::SingleSelection);
    SG_Kx->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG_Kx->setWordWrap(false);
    SG_Kx->setColumnCount(1);
    SG_Kx->setHorizontalHeaderItem(0, new QTableWidgetItem(QStringLiteral("No")));
    SG_Kx->setColumnWidth(0, 24);
    connect(SG_Kx, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int prevRow, int) {
                if (fillingGrid_ || row == prevRow)
                    return;
                updateDelButton();
                SG_KxClick();
            });
    connect(SG_Kx, &QTableWidget::cellClicked, this, [this](int, int) { SG_KxClick(); });
    connect(SG_Kx, &QTableWidget::cellDoubleClicked, this,
            [this](int, int) { SG_Kx2DblClick(); });
    // A press on a number selects its row (the view does that); a double click edits it.
    connect(numbers, &QHeaderView::sectionDoubleClicked, this, [this](int) { SG_Kx2DblClick(); });
    topLay->addWidget(SG_Kx, 1);

    Panel5 = new QFrame(top);
    Panel5->setObjectName(QStringLiteral("Panel5"));
    Panel5->setFrameShape(QFrame::StyledPanel);
    Panel5->setFixedWidth(84);
    auto* p5 = new QVBoxLayout(Panel5);
    p5->setContentsMargins(4, 4, 4, 4);
    Btn_KX2Del = makeButton(Panel5, "Btn_KX2Del", "削除");
    Btn_Sort = makeButton(Panel5, "Btn_Sort", "ソート");
    Btn_DspDetail = makeButton(Panel5, "Btn_DspDetail", "詳細表示");
    Btn_DspDetail->setVisible(false);
    p5->addWidget(Btn_KX2Del);
    p5->addWidget(Btn_Sort);
    p5->addWidget(Btn_DspDetail);
    p5->addStretch(1);
    connect(Btn_KX2Del, &QPushButton::clicked, this, &TFrm_KXInput::Btn_KX2DelClick);
    connect(Btn_Sort, &QPushButton::clicked, this, &TFrm_KXInput::Btn_SortClick);
    connect(Btn_DspDetail, &QPushButton::clicked, this, &TFrm_KXInput::Btn_DspDetailClick);
    topLay->addWidget(Panel5);

    // Bottom: the left panel and the sheet view.
    auto* bottom = new QWidget(splitter_);
    auto* bottomLay = new QHBoxLayout(bottom);
    bottomLay->setContentsMargins(0, 0, 0, 0);
    bottomLay->setSpacing(0);

    // The left column: the magnifier at the top, below it the settings and buttons, which
    // scroll when the window is too short for them (a maximised window on a 768-line screen).
    // While they scroll the column widens by the scroll bar, so nothing in it is cut.
    auto* column = new QWidget(bottom);
    column->setObjectName(QStringLiteral("Panel2"));
    column->setFixedWidth(leftPanelWidth);
    auto* columnLay = new QVBoxLayout(column);
    columnLay->setContentsMargins(2, 2, 2, 0);
    columnLay->setSpacing(2);

    PaintBoxEx2 = new TPaintBoxEx(column);
    PaintBoxEx2->setObjectName(QStringLiteral("PaintBoxEx2"));
    PaintBoxEx2->setFixedSize(loupeWidth, loupeHeight);
    PaintBoxEx2->setAccessibleName(QStringLiteral("拡大表示"));
    connect(PaintBoxEx2, &TPaintBoxEx::OnPaint, this, &TFrm_KXInput::PaintBoxEx2Paint);
    columnLay->addWidget(PaintBoxEx2);

    auto* leftScroll = new QScrollArea(column);
    leftScroll->setObjectName(QStringLiteral("ScrollBox2"));
    leftScroll->setFrameShape(QFrame::NoFrame);
    leftScroll->setWidgetResizable(true);
    leftScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    leftScroll->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    leftScroll->setFocusPolicy(Qt::NoFocus);
    columnLay->addWidget(leftScroll, 1);
    auto* left = new QWidget;
    auto* leftLay = new QVBoxLayout(left);
    leftLay->setContentsMargins(0, 0, 0, 2);
    leftLay->setSpacing(2);

    auto* gbSettings = new QGroupBox(QStringLiteral("各種設定"), left);
    gbSettings->setObjectName(QStringLiteral("GB_Settings"));
    auto* gs = new QVBoxLayout(gbSettings);
    gs->setContentsMargins(4, 0, 2, 2);
    gs->setSpacing(0);
    CB_CheckPoint = makeCheck(gbSettings, "CB_CheckPoint", "端点認識", false);
    CB_Move = makeCheck(gbSettings, "CB_Move", "画面中央へ移動", false);
    gs->addWidget(CB_CheckPoint);
    gs->addWidget(CB_Move);
    leftLay->addWidget(gbSettings);

    auto* gbShow = new QGroupBox(QStringLiteral("表示設定"), left);
    gbShow->setObjectName(QStringLiteral("GB_Show"));
    auto* gd = new QVBoxLayout(gbShow);
    gd->setContentsMargins(4, 0, 2, 2);
    gd->setSpacing(0);
    RG_Scale = new QGroupBox(QStringLiteral("スケール"), gbShow);
    RG_Scale->setObjectName(QStringLiteral("RG_Scale"));
    auto* sg = new QGridLayout(RG_Scale);
    sg->setContentsMargins(4, 0, 2, 0);
    sg->setVerticalSpacing(0);
    scaleGroup_ = new QButtonGroup(this);
    const char* scales[] = {"1/1", "1/2", "1/4", "1/8"};
    for (int i = 0; i < 4; ++i) {
        auto* rb = new QRadioButton(QString::fromLatin1(scales[i]), RG_Scale);
        rb->setObjectName(QStringLiteral("RG_Scale%1").arg(i));
        scaleGroup_->addButton(rb, i);
        sg->addWidget(rb, i / 2, i % 2);
    }
    scaleGroup_->button(3)->setChecked(true);
    connect(scaleGroup_, &QButtonGroup::idClicked, this, [this](int) { RG_ScaleClick(); });
    gd->addWidget(RG_Scale);
    CB_DrawName = makeCheck(gbShow, "CB_DrawName", "名称表示", true);
    gd->addWidget(CB_DrawName);
    RG_Paint = new QGroupBox(QStringLiteral("塗り潰し"), gbShow);
    RG_Paint->setObjectName(QStringLiteral("RG_Paint"));
    // Two columns, as the scale: three in a row do not fit the panel's width.
    auto* pg = new QGridLayout(RG_Paint);
    pg->setContentsMargins(4, 0, 2, 0);
    pg->setVerticalSpacing(0);
    paintGroup_ = new QButtonGroup(this);
    const char* paints[] = {"薄い", "普通", "濃い"};
    for (int i = 0; i < 3; ++i) {
        auto* rb = new QRadioButton(QString::fromUtf8(paints[i]), RG_Paint);
        rb->setObjectName(QStringLiteral("RG_Paint%1").arg(i));
        paintGroup_->addButton(rb, i);
        pg->addWidget(rb, i / 2, i % 2);
    }
    paintGroup_->button(1)->setChecked(true);
    connect(paintGroup_, &QButtonGroup::idClicked, this, [this](int) { OptionClick(); });
    gd->addWidget(RG_Paint);
    CB_Touka = makeCheck(gbShow, "CB_Touka", "透過", true);
    CB_ATSize = makeCheck(gbShow, "CB_ATSize", "矢印/文字サイズ調整", true);
    CB_DrawBack = makeCheck(gbShow, "CB_DrawBack", "背景表示", true);
    CB_EdgeBlack = makeCheck(gbShow, "CB_EdgeBlack", "多角形縁線色（黒）", false);
    CB_EdgeBlack->setVisible(false);
    gd->addWidget(CB_Touka);
    gd->addWidget(CB_ATSize);
    gd->addWidget(CB_DrawBack);
    gd->addWidget(CB_EdgeBlack);
    for (QCheckBox* c : {CB_DrawName, CB_Touka, CB_ATSize, CB_DrawBack, CB_EdgeBlack})
        connect(c, &QCheckBox::clicked, this, &TFrm_KXInput::OptionClick);
    leftLay->addWidget(gbShow);

    auto* gbCoord = new QGroupBox(QStringLiteral("座標"), left);
    gbCoord->setObjectName(QStringLiteral("GB_Coord"));
    auto* gc = new QGridLayout(gbCoord);
    gc->setContentsMargins(4, 0, 4, 4);
    gc->setSpacing(2);
    Btn_DefZumen = makeButton(gbCoord, "Btn_DefZumen", "座標設定");
    Btn_ShowArea = makeButton(gbCoord, "Btn_ShowArea", "面積計測");
    Btn_InputSrv = makeButton(gbCoord, "Btn_InputSrv", "国家座標");
    Btn_ShowLen = makeButton(gbCoord, "Btn_ShowLen", "距離計測");
    gc->addWidget(Btn_DefZumen, 0, 0);
    gc->addWidget(Btn_ShowArea, 0, 1);
    gc->addWidget(Btn_InputSrv, 1, 0);
    gc->addWidget(Btn_ShowLen, 1, 1);
    leftLay->addWidget(gbCoord);

    Btn_DefSakuzu = makeButton(left, "Btn_DefSakuzu", "作図設定");
    Btn_DefSakuzu->setToolTip(QStringLiteral("表示色と線の太さを設定します。"));
    Btn_Print = makeButton(left, "Btn_Print", "印刷");
    Btn_ShowBW = makeButton(left, "Btn_ShowBW", "白黒表示");
    Btn_ShowBW->setVisible(false);
    Btn_Exit = makeButton(left, "Btn_Exit", "終了");
    for (QPushButton* b : {Btn_DefSakuzu, Btn_Print, Btn_ShowBW, Btn_Exit})
        leftLay->addWidget(b);
    leftLay->addStretch(1);
    leftScroll->setWidget(left);
    QScrollBar* leftBar = leftScroll->verticalScrollBar();
    connect(leftBar, &QScrollBar::rangeChanged, column, [column, leftBar](int, int max) {
        const int bar = max > 0 ? leftBar->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, leftBar) : 0;
        column->setFixedWidth(leftPanelWidth + bar);
    });
    connect(Btn_DefZumen, &QPushButton::clicked, this, &TFrm_KXInput::Btn_DefZumenClick);
    connect(Btn_ShowArea, &QPushButton::clicked, this, &TFrm_KXInput::Btn_ShowAreaClick);
    connect(Btn_InputSrv, &QPushButton::clicked, this, &TFrm_KXInput::Btn_InputSrvClick);
    connect(Btn_ShowLen, &QPushButton::clicked, this, &TFrm_KXInput::Btn_ShowLenClick);
    connect(Btn_DefSakuzu, &QPushButton::clicked, this, &TFrm_KXInput::Btn_DefSakuzuClick);
    connect(Btn_Print, &QPushButton::clicked, this, &TFrm_KXInput::Btn_PrintClick);
    connect(Btn_ShowBW, &QPushButton::clicked, this, &TFrm_KXInput::Btn_ShowBWClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_KXInput::Btn_ExitClick);
    bottomLay->addWidget(column);

    ScrollBox1 = new QScrollArea(bottom);
    ScrollBox1->setObjectName(QStringLiteral("ScrollBox1"));
    ScrollBox1->setWidgetResizable(false);
    ScrollBox1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    ScrollBox1->setBackgroundRole(QPalette::Dark);
    PaintBoxEx1 = new TPaintBoxEx();
    PaintBoxEx1->setObjectName(QStringLiteral("PaintBoxEx1"));
    PaintBoxEx1->setAccessibleName(QStringLiteral("図面表示"));
    PaintBoxEx1->setAttribute(Qt::WA_OpaquePaintEvent);
    PaintBoxEx1->resize(1, 1);
    ScrollBox1->setWidget(PaintBoxEx1);
    connect(PaintBoxEx1, &TPaintBoxEx::OnPaint, this, &TFrm_KXInput::PaintBoxEx1Paint);
    // Presses (eventFilter, which sees every button held) and moves go to the input; a release
    // does nothing.
    connect(PaintBoxEx1, &TPaintBoxEx::OnMouseMove, this,
            [this](Qt::KeyboardModifiers mods, int x, int y) { input_->mouseMove(mods, x, y); });
    bottomLay->addWidget(ScrollBox1, 1);

    splitter_->addWidget(top);
    splitter_->addWidget(bottom);
    splitter_->setStretchFactor(0, 0);
    splitter_->setStretchFactor(1, 1);
    splitter_->setSizes({topPanelHeight, 600});

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    root->addWidget(StatusBar1);

    // Popup menus of the sheet view.
    input_ = std::make_unique<TKXInput>(*this);
    PM_PicRB = new QMenu(this);
    PM_PicRB->setObjectName(QStringLiteral("PM_PicRB"));
    QAction* a = PM_PicRB->addAction(QStringLiteral("１点戻す"));
    a->setObjectName(QStringLiteral("PM_PicRB_Delete"));
    connect(a, &QAction::triggered, this, [this] { input_->PM_PicRB_DeleteClick(); });
    a = PM_PicRB->addAction(QStringLiteral("確定"));
    a->setObjectName(QStringLiteral("PM_PicRB_FIX"));
    connect(a, &QAction::triggered, this, [this] { input_->PM_PicRB_FIXClick(); });
    a = PM_PicRB->addAction(QStringLiteral("取消"));
    a->setObjectName(QStringLiteral("PM_PicRB_Cancel"));
    connect(a, &QAction::triggered, this, [this] { input_->PM_PicRB_CancelClick(); });

    PM_PEditRB = new QMenu(this);
    PM_PEditRB->setObjectName(QStringLiteral("PM_PEditRB"));
    for (int i = 0; i < 10; ++i) {
        a = PM_PEditRB->addAction(QStringLiteral("ITEM-%1").arg(i + 1));
        a->setObjectName(QStringLiteral("ITEM%1").arg(i + 1));
        a->setProperty("Tag", i);
        connect(a, &QAction::triggered, this, [this, i] { input_->ITEM11Click(i); });
    }
    a = PM_PEditRB->addAction(QStringLiteral("取消"));
    a->setObjectName(QStringLiteral("ITEM11"));
    a->setProperty("Tag", -1);
    connect(a, &QAction::triggered, this, [this] { input_->ITEM11Click(-1); });

    PM_PEditRB2 = new QMenu(this);
    PM_PEditRB2->setObjectName(QStringLiteral("PM_PEditRB2"));
    const struct {
        const char* name;
        const char* caption;
        int tag;
    } edits[] = {{"MenuItem2", "終了", -1},
                 {"MenuItem3", "選択", 0},
                 {"MenuItem4", "頂点移動", 1},
                 {"MenuItem5", "文字位置移動", 2}};
    for (const auto& e : edits) {
        a = PM_PEditRB2->addAction(QString::fromUtf8(e.caption));
        a->setObjectName(QString::fromLatin1(e.name));
        a->setProperty("Tag", e.tag);
        const int tag = e.tag;
        connect(a, &QAction::triggered, this, [this, tag] { input_->MenuItem2Click(tag); });
    }

    // The form sees every key first and passes it on.
    qApp->installEventFilter(this);

    // FormCreate proper.
    wb.viewDivisor = dividerOfItem(scaleIndex());
    inputSetupGridColumns();
    wb.inputRec.pts.assign(WB_INPUT_POINTS, TPoint());
}

TFrm_KXInput::~TFrm_KXInput()
{
    qApp->removeEventFilter(this);
}

int TFrm_KXInput::dividerOfItem(int item) const
{
    switch (item) {
    case 0: return 1;
    case 1: return 2;
    case 2: return 4;
    default: return 8;
    }
}

int TFrm_KXInput::scaleIndex() const { return scaleGroup_->checkedId(); }

void TFrm_KXInput::setScaleIndex(int index)
{
    if (QAbstractButton* b = scaleGroup_->button(index))
        b->setChecked(true);
}

int TFrm_KXInput::paintIndex() const { return paintGroup_->checkedId(); }

// ---------------------------------------------------------------------------------------
// Opening

void TFrm_KXInput::openOn(KXDraw* drawing)
{
    drawing_ = drawing;
    wb.drawing = drawing;

    // A layer the drawing does not have is never the current one.
    const int layers = drawing ? drawing->layerCount : 1;
    if (wb.curLayer < 0 || wb.curLayer >= layers)
        wb.curLayer = 0;
    // A fresh start of input, as the mode buttons show it.
    inputSetDrawMode(1);
    wb.inputRec.nPts = 0;
    wb.measureState = 0;
    wb.pickIndex = -1;
    wb.editMode = -1;
    wb.xorMarkShown = 0;
    wb.selRec = TPRec();

    CB_LayName->clear();
    for (int i = 0; i < layers; ++i) {
        TLay* lay = layTblGet(i);
        CB_LayName->addItem(lay ? qs(lay->name) : QString());
    }
    Btn_DspDetail->setVisible(wb.curLayer != 0);

    resizeSheet();

    setWindowTitle(qs(cfgGetAppKindName()) + QStringLiteral("着色登録"));

    inputSetupGridColumns();
    inputFillGrid();
    // The first figure row (or "新規"): the commit needs a current row.
    setGridRow(1);
    CB_LayName->setCurrentIndex(wb.curLayer);

    const bool trace = polyGetSegCount() != 0;
    CB_CheckPoint->setChecked(trace);
    CB_CheckPoint->setEnabled(trace);

    if (drawing && drawing->rasterBmp && !drawing->rasterBmp->isOneBit()) {
        Btn_ShowBW->setVisible(true);
        Btn_ShowBW->setText(QStringLiteral("白黒表示"));
    }
}

void TFrm_KXInput::resizeSheet()
{
    const int d = wb.viewDivisor > 0 ? wb.viewDivisor : 1;
    int w = 0, h = 0;
    if (drawing_ && drawing_->rasterBmp) {
        w = drawing_->rasterBmp->width() / d;
        h = drawing_->rasterBmp->height() / d;
    }
    PaintBoxEx1->resize(w, h);
    const int dpi = (drawing_ && drawing_->imgDef) ? drawing_->imgDef->dpi : 0;
    kept_.setView(drawing_, QSize(w, h), dpi * dotsPerMmPerDpi / d);
    kept_.invalidateAll();
}

// ---------------------------------------------------------------------------------------
// The figure list

QString TFrm_KXInput::cellText(int col, int row) const
{
    if (col < 0 || col >= SG_Kx->columnCount())
        return QString();
    if (row == 0) {
        const QTableWidgetItem* h = SG_Kx->horizontalHeaderItem(col);
        return h ? h->text() : QString();
    }
    const QTableWidgetItem* it = SG_Kx->item(row - 1, col);
    return it ? it->text() : QString();
}

int TFrm_KXInput::gridRow() const { return SG_Kx->currentRow() + 1; }

int TFrm_KXInput::gridRowCount() const { return SG_Kx->rowCount() + 1; }

void TFrm_KXInput::setGridRow(int row)
{
    const int last = SG_Kx->rowCount(); // the "新規" row as the Part counts rows
    if (row < 1)
        row = 1;
    if (row > last)
        row = last;
    const bool was = fillingGrid_;
    fillingGrid_ = true;
    SG_Kx->setCurrentCell(row - 1, SG_Kx->columnCount() > 1 ? 1 : 0);
    fillingGrid_ = was;
    updateDelButton();
}

void TFrm_KXInput::inputSetupGridColumns()
{
    auto title = [this](int col, const QString& text, int width) {
        auto* it = SG_Kx->horizontalHeaderItem(col);
        if (it == nullptr) {
            it = new QTableWidgetItem();
            SG_Kx->setHorizontalHeaderItem(col, it);
        }
        it->setText(text);
        SG_Kx->setColumnWidth(col, width);
    };
    // Column 0 holds the numbers' texts; the fixed number column shows them.
    SG_Kx->setColumnHidden(0, true);
    if (wb.curLayer == 0) {
        SG_Kx->setColumnCount(wb.areaColumn ? 5 : 4);
        title(0, QStringLiteral("No"), 3 * 8);
        title(1, QStringLiteral("名前"), 20 * 8);
        title(2, QStringLiteral("種別"), 14 * 8);
        title(3, QStringLiteral("レイヤ"), 24 * 8);
        if (wb.areaColumn)
            title(4, QStringLiteral("面積"), 9 * 8);
        return;
    }
    const int t = wb.curLayer - 1;
    const int cols = qrvGetColumnCount(t);
    int shown = 0;
    for (int c = 0; c < cols; ++c)
        if (qrvGetColumnType(t, c) > 10)
            ++shown;
    SG_Kx->setColumnCount((shown > 0 ? shown : 1) + 1);
    int i = 1;
    for (int c = 0; c < cols; ++c) {
        if (qrvGetColumnType(t, c) <= 10)
            continue;
        title(i, qs(qrvGetColumnName(t, c)), 6 * qrvGetColumnWidth(t, c));
        ++i;
    }
    if (shown == 0)
        title(1, QString(), 64);
}

void TFrm_KXInput::inputFillGrid()
{
    PData* store = wbStore(drawing_, wb.curLayer);
    const int n = store ? store->PD_GetCount() : 0;
    const int cols = SG_Kx->columnCount();
    const int keep = SG_Kx->currentRow();

    fillingGrid_ = true;
    SG_Kx->setUpdatesEnabled(false);
    SG_Kx->setRowCount(n + 1); // the title row is the header
    auto put = [this](int row, int col, const std::string& text) {
        auto* it = SG_Kx->item(row - 1, col);
        if (it == nullptr) {
            it = new QTableWidgetItem();
            it->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            SG_Kx->setItem(row - 1, col, it);
        }
        it->setText(qs(text));
    };
    for (int r = 1; r <= n + 1; ++r)
        for (int c = 0; c < cols; ++c)
            put(r, c, "");

    const int t = wb.curLayer - 1;
    for (int f = 0; f < n; ++f) {
        const TPRec* rec = store->PD_GetPolyPtr(f);
        const int row = f + 1;
        put(row, 0, std::to_string(row));
        if (rec == nullptr)
            continue;
        if (wb.curLayer == 0) {
            put(row, 1, rec->name);
            put(row, 2, kindText(rec->kind));
            put(row, 3, layerRowName(rec->layerIndex));
            if (wb.areaColumn && cols > 4) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%.3lf", rec->linkNo * 0.001);
                put(row, 4, buf);
            }
        } else {
            put(row, 1, rec->name);
            const int r = qrvFindRecordNamed(t, rec->name);
            const TQRV_Data* data = r >= 0 ? qrvGetRecord(t, r) : nullptr;
            if (data == nullptr)
                continue;
            int col = 2;
            for (int c = 1; c < qrvGetColumnCount(t) && col < cols; ++c) {
                if (qrvGetColumnType(t, c) <= 10)
                    continue;
                put(row, col++, c < static_cast<int>(data->field.size()) ? data->field[c] : "");
            }
        }
    }
    put(n + 1, 0, std::to_string(n + 1));
    if (cols > 1)
        put(n + 1, 1, "新規");

    // The current row stays where it was, held inside the new count.
    int row = keep < 0 ? 0 : keep;
    if (row > n)
        row = n;
    SG_Kx->setCurrentCell(row, cols > 1 ? 1 : 0);
    SG_Kx->setUpdatesEnabled(true);
    fillingGrid_ = false;
    updateDelButton();
}

int TFrm_KXInput::currentFigure(const PData* store) const
{
    const int row = gridRow();
    return store != nullptr && row >= 1 && row <= store->PD_GetCount() ? row - 1 : -1;
}

void TFrm_KXInput::updateDelButton()
{
    Btn_KX2Del->setEnabled(currentFigure(wbStore(drawing_, wb.curLayer)) >= 0);
}

void TFrm_KXInput::retakeSelRec()
{
    if (wb.selRec.nPts == 0)
        return;
    PData* store = wbStore(drawing_, wb.curLayer);
    const int f = currentFigure(store);
    wb.selRec = f >= 0 ? store->PD_GetPoly(f) : TPRec();
}

void TFrm_KXInput::inputResetState()
{
    wb.inputRec.nPts = 0;
    wb.pickIndex = -1;
    wb.editMode = -1;
    if (wb.curLayer != 0)
        return;
    PData* store = wbStore(drawing_, 0);
    const int f = currentFigure(store);
    const TPRec* rec = f >= 0 ? store->PD_GetPolyPtr(f) : nullptr;
    if (rec == nullptr)
        return;
    wb.inputRec.linkType = rec->linkType;
    wb.inputRec.linkNo = rec->linkNo;
    wb.inputRec.layerIndex = rec->layerIndex;
    wb.inputRec.flags = rec->flags;
}

void TFrm_KXInput::SG_KxClick()
{
    updateDelButton();
    PData* store = wbStore(drawing_, wb.curLayer);
    const int f = currentFigure(store);
    if (f >= 0) {
        wb.selRec = store->PD_GetPoly(f);
        if (CB_Move->isChecked())
            inputScrollToCentre(wb.selRec.labelX, wb.selRec.labelY);
        inputResetState();
    } else {
        wb.selRec.nPts = 0;
    }
    repaintSheet();
}

void TFrm_KXInput::SG_Kx2DblClick()
{
    PData* store = wbStore(drawing_, wb.curLayer);
    if (store == nullptr)
        return;
    const int f = currentFigure(store);
    const bool figureRow = f >= 0;
    int mode = 2;
    TPRec before;
    if (figureRow) {
        before = store->PD_GetPoly(f);
        wb.editRec = before;
        mode = 1;
    }
    int result = 1;
    if (wb.curLayer == 0) {
        if (wbDialogs().showKXInputRec2)
            result = wbDialogs().showKXInputRec2(mode, &wb.editRec);
    } else if (wbDialogs().showQRVInputRec) {
        result = wbDialogs().showQRVInputRec(wb.curLayer - 1, mode, &wb.editRec);
    }
    if (result != 1) {
        if (figureRow) {
            store->PD_SetHdr(f, wb.editRec);
            const TPRec* after = store->PD_GetPolyPtr(f);
            kept_.invalidateFigure(wb.curLayer, before);
            if (after != nullptr)
                kept_.invalidateFigure(wb.curLayer, *after);
        }
        inputFillGrid();
        wb.inputRec.sizeMode = wb.editRec.sizeMode;
        wb.inputRec.linkType = wb.editRec.linkType;
        wb.inputRec.linkNo = wb.editRec.linkNo;
        wb.inputRec.layerIndex = wb.editRec.layerIndex;
        wb.inputRec.flags = wb.editRec.flags;
        retakeSelRec();
    }
    repaintSheet();
}

void TFrm_KXInput::Btn_KX2DelClick()
{
    PData* store = wbStore(drawing_, wb.curLayer);
    const int f = currentFigure(store);
    if (f < 0)
        return;
    const TPRec gone = store->PD_GetPoly(f);
    store->PD_DelPoly(f);
    kept_.invalidateFigure(wb.curLayer, gone);
    inputFillGrid();
    retakeSelRec();
    repaintSheet();
}

void TFrm_KXInput::Btn_SortClick()
{
    PData* store = wbStore(drawing_, wb.curLayer);
    if (store == nullptr)
        return;
    const int n = store->PD_GetCount();
    // A name beyond 32 bits would wrap to another figure's number: it sorts after all of them.
    auto key = [store](int i) -> long long {
        const TPRec* r = store->PD_GetPolyPtr(i);
        int32_t v = 0;
        return !r ? 0 : strToLongFits(r->name, v) ? v : LLONG_MAX;
    };
    for (int i = 0; i + 1 < n; ++i) {
        long long k = key(i);
        for (int j = i; j < n; ++j) {
            if (key(j) < k) {
                store->PD_SwapPoly(i, j);
                k = key(i);
            }
        }
    }
    inputFillGrid();
    retakeSelRec();
    // The order of drawing changed with the order of the store.
    redrawAll();
}

void TFrm_KXInput::Btn_DspDetailClick()
{
    PData* store = wbStore(drawing_, wb.curLayer);
    const int f = currentFigure(store);
    const TPRec* rec = f >= 0 ? store->PD_GetPolyPtr(f) : nullptr;
    if (rec != nullptr && wbDialogs().showQRVDetail)
        wbDialogs().showQRVDetail("詳細表示", wb.curLayer - 1, rec->name);
}

void TFrm_KXInput::CB_LayNameChange()
{
    wb.curLayer = CB_LayName->currentIndex() < 0 ? 0 : CB_LayName->currentIndex();
    Btn_DspDetail->setVisible(wb.curLayer != 0);
    inputSetupGridColumns();
    inputFillGrid();
    for (QRadioButton* rb : {RB_PolyGon2, RB_PolyLine2, RB_Arrow2, RB_Text2})
        if (rb->isChecked())
            inputSetDrawMode(rb->property("Tag").toInt());
    wb.selRec = TPRec(); // a copy from the other layer's store shows nothing here
    inputResetState();
    repaintSheet();
}

void TFrm_KXInput::Panel5DblClick()
{
    wb.areaColumn = wb.areaColumn ? 0 : 1;
    inputSetupGridColumns();
    inputFillGrid();
}

// ---------------------------------------------------------------------------------------
// Drawing modes

void TFrm_KXInput::RB_AutoAreaClick()
{
    const QObject* s = sender();
    if (s == nullptr)
        return;
    modeClick(s->property("Tag").toInt());
}

void TFrm_KXInput::modeClick(int tag)
{
    if (tag == 1) {
        CB_OresenClick();
        return;
    }
    inputSetDrawMode(tag);
    inputResetState();
    repaintSheet();
}

void TFrm_KXInput::CB_OresenClick()
{
    if (CB_Oresen->isChecked()) {
        inputSetDrawMode(23);
    } else {
        RB_PolyGon2->setChecked(true);
        inputSetDrawMode(1);
    }
    inputResetState();
    repaintSheet();
}

// ---------------------------------------------------------------------------------------
// Buttons

void TFrm_KXInput::Btn_DefSakuzuClick()
{
    if (wbDialogs().showDefSakuzu)
        wbDialogs().showDefSakuzu(CB_LayName->currentIndex());
    // Colours, line codes, sizes and layer names may have changed.
    inputFillGrid();
    redrawAll();
}

void TFrm_KXInput::Btn_DefZumenClick()
{
    if (drawing_ == nullptr || !drawing_->imgDef || !wbDialogs().showDefImg)
        return;
    if (wbDialogs().showDefImg("位置設定", "", drawing_->imgDef.get()) != 2)
        return;
    if (const std::string clash = imgDefClash(*drawing_->imgDef); !clash.empty())
        showMessage(clash + "\n保存できません");
    else if (imgDefWrite(*drawing_->imgDef) == 0)
        showMessage("ERR OPEN " + pathChangeExt(drawing_->imgDef->imagePath, "Def"));
    // The resolution sets the dots per millimetre of the view.
    resizeSheet();
    redrawAll();
}

void TFrm_KXInput::Btn_InputSrvClick()
{
    if (wbDialogs().showInputPos && wbDialogs().showInputPos() != 0)
        repaintSheet();
}

void TFrm_KXInput::Btn_ShowLenClick() { wb.measureState = 2; }

void TFrm_KXInput::Btn_ShowAreaClick()
{
    wb.measureState = 12;
    inputSetDrawMode(1);
}

void TFrm_KXInput::Btn_PrintClick()
{
    if (drawing_ == nullptr)
        return;
    const int dpi = drawing_->imgDef ? drawing_->imgDef->dpi : 0;
    const int scale = drawing_->imgDef ? drawing_->imgDef->scale : 0;
    if (wbDialogs().printSetSource)
        wbDialogs().printSetSource(drawing_, dpi, scale);
    if (wbDialogs().showPrint)
        wbDialogs().showPrint(12, cfgGetInt(kxPaperSize));
}

void TFrm_KXInput::Btn_ShowBWClick()
{
    if (drawing_ == nullptr)
        return;
    KXDraw& d = *drawing_;
    if (Btn_ShowBW->text() == QStringLiteral("白黒表示")) {
        // The raster and the magnifier go to one bit with one common black-and-white colour
        // table. The reductions are made afresh from the one-bit raster as a one-bit sheet's
        // are: thresholding the averaged colour reductions would break thin lines into dashes.
        for (Bitmap* b : {d.rasterBmp, d.loupeBmp})
            if (b != nullptr)
                b->setPixelFormat(pf1bit);
        if (d.rasterBmp != nullptr) {
            const int w = d.rasterBmp->width();
            const int h = d.rasterBmp->height();
            if (d.halfBmp != nullptr)
                reduceGuarded("1/2縮小", *d.rasterBmp, w / 2, h / 2, *d.halfBmp);
            if (d.quarterBmp != nullptr)
                reduceGuarded("1/4縮小", *d.rasterBmp, w / 4, h / 4, *d.quarterBmp);
        }
        Btn_ShowBW->setText(QStringLiteral("カラー表示"));
    } else {
        if (d.rasterBmp != nullptr) {
            if (d.imgDef)
                imgLoadToBitmap(d.imgDef->imagePath, *d.rasterBmp);
            const int w = d.rasterBmp->width();
            const int h = d.rasterBmp->height();
            if (d.halfBmp != nullptr)
                reduceGuarded("1/2縮小", *d.rasterBmp, w / 2, h / 2, *d.halfBmp);
            if (d.quarterBmp != nullptr)
                reduceGuarded("1/4縮小", *d.rasterBmp, w / 4, h / 4, *d.quarterBmp);
            if (d.loupeBmp != nullptr)
                d.loupeBmp->setPixelFormat(d.rasterBmp->pixelFormat());
        }
        Btn_ShowBW->setText(QStringLiteral("白黒表示"));
    }
    redrawAll();
    repaintLoupe();
}

bool TFrm_KXInput::saveAll()
{
    if (drawing_ == nullptr)
        return true;
    const int count = std::clamp(drawing_->layerCount, 0, static_cast<int>(KX_MAX_LAYERS));
    const std::string raster = drawing_->imgDef ? drawing_->imgDef->imagePath : std::string();
    const std::vector<TCompanion> files =
        layerDrawingCompanions(raster, {drawing_->zkiPath.begin(), drawing_->zkiPath.begin() + count});
    const std::vector<TCompanionClash> clashes = layerCompanionClashes(raster, files);
    bool ok = true;
    for (std::size_t k = 0; k < files.size(); ++k) {
        const TCompanion& file = files[k];
        // A file that is the raster itself or an earlier layer's is never written; the form
        // stays open.
        auto clash = std::find_if(clashes.begin(), clashes.end(), [k](const TCompanionClash& c) { return c.index == k; });
        if (clash != clashes.end()) {
            showMessage(clash->message + "\n保存できません");
            ok = false;
            continue;
        }
        // Each writer reports its own failure ("ERR OPEN " + path).
        if (file.kind == TCompanionKind::Figures) {
            if (PData* store = drawing_->pdata[static_cast<std::size_t>(file.layer)])
                if (store->PD_SaveFile(file.path) == 0)
                    ok = false;
        } else if (file.kind == TCompanionKind::LayerDef) {
            const TLay* lay = layTblGet(file.layer);
            // 0 is also the count of an empty list, which is written fine.
            if (lay->layer->layerSave(file.path) == 0 && lay->layer->layerGetCount() > 0)
                ok = false;
        } else if (drawing_->imgDef && imgDefWrite(*drawing_->imgDef) == 0) {
            // The Def writer is silent: the workbench names the file itself.
            showMessage("ERR OPEN " + file.path);
            ok = false;
        }
    }
    return ok;
}

bool TFrm_KXInput::askAndClose()
{
    switch (ui::confirmYesNoCancel("入力した図形を保存しますか？")) {
    case ui::Answer::Yes:
        // A file that could not be written keeps the form open, so no figure is lost.
        if (!saveAll())
            return false;
        done(3);
        return true;
    case ui::Answer::No:
        done(2);
        return true;
    case ui::Answer::Cancel:
        break;
    }
    return false;
}

void TFrm_KXInput::Btn_ExitClick() { askAndClose(); }

void TFrm_KXInput::closeEvent(QCloseEvent* event)
{
    // The close box asks the same question as "終了": one click must not lose the work.
    if (!isVisible()) {
        event->accept();
        return;
    }
    if (askAndClose())
        event->accept();
    else
        event->ignore();
}

void TFrm_KXInput::reject() {}

// ---------------------------------------------------------------------------------------
// The sheet view

QRect TFrm_KXInput::visibleRect() const
{
    const QPoint p = scrollPosition();
    return QRect(p, scrollBoxSize()).intersected(PaintBoxEx1->rect());
}

QPoint TFrm_KXInput::scrollPosition() const
{
    return QPoint(ScrollBox1->horizontalScrollBar()->value(),
                  ScrollBox1->verticalScrollBar()->value());
}

QSize TFrm_KXInput::scrollBoxSize() const { return ScrollBox1->viewport()->size(); }

void TFrm_KXInput::scrollTo(int x, int y)
{
    ScrollBox1->horizontalScrollBar()->setValue(x);
    ScrollBox1->verticalScrollBar()->setValue(y);
}

void TFrm_KXInput::inputScrollToCentre(int x, int y)
{
    const int d = wb.viewDivisor > 0 ? wb.viewDivisor : 1;
    const QSize box = scrollBoxSize();
    scrollTo(x / d - box.width() / 2, y / d - box.height() / 2);
}

void TFrm_KXInput::RG_ScaleClick()
{
    const int d = wb.viewDivisor > 0 ? wb.viewDivisor : 1;
    const QPoint hv = scrollPosition();
    const QSize box = scrollBoxSize();
    const int cx = hv.x() * d + (box.width() * d) / 2;
    const int cy = hv.y() * d + (box.height() * d) / 2;
    wb.viewDivisor = dividerOfItem(scaleIndex());
    resizeSheet();
    inputScrollToCentre(cx, cy);
    redrawAll();
}

void TFrm_KXInput::OptionClick()
{
    redrawAll();
}

void TFrm_KXInput::redrawAll()
{
    kept_.invalidateAll();
    PaintBoxEx1->update();
}

void TFrm_KXInput::repaintSheet() { PaintBoxEx1->update(visibleRect()); }

void TFrm_KXInput::repaintView(const QRect& viewRect) { PaintBoxEx1->update(viewRect); }

// The kept picture is kept current by figureChanged and the option handlers; this repaints
// what shows, the overlay included.
void TFrm_KXInput::repaintAll() { PaintBoxEx1->update(visibleRect()); }

void TFrm_KXInput::repaintLoupe() { PaintBoxEx2->update(); }

void TFrm_KXInput::figureChanged(int layer, const TPRec* before, const TPRec* after)
{
    if (before != nullptr)
        kept_.invalidateFigure(layer, *before);
    if (after != nullptr)
        kept_.invalidateFigure(layer, *after);
    if (layer == wb.curLayer)
        retakeSelRec();
    updateDelButton();
    repaintSheet();
}

void TFrm_KXInput::PaintBoxEx1Paint(Canvas& canvas)
{
    if (drawing_ != nullptr) {
        drawing_->SetDrawParams(CB_DrawBack->isChecked() ? 1 : 0, 3, 0, paintIndex(),
                                CB_Touka->isChecked() ? 1 : 0, CB_DrawName->isChecked() ? 1 : 0,
                                CB_EdgeBlack->isChecked() ? 1 : 0, CB_ATSize->isChecked() ? 1 : 0,
                                1.0, wb.viewDivisor, wb.viewDivisor, 1.0);
    }
    const QRect visible = visibleRect();
    QRect dirty = canvas.clipRect();
    if (dirty.isEmpty())
        dirty = PaintBoxEx1->rect();
    kept_.paint(canvas.painter(), dirty, visible);
    // A repaint of everything in sight wipes the inverted cursor mark, as a fresh picture
    // would; the overlay draws what the input state still shows.
    if (dirty.contains(visible))
        wb.xorMarkShown = 0;
    input_->inputPaintOverlay(canvas);
}

void TFrm_KXInput::PaintBoxEx2Paint(Canvas& canvas)
{
    const int W = PaintBoxEx2->width();
    const int H = PaintBoxEx2->height();
    QPainter& p = canvas.painter();
    if (drawing_ == nullptr || drawing_->loupeBmp == nullptr || drawing_->rasterBmp == nullptr) {
        p.fillRect(0, 0, W, H, Qt::white);
        return;
    }
    Bitmap& loupe = *drawing_->loupeBmp;
    const Bitmap& raster = *drawing_->rasterBmp;
    const int lw = W / 2;
    const int lh = H / 2;
    // Only the part of the raster that reaches the loupe is copied, not the whole sheet.
    const QPoint at(lw / 2 - wb.loupeCentre.x, lh / 2 - wb.loupeCentre.y);
    const QRect part = QRect(-at, QSize(lw, lh)).intersected(QRect(0, 0, raster.width(), raster.height()));
    QImage shown(lw, lh, QImage::Format_RGB32);
    shown.fill(Qt::white);
    if (!part.isEmpty()) {
        const QImage piece = raster.image().copy(part);
        QPainter lp(&shown);
        lp.drawImage(part.topLeft() + at, piece);
    }
    loupe = Bitmap(shown, loupe.pixelFormat());
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(QRect(0, 0, W, H), loupe.image());
    p.setPen(QColor(255, 0, 0));
    p.drawLine(0, H / 2, W, H / 2);
    p.drawLine(W / 2, 0, W / 2, H);
    const int px = 2 * (wb.curPoint.x - wb.loupeCentre.x) + W / 2;
    const int py = 2 * (wb.curPoint.y - wb.loupeCentre.y) + H / 2;
    p.setPen(QColor(0, 0, 255));
    p.setBrush(Qt::NoBrush);
    p.drawRect(px - 6, py - 6, 12, 12);
    p.drawLine(px - 6, py, px + 6, py);
    p.drawLine(px, py - 6, px, py + 6);
    p.restore();
}

// ---------------------------------------------------------------------------------------
// Keys

int TFrm_KXInput::keyCommandOf(const QKeyEvent& e)
{
    const int key = e.key();
    const bool keypad = e.modifiers() & Qt::KeypadModifier;
    if (keypad) {
        // The keypad's virtual-key codes are the lower-case letters' codes, which the
        // upper-casing turns into letters.
        switch (key) {
        case Qt::Key_2: return 'B';
        case Qt::Key_3: return 'C';
        case Qt::Key_4: return 'D';
        case Qt::Key_5: return 'E';
        case Qt::Key_Minus: return 'M';
        case Qt::Key_Period:
        case Qt::Key_Comma: return 'N'; // the decimal key, whatever the locale prints on it
        default: return 0;
        }
    }
    if (key == Qt::Key_F4)
        return 'S';
    if (key == Qt::Key_F9)
        return 'X';
    if (key >= Qt::Key_1 && key <= Qt::Key_4)
        return '1' + (key - Qt::Key_1);
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return 'A' + (key - Qt::Key_A);
    return 0;
}

void TFrm_KXInput::FormKeyDown(int key)
{
    auto toggle = [](QCheckBox* c) {
        if (c->isEnabled())
            c->click(); // with the effects of a click
    };
    auto scrollBy = [this](int dx, int dy) {
        // The inverted cursor mark goes before the view moves.
        if (wb.xorMarkShown) {
            wb.xorMarkShown = 0;
            repaintSheet();
        }
        const QPoint p = scrollPosition();
        scrollTo(p.x() + dx, p.y() + dy);
    };
    switch (key) {
    case '1':
    case '2':
    case '3':
    case '4':
        setScaleIndex(key - '1');
        RG_ScaleClick();
        break;
    case 'B': toggle(CB_DrawBack); break;
    case 'C': toggle(CB_CheckPoint); break;
    case 'N': toggle(CB_DrawName); break;
    case 'M': inputScrollToCentre(wb.selRec.labelX, wb.selRec.labelY); break;
    case 'D': scrollBy(32, 0); break;
    case 'S': scrollBy(-32, 0); break;
    case 'E': scrollBy(0, -32); break;
    case 'X': scrollBy(0, 32); break;
    default: break;
    }
}

bool TFrm_KXInput::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == cornerButton_ && event->type() == QEvent::Paint) {
        // The corner is the title cell of the number column.
        QPainter p(cornerButton_);
        QStyleOptionHeader opt;
        opt.initFrom(cornerButton_);
        opt.state |= QStyle::State_Enabled;
        opt.rect = cornerButton_->rect();
        opt.position = QStyleOptionHeader::OnlyOneSection;
        opt.text = cellText(0, 0);
        opt.textAlignment = Qt::AlignLeft | Qt::AlignVCenter;
        opt.palette = SG_Kx->horizontalHeader()->palette();
        p.setFont(SG_Kx->horizontalHeader()->font());
        cornerButton_->style()->drawControl(QStyle::CE_Header, &opt, &p, cornerButton_);
        return true;
    }
    if (event->type() == QEvent::MouseButtonDblClick && watched == Panel5) {
        Panel5DblClick();
        return false;
    }
    // A press on the sheet is a right click whenever the right button is among those held, so
    // a left press while the right one is down is one too. A double click is a second press.
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonDblClick) &&
        watched == PaintBoxEx1 && input_) {
        auto* me = static_cast<QMouseEvent*>(event);
        const QPoint p = me->position().toPoint();
        input_->mouseDown((me->buttons() & Qt::RightButton) != 0, me->modifiers(), p.x(), p.y());
        return true;
    }
    // Every press ends with a release (auto-repeat included): a press seen again before one
    // is the same key travelling up to the parents of the control that left it.
    if (event->type() == QEvent::KeyRelease) {
        lastKey_ = nullptr;
        lastKeyTarget_ = nullptr;
        return false;
    }
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(watched);
    if (w->window() != this || !isVisible())
        return false;
    auto* ke = static_cast<QKeyEvent*>(event);
    if (event == lastKey_ && lastKeyTarget_ && lastKeyTarget_ != w &&
        w->isAncestorOf(lastKeyTarget_))
        return false;
    lastKey_ = event;
    lastKeyTarget_ = w;
    // What is typed into a text field is that field's text only.
    if (isTextField(w))
        return false;
    if (const int cmd = keyCommandOf(*ke))
        FormKeyDown(cmd);
    return false; // every key goes on to the control that has the focus
}

// ---------------------------------------------------------------------------------------
// Feedback the input asks for

bool TFrm_KXInput::checkPointTicked() const { return CB_CheckPoint->isChecked(); }
bool TFrm_KXInput::moveTicked() const { return CB_Move->isChecked(); }
std::string TFrm_KXInput::oresenText() const { return ED_Oresen->text().toStdString(); }
void TFrm_KXInput::setStatus(const std::string& text) { StatusBar1->showMessage(qs(text)); }
void TFrm_KXInput::setHint(const std::string& text) { PaintBoxEx1->setToolTip(qs(text)); }

void TFrm_KXInput::popupPicRB(QPoint viewPt)
{
    PM_PicRB->popup(PaintBoxEx1->mapToGlobal(viewPt));
}

void TFrm_KXInput::popupCandidates(QPoint viewPt, const std::vector<std::string>& texts)
{
    // More hits than the ten items: one item per hit, up to the pick table's 20, added before
    // "取消" (the last item) as they are first needed.
    const int hits = std::min(static_cast<int>(texts.size()), PD_MAX_HITS);
    QList<QAction*> items = PM_PEditRB->actions();
    for (int i = static_cast<int>(items.size()) - 1; i < hits; ++i) {
        auto* a = new QAction(QStringLiteral("ITEM-%1").arg(i + 1), PM_PEditRB);
        a->setObjectName(QStringLiteral("ITEM-%1").arg(i + 1));
        a->setProperty("Tag", i);
        connect(a, &QAction::triggered, this, [this, i] { input_->ITEM11Click(i); });
        PM_PEditRB->insertAction(items.back(), a);
    }
    items = PM_PEditRB->actions();
    for (int i = 0; i + 1 < static_cast<int>(items.size()); ++i) {
        const bool shown = i < hits;
        items[i]->setVisible(shown);
        if (shown)
            items[i]->setText(qs(texts[static_cast<std::size_t>(i)]));
    }
    PM_PEditRB->popup(PaintBoxEx1->mapToGlobal(viewPt));
}

void TFrm_KXInput::popupEditActions(QPoint viewPt, bool vertexMove, bool textMove)
{
    const QList<QAction*> items = PM_PEditRB2->actions();
    if (items.size() >= 4) {
        items[2]->setVisible(vertexMove);
        items[3]->setVisible(textMove);
    }
    PM_PEditRB2->popup(PaintBoxEx1->mapToGlobal(viewPt));
}
