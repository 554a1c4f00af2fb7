// The control-point list: 63 named plane points kept for the whole run.
#pragma once
#include "workbench/recform.h"

#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Row 1 … 63: selects it, writes the point, then selects the next row (the last row stays).
// Any other row writes nothing.
void posSetRow(int row, const std::string& name, double x, double y);
// Index 0 … 62 reads row index + 1: 1 when both coordinates are non-zero. Any other index
// gives 0 with an empty name and zero coordinates.
int posGetRow(int index, std::string& name, double& x, double& y);
int posGetCurrentRow();
int posGetRowCount();
int posIsCoordShown();
// Shows the list modally; then whether "座標表示" is ticked.
int showInputPos();

// The form is made once at program start and kept for the run, so the points outlive it.
void inputPosCreate();
void inputPosDestroy();

// "国家座標入力".
class TFrm_InputPos : public TRecDialog {
    Q_OBJECT
public:
    TFrm_InputPos();

    QTableWidget* StringGrid1;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QPushButton* Button2;
    QCheckBox* CheckBox1;
    QPushButton* Btn_InitData;
    QPushButton* Btn_Exit;

    // Cell text, "" for a cell that does not exist.
    std::string cell(int col, int row) const;
    void setCell(int col, int row, const std::string& text);

public slots:
    void FormCreate();
    void FormActivate();
    void StringGrid1Click();
    void Button2Click();
    void Btn_InitDataClick();
    void Btn_ExitClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
};

extern TFrm_InputPos* Frm_InputPos;
