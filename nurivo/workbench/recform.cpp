#include "workbench/recform.h"

#include "model/layer.h"
#include "platform/strscan.h"

#include <QCheckBox>
#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QFont>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QStringList>
#include <QTableWidget>

void recFormSetFont(QWidget* form, const QString& face, int pixelSize)
{
    static const bool substituted = [] {
        if (QFont::substitutes(QStringLiteral("ＭＳ ゴシック")).isEmpty())
            QFont::insertSubstitution(QStringLiteral("ＭＳ ゴシック"), QStringLiteral("IPAGothic"));
        if (QFont::substitutes(QStringLiteral("ＭＳ Ｐゴシック")).isEmpty())
            QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
        return true;
    }();
    (void)substituted;
    QFont font(face);
    font.setPixelSize(pixelSize);
    form->setFont(font);
}

QStringList recLayerItems(const TLayer* list)
{
    QStringList items;
    if (!list)
        return items;
    for (int j = 0; j < list->layerGetCount(); ++j) {
        const TLayerRec r = list->layerGet(j);
        items << QString::fromStdString(strPrintf("%d %s", r.code, r.name.c_str()));
    }
    return items;
}

namespace {

// The opened list keeps the box's width: Qt widens it to the longest name, up to the screen.
class TKindList : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override
    {
        QComboBox::showPopup();
        QWidget* popup = view()->window();
        if (popup != window() && popup->width() > width())
            popup->setGeometry(mapToGlobal(QPoint(0, 0)).x(), popup->y(), width(), popup->height());
    }
};

} // namespace

QComboBox* recKindList(QWidget* owner, int width)
{
    auto* list = new TKindList(owner);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setFixedWidth(width);
    list->view()->setTextElideMode(Qt::ElideRight);
    return list;
}

void recGridFixHeaderRow(QTableWidget* grid, int height)
{
    QHeaderView* header = grid->horizontalHeader();
    header->setSectionsClickable(false);
    header->setHighlightSections(false);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setFixedHeight(height);
    header->show();
    grid->setRowHidden(0, true);
    auto mirror = [grid] {
        for (int c = 0; c < grid->columnCount(); ++c) {
            const QTableWidgetItem* item = grid->item(0, c);
            QTableWidgetItem* shown = grid->horizontalHeaderItem(c);
            if (!shown) {
                shown = new QTableWidgetItem;
                grid->setHorizontalHeaderItem(c, shown);
            }
            shown->setText(item ? item->text() : QString());
        }
    };
    QObject::connect(grid->model(), &QAbstractItemModel::dataChanged, grid,
                     [mirror](const QModelIndex& topLeft) {
                         if (topLeft.row() == 0)
                             mirror();
                     });
    mirror();
}

TRecDialog::TRecDialog(int escapeResult, QWidget* parent)
    : QDialog(parent), escapeResult_(escapeResult)
{
}

void TRecDialog::reject()
{
    done(escapeResult_);
}

void TRecDialog::closeEvent(QCloseEvent* event)
{
    if (isVisible())
        done(2);
    event->accept();
}

void TSEDefGroup::build(QWidget* form)
{
    GB_SEDef = new QGroupBox(QStringLiteral("起終点設定"), form);
    GB_SEDef->setObjectName(QStringLiteral("GB_SEDef"));
    CHK_SDsp = new QCheckBox(QStringLiteral("起点円表示"), GB_SEDef);
    CHK_SDsp->setObjectName(QStringLiteral("CHK_SDsp"));
    CHK_SFuti = new QCheckBox(QStringLiteral("黒縁"), GB_SEDef);
    CHK_SFuti->setObjectName(QStringLiteral("CHK_SFuti"));
    CHK_EDsp = new QCheckBox(QStringLiteral("終点矢印表示"), GB_SEDef);
    CHK_EDsp->setObjectName(QStringLiteral("CHK_EDsp"));
    CHK_EFuti = new QCheckBox(QStringLiteral("黒縁"), GB_SEDef);
    CHK_EFuti->setObjectName(QStringLiteral("CHK_EFuti"));
    auto* grid = new QGridLayout(GB_SEDef);
    grid->addWidget(CHK_SDsp, 0, 0);
    grid->addWidget(CHK_SFuti, 0, 1);
    grid->addWidget(CHK_EDsp, 1, 0);
    grid->addWidget(CHK_EFuti, 1, 1);
    QObject::connect(CHK_SDsp, &QCheckBox::toggled, form, [this] { applyRule(); });
    QObject::connect(CHK_EDsp, &QCheckBox::toggled, form, [this] { applyRule(); });
    applyRule();
}

void TSEDefGroup::setFlags(int flags)
{
    for (QCheckBox* box : {CHK_SDsp, CHK_EDsp, CHK_SFuti, CHK_EFuti})
        box->setChecked(false);
    CHK_SDsp->setChecked(flags & 1);
    CHK_EDsp->setChecked(flags & 2);
    CHK_SFuti->setChecked(flags & 4);
    CHK_EFuti->setChecked(flags & 8);
    applyRule();
}

int TSEDefGroup::flags() const
{
    return (CHK_SDsp->isChecked() ? 1 : 0) + (CHK_EDsp->isChecked() ? 2 : 0) +
           (CHK_SFuti->isChecked() ? 4 : 0) + (CHK_EFuti->isChecked() ? 8 : 0);
}

void TSEDefGroup::applyRule()
{
    CHK_SFuti->setEnabled(CHK_SDsp->isChecked());
    CHK_EFuti->setEnabled(CHK_EDsp->isChecked());
}

void TRecDialog::confirmHeader(TPRec* rec, const TPRecHdr& work, int mode)
{
    static_cast<TPRecHdr&>(*rec) = work;
    done(mode == 1 ? 2 : 3);
}

void recShowFlagBoxes(int kind, int flags, QCheckBox* fill, TSEDefGroup& marks)
{
    const bool filled = kind == PK_POLYGON || kind == PK_CIRCLE;
    if (filled)
        fill->setChecked(flags != 0);
    if (kind == PK_LEADER_MARKS)
        marks.setFlags(flags);
    fill->setVisible(filled);
    marks.GB_SEDef->setVisible(kind == PK_LEADER_MARKS);
}

int recFlagsFromBoxes(int kind, const QCheckBox* fill, const TSEDefGroup& marks)
{
    if (kind == PK_POLYGON || kind == PK_CIRCLE)
        return fill->isChecked() ? 1 : 0;
    if (kind == PK_LEADER_MARKS)
        return marks.flags();
    return 0;
}
