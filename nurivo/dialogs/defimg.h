// The image and position dialog: two control points, the frame and the drawing settings of
// one raster's image definition.
#pragma once
#include "model/imgdef.h"
#include "render/bitmap.h"

#include <QDialog>
#include <QPoint>

#include <string>

class Canvas;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QStatusBar;
class TPaintBoxEx;

// 0 when the raster cannot be loaded; 2 when the edited definition was copied into `def`
// ("確定" or the window frame); 1 on "取消", `def` unchanged.
int showDefImg(const std::string& caption, const std::string& folderPrefix, TImgDef* def);

// A marker: a cross and a circle of radius 10 in the colour (0x00BBGGRR), with the label
// right below it when there is one.
void imgDlgDrawMarker(Canvas& canvas, int color, int x, int y, const std::string& label);
// The closed outline of a rectangle in the colour, with the canvas's pen width.
void imgDlgDrawFrameRect(Canvas& canvas, int color, int left, int top, int right, int bottom);

// The image under the mouse in the detail view: kept from one dialog to the next.
extern QPoint imgDlgMousePoint;

class TFrm_DefImg : public QDialog {
    Q_OBJECT
public:
    explicit TFrm_DefImg(QWidget* owner = nullptr);

    // The dialog's state.
    TImgDef work;        // the working copy
    int mode = -1;       // -1 preparing, 0 no pick, 1 and 2 control points, 3 and 4 frame corners
    Bitmap source;       // the raster at full size
    Bitmap overview;     // the raster reduced to the overview
    Bitmap loupe;        // half the loupe view, stretched over it
    double overviewScale = 1.0;
    QRect overviewRect;  // left, top, right, bottom as the dialog keeps them (right() is right)
    int vpLeft = 0, vpTop = 0, vpRight = 0, vpBottom = 0; // viewport in image pixels
    int dragging = 0;
    QPoint dragPoint;

    void imgDlgScrollView(int dx, int dy);
    void imgDlgShowCalc();
    void imgDlgToEdits();
    void imgDlgFromEdits();
    void imgDlgFitOverview();

    TPaintBoxEx* PaintBoxEx1; // detail view, 1:1
    TPaintBoxEx* PaintBoxEx2; // loupe
    TPaintBoxEx* PaintBoxEx3; // overview
    QLineEdit *ED_IX1, *ED_IY1, *ED_SX1, *ED_SY1;
    QLineEdit *ED_IX2, *ED_IY2, *ED_SX2, *ED_SY2;
    QLineEdit *ED_WSX, *ED_WSY, *ED_WEX, *ED_WEY;
    QComboBox* CB_DPI;
    QComboBox* CB_ZScale;
    QPushButton *Button1, *Button2, *Button5, *Button6, *Button9, *Button3, *Button4;
    QLabel *L_ILen, *L_IAng, *L_SLen, *L_SAng, *L_LenRat, *L_RotAng;
    QStatusBar* StatusBar1;

public slots:
    void PaintBoxEx1Paint(Canvas& canvas);
    void PaintBoxEx2Paint(Canvas& canvas);
    void PaintBoxEx3Paint(Canvas& canvas);
    void PaintBoxEx1MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void PaintBoxEx1MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void PaintBoxEx3MouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void PaintBoxEx3MouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void PaintBoxEx3MouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void Button1Click();
    void Button2Click();
    void Button5Click();
    void Button6Click();
    void Button9Click();
    void Button3Click();
    void Button4Click();
    void ED_IX1Change();
    // Escape does nothing; the frame gives 2.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The fields' frame and markers at positions mapped by `map`.
    template <class Map>
    void drawFrameAndMarkers(Canvas& canvas, const Map& map, int framePen);
    void keepViewportSize();
};
