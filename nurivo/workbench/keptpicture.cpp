#include "workbench/keptpicture.h"

#include "render/canvas.h"
#include "render/kxdraw.h"

#include <QPainter>

// Plain version: every paint draws the dirty rectangle in full.
KeptPicture::KeptPicture() = default;
KeptPicture::~KeptPicture() = default;

void KeptPicture::setView(KXDraw* drawing, QSize viewSize, double dpm)
{
    drawing_ = drawing;
    viewSize_ = viewSize;
    dpm_ = dpm;
}

void KeptPicture::invalidateAll() {}

void KeptPicture::invalidateFigure(int, const TPRec&) {}

void KeptPicture::paint(QPainter& painter, const QRect& dirty, const QRect&)
{
    painter.save();
    painter.fillRect(dirty, Qt::white);
    if (drawing_ != nullptr) {
        painter.setClipRect(dirty);
        Canvas canvas(painter, 96, dirty);
        drawing_->Draw(&canvas, viewSize_.width(), viewSize_.height(), dpm_);
    }
    painter.restore();
}
