// Helpers of the form tests: act on a modal form once it is open, find its controls by name,
// and read what the scripted dialogs were asked to show.
#pragma once
#include "platform/ui.h"

#include <QAbstractButton>
#include <QApplication>
#include <QPushButton>
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

} // namespace formtest
