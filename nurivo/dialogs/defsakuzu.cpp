#include "dialogs/defsakuzu.h"
#include "dialogs/placed.h"

#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/typedbox.h"
#include "platform/ui.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>
#include <QStyledItemDelegate>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableWidget>

TFrm_DefSakuzu* Frm_DefSakuzu = nullptr;

namespace {

const char* const kStyleItems[] = {"実線", "破線", "点線", "一点鎖線", "二点鎖線"};

QComboBox* numberList(QWidget* owner, const char* name, int first, int last, bool editable)
{
    auto* cb = new QComboBox(owner);
    cb->setObjectName(QString::fromLatin1(name));
    for (int i = first; i <= last; ++i)
        cb->addItem(QString::number(i));
    cb->setEditable(editable);
    return cb;
}

// The colour column shows the row's colour over the whole cell, selected or not, as the
// grid's own cell drawing fills it.
class ColourCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        painter->fillRect(option.rect, index.data(Qt::BackgroundRole).value<QBrush>());
    }
};

// The typed row's numbers before it is stored: a code beyond 32 bits would wrap into another,
// and the width shares lineCode with the style (style × 100 + width), so a width below 0 or
// of 100 and more would read back as another style.
bool typedRowFits(QLineEdit* code, QComboBox* width)
{
    int32_t v = 0;
    return typedNumberFits(code, code->text(), "コード", v)
        && typedNumberFits(width, width->currentText(), "線幅", v, 0, 99);
}

} // namespace

TColorField::TColorField(QWidget* owner) : QLabel(owner)
{
    setAutoFillBackground(true);
    setFrameShape(QFrame::Box);
    setCursor(Qt::PointingHandCursor);
    setAccessibleName(QStringLiteral("色"));
    setColor(0);
}

void TColorField::setColor(int color)
{
    color_ = color & 0xFFFFFF;
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(color_ & 0xFF, (color_ >> 8) & 0xFF, (color_ >> 16) & 0xFF));
    setPalette(p);
    update();
}

void TColorField::mousePressEvent(QMouseEvent* event)
{
    QLabel::mousePressEvent(event);
    emit clicked();
}

TFrm_DefSakuzu::TFrm_DefSakuzu(QWidget* owner) : QDialog(owner)
{
    setObjectName(QStringLiteral("Frm_DefSakuzu"));
    setWindowTitle(QStringLiteral("作図設定"));
    setFixedSize(434, 394);

    K = named(new QTabWidget(this), "K", 0, 0, 434, 322);
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName(QStringLiteral("TabSheet3"));
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName(QStringLiteral("TabSheet4"));
    K->addTab(TabSheet3, QStringLiteral("レイヤ設定"));
    K->addTab(TabSheet4, QStringLiteral("作図条件"));

    // Page "レイヤ設定": the list on the left, the row's fields on the right.
    QWidget* p = TabSheet3;
    CB_LayName = named(new QComboBox(p), "CB_LayName", 8, 8, 245, 24);
    StringGrid1 = named(new QTableWidget(p), "StringGrid1", 8, 38, 245, 246);
    StringGrid1->setColumnCount(5);
    const int widths[] = {32, 103, 23, 23, 40};
    QStringList heads = {QStringLiteral("コード"), QStringLiteral("名称"), QStringLiteral("色"),
                         QStringLiteral("幅"), QStringLiteral("線種")};
    StringGrid1->setHorizontalHeaderLabels(heads);
    for (int c = 0; c < 5; ++c)
        StringGrid1->setColumnWidth(c, widths[c]);
    StringGrid1->horizontalHeader()->setMinimumSectionSize(16);
    StringGrid1->horizontalHeader()->setFixedHeight(18);
    StringGrid1->verticalHeader()->setVisible(false);
    StringGrid1->verticalHeader()->setMinimumSectionSize(18);
    StringGrid1->verticalHeader()->setDefaultSectionSize(18);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setWordWrap(false);
    StringGrid1->setTextElideMode(Qt::ElideNone); // cut at the cell's edge like the grid's texts
    StringGrid1->setItemDelegateForColumn(2, new ColourCellDelegate(StringGrid1));

    const int fx = 262, lw = 56, ex = fx + lw;
    label(p, "コード", fx, 40, lw);
    ED_Code = named(new QLineEdit(p), "ED_Code", ex, 38, 90, 22);
    label(p, "名称", fx, 68, lw);
    ED_Name = named(new QLineEdit(p), "ED_Name", ex, 66, 90, 22);
    label(p, "色", fx, 96, lw);
    ST_Col = named(new TColorField(p), "ST_Col", ex, 94, 40, 22);
    label(p, "線幅", fx, 124, lw);
    CB_Width = numberList(p, "CB_Width", 1, 5, true);
    CB_Width->setGeometry(ex, 122, 60, 22);
    label(p, "線種", fx, 152, lw);
    CB_Style = named(new QComboBox(p), "CB_Style", ex, 150, 90, 22);
    for (const char* item : kStyleItems)
        CB_Style->addItem(QString::fromUtf8(item));
    L_Mode = label(p, "凡例表示", fx, 180, lw);
    CB_Mode = named(new QComboBox(p), "CB_Mode", ex, 178, 90, 22);
    CB_Mode->addItem(QStringLiteral("表示する"));
    CB_Mode->addItem(QStringLiteral("表示しない"));
    L_Mode->hide();
    CB_Mode->hide();
    Btn_LayModify = named(new QPushButton(QStringLiteral("更新"), p), "Btn_LayModify", ex, 200, 90, 25);
    Btn_LayDel = named(new QPushButton(QStringLiteral("削除"), p), "Btn_LayDel", ex, 230, 90, 25);
    Btn_LayAdd = named(new QPushButton(QStringLiteral("追加"), p), "Btn_LayAdd", ex, 260, 90, 25);

    // Page "作図条件".
    p = TabSheet4;
    auto* g1 = named(new QGroupBox(QStringLiteral("表示設定"), p), "GroupBox1", 8, 6, 200, 56);
    label(g1, "文字・番号", 10, 24, 80);
    ED_TxtSize = named(new QLineEdit(g1), "ED_TxtSize", 92, 22, 60, 22);
    label(g1, "mm", 158, 24, 30);
    auto* g2 = named(new QGroupBox(QStringLiteral("フォント設定"), p), "GroupBox2", 216, 6, 200, 56);
    RB_DSP_G = named(new QRadioButton(QStringLiteral("ゴシック"), g2), "RB_DSP_G", 10, 24, 90, 22);
    RB_DSP_M = named(new QRadioButton(QStringLiteral("明朝"), g2), "RB_DSP_M", 104, 24, 90, 22);
    auto* g3 = named(new QGroupBox(QStringLiteral("指示線起終点設定"), p), "GroupBox3", 8, 70, 200, 84);
    label(g3, "起点円", 10, 24, 80);
    ED_SArrSize = named(new QLineEdit(g3), "ED_SArrSize", 92, 22, 60, 22);
    label(g3, "mm", 158, 24, 30);
    label(g3, "終点矢印", 10, 52, 80);
    ED_EArrSize = named(new QLineEdit(g3), "ED_EArrSize", 92, 50, 60, 22);
    label(g3, "mm", 158, 52, 30);
    auto* g4 = named(new QGroupBox(QStringLiteral("トレース認識設定"), p), "GroupBox4", 216, 70, 200, 84);
    label(g4, "座標認識", 10, 24, 80);
    CB_VtxVal = numberList(g4, "CB_VtxVal", 1, 10, false);
    CB_VtxVal->setGeometry(92, 22, 60, 22);
    L_AreaVal = label(g4, "区画認識", 10, 52, 80);
    CB_AreaVal = numberList(g4, "CB_AreaVal", 1, 7, false);
    CB_AreaVal->setGeometry(92, 50, 60, 22);
    L_AreaVal->hide();
    CB_AreaVal->hide();
    Btn_Modify4 = named(new QPushButton(QStringLiteral("更新"), p), "Btn_Modify4", 326, 164, 90, 25);

    Panel1 = named(new QWidget(this), "Panel1", 0, 322, 434, 50);
    Btn_Exit = named(new QPushButton(QStringLiteral("終了"), Panel1), "Btn_Exit", 336, 12, 90, 27);
    StatusBar1 = named(new QStatusBar(this), "StatusBar1", 0, 372, 434, 22);
    StatusBar1->setSizeGripEnabled(false);

    // Enter in a field changes nothing: no button is the default one, and a typed width stays
    // text instead of joining the list.
    for (QPushButton* b : findChildren<QPushButton*>())
        b->setAutoDefault(false);
    setTypedTextStands(CB_Width);

    connect(CB_LayName, &QComboBox::activated, this, &TFrm_DefSakuzu::CB_LayNameChange);
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, &TFrm_DefSakuzu::StringGrid1Click);
    connect(ST_Col, &TColorField::clicked, this, &TFrm_DefSakuzu::ST_ColClick);
    connect(Btn_LayModify, &QPushButton::clicked, this, &TFrm_DefSakuzu::Btn_LayModifyClick);
    connect(Btn_LayAdd, &QPushButton::clicked, this, &TFrm_DefSakuzu::Btn_LayAddClick);
    connect(Btn_LayDel, &QPushButton::clicked, this, &TFrm_DefSakuzu::Btn_LayDelClick);
    connect(Btn_Modify4, &QPushButton::clicked, this, &TFrm_DefSakuzu::Btn_Modify4Click);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_DefSakuzu::Btn_ExitClick);
}

TLayer* TFrm_DefSakuzu::curLayer() const
{
    TLay* lay = layTblGet(CB_LayName->currentIndex());
    return lay ? lay->layer.get() : nullptr;
}

void TFrm_DefSakuzu::fillGridRow(int gridRow)
{
    const TLayer* layer = curLayer();
    const TLayerRec& rec = layer->rows[static_cast<size_t>(gridRow - 1)];
    auto put = [&](int col, const QString& text) {
        auto* item = new QTableWidgetItem(text);
        StringGrid1->setItem(gridRow - 1, col, item);
        return item;
    };
    put(0, QString::fromStdString(strPrintf("%4d", rec.code)));
    put(1, QString::fromStdString(rec.name));
    QTableWidgetItem* colour = put(2, QString());
    colour->setBackground(QColor(rec.color & 0xFF, (rec.color >> 8) & 0xFF, (rec.color >> 16) & 0xFF));
    put(3, QString::number(rec.lineCode % 100));
    int style = rec.lineCode / 100;
    put(4, style >= 0 && style < 5 ? QString::fromUtf8(kStyleItems[style]) : QString());
}

void TFrm_DefSakuzu::sakuzuRefreshLayerGrid()
{
    const TLayer* layer = curLayer();
    int count = layer ? layer->count : 0;
    const QSignalBlocker block(StringGrid1);
    StringGrid1->clearContents();
    StringGrid1->setRowCount(count);
    for (int r = 1; r <= count; ++r)
        fillGridRow(r);
    if (layer && layer->current >= 0 && layer->current < count)
        StringGrid1->setCurrentCell(layer->current, 0);
    StringGrid1->viewport()->update();
}

void TFrm_DefSakuzu::sakuzuShowCurLayerRec()
{
    const TLayer* layer = curLayer();
    if (!layer)
        return;
    TLayerRec rec = layer->layerGet(layer->current);
    ED_Code->setText(QString::number(rec.code));
    ED_Name->setText(QString::fromStdString(rec.name));
    ST_Col->setColor(rec.color);
    CB_Width->setEditText(QString::number(rec.lineCode % 100));
    int style = rec.lineCode / 100;
    CB_Style->setCurrentIndex(style >= 0 && style < CB_Style->count() ? style : -1);
    CB_Mode->setCurrentIndex(rec.legendMode >= 0 && rec.legendMode < CB_Mode->count() ? rec.legendMode : -1);
}

TLayerRec TFrm_DefSakuzu::recFromControls(const TLayerRec& base) const
{
    TLayerRec rec = base;
    rec.code = strToLong(ED_Code->text().toStdString());
    rec.name = ED_Name->text().toStdString();
    rec.color = ST_Col->color();
    rec.lineCode = strToSatInt(CB_Width->currentText().toStdString()) + CB_Style->currentIndex() * 100;
    rec.legendMode = CB_Mode->currentIndex();
    return rec;
}

int TFrm_DefSakuzu::sakuzuModifyCurLayerRec()
{
    TLayer* layer = curLayer();
    if (!layer)
        return 0;
    // An empty list has no row to overwrite: the row is added, so it is counted and saved.
    if (layer->count <= 0)
        return sakuzuAddLayerRec();
    TLayerRec rec = recFromControls(layer->layerGet(layer->current));
    if (layer->layerHasId(0, layer->current, rec))
        return 0;
    layer->layerSet(layer->current, rec);
    return 1;
}

int TFrm_DefSakuzu::sakuzuAddLayerRec()
{
    TLayer* layer = curLayer();
    if (!layer)
        return 0;
    TLayerRec base;
    TLayerRec rec = recFromControls(base);
    rec.spareValue = 1;
    if (layer->layerHasId(1, 0, rec))
        return 0;
    layer->layerAdd(rec);
    return 1;
}

int TFrm_DefSakuzu::sakuzuDeleteCurLayerRec()
{
    TLayer* layer = curLayer();
    if (!layer || layer->count <= 1)
        return 0;
    layer->layerRemove(layer->current);
    // The last row gone, the selection moves to the row that is now last.
    if (layer->current >= layer->count)
        layer->current = layer->count - 1;
    return 1;
}

void TFrm_DefSakuzu::sakuzuLoadDrawSettings()
{
    ED_TxtSize->setText(QString::fromStdString(strPrintf("%.1lf", cfgGetInt(kxTextSize) * 0.1)));
    ED_SArrSize->setText(QString::fromStdString(strPrintf("%.1lf", cfgGetInt(kxSArrowSize) * 0.1)));
    ED_EArrSize->setText(QString::fromStdString(strPrintf("%.1lf", cfgGetInt(kxEArrowSize) * 0.1)));
    if (cfgGetInt(kxFontType) != 0)
        RB_DSP_M->setChecked(true);
    else
        RB_DSP_G->setChecked(true);
    // A value outside the list shows no item.
    auto select = [](QComboBox* cb, int index) {
        cb->setCurrentIndex(index >= 0 && index < cb->count() ? index : -1);
    };
    select(CB_AreaVal, cfgGetInt(kxAreaVal) - 1);
    select(CB_VtxVal, cfgGetInt(kxVtxVal) - 1);
}

void TFrm_DefSakuzu::sakuzuSaveDrawSettings()
{
    auto tenths = [](QLineEdit* ed) { return satToInt(strToReal(ed->text().toStdString()) * 10.0); };
    cfgSetInt(kxTextSize, tenths(ED_TxtSize));
    cfgSetInt(kxSArrowSize, tenths(ED_SArrSize));
    cfgSetInt(kxEArrowSize, tenths(ED_EArrSize));
    cfgSetInt(kxFontType, RB_DSP_M->isChecked() ? 1 : 0);
    // No item shown (a stored value outside the list): the setting stays as it is.
    if (CB_AreaVal->currentIndex() >= 0)
        cfgSetInt(kxAreaVal, CB_AreaVal->currentIndex() + 1);
    if (CB_VtxVal->currentIndex() >= 0)
        cfgSetInt(kxVtxVal, CB_VtxVal->currentIndex() + 1);
}

void TFrm_DefSakuzu::FormActivate()
{
    {
        const QSignalBlocker block(StringGrid1);
        if (StringGrid1->rowCount() > 0)
            StringGrid1->setCurrentCell(0, 0);
    }
    StringGrid1Click();
}

void TFrm_DefSakuzu::CB_LayNameChange()
{
    sakuzuRefreshLayerGrid();
    sakuzuShowCurLayerRec();
}

void TFrm_DefSakuzu::StringGrid1Click()
{
    TLayer* layer = curLayer();
    if (!layer)
        return;
    int row = StringGrid1->currentRow();
    layer->current = row < 0 ? 0 : row;
    sakuzuShowCurLayerRec();
}

void TFrm_DefSakuzu::ST_ColClick()
{
    int color = ST_Col->color();
    if (ui::colorQuery(color))
        ST_Col->setColor(color);
}

void TFrm_DefSakuzu::Btn_LayModifyClick()
{
    if (curLayer() && !typedRowFits(ED_Code, CB_Width))
        return;
    if (!sakuzuModifyCurLayerRec()) {
        if (curLayer())
            ui::showMessage("同じコードが既に登録済みです。");
        return;
    }
    sakuzuRefreshLayerGrid();
    sakuzuShowCurLayerRec();
}

void TFrm_DefSakuzu::Btn_LayAddClick()
{
    if (curLayer() && !typedRowFits(ED_Code, CB_Width))
        return;
    if (!sakuzuAddLayerRec()) {
        if (curLayer())
            ui::showMessage("同じコードが既に登録済みです。");
        return;
    }
    sakuzuRefreshLayerGrid();
    sakuzuShowCurLayerRec();
}

void TFrm_DefSakuzu::Btn_LayDelClick()
{
    if (!sakuzuDeleteCurLayerRec()) {
        ui::showMessage("最後のデータは、削除できません。");
        return;
    }
    sakuzuRefreshLayerGrid();
    sakuzuShowCurLayerRec();
}

void TFrm_DefSakuzu::Btn_Modify4Click()
{
    sakuzuSaveDrawSettings();
}

void TFrm_DefSakuzu::Btn_ExitClick()
{
    done(2);
}

void TFrm_DefSakuzu::reject()
{
    // Reached from the window frame (Escape is kept away in keyPressEvent).
    done(2);
}

void TFrm_DefSakuzu::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormActivate();
}

void TFrm_DefSakuzu::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

int showDefSakuzu(int index)
{
    if (!Frm_DefSakuzu)
        defSakuzuCreate();
    TFrm_DefSakuzu* f = Frm_DefSakuzu;
    {
        const QSignalBlocker block(f->CB_LayName);
        f->CB_LayName->clear();
        for (int i = 0; i < layTblGetCount(); ++i)
            f->CB_LayName->addItem(QString::fromStdString(layTblGet(i)->name));
        f->CB_LayName->setCurrentIndex(index >= 0 && index < f->CB_LayName->count() ? index : -1);
    }
    f->sakuzuRefreshLayerGrid();
    f->sakuzuShowCurLayerRec();
    f->sakuzuLoadDrawSettings();
    if (QScreen* screen = f->screen())
        f->move(screen->availableGeometry().center() - f->rect().center());
    return f->exec();
}

void defSakuzuCreate()
{
    if (!Frm_DefSakuzu)
        Frm_DefSakuzu = new TFrm_DefSakuzu;
}

void defSakuzuDestroy()
{
    delete Frm_DefSakuzu;
    Frm_DefSakuzu = nullptr;
}
