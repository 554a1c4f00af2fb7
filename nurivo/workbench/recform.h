// What the record dialogs share: the form face, the modal results of a frame close and of
// Escape, and the leader-line mark boxes with their rule.
#pragma once
#include "model/pdata.h"

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QTableWidget;
class TLayer;

// Sets the form's face: the Windows faces resolve to their IPA twins.
void recFormSetFont(QWidget* form, const QString& face, int pixelSize);

// Row 0 of the grid as its fixed header line: the grid's own header shows row 0's texts and
// stays above the rows when they scroll; row 0 itself stays as the data, hidden. A click on it
// selects nothing.
void recGridFixHeaderRow(QTableWidget* grid, int height);

// The rows of an attribute list as the kind lists show them, "code name"; none for no list.
QStringList recLayerItems(const TLayer* list);

// A kind list `width` pixels wide whatever its names: a long name widens neither the dialog
// (past the screen, with the longest names) nor the opened list, which elides it.
QComboBox* recKindList(QWidget* owner, int width);

// A modal form whose frame close ends it with 2 and whose Escape ends it with `escapeResult`.
class TRecDialog : public QDialog {
    Q_OBJECT
public:
    explicit TRecDialog(int escapeResult, QWidget* parent = nullptr);
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;
    // Hands the edited header to `rec` (its points stay where they are) and ends the form with
    // 2 when it was opened to update (mode 1), 3 when to add.
    void confirmHeader(TPRec* rec, const TPRecHdr& work, int mode);

private:
    int escapeResult_;
};

// The group "起終点設定" of leader lines with marks: four boxes, each "黒縁" enabled exactly
// while its mark is shown, from the opening on.
struct TSEDefGroup {
    QGroupBox* GB_SEDef = nullptr;
    QCheckBox* CHK_SDsp = nullptr;
    QCheckBox* CHK_EDsp = nullptr;
    QCheckBox* CHK_SFuti = nullptr;
    QCheckBox* CHK_EFuti = nullptr;

    void build(QWidget* form);
    // Boxes from the bits 1, 2, 4 and 8.
    void setFlags(int flags);
    int flags() const;
    void applyRule();
};

// The flag boxes of a record's kind: "塗りつぶし" for polygons and circles, the mark boxes for
// leader lines with marks. Each is shown only for its kinds and set from `flags`.
void recShowFlagBoxes(int kind, int flags, QCheckBox* fill, TSEDefGroup& marks);
// The flags the boxes give for the kind; 0 for a kind without boxes.
int recFlagsFromBoxes(int kind, const QCheckBox* fill, const TSEDefGroup& marks);
