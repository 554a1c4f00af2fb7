// An editable combo box whose typed text is a value of its own: the list offers values, but
// what the operator types stands as typed. Qt's defaults would add the text to the list on
// Enter and complete "250" to a listed "2500" while it is typed.
#pragma once
#include "platform/strscan.h"
#include "platform/ui.h"

#include <QComboBox>

#include <cstdint>
#include <string>

inline void setTypedTextStands(QComboBox* box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
}

// A typed number that names something (a code, a drawing) or is packed with another value:
// outside lo..hi, or beyond 32 bits where it would wrap into another number, it is refused with
// "<what>が範囲外です。", the box takes the focus and `value` stays untouched. Text without a
// number is 0, as everywhere.
inline bool typedNumberFits(QWidget* box, const QString& text, const char* what, int32_t& value,
                            int32_t lo = INT32_MIN, int32_t hi = INT32_MAX)
{
    int32_t v = 0;
    if (strToLongFits(text.toStdString(), v) && v >= lo && v <= hi) {
        value = v;
        return true;
    }
    ui::showMessage(std::string(what) + "が範囲外です。");
    box->setFocus();
    return false;
}
