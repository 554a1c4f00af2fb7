// The paint box hands its paint events, with a canvas, and its mouse events to its owner.
#include "render/canvas.h"
#include "render/paintboxex.h"

#include <QMouseEvent>

#include "renderapp.h"

#include <gtest/gtest.h>

#include <memory>

#include <vector>

namespace {

using rendertest::app;

void send(QWidget& w, QEvent::Type type, Qt::MouseButton button, QPoint at)
{
    QMouseEvent e(type, QPointF(at), w.mapToGlobal(QPointF(at)), button,
                  type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button),
                  Qt::ShiftModifier);
    QApplication::sendEvent(&w, &e);
}

} // namespace

TEST(PaintBox, PaintsThroughItsOwnersHandlerWithItsFont)
{
    app();
    TPaintBoxEx box;
    box.resize(60, 40);
    QFont f(QStringLiteral("ＭＳ 明朝"));
    f.setPixelSize(12);
    box.setFont(f);
    int calls = 0;
    QObject::connect(&box, &TPaintBoxEx::OnPaint, [&](Canvas& c) {
        ++calls;
        EXPECT_EQ(c.fontName(), QStringLiteral("ＭＳ 明朝"));
        EXPECT_EQ(c.fontHeight(), -12);
        EXPECT_EQ(c.dpiX(), box.pixelsPerInch());
        c.setBrushColor(0x0000FF);
        c.fillRect(0, 0, 60, 40);
    });
    const QImage shot = box.grab().toImage();
    EXPECT_GE(calls, 1);
    EXPECT_EQ(shot.pixel(30, 20), qRgb(255, 0, 0));
}

TEST(PaintBox, PassesMouseEventsWithButtonShiftAndPosition)
{
    app();
    TPaintBoxEx box;
    box.resize(100, 100);
    std::vector<std::string> seen;
    QObject::connect(&box, &TPaintBoxEx::OnMouseDown, [&](Qt::MouseButton b, Qt::KeyboardModifiers s, int x, int y) {
        seen.push_back("down " + std::to_string(b == Qt::RightButton) + std::to_string(bool(s & Qt::ShiftModifier)) +
                       " " + std::to_string(x) + "," + std::to_string(y));
    });
    QObject::connect(&box, &TPaintBoxEx::OnMouseMove, [&](Qt::KeyboardModifiers, int x, int y) {
        seen.push_back("move " + std::to_string(x) + "," + std::to_string(y));
    });
    QObject::connect(&box, &TPaintBoxEx::OnMouseUp, [&](Qt::MouseButton b, Qt::KeyboardModifiers, int x, int y) {
        seen.push_back("up " + std::to_string(b == Qt::RightButton) + " " + std::to_string(x) + "," + std::to_string(y));
    });
    send(box, QEvent::MouseButtonPress, Qt::RightButton, {10, 20});
    send(box, QEvent::MouseMove, Qt::NoButton, {30, 40});
    send(box, QEvent::MouseButtonRelease, Qt::RightButton, {31, 41});
    EXPECT_EQ(seen, (std::vector<std::string>{"down 11 10,20", "move 30,40", "up 1 31,41"}));
}
