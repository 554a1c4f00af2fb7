#include "workbench/kxinputrec2.h"

#include "model/kxtbl.h"
#include "model/laytbl.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/typedbox.h"
#include "platform/ui.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <tuple>


namespace {

// A stored size outside 1.0 … 50.0 mm shows the text-size setting instead.
QString sizeText(long long tenths)
{
    if (tenths < 10 || tenths > 500)
        tenths = cfgGetInt(kxTextSize);
    return QString::fromStdString(strPrintf("%.1lf", static_cast<double>(tenths) * 0.1));
}

QLineEdit* lineEdit(QWidget* parent, const char* name)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(QString::fromLatin1(name));
    return edit;
}

} // namespace

int recSizeFromText(const std::string& text, bool negate)
{
    // Stored before the truncation, so 2.3 gives 23 and not 22.
    volatile double product = strToReal(text) * 10;
    return satToInt(negate ? -product : product);
}

TFrm_KXInputRec2::TFrm_KXInputRec2(int mode, TPRec* rec)
    : TRecDialog(1), work_(*rec), rec_(rec), mode_(mode)
{
    setObjectName(QStringLiteral("Frm_KXInputRec2"));
    setWindowTitle(QStringLiteral("データ入力"));
    recFormSetFont(this, QStringLiteral("ＭＳ Ｐゴシック"), 12);

    ED_Name = lineEdit(this, "ED_Name");
    CB_Layer = recKindList(this, 240);
    CB_Layer->setObjectName(QStringLiteral("CB_Layer"));
    CBOX_FILL = new QCheckBox(QStringLiteral("塗りつぶし"), this);
    CBOX_FILL->setObjectName(QStringLiteral("CBOX_FILL"));
    L_SIZE = new QLabel(QStringLiteral("文字サイズ"), this);
    L_SIZE->setObjectName(QStringLiteral("L_SIZE"));
    ED_SIZE = lineEdit(this, "ED_SIZE");
    L_SIZE2 = new QLabel(QStringLiteral("矢印サイズ"), this);
    L_SIZE2->setObjectName(QStringLiteral("L_SIZE2"));
    ED_SIZE2 = lineEdit(this, "ED_SIZE2");

    RG_DIMPOS = new QGroupBox(QStringLiteral("文字位置"), this);
    RG_DIMPOS->setObjectName(QStringLiteral("RG_DIMPOS"));
    dimPos = new QButtonGroup(RG_DIMPOS);
    auto* dimLayout = new QHBoxLayout(RG_DIMPOS);
    const char* dimItems[] = {"上", "中"};
    for (int i = 0; i < 2; ++i) {
        auto* button = new QRadioButton(QString::fromUtf8(dimItems[i]), RG_DIMPOS);
        button->setObjectName(QStringLiteral("RG_DIMPOS_%1").arg(i));
        dimPos->addButton(button, i);
        dimLayout->addWidget(button);
    }

    GB_AzaFig = new QGroupBox(QStringLiteral("図面呼び出し設定"), this);
    GB_AzaFig->setObjectName(QStringLiteral("GB_AzaFig"));
    ED_SNo = lineEdit(GB_AzaFig, "ED_SNo");
    ED_SNo2 = lineEdit(GB_AzaFig, "ED_SNo2");
    auto* aza = new QFormLayout(GB_AzaFig);
    aza->addRow(QStringLiteral("図面タイプ"), ED_SNo);
    aza->addRow(QStringLiteral("図面番号"), ED_SNo2);

    marks.build(this);

    BTN_Update = new QPushButton(mode == 1 ? QStringLiteral("更新") : QStringLiteral("追加"), this);
    BTN_Update->setObjectName(QStringLiteral("BTN_Update"));
    BTN_Cancel = new QPushButton(QStringLiteral("取消"), this);
    BTN_Cancel->setObjectName(QStringLiteral("BTN_Cancel"));
    for (QPushButton* b : {BTN_Update, BTN_Cancel})
        b->setAutoDefault(false);
    connect(BTN_Update, &QPushButton::clicked, this, &TFrm_KXInputRec2::BTN_UpdateClick);
    connect(BTN_Cancel, &QPushButton::clicked, this, &TFrm_KXInputRec2::BTN_CancelClick);

    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("名称"), ED_Name);
    fields->addRow(QStringLiteral("作図種別"), CB_Layer);
    fields->addRow(L_SIZE, ED_SIZE);
    fields->addRow(L_SIZE2, ED_SIZE2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BTN_Update);
    buttons->addWidget(BTN_Cancel);
    auto* form = new QVBoxLayout(this);
    form->addLayout(fields);
    form->addWidget(CBOX_FILL);
    form->addWidget(RG_DIMPOS);
    form->addWidget(GB_AzaFig);
    form->addWidget(marks.GB_SEDef);
    form->addLayout(buttons);
    form->setSizeConstraint(QLayout::SetFixedSize);

    // Item j stands for row j of the figure layer's attribute list.
    const TLay* lay = layTblGet(0);
    CB_Layer->addItems(recLayerItems(lay ? lay->layer.get() : nullptr));

    const int kind = work_.kind;
    ED_Name->setText(QString::fromStdString(work_.name));
    CB_Layer->setCurrentIndex(work_.layerIndex >= 0 && work_.layerIndex < CB_Layer->count()
                                  ? work_.layerIndex
                                  : -1);
    if (kind == PK_TEXT || kind == PK_CALLOUT)
        ED_SIZE->setText(sizeText(work_.startPt.x));
    if (kind == PK_CALLOUT) {
        long long a = work_.startPt.y;
        dimPos->button(a < 0 ? 1 : 0)->setChecked(true);
        ED_SIZE2->setText(sizeText(a < 0 ? -a : a));
    }
    if (kind == PK_LINK_POLYGON) {
        ED_SNo->setText(QString::number(work_.linkType));
        ED_SNo2->setText(QString::number(work_.linkNo));
    }
    recShowFlagBoxes(kind, work_.flags, CBOX_FILL, marks);

    L_SIZE->setVisible(kind == PK_TEXT || kind == PK_CALLOUT);
    ED_SIZE->setVisible(kind == PK_TEXT || kind == PK_CALLOUT);
    L_SIZE2->setVisible(kind == PK_CALLOUT);
    ED_SIZE2->setVisible(kind == PK_CALLOUT);
    RG_DIMPOS->setVisible(kind == PK_CALLOUT);
    GB_AzaFig->setVisible(kind == PK_LINK_POLYGON);
}

void TFrm_KXInputRec2::BTN_UpdateClick()
{
    const int kind = work_.kind;
    if (kind == PK_LINK_POLYGON) {
        // A drawing number beyond 32 bits would wrap into another drawing's number: refused,
        // and the dialog stays open with nothing written back.
        for (auto [edit, field, what] : {std::tuple{ED_SNo, &work_.linkType, "図面タイプ"},
                                         std::tuple{ED_SNo2, &work_.linkNo, "図面番号"}}) {
            if (!typedNumberFits(edit, edit->text(), what, *field))
                return;
        }
    }
    work_.name = ED_Name->text().toStdString();
    work_.layerIndex = CB_Layer->currentIndex();
    if (kind == PK_TEXT || kind == PK_CALLOUT)
        work_.startPt.x = recSizeFromText(ED_SIZE->text().toStdString());
    if (kind == PK_CALLOUT)
        work_.startPt.y = recSizeFromText(ED_SIZE2->text().toStdString(), dimPos->checkedId() == 1);
    work_.flags = recFlagsFromBoxes(kind, CBOX_FILL, marks);
    confirmHeader(rec_, work_, mode_);
}

void TFrm_KXInputRec2::BTN_CancelClick()
{
    done(1);
}

int showKXInputRec2(int mode, TPRec* rec)
{
    if (!rec)
        return 1;
    TFrm_KXInputRec2 form(mode, rec);
    return form.exec();
}
