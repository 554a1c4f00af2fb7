// Helpers of the record dialog tests: act on the modal form once it is open.
#pragma once
#include <QApplication>
#include <QAbstractButton>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

#include <functional>

namespace recdlg {

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

} // namespace recdlg
