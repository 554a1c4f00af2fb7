#include "workbench/inputpos.h"

#include "platform/strscan.h"

#include <QCheckBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

TFrm_InputPos* Frm_InputPos = nullptr;

namespace {

constexpr int colCount = 4;
constexpr int rowCount = 64;
constexpr int colWidths[colCount] = {32, 89, 100, 99};
constexpr int rowHeight = 18;
// A row's pitch: its 18 pixels and the grid line below them.
constexpr int rowPitch = rowHeight + 1;

std::string coordText(double v)
{
    return strPrintf("%16.3lf", v);
}

TFrm_InputPos& form()
{
    inputPosCreate();
    return *Frm_InputPos;
}

} // namespace

TFrm_InputPos::TFrm_InputPos() : TRecDialog(2)
{
    setObjectName(QStringLiteral("Frm_InputPos"));
    setWindowTitle(QStringLiteral("国家座標入力"));
    recFormSetFont(this, QStringLiteral("ＭＳ Ｐゴシック"), 12);

    StringGrid1 = new QTableWidget(rowCount, colCount, this);
    StringGrid1->setObjectName(QStringLiteral("StringGrid1"));
    QFont gridFont(QStringLiteral("ＭＳ ゴシック"));
    gridFont.setPixelSize(12);
    StringGrid1->setFont(gridFont);
    StringGrid1->horizontalHeader()->hide();
    StringGrid1->verticalHeader()->hide();
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setMinimumSectionSize(rowPitch);
    StringGrid1->verticalHeader()->setDefaultSectionSize(rowPitch);
    int width = 0;
    for (int c = 0; c < colCount; ++c) {
        StringGrid1->setColumnWidth(c, colWidths[c]);
        width += colWidths[c];
    }
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setTabKeyNavigation(false);
    StringGrid1->setTextElideMode(Qt::ElideNone);
    StringGrid1->setWordWrap(false);
    for (int r = 0; r < rowCount; ++r) {
        for (int c = 0; c < colCount; ++c) {
            auto* item = new QTableWidgetItem;
            if (r == 0 || c == 0) {
                // The fixed row and column: shaded like buttons, never selected.
                item->setFlags(Qt::ItemIsEnabled);
                item->setBackground(StringGrid1->palette().button());
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
            // The coordinates come padded to 16 characters; held to the right, a cell too narrow
            // for the padding loses blanks, never digits.
            if (c >= 2 && r > 0)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            StringGrid1->setItem(r, c, item);
        }
    }
    recGridFixHeaderRow(StringGrid1, rowPitch);
    StringGrid1->setFixedWidth(width + 2 * StringGrid1->frameWidth() +
                               style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    StringGrid1->setMinimumHeight(20 * rowPitch);

    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit3 = new QLineEdit(this);
    Edit3->setObjectName(QStringLiteral("Edit3"));
    Button2 = new QPushButton(QStringLiteral("変更"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    CheckBox1 = new QCheckBox(QStringLiteral("座標表示"), this);
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setChecked(true);
    Btn_InitData = new QPushButton(QStringLiteral("初期化"), this);
    Btn_InitData->setObjectName(QStringLiteral("Btn_InitData"));
    Btn_Exit = new QPushButton(QStringLiteral("戻る"), this);
    Btn_Exit->setObjectName(QStringLiteral("Btn_Exit"));
    for (QPushButton* b : {Button2, Btn_InitData, Btn_Exit})
        b->setAutoDefault(false);

    auto* edits = new QFormLayout;
    edits->addRow(QStringLiteral("Name"), Edit1);
    edits->addRow(QStringLiteral("X"), Edit2);
    edits->addRow(QStringLiteral("Y"), Edit3);
    auto* change = new QHBoxLayout;
    change->addStretch();
    change->addWidget(Button2);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(Btn_InitData);
    bottom->addWidget(Btn_Exit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(StringGrid1, 1);
    layout->addLayout(edits);
    layout->addLayout(change);
    layout->addLayout(bottom);

    // The header row is fixed: a click on it leaves the selection where it was.
    connect(StringGrid1, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow) {
        if (row == 0)
            StringGrid1->setCurrentCell(previousRow > 0 ? previousRow : 1, 1);
        else
            StringGrid1Click();
    });
    connect(StringGrid1, &QTableWidget::cellClicked, this, &TFrm_InputPos::StringGrid1Click);
    connect(Button2, &QPushButton::clicked, this, &TFrm_InputPos::Button2Click);
    connect(Btn_InitData, &QPushButton::clicked, this, &TFrm_InputPos::Btn_InitDataClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_InputPos::Btn_ExitClick);

    FormCreate();
}

std::string TFrm_InputPos::cell(int col, int row) const
{
    const QTableWidgetItem* item = StringGrid1->item(row, col);
    return item ? item->text().toStdString() : std::string();
}

void TFrm_InputPos::setCell(int col, int row, const std::string& text)
{
    if (QTableWidgetItem* item = StringGrid1->item(row, col))
        item->setText(QString::fromStdString(text));
}

void TFrm_InputPos::FormCreate()
{
    Btn_InitDataClick();
    StringGrid1->setCurrentCell(1, 1);
}

void TFrm_InputPos::FormActivate()
{
    StringGrid1Click();
}

void TFrm_InputPos::StringGrid1Click()
{
    const int row = StringGrid1->currentRow();
    Edit1->setText(QString::fromStdString(cell(1, row)));
    Edit2->setText(QString::fromStdString(strPrintf("%.15g", strToReal(cell(2, row)))));
    Edit3->setText(QString::fromStdString(strPrintf("%.15g", strToReal(cell(3, row)))));
}

void TFrm_InputPos::Button2Click()
{
    const int row = StringGrid1->currentRow();
    if (row < 1)
        return;
    setCell(1, row, Edit1->text().toStdString());
    setCell(2, row, coordText(strToReal(Edit2->text().toStdString())));
    setCell(3, row, coordText(strToReal(Edit3->text().toStdString())));
}

void TFrm_InputPos::Btn_InitDataClick()
{
    for (int r = 1; r < rowCount; ++r) {
        setCell(0, r, strPrintf("%3d", r));
        setCell(1, r, strPrintf("P-%02d", r));
        setCell(2, r, {});
        setCell(3, r, {});
    }
    setCell(0, 0, "No.");
    setCell(1, 0, "Name");
    setCell(2, 0, "    X");
    setCell(3, 0, "    Y");
}

void TFrm_InputPos::Btn_ExitClick()
{
    done(2);
}

void TFrm_InputPos::showEvent(QShowEvent* event)
{
    TRecDialog::showEvent(event);
    FormActivate();
}

void TFrm_InputPos::changeEvent(QEvent* event)
{
    TRecDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        FormActivate();
}

void posSetRow(int row, const std::string& name, double x, double y)
{
    TFrm_InputPos& f = form();
    if (row < 1 || row >= rowCount)
        return;
    f.StringGrid1->setCurrentCell(row, 1);
    f.setCell(1, row, name);
    f.setCell(2, row, coordText(x));
    f.setCell(3, row, coordText(y));
    if (row < rowCount - 1)
        f.StringGrid1->setCurrentCell(row + 1, 1);
}

int posGetRow(int index, std::string& name, double& x, double& y)
{
    name.clear();
    x = y = 0;
    if (index < 0 || index >= rowCount - 1)
        return 0;
    TFrm_InputPos& f = form();
    name = f.cell(1, index + 1);
    x = strToReal(f.cell(2, index + 1));
    y = strToReal(f.cell(3, index + 1));
    return x != 0 && y != 0 ? 1 : 0;
}

int posGetCurrentRow()
{
    return form().StringGrid1->currentRow();
}

int posGetRowCount()
{
    return form().StringGrid1->rowCount();
}

int posIsCoordShown()
{
    return form().CheckBox1->isChecked() ? 1 : 0;
}

int showInputPos()
{
    form().exec();
    return posIsCoordShown();
}

void inputPosCreate()
{
    if (!Frm_InputPos)
        Frm_InputPos = new TFrm_InputPos;
}

void inputPosDestroy()
{
    delete Frm_InputPos;
    Frm_InputPos = nullptr;
}
