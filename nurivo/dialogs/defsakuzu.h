// The drawing-settings dialog: the layers' attribute lists and a few drawing settings.
#pragma once
#include <QDialog>
#include <QLabel>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QStatusBar;
class QTableWidget;
class QTabWidget;
class QWidget;
class TLayer;
struct TLayerRec;

// Shows the dialog on layer-set entry `index`; the modal result (2, also by the frame).
int showDefSakuzu(int index);

// The form is made once at program start and kept for the run.
void defSakuzuCreate();
void defSakuzuDestroy();

// A small coloured field that reports a click (the colour of a layer row).
class TColorField : public QLabel {
    Q_OBJECT
public:
    explicit TColorField(QWidget* owner);
    int color() const { return color_; } // 0x00BBGGRR
    void setColor(int color);
signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    int color_ = 0;
};

class TFrm_DefSakuzu : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_DefSakuzu(QWidget* owner = nullptr);

    // The list the dialog works on: the layer-set entry chosen in CB_LayName; nullptr when the
    // set has none.
    TLayer* curLayer() const;

    void sakuzuRefreshLayerGrid();
    void sakuzuShowCurLayerRec();
    // 1 done, 0 refused.
    int sakuzuModifyCurLayerRec();
    int sakuzuAddLayerRec();
    int sakuzuDeleteCurLayerRec();
    void sakuzuLoadDrawSettings();
    void sakuzuSaveDrawSettings();

    QTabWidget* K;
    QWidget* TabSheet3;
    QWidget* TabSheet4;
    QComboBox* CB_LayName;
    QTableWidget* StringGrid1;
    QLineEdit* ED_Code;
    QLineEdit* ED_Name;
    TColorField* ST_Col;
    QComboBox* CB_Width;
    QComboBox* CB_Style;
    QLabel* L_Mode;
    QComboBox* CB_Mode;
    QPushButton* Btn_LayModify;
    QPushButton* Btn_LayDel;
    QPushButton* Btn_LayAdd;
    QLineEdit* ED_TxtSize;
    QRadioButton* RB_DSP_G;
    QRadioButton* RB_DSP_M;
    QLineEdit* ED_SArrSize;
    QLineEdit* ED_EArrSize;
    QComboBox* CB_VtxVal;
    QLabel* L_AreaVal;
    QComboBox* CB_AreaVal;
    QPushButton* Btn_Modify4;
    QWidget* Panel1;
    QPushButton* Btn_Exit;
    QStatusBar* StatusBar1;

public slots:
    void FormActivate();
    void CB_LayNameChange();
    void StringGrid1Click();
    void ST_ColClick();
    void Btn_LayModifyClick();
    void Btn_LayAddClick();
    void Btn_LayDelClick();
    void Btn_Modify4Click();
    void Btn_ExitClick();
    // Escape does nothing; the frame gives 2.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    TLayerRec recFromControls(const TLayerRec& base) const;
    void fillGridRow(int gridRow);
};

// The instance made at start; nullptr before defSakuzuCreate and after defSakuzuDestroy.
extern TFrm_DefSakuzu* Frm_DefSakuzu;
