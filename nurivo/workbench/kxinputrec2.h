// The figure attribute dialog of the figure layer.
#pragma once
#include "model/pdata.h"
#include "workbench/recform.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// mode 1 edits ("更新"), any other adds ("追加"). 1 "取消", 2 confirmed in mode 1, 3 confirmed
// otherwise; a frame close gives 2 and writes nothing back. Only the header is copied back.
int showKXInputRec2(int mode, TPRec* rec);

// "データ入力": the attributes that the figure's kind has, on a working copy of its header.
class TFrm_KXInputRec2 : public TRecDialog {
    Q_OBJECT
public:
    TFrm_KXInputRec2(int mode, TPRec* rec);

    QLineEdit* ED_Name;
    QComboBox* CB_Layer;
    QCheckBox* CBOX_FILL;
    QLabel* L_SIZE;
    QLineEdit* ED_SIZE;
    QLabel* L_SIZE2;
    QLineEdit* ED_SIZE2;
    QGroupBox* RG_DIMPOS;
    QButtonGroup* dimPos; // its items 0 "上" and 1 "中"
    QGroupBox* GB_AzaFig;
    QLineEdit* ED_SNo;
    QLineEdit* ED_SNo2;
    TSEDefGroup marks;
    QPushButton* BTN_Update;
    QPushButton* BTN_Cancel;

public slots:
    void BTN_UpdateClick();
    void BTN_CancelClick();

private:
    TPRecHdr work_;
    TPRec* rec_;
    int mode_;
};

// Shared by the attribute dialog and the reference-number picker.
// A text typed as a size in millimetres, in tenths: trunc(atof(text) × 10) with the product
// held as a double; beyond ±kSatIntLimit it stops at the limit (platform/satint.h).
int recSizeFromText(const std::string& text, bool negate = false);
