// The raster picker: the stand-alone road's main form.
#pragma once
#include "render/bitmap.h"

#include <QElapsedTimer>
#include <QWidget>

#include <string>

class QCheckBox;
class QComboBox;
class QEventLoop;
class QFileSystemModel;
class QGroupBox;
class QLabel;
class QListView;
class QPushButton;
class QScrollArea;
class QTreeView;
class TPaintBoxEx;
class Canvas;

// The form is made once at program start; the start-up hand-off runs it modally for kind 1.
void frmNVMainCreate();
void frmNVMainDestroy();
// Shows the picker modally until "終了" or the window frame closes it; the result is 2.
int frmNVMainShowModal();

// The tone pattern picture of a fill kind: 0 Img_Tone10, 1 Img_Tone25, 2 Img_Tone50; nullptr
// for any other kind or while the picker does not exist.
const QImage* mainGetToneGraphic(int kind);

// The last preview: kept for the run, shown by PB_Ts.
extern Bitmap previewBitmap;

// A stand-alone window run as a modal form: hiding it while the workbench is open must not end
// the modal run (a QDialog's exec would end), so the run is a loop of its own.
class TFrm_NVMain : public QWidget {
    Q_OBJECT
public:
    explicit TFrm_NVMain(QWidget* owner = nullptr);
    ~TFrm_NVMain() override;

    int showModal();
    // Renders the preview of an existing raster into previewBitmap and repaints PB_Ts.
    void mainDrawPreview(const std::string& rasterPath);
    // The folder the folder list shows, and the full path of the selected file ("" for none).
    std::string currentFolder() const;
    std::string selectedPath() const;
    // Points the drive, folder and file lists at `folder`; false when it is no folder.
    bool setFolder(const std::string& folder);

    QGroupBox* GroupBox1;
    QComboBox* DriveComboBox1;
    QTreeView* DirectoryListBox1;
    QListView* FileListBox1;
    QComboBox* FilterComboBox1;
    QPushButton* Btn_Dsp;
    QPushButton* Btn_SetPos;
    QPushButton* Btn_Edit;
    QCheckBox* CB_Trelvex;
    QLabel* Img_Tone50;
    QLabel* Img_Tone25;
    QLabel* Img_Tone10;
    QScrollArea* SB_Ts;
    TPaintBoxEx* PB_Ts;
    QPushButton* Btn_Exit;
    QFileSystemModel* dirModel;
    QFileSystemModel* fileModel;
    QImage tone[3]; // 10, 25, 50 %, as the hidden pictures show them

public slots:
    void FormCreate();
    void FileListBox1Change();
    void FileListBox1DblClick();
    void PB_TsPaint(Canvas& canvas);
    void Btn_EditClick();
    void Btn_SetPosClick();
    void Btn_ExitClick();
    void DriveComboBox1Change();
    void DirectoryListBox1Change();
    void FilterComboBox1Change();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // The selected path checked as "編集" and "座標設定" check it; "" after the message.
    std::string checkedPath();
    // The file list shows the folder `path`, with no file selected.
    void showFolderFiles(const QString& path);
    std::string folder_;
    QElapsedTimer folderSetAt_;
    QEventLoop* loop_ = nullptr;
    int result_ = 0;
};

extern TFrm_NVMain* Frm_NVMain;
