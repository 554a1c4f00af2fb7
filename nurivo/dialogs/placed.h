// Controls placed at fixed pixel positions, as the forms lay them out.
#pragma once
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QStyle>
#include <QStyleOptionFrame>
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

// The width at which `edit` shows `chars` characters of its own font whole, each as wide as a
// digit, with the cursor after them: the forms' pixel sizes were made for another face, so a
// numeric field is sized from the face it is drawn in.
inline int fieldWidthForChars(const QLineEdit* edit, int chars)
{
    const QFontMetrics fm(edit->font());
    const QMargins text = edit->textMargins();
    constexpr int editMargins = 2 * 2; // the line edit's own margin on either side
    constexpr int cursor = 2;
    const int inner = fm.horizontalAdvance(QString(chars, QLatin1Char('0'))) + editMargins + cursor +
                      text.left() + text.right();
    QStyleOptionFrame opt;
    opt.initFrom(edit);
    opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
    opt.midLineWidth = 0;
    opt.state |= QStyle::State_Sunken;
    return edit->style()->sizeFromContents(QStyle::CT_LineEdit, &opt, QSize(inner, fm.height()), edit).width();
}
