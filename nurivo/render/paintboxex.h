// The paint box of every view that shows a raster or a drawing: a plain widget that hands its
// paint events, with a canvas over it, and its mouse events to the form that owns it.
#pragma once
#include <QWidget>

class Canvas;

class TPaintBoxEx : public QWidget {
    Q_OBJECT
public:
    explicit TPaintBoxEx(QWidget* owner = nullptr);

    // The resolution its canvas reports (the screen's logical dots per inch).
    int pixelsPerInch() const;

signals:
    // Emitted from the paint event; the canvas lives only while the handler runs.
    void OnPaint(Canvas& canvas);
    void OnMouseDown(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);
    void OnMouseMove(Qt::KeyboardModifiers shift, int x, int y);
    void OnMouseUp(Qt::MouseButton button, Qt::KeyboardModifiers shift, int x, int y);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
