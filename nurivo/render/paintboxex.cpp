#include "render/paintboxex.h"

#include "render/canvas.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

TPaintBoxEx::TPaintBoxEx(QWidget* owner) : QWidget(owner)
{
    // Moves are reported without a button held, as the views track the pointer.
    setMouseTracking(true);
}

int TPaintBoxEx::pixelsPerInch() const { return logicalDpiX(); }

void TPaintBoxEx::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    painter.setClipRect(event->rect());
    Canvas canvas(painter, pixelsPerInch(), event->rect());
    const QFont f = font();
    canvas.setFontName(f.family());
    if (f.pixelSize() > 0)
        canvas.setFontHeight(-f.pixelSize());
    emit OnPaint(canvas);
}

void TPaintBoxEx::mousePressEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseDown(event->button(), event->modifiers(), p.x(), p.y());
}

void TPaintBoxEx::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseMove(event->modifiers(), p.x(), p.y());
}

void TPaintBoxEx::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint p = event->position().toPoint();
    emit OnMouseUp(event->button(), event->modifiers(), p.x(), p.y());
}
