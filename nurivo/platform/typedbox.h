// An editable combo box whose typed text is a value of its own: the list offers values, but
// what the operator types stands as typed. Qt's defaults would add the text to the list on
// Enter and complete "250" to a listed "2500" while it is typed.
#pragma once
#include <QComboBox>

inline void setTypedTextStands(QComboBox* box)
{
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);
    box->setCompleter(nullptr);
}
