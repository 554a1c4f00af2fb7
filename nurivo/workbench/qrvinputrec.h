// The reference-number picker of a reference layer.
#pragma once
#include "model/pdata.h"
#include "workbench/recform.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;

// t is the reference table; results as showKXInputRec2.
int showQRVInputRec(int t, int mode, TPRec* rec);

// "整理番号選択": the figure takes a record's id as its name and the attribute row of the
// record's kind as its layer row.
class TFrm_QRVInputRec : public TRecDialog {
    Q_OBJECT
public:
    TFrm_QRVInputRec(int t, int mode, TPRec* rec);

    QLineEdit* ED_No;
    QComboBox* CB_Layer;
    QListWidget* ListBox1;
    QPushButton* Btn_DspDetail;
    QCheckBox* CBOX_FILL;
    TSEDefGroup marks;
    QPushButton* BTN_Update;
    QPushButton* BTN_Cancel;

public slots:
    void CB_LayerChange();
    void ListBox1Click();
    void Btn_DspDetailClick();
    void BTN_UpdateClick();
    void BTN_CancelClick();

private:
    // The attribute row for the number: see BTN_UpdateClick.
    int layerRowForNumber(const std::string& number) const;

    int t_;
    TPRecHdr work_;
    TPRec* rec_;
    int mode_;
};
