// The workbench on the smallest screen it is made for, 1024 x 768: a maximised window there
// is about 700 to 740 pixels high. The top panel keeps its height, no control is drawn over
// another, and the left column scrolls to whatever does not fit. With NURIVO_SHOT_DIR set
// (under Xvfb) each case is saved as a screenshot for a look.
#include "wbfixture.h"

#include "formtest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using wbtest::Sheet;

void saveShot(const std::string& name)
{
    const char* dir = std::getenv("NURIVO_SHOT_DIR");
    if (dir == nullptr)
        return;
    QTest::qWait(100);
    QApplication::processEvents();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        screen->grabWindow(0).save(QString::fromLocal8Bit(dir) + "/" + QString::fromStdString(name));
}

// The named buttons and edits the operator reads, with their place in the form.
struct Control {
    QWidget* widget;
    QRect place;
};

std::vector<Control> controls(QWidget& form)
{
    std::vector<Control> out;
    for (QWidget* w : form.findChildren<QWidget*>()) {
        if (w->objectName().isEmpty() || !w->isVisibleTo(&form))
            continue;
        if (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLineEdit*>(w))
            out.push_back({w, QRect(w->mapTo(&form, QPoint(0, 0)), w->size())});
    }
    return out;
}

struct ShortWindow {
    bool colour; // a colour sheet adds "白黒表示" to the left column
    int height;
};

TEST(WorkbenchLayout, ShortWindowKeepsTheTopPanelAndScrollsTheLeftColumn)
{
    const ShortWindow cases[] = {{false, 740}, {false, 700}, {true, 740}, {true, 700}};
    for (const ShortWindow& c : cases) {
        SCOPED_TRACE((c.colour ? "colour, " : "one bit, ") + std::to_string(c.height));
        wbtest::resetWorkbench();
        Sheet sheet(1, 800, 400, c.colour);
        sheet.load(0);
        TFrm_KXInput form;
        form.openOn(&sheet.drawing);
        form.move(0, 0);
        form.resize(1024, c.height);
        form.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
        QApplication::processEvents();

        EXPECT_EQ(form.findChild<QWidget*>("Panel1")->height(), 153);
        EXPECT_TRUE(formtest::showsWhole(form.ED_Oresen, QStringLiteral("10.0")));
        const std::vector<Control> all = controls(form);
        for (size_t i = 0; i < all.size(); ++i) {
            QWidget* w = all[i].widget;
            EXPECT_GE(w->height(), w->sizeHint().height()) << w->objectName().toStdString();
            for (size_t j = i + 1; j < all.size(); ++j)
                EXPECT_FALSE(all[i].place.intersects(all[j].place))
                    << w->objectName().toStdString() << " over " << all[j].widget->objectName().toStdString();
        }

        // Every control of the left column can be scrolled into sight, whole.
        auto* column = form.findChild<QScrollArea*>("ScrollBox2");
        ASSERT_NE(column, nullptr);
        EXPECT_GT(column->verticalScrollBar()->maximum(), 0);
        saveShot(std::string("workbench-") + (c.colour ? "colour-" : "mono-") + std::to_string(c.height) + ".png");
        for (QWidget* w : std::vector<QWidget*>{form.CB_CheckPoint, form.CB_ATSize, form.Btn_ShowArea, form.Btn_Exit}) {
            column->ensureWidgetVisible(w, 0, 0);
            const QRect inView(w->mapTo(column->viewport(), QPoint(0, 0)), w->size());
            // A push button's frame reaches 1 px past its cell in the layout.
            EXPECT_TRUE(column->viewport()->rect().adjusted(-1, -1, 1, 1).contains(inView))
                << w->objectName().toStdString();
        }
        EXPECT_EQ(form.Btn_ShowBW->isVisible(), c.colour);
        saveShot(std::string("workbench-") + (c.colour ? "colour-" : "mono-") + std::to_string(c.height) +
                 "-scrolled.png");
    }
}

TEST(WorkbenchLayout, TallWindowShowsTheLeftColumnWholeAtItsWidth)
{
    wbtest::resetWorkbench();
    Sheet sheet(1, 800, 400, true);
    sheet.load(0);
    TFrm_KXInput form;
    form.openOn(&sheet.drawing);
    form.resize(1024, 900);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    QApplication::processEvents();
    auto* column = form.findChild<QScrollArea*>("ScrollBox2");
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(form.findChild<QWidget*>("Panel2")->width(), 149);
    EXPECT_EQ(form.findChild<QWidget*>("Panel1")->height(), 153);
}

} // namespace
