// The record detail grid: every column of one record of a reference table, as names and values,
// and the document that a document column names, opened through the shell.
#pragma once
#include "workbench/recform.h"

#include <string>

class QPushButton;
class QTableWidget;
class QWidget;

void showQRVDetail(const std::string& title, int table, const std::string& number);

// The form is made once at program start and kept for the run.
void qrvDetailCreate();
void qrvDetailDestroy();

// The table shown by the last call, and the index of the record found for its number (-1 none).
extern int detailTable;
extern int detailRecord;

class TFrmQRVDetail : public TRecDialog {
    Q_OBJECT
public:
    TFrmQRVDetail();

    QTableWidget* SG_Detail;
    QWidget* Panel1;
    QPushButton* Btn_ShowDoc;
    QPushButton* Button1;

    // Fills the grid for the call and sets the form's height; see showQRVDetail.
    void fill(const std::string& title, int table, const std::string& number);

public slots:
    void Button1Click();
    void SG_DetailClick();
    void FormActivate();
    void Btn_ShowDocClick();
    void SG_DetailDblClick();

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;
};

extern TFrmQRVDetail* FrmQRVDetail;
