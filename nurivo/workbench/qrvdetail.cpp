#include "workbench/qrvdetail.h"

#include "model/laytbl.h"
#include "model/qrv.h"
#include "model/startup.h"
#include "platform/shell.h"
#include "platform/strscan.h"

#include <QEvent>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

int detailTable = 0;
int detailRecord = -1;
TFrmQRVDetail* FrmQRVDetail = nullptr;

namespace {

constexpr int rowHeight = 20;
// A row's pitch: its 20 pixels and the grid line below them.
constexpr int rowPitch = rowHeight + 1;
constexpr int panelHeight = 53;
constexpr int nameWidth = 128;
constexpr int valueWidth = 279;
constexpr int visibleValueRows = 25;

// The record's value of table column c; empty when there is no record or no such column.
std::string recordValue(int c)
{
    const TQRV_Data* rec = detailRecord >= 0 ? qrvGetRecord(detailTable, detailRecord) : nullptr;
    if (!rec || c < 0 || c >= static_cast<int>(rec->field.size()))
        return {};
    return rec->field[static_cast<size_t>(c)];
}

// Types above 10 are the same kinds as those below; 3 is a document.
bool isDocumentColumn(int c)
{
    int type = qrvGetColumnType(detailTable, c);
    if (type > 10)
        type -= 10;
    return type == 3;
}

// The fixed row and column: shaded like buttons, never selected.
void setCell(QTableWidget* grid, int row, int col, const QString& text)
{
    QTableWidgetItem* item = grid->item(row, col);
    if (!item) {
        item = new QTableWidgetItem;
        if (row == 0 || col == 0) {
            item->setFlags(Qt::ItemIsEnabled);
            item->setBackground(grid->palette().button());
        } else {
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
        }
        grid->setItem(row, col, item);
    }
    item->setText(text);
}

} // namespace

TFrmQRVDetail::TFrmQRVDetail() : TRecDialog(2)
{
    setObjectName(QStringLiteral("FrmQRVDetail"));
    recFormSetFont(this, QStringLiteral("ＭＳ Ｐゴシック"), 12);

    SG_Detail = new QTableWidget(1, 2, this);
    SG_Detail->setObjectName(QStringLiteral("SG_Detail"));
    SG_Detail->horizontalHeader()->hide();
    SG_Detail->verticalHeader()->hide();
    SG_Detail->setColumnWidth(0, nameWidth);
    SG_Detail->setColumnWidth(1, valueWidth);
    SG_Detail->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    SG_Detail->verticalHeader()->setDefaultSectionSize(rowPitch);
    SG_Detail->verticalHeader()->setMinimumSectionSize(rowPitch);
    SG_Detail->setSelectionBehavior(QAbstractItemView::SelectRows);
    SG_Detail->setSelectionMode(QAbstractItemView::SingleSelection);
    SG_Detail->setEditTriggers(QAbstractItemView::NoEditTriggers);
    SG_Detail->setTabKeyNavigation(false);
    setCell(SG_Detail, 0, 0, {});
    setCell(SG_Detail, 0, 1, {});
    recGridFixHeaderRow(SG_Detail, rowPitch);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedHeight(panelHeight);
    Btn_ShowDoc = new QPushButton(QStringLiteral("文書表示"), Panel1);
    Btn_ShowDoc->setObjectName(QStringLiteral("Btn_ShowDoc"));
    Btn_ShowDoc->setEnabled(false);
    Button1 = new QPushButton(QStringLiteral("確認"), Panel1);
    Button1->setObjectName(QStringLiteral("Button1"));
    for (QPushButton* b : {Btn_ShowDoc, Button1}) {
        b->setAutoDefault(false);
        b->setFixedSize(100, 28);
    }
    auto* buttons = new QHBoxLayout(Panel1);
    buttons->addStretch();
    buttons->addWidget(Btn_ShowDoc);
    buttons->addSpacing(24);
    buttons->addWidget(Button1);
    buttons->addStretch();

    auto* form = new QVBoxLayout(this);
    form->setContentsMargins(0, 0, 0, 0);
    form->setSpacing(0);
    form->addWidget(SG_Detail, 1);
    form->addWidget(Panel1);
    setFixedWidth(nameWidth + valueWidth + 2 * SG_Detail->frameWidth() +
                  style()->pixelMetric(QStyle::PM_ScrollBarExtent));

    connect(Button1, &QPushButton::clicked, this, &TFrmQRVDetail::Button1Click);
    connect(Btn_ShowDoc, &QPushButton::clicked, this, &TFrmQRVDetail::Btn_ShowDocClick);
    // The header row is fixed: a click on it leaves the selection where it was.
    connect(SG_Detail, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow) {
        if (row == 0 && SG_Detail->rowCount() > 1)
            SG_Detail->setCurrentCell(previousRow > 0 ? previousRow : 1, 1);
        else
            SG_DetailClick();
    });
    connect(SG_Detail, &QTableWidget::cellClicked, this, &TFrmQRVDetail::SG_DetailClick);
    connect(SG_Detail, &QTableWidget::cellDoubleClicked, this, &TFrmQRVDetail::SG_DetailDblClick);
}

void TFrmQRVDetail::fill(const std::string& title, int table, const std::string& number)
{
    setWindowTitle(QString::fromStdString(title + "詳細表示"));
    detailTable = table;
    const int n = qrvGetColumnCount(table);
    const int keptRow = SG_Detail->currentRow();
    SG_Detail->setRowCount(n + 1);
    SG_Detail->setRowHidden(0, true);
    setCell(SG_Detail, 0, 0, {});
    setCell(SG_Detail, 0, 1, {});
    for (int i = 0; i < n; ++i)
        setCell(SG_Detail, i + 1, 0, QString::fromStdString(qrvGetColumnName(table, i)));

    detailRecord = qrvFindRecordNamed(table, number);
    const TQRV_Data* rec = detailRecord >= 0 ? qrvGetRecord(table, detailRecord) : nullptr;
    // Without a record the value column is cleared, so no other record's values stay on show.
    for (int j = 0; j < n; ++j) {
        QString value;
        if (rec)
            value = j == 0 ? QString::fromStdString(number) : QString::fromStdString(recordValue(j));
        setCell(SG_Detail, j + 1, 1, value);
    }

    // The selection stays on its row while the grid has it; the first value row otherwise.
    if (n > 0) {
        const int row = std::clamp(keptRow, 1, n);
        SG_Detail->setCurrentCell(row, 1);
        SG_Detail->selectRow(row);
    }

    const int v = std::min(n, visibleValueRows);
    setFixedHeight((v + 1) * rowPitch + panelHeight + 8);
    SG_DetailClick();
}

void TFrmQRVDetail::Button1Click()
{
    done(2);
}

void TFrmQRVDetail::SG_DetailClick()
{
    const int c = SG_Detail->currentRow() - 1;
    Btn_ShowDoc->setEnabled(isDocumentColumn(c) && detailRecord >= 0 && !recordValue(c).empty());
}

void TFrmQRVDetail::FormActivate()
{
    SG_DetailClick();
}

void TFrmQRVDetail::Btn_ShowDocClick()
{
    if (!Btn_ShowDoc->isEnabled())
        return;
    const std::string number = SG_Detail->item(1, 1) ? SG_Detail->item(1, 1)->text().toStdString()
                                                     : std::string();
    std::string value = recordValue(SG_Detail->currentRow() - 1);
    // Registers written on Windows separate folders with "\".
    std::replace(value.begin(), value.end(), '\\', '/');
    const TLnkData* link = utilGetLnkData(detailTable);
    const std::string folder = link ? link->folder : std::string();
    std::string path;
    if (!folder.empty() && folder[0] == '/') {
        path = folder + "/" + number + "/" + value;
    } else {
        const TLay* lay = layTblGet(detailTable + 1);
        path = cmdBaseDir + "/" + (lay ? lay->name : std::string()) + "/" + number + "/" + value;
    }
    shellOpenDocument(path);
}

void TFrmQRVDetail::SG_DetailDblClick()
{
    Btn_ShowDocClick();
}

void TFrmQRVDetail::showEvent(QShowEvent* event)
{
    TRecDialog::showEvent(event);
    FormActivate();
}

void TFrmQRVDetail::changeEvent(QEvent* event)
{
    TRecDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void qrvDetailCreate()
{
    if (!FrmQRVDetail)
        FrmQRVDetail = new TFrmQRVDetail;
}

void qrvDetailDestroy()
{
    delete FrmQRVDetail;
    FrmQRVDetail = nullptr;
}

void showQRVDetail(const std::string& title, int table, const std::string& number)
{
    qrvDetailCreate();
    FrmQRVDetail->fill(title, table, number);
    FrmQRVDetail->exec();
}
