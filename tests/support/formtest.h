// Helpers of the form tests: act on a modal form once it is open, find its controls by name,
// and read what the scripted dialogs were asked to show.
#pragma once
#include "platform/ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace formtest {

// Runs `operate` on the active modal form as soon as the event loop runs; the form must be
// ended by `operate`, or the test fails and the form is closed through its frame.
inline void whenModal(std::function<void(QWidget*)> operate)
{
    QTimer::singleShot(0, [operate] {
        QWidget* form = QApplication::activeModalWidget();
        if (!form) {
            ADD_FAILURE() << "no modal form open";
            return;
        }
        operate(form);
        if (QApplication::activeModalWidget() == form && form->isVisible()) {
            ADD_FAILURE() << "the form was left open";
            form->close();
        }
    });
}

template <class T>
T* child(QWidget* form, const char* name)
{
    T* w = form->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        ADD_FAILURE() << "no control " << name;
    return w;
}

// A mouse click as the operator gives it: on a push button's middle, on the mark of a check or
// radio button (its middle may lie beyond its text when a layout stretches it).
inline void click(QWidget* form, const char* name)
{
    QAbstractButton* b = child<QAbstractButton>(form, name);
    ASSERT_NE(b, nullptr);
    QPoint at = qobject_cast<QPushButton*>(b) ? b->rect().center() : QPoint(6, b->height() / 2);
    QTest::mouseClick(b, Qt::LeftButton, {}, at);
}

inline std::string text(const QString& s)
{
    return s.toStdString();
}

// The scripted dialogs' records of one kind ("message", "open", ...), in order.
inline std::vector<ui::Record> recordsOf(const std::string& kind)
{
    std::vector<ui::Record> out;
    for (const ui::Record& r : ui::recorded())
        if (r.kind == kind)
            out.push_back(r);
    return out;
}

// Their texts only.
inline std::vector<std::string> recordedTexts(const std::string& kind)
{
    std::vector<std::string> out;
    for (const ui::Record& r : recordsOf(kind))
        out.push_back(r.text);
    return out;
}

// The texts of the messages shown.
inline std::vector<std::string> messages()
{
    return recordedTexts("message");
}

// Whether the field shows `text` whole, unscrolled, in its own font: the text area that the
// line edit paints into (the style's contents rectangle less the text margins and its 2-px
// margins) holds the text and the cursor. An editable combo box is judged by its edit.
inline bool showsWhole(QWidget* field, const QString& text)
{
    const QLineEdit* edit = qobject_cast<QLineEdit*>(field);
    if (auto* combo = qobject_cast<QComboBox*>(field))
        edit = combo->lineEdit();
    if (!edit)
        return false;
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    const QRect area = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit)
                           .marginsRemoved(edit->textMargins());
    return area.width() - 2 * 2 >= QFontMetrics(edit->font()).horizontalAdvance(text) + 2;
}

// Runs showsWhole on each named field of `form` with its longest text.
struct FieldText {
    const char* name;
    const char* text;
};
inline void expectFieldsShowWhole(QWidget* form, std::initializer_list<FieldText> fields)
{
    for (const FieldText& f : fields) {
        QWidget* w = child<QWidget>(form, f.name);
        if (w) {
            EXPECT_TRUE(showsWhole(w, QString::fromUtf8(f.text))) << f.name << " cuts " << f.text;
        }
    }
}

} // namespace formtest
