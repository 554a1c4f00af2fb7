// The workbench form over one opened drawing: the figure list of the current layer with its
// commands, the drawing modes, the display options, the sheet view painted from a kept picture
// with the input's overlay over it, the magnifier, the keys and the exit with its save question.
#pragma once
#include "workbench/input.h"
#include "workbench/keptpicture.h"

#include <QDialog>
#include <QPointer>

#include <memory>

class KXDraw;
class PData;
class Canvas;
class QAction;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QFrame;
class QGroupBox;
class QKeyEvent;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QSplitter;
class QStatusBar;
class QTableWidget;
class TPaintBoxEx;

// One editing run: 3 when the operator saved at exit, 2 otherwise.
int showKXInput(KXDraw* drawing);

// Frees the drawing's loupe, raster, half and quarter bitmaps and clears the pointers.
void inputFreeWorkBitmaps(KXDraw* drawing);

class TFrm_KXInput : public QDialog, public InputView {
    Q_OBJECT
public:
    // FormCreate: the controls, the divisor from RG_Scale, the grid columns and the input
    // buffer.
    explicit TFrm_KXInput(QWidget* owner = nullptr);
    ~TFrm_KXInput() override;

    // The opening steps over `drawing` (not owned), before the form runs.
    void openOn(KXDraw* drawing);

    // Controls, named as their objectNames.
    QComboBox* CB_LayName = nullptr;
    QGroupBox* GB_Sakuzu = nullptr; // "作図指示"
    QRadioButton* RB_PolyGon2 = nullptr;
    QRadioButton* RB_PolyLine2 = nullptr;
    QRadioButton* RB_Arrow2 = nullptr;
    QRadioButton* RB_Text1 = nullptr;
    QRadioButton* RB_Text2 = nullptr;
    QRadioButton* RB_HVLine = nullptr;
    QRadioButton* RB_Rect = nullptr;
    QRadioButton* RB_PolyGon3 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RB_Rect3 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QCheckBox* CB_Oresen = nullptr;
    QLineEdit* ED_Oresen = nullptr;
    QTableWidget* SG_Kx = nullptr;
    QFrame* Panel5 = nullptr;
    QPushButton* Btn_KX2Del = nullptr;
    QPushButton* Btn_Sort = nullptr;
    QPushButton* Btn_DspDetail = nullptr;
    TPaintBoxEx* PaintBoxEx2 = nullptr;
    QCheckBox* CB_CheckPoint = nullptr;
    QCheckBox* CB_Move = nullptr;
    QGroupBox* RG_Scale = nullptr; // items RG_Scale0 … RG_Scale3
    QCheckBox* CB_DrawName = nullptr;
    QGroupBox* RG_Paint = nullptr; // items RG_Paint0 … RG_Paint2
    QCheckBox* CB_Touka = nullptr;
    QCheckBox* CB_ATSize = nullptr;
    QCheckBox* CB_DrawBack = nullptr;
    QCheckBox* CB_EdgeBlack = nullptr;
    QPushButton* Btn_DefZumen = nullptr;
    QPushButton* Btn_ShowArea = nullptr;
    QPushButton* Btn_InputSrv = nullptr;
    QPushButton* Btn_ShowLen = nullptr;
    QPushButton* Btn_DefSakuzu = nullptr;
    QPushButton* Btn_Print = nullptr;
    QPushButton* Btn_ShowBW = nullptr;
    QPushButton* Btn_Exit = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TPaintBoxEx* PaintBoxEx1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QMenu* PM_PicRB = nullptr;
    QMenu* PM_PEditRB = nullptr;
    QMenu* PM_PEditRB2 = nullptr;

    TKXInput& input() { return *input_; }

    // The figure list as its cells read: row 0 the titles, row r the figure r − 1, the last
    // row "新規".
    QString cellText(int col, int row) const;
    int scaleIndex() const;
    void setScaleIndex(int index); // no click effects
    int paintIndex() const;

    void inputSetupGridColumns();
    void inputFillGrid();
    void inputResetState();
    void inputScrollToCentre(int x, int y);

    // InputView.
    QPoint scrollPosition() const override;
    QSize scrollBoxSize() const override;
    void scrollTo(int x, int y) override;
    void scrollToCentre(int x, int y) override { inputScrollToCentre(x, y); }
    int gridRow() const override;
    int gridRowCount() const override;
    void setGridRow(int row) override;
    void fillGrid() override { inputFillGrid(); }
    void gridRowClicked() override { SG_KxClick(); }
    void resetState() override { inputResetState(); }
    bool checkPointTicked() const override;
    bool moveTicked() const override;
    std::string oresenText() const override;
    void setStatus(const std::string& text) override;
    void setHint(const std::string& text) override;
    void repaintView(const QRect& viewRect) override;
    void repaintAll() override;
    void repaintLoupe() override;
    void figureChanged(int layer, const TPRec* before, const TPRec* after) override;
    void popupPicRB(QPoint viewPt) override;
    void popupCandidates(QPoint viewPt, const std::vector<std::string>& texts) override;
    void popupEditActions(QPoint viewPt, bool vertexMove, bool textMove) override;

public slots:
    void SG_KxClick();
    void SG_Kx2DblClick();
    void Btn_KX2DelClick();
    void Btn_SortClick();
    void Btn_DspDetailClick();
    void CB_LayNameChange();
    void Panel5DblClick();
    void RB_AutoAreaClick();
    void CB_OresenClick();
    void RG_ScaleClick();
    void OptionClick(); // CB_DrawName, CB_Touka, CB_DrawBack, RG_Paint, CB_ATSize
    void Btn_DefSakuzuClick();
    void Btn_DefZumenClick();
    void Btn_InputSrvClick();
    void Btn_ShowLenClick();
    void Btn_ShowAreaClick();
    void Btn_PrintClick();
    void Btn_ShowBWClick();
    void Btn_ExitClick();
    void PaintBoxEx1Paint(Canvas& canvas);
    void PaintBoxEx2Paint(Canvas& canvas);

public:
    // The key commands after the key's mapping: '1' … '4', 'B', 'C', 'D', 'E', 'M', 'N', 'S',
    // 'X'; anything else does nothing.
    void FormKeyDown(int key);
    // The command letter of a key event as the form reads it; 0 for none.
    static int keyCommandOf(const QKeyEvent& event);

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override; // Escape must not close the workbench
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void modeClick(int tag);
    // Yes to the save question: every file is written; true when all were.
    bool saveAll();
    // Asks the save question and acts on the answer; false when the form stays open.
    bool askAndClose();
    // The store index of the current row's figure; -1 on the "新規" row or without a store.
    int currentFigure(const PData* store) const;
    void updateDelButton();
    void retakeSelRec();
    void resizeSheet();
    void redrawAll();  // the whole picture is rendered again
    void repaintSheet(); // the overlay over the kept picture
    int dividerOfItem(int item) const;
    QRect visibleRect() const;

    KXDraw* drawing_ = nullptr;
    std::unique_ptr<TKXInput> input_;
    KeptPicture kept_;
    QButtonGroup* scaleGroup_ = nullptr;
    QButtonGroup* paintGroup_ = nullptr;
    QSplitter* splitter_ = nullptr;
    QPointer<QWidget> cornerButton_; // the list's corner: the title of the number column
    bool fillingGrid_ = false;
    // The key event last acted on, so that one key travelling up to the parents acts once.
    const QEvent* lastKey_ = nullptr;
    QPointer<QWidget> lastKeyTarget_;
};
