// Controls placed at fixed pixel positions, as the forms lay them out.
#pragma once
#include <QLabel>
#include <QString>
#include <QWidget>

// `w` named `name` at x, y with the size given.
template <class W>
W* named(W* w, const char* name, int x, int y, int width, int height)
{
    w->setObjectName(QString::fromLatin1(name));
    w->setGeometry(x, y, width, height);
    return w;
}

// A caption at x, y.
inline QLabel* label(QWidget* owner, const char* text, int x, int y, int w = 60, int h = 20)
{
    auto* l = new QLabel(QString::fromUtf8(text), owner);
    l->setGeometry(x, y, w, h);
    return l;
}
