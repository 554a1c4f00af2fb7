// The print form: paper, scale, preview, page drawing, range frame and printing.
//
// One open drawing is put on a sheet of paper at the scale the operator chooses, shown as a
// zoomable preview, and printed whole or as a framed part on a smaller sheet. Pages go to
// the run's one printer (a QPrinter, high resolution), which keeps what the print and printer
// set-up dialogs chose for the whole run; with no printer system it prints to a PDF file.
// The dialogs open on the paper that the form composes, so that it is the paper that comes
// out unless the operator chooses another there.
#pragma once
#include <QDialog>
#include <QImage>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QString>

#include <string>

class Canvas;
class KXDraw;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPrinter;
class QPushButton;
class QRadioButton;
class QScrollArea;
class QStatusBar;
class TPaintBoxEx;

// The drawing to print (not owned), its raster's resolution and scale denominator, and the
// kind the form was opened with.
extern KXDraw* printSource;
extern int printSourceDpi;
extern int printSourceScale;
extern int printFormKind;

// Stores the drawing to print with its resolution (<= 0: 200) and scale denominator
// (<= 0: 1000); callers call it right before showPrint.
void printSetSource(KXDraw* drawing, int dpi, int scale);

// Runs the print form modally on the stored drawing: a fresh form, `paperIndex` as the paper
// of the full print; on every close (by "終了" or the window frame) the form's paper, scale,
// page-offset, scale-bar and partial-print choices go into the settings table.
void showPrint(int kind, int paperIndex);

// The partial-print paper of `index` (0 A4 portrait, 1 A4 landscape, 2 A3 portrait, 3 A3
// landscape) in mm; 0 x 0 for any other index.
void printGetBBPaperMM(int index, int& width, int& height);

// Outlines (x1, y1)-(x2, y2) with the inverting pen, two dots wide; drawn twice it is gone.
void printDrawRubberRect(Canvas& canvas, int x1, int y1, int x2, int y2);

// The run's printer, made at its first use and kept until the program ends.
QPrinter& printGetPrinter();

// For tests and unattended runs: the run's printer writes PDF to `pdfPath`, on `pageSize` in
// `orientation`, at `dpi` dots per inch, with the unprintable margins `marginsMm` (left, top,
// right, bottom in mm). The dialogs still run (scripted in tests) and a print still sets the
// orientation from the paper it composes, as with any printer.
void printSetTestOutput(const QPageSize& pageSize, QPageLayout::Orientation orientation,
                        const std::string& pdfPath, int dpi = 300,
                        const QMarginsF& marginsMm = QMarginsF(5, 7, 5, 7));

class TFrm_Print : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_Print(QWidget* parent = nullptr);
    ~TFrm_Print() override;

    // Own state, all zero when the form is made.
    double previewZoom = 0;
    double paperWidthMm = 0;
    double paperHeightMm = 0;
    double previewWidth = 0;
    double previewHeight = 0;
    Canvas* outCanvas = nullptr; // the preview's or the printer's canvas while a page is drawn
    int paperIndex = 0;
    int zoomTag = 0;
    int outputMode = 0; // 0 preview, 1 full print, 2 partial print
    double outDpi = 0;
    double outDpm = 0;
    double physOffsetX = 0; // the printer's unprintable left and top margins, in dots
    double physOffsetY = 0;
    int rangeCentreX = 0; // centre of the partial-print range, in unzoomed preview pixels
    int rangeCentreY = 0;
    int rangeState = 0; // 0 idle, 1 waiting for the first corner, 2 dragging
    int rangeX1 = 0;
    int rangeY1 = 0;
    int rangeX2 = 0;
    int rangeY2 = 0;

    // Controls, named as their objectName.
    QGroupBox* GroupBox1 = nullptr;
    QLabel* L_Img = nullptr;
    QComboBox* CB_Scale = nullptr;
    QComboBox* CB_Paper = nullptr;
    QLineEdit* ED_PMmX = nullptr;
    QLineEdit* ED_PMmY = nullptr;
    QPushButton* Button4 = nullptr;
    QLineEdit* ED_POffsX = nullptr;
    QLineEdit* ED_POffsY = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    QComboBox* CB_HR_Size = nullptr;
    QComboBox* CB_HR_Pos = nullptr;
    QLineEdit* ED_HOffsX = nullptr;
    QLineEdit* ED_HOffsY = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QCheckBox* CHB_Target = nullptr;
    QGroupBox* GroupBox4 = nullptr;
    QComboBox* CB_BB_Scale = nullptr;
    QComboBox* CB_BB_Paper = nullptr;
    QPushButton* Btn_BBDef = nullptr;
    QPushButton* Btn_BBPrint = nullptr;
    QPushButton* Btn_DefPrint = nullptr;
    QPushButton* Btn_Print = nullptr;
    QPushButton* Btn_Exit = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QScrollArea* ScrollBox1 = nullptr;
    TPaintBoxEx* PaintBoxEx1 = nullptr;

    // Selects the output of the next page: 0 the preview, 1 full print, 2 partial print.
    void SetOutput(int mode);
    // Applies the zoom and the paper choice to the preview.
    void UpdatePaper();
    // trunc(mm x outDpm).
    int MmToDots(double mm) const;
    void SetOutFontName(const QString& name);
    // Composes one page on outCanvas for the current outputMode.
    void DrawPage();
    // The print scale S and the partial-print scale B: the scales in the boxes, or the last
    // good ones while the boxes hold none.
    double scaleS();
    double scaleB();

public slots:
    void FormCreate();
    void CB_PaperChange();
    void CB_ScaleChange();
    void RadioButton1Click();
    void Button4Click();
    void CHB_TargetClick();
    void CB_HR_SizeChange();
    void CB_HR_PosChange();
    void CB_BB_PaperChange();
    void Btn_DefPrintClick();
    void Btn_ExitClick();
    // Every close takes the typed scales first.
    void done(int result) override;
    void Btn_PrintClick();
    void Btn_BBPrintClick();
    void Btn_BBDefClick();
    void PaintBoxEx1Paint(Canvas& canvas);
    void PaintBoxEx1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void PaintBoxEx1MouseMove(Qt::KeyboardModifiers shift, int x, int y);

private:
    void buildControls();
    void connectHandlers();
    void repaintPreview();
    // A scale the form takes: a number from 1 to kMaxScale (the leading number of the text).
    static constexpr int kMaxScale = 1000000;
    static bool readScale(const QString& text, double& scale);
    struct GoodScale {
        double value = 500;
        QString text = QStringLiteral("500");
    };
    // The scale in `box` when it is one (then the good one), else the good one, silently: a
    // repaint while the operator types.
    double typedScale(const QComboBox* box, const GoodScale& good);
    // Where a typed scale is taken (editing finished, "再表示", a print, closing): a scale that
    // is none is refused with a message and the good one goes back into the box.
    bool acceptScale(QComboBox* box, GoodScale& good);

    // Sets the run's printer to the paper of `widthMm` x `heightMm` (landscape when wider than
    // high), unless it was last set to that paper by this form: then what the operator chose
    // in the dialogs since stands.
    void presetPaper(double widthMm, double heightMm);
    // One print on the paper of `widthMm` x `heightMm`: the paper, the dialog, then the page
    // in `mode` on the run's printer.
    void printPage(int mode, double widthMm, double heightMm);
    // What the composed preview depends on besides the drawing.
    QString previewKey() const;

    double presetWidthMm_ = -1; // the paper the printer was last set to, none yet
    double presetHeightMm_ = -1;
    GoodScale goodS_;
    GoodScale goodB_;
    QImage preview_; // the composed preview, kept while its inputs stay
    QString previewKey_;
};

// The form of the last showPrint while it runs; null otherwise.
extern TFrm_Print* Frm_Print;
