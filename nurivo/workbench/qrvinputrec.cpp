#include "workbench/qrvinputrec.h"

#include "model/laytbl.h"
#include "model/qrv.h"
#include "platform/strscan.h"
#include "workbench/qrvdetail.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const TLayer* attributeList(int t)
{
    const TLay* lay = layTblGet(t + 1);
    return lay ? lay->layer.get() : nullptr;
}

// Columns past the table's own read empty.
const std::string& column(const TQRV_Data& rec, size_t c)
{
    static const std::string empty;
    return c < rec.field.size() ? rec.field[c] : empty;
}

} // namespace

TFrm_QRVInputRec::TFrm_QRVInputRec(int t, int mode, TPRec* rec)
    : TRecDialog(1), t_(t), work_(*rec), rec_(rec), mode_(mode)
{
    setObjectName(QStringLiteral("Frm_QRVInputRec"));
    setWindowTitle(QStringLiteral("整理番号選択"));
    recFormSetFont(this, QStringLiteral("ＭＳ Ｐゴシック"), 12);

    ED_No = new QLineEdit(this);
    ED_No->setObjectName(QStringLiteral("ED_No"));
    ED_No->setEnabled(false); // chosen from the list only
    ED_No->setAttribute(Qt::WA_InputMethodEnabled, false);
    CB_Layer = recKindList(this, 240);
    CB_Layer->setObjectName(QStringLiteral("CB_Layer"));
    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setMinimumSize(420, 240);
    // The lines are columns of fixed width, so a fixed-pitch face keeps them aligned.
    QFont listFont(QStringLiteral("ＭＳ ゴシック"));
    listFont.setPixelSize(12);
    ListBox1->setFont(listFont);
    Btn_DspDetail = new QPushButton(QStringLiteral("詳細表示"), this);
    Btn_DspDetail->setObjectName(QStringLiteral("Btn_DspDetail"));
    CBOX_FILL = new QCheckBox(QStringLiteral("塗りつぶし"), this);
    CBOX_FILL->setObjectName(QStringLiteral("CBOX_FILL"));
    marks.build(this);
    BTN_Update = new QPushButton(mode == 1 ? QStringLiteral("更新") : QStringLiteral("追加"), this);
    BTN_Update->setObjectName(QStringLiteral("BTN_Update"));
    BTN_Cancel = new QPushButton(QStringLiteral("取消"), this);
    BTN_Cancel->setObjectName(QStringLiteral("BTN_Cancel"));
    for (QPushButton* b : {Btn_DspDetail, BTN_Update, BTN_Cancel})
        b->setAutoDefault(false);

    auto* fields = new QFormLayout;
    auto* numberRow = new QHBoxLayout;
    numberRow->addWidget(ED_No);
    numberRow->addWidget(Btn_DspDetail);
    fields->addRow(QStringLiteral("整理番号"), numberRow);
    fields->addRow(QStringLiteral("種別"), CB_Layer);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BTN_Update);
    buttons->addWidget(BTN_Cancel);
    auto* form = new QVBoxLayout(this);
    form->addLayout(fields);
    form->addWidget(ListBox1, 1);
    form->addWidget(CBOX_FILL);
    form->addWidget(marks.GB_SEDef);
    form->addLayout(buttons);

    // Item j + 1 stands for row j of the layer's attribute list.
    CB_Layer->addItem(QStringLiteral("000 全レイヤ"));
    CB_Layer->addItems(recLayerItems(attributeList(t)));

    const int kind = work_.kind;
    ED_No->setText(QString::fromStdString(work_.name));
    const long long item = work_.layerIndex < 0 ? 0 : static_cast<long long>(work_.layerIndex) + 1;
    CB_Layer->setCurrentIndex(item < CB_Layer->count() ? static_cast<int>(item) : -1);
    CB_LayerChange();
    recShowFlagBoxes(kind, work_.flags, CBOX_FILL, marks);

    connect(CB_Layer, &QComboBox::activated, this, &TFrm_QRVInputRec::CB_LayerChange);
    // A line chosen by the mouse or the keyboard; reaching the list chooses none.
    connect(ListBox1, &QListWidget::itemSelectionChanged, this, &TFrm_QRVInputRec::ListBox1Click);
    connect(ListBox1, &QListWidget::itemClicked, this, &TFrm_QRVInputRec::ListBox1Click);
    connect(Btn_DspDetail, &QPushButton::clicked, this, &TFrm_QRVInputRec::Btn_DspDetailClick);
    connect(BTN_Update, &QPushButton::clicked, this, &TFrm_QRVInputRec::BTN_UpdateClick);
    connect(BTN_Cancel, &QPushButton::clicked, this, &TFrm_QRVInputRec::BTN_CancelClick);
}

void TFrm_QRVInputRec::CB_LayerChange()
{
    // "000 全レイヤ", and no selection at all, give 0: every record.
    const int code = strToLong(CB_Layer->currentText().toStdString());
    QStringList lines;
    const int n = qrvGetRecordCount(t_);
    for (int r = 0; r < n; ++r) {
        const TQRV_Data* rec = qrvGetRecord(t_, r);
        if (!rec || (code != 0 && rec->kind != code))
            continue;
        lines << QString::fromStdString(strPrintf("%4d ", rec->id) + column(*rec, 2) + " " + column(*rec, 3) +
                                        " " + column(*rec, 8) + " " + column(*rec, 9));
    }
    ListBox1->clear();
    ListBox1->addItems(lines);
}

void TFrm_QRVInputRec::ListBox1Click()
{
    const QList<QListWidgetItem*> chosen = ListBox1->selectedItems();
    if (!chosen.isEmpty())
        ED_No->setText(QString::number(strToLong(chosen.first()->text().toStdString())));
}

void TFrm_QRVInputRec::Btn_DspDetailClick()
{
    showQRVDetail("詳細表示", t_, ED_No->text().toStdString());
}

int TFrm_QRVInputRec::layerRowForNumber(const std::string& number) const
{
    const TLayer* list = attributeList(t_);
    const int r = qrvFindRecordNamed(t_, number);
    if (r < 0) {
        // No record with the number: the row of the selected kind, row 0 for "000 全レイヤ".
        return CB_Layer->currentIndex() >= 1 ? CB_Layer->currentIndex() - 1 : 0;
    }
    const int kind = qrvGetRecord(t_, r)->kind;
    if (list)
        for (int j = 0; j < list->layerGetCount(); ++j)
            if (list->layerGet(j).code == kind)
                return j;
    // No row for the kind: row 0, the row the renderer takes for a row it does not have.
    return 0;
}

void TFrm_QRVInputRec::BTN_UpdateClick()
{
    const int kind = work_.kind;
    work_.name = ED_No->text().toStdString();
    work_.layerIndex = layerRowForNumber(work_.name);
    work_.flags = recFlagsFromBoxes(kind, CBOX_FILL, marks);
    confirmHeader(rec_, work_, mode_);
}

void TFrm_QRVInputRec::BTN_CancelClick()
{
    done(1);
}

int showQRVInputRec(int t, int mode, TPRec* rec)
{
    if (!rec)
        return 1;
    TFrm_QRVInputRec form(t, mode, rec);
    return form.exec();
}
