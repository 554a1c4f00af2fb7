#include "shell/frmnvmain.h"

#include "dialogs/defimg.h"
#include "dialogs/placed.h"
#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/pdata.h"
#include "platform/paths.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "render/canvas.h"
#include "render/imaging.h"
#include "render/kxdraw.h"
#include "render/paintboxex.h"
#include "render/tone.h"
#include "shell/entries.h"
#include "shell/startopen.h"
#include "workbench/traceanalyse.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStorageInfo>
#include <QTimer>
#include <QTreeView>

#include <algorithm>
#include <vector>

TFrm_NVMain* Frm_NVMain = nullptr;
Bitmap previewBitmap;

namespace {

// Description and mask of each filter entry, byte for byte as the filter text gives them.
struct FilterEntry {
    const char* description;
    const char* mask;
};
const FilterEntry kFilters[] = {
    {"All Raster (*.tif:*.png;*.bmp)", "*.tif;*.png;*.bmp"},
    {" Tiff File (*.tif)", "*.tif"},
    {" Png File (*.png)", "*.png"},
    {" Bmp File (*.bmp)", "*.bmp"},
};

bool fileExists(const std::string& path)
{
    QFileInfo fi(QString::fromStdString(path));
    return !path.empty() && fi.exists() && !fi.isDir();
}

// "C:\" of the stand-alone road: the operator's home folder.
QString defaultFolder()
{
    return QDir::homePath();
}

// The file model also holds the folders it met on the way to earlier folders, and lists them
// among the files whatever its filter: the file list hides every folder row itself.
void hideFolderRows(QListView* list, const QFileSystemModel* model)
{
    const QModelIndex root = list->rootIndex();
    for (int r = 0; r < model->rowCount(root); ++r)
        list->setRowHidden(r, model->isDir(model->index(r, 0, root)));
}

} // namespace

TFrm_NVMain::TFrm_NVMain(QWidget* owner) : QWidget(owner, Qt::Window)
{
    setObjectName(QStringLiteral("Frm_NVMain"));
    setWindowTitle(QStringLiteral("ノアベル"));
    setFixedSize(607, 484);

    GroupBox1 = named(new QGroupBox(QStringLiteral("図面選択"), this), "GroupBox1", 0, 0, 193, 413);
    QWidget* g = GroupBox1;
    DriveComboBox1 = named(new QComboBox(g), "DriveComboBox1", 20, 16, 157, 18);
    DirectoryListBox1 = named(new QTreeView(g), "DirectoryListBox1", 20, 40, 161, 129);
    FileListBox1 = named(new QListView(g), "FileListBox1", 20, 176, 161, 145);
    FilterComboBox1 = named(new QComboBox(g), "FilterComboBox1", 20, 324, 161, 20);
    Btn_Dsp = named(new QPushButton(QStringLiteral("表示"), g), "Btn_Dsp", 16, 348, 45, 25);
    Btn_SetPos = named(new QPushButton(QStringLiteral("座標設定"), g), "Btn_SetPos", 64, 348, 61, 25);
    Btn_Edit = named(new QPushButton(QStringLiteral("編集"), g), "Btn_Edit", 128, 348, 45, 25);
    CB_Trelvex = named(new QCheckBox(QStringLiteral("編集時に端点認識する"), g), "CB_Trelvex", 36, 384, 141, 17);
    Img_Tone50 = named(new QLabel(g), "Img_Tone50", 176, 348, 8, 8);
    Img_Tone25 = named(new QLabel(g), "Img_Tone25", 176, 358, 8, 8);
    Img_Tone10 = named(new QLabel(g), "Img_Tone10", 176, 368, 8, 8);
    QLabel* pics[3] = {Img_Tone10, Img_Tone25, Img_Tone50};
    for (int k = 0; k < 3; ++k) {
        if (const QImage* pattern = toneGetGraphic(k))
            tone[k] = *pattern;
        pics[k]->setPixmap(QPixmap::fromImage(tone[k]));
        pics[k]->hide();
    }

    SB_Ts = named(new QScrollArea(this), "SB_Ts", 196, 0, 400, 413);
    SB_Ts->setFrameShape(QFrame::NoFrame);
    auto* box = new QWidget;
    box->setFixedSize(400, 413);
    SB_Ts->setWidget(box);
    PB_Ts = named(new TPaintBoxEx(box), "PB_Ts", 0, 0, 0, 0);
    PB_Ts->setAccessibleName(QStringLiteral("プレビュー"));
    Btn_Exit = named(new QPushButton(QStringLiteral("終了"), this), "Btn_Exit", 540, 432, 53, 25);

    // Drives: the home folder, the root and the mounted volumes.
    QStringList drives = {QDir::homePath(), QStringLiteral("/")};
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady() && !drives.contains(v.rootPath()))
            drives << v.rootPath();
    DriveComboBox1->addItems(drives);

    dirModel = new QFileSystemModel(this);
    dirModel->setObjectName(QStringLiteral("DirectoryModel"));
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    DirectoryListBox1->setModel(dirModel);
    for (int c = 1; c < dirModel->columnCount(); ++c)
        DirectoryListBox1->hideColumn(c);
    DirectoryListBox1->setHeaderHidden(true);

    fileModel = new QFileSystemModel(this);
    fileModel->setObjectName(QStringLiteral("FileModel"));
    // No QDir::CaseSensitive: the masks match any case, so "SHEET.TIF" is listed beside "sheet.tif".
    fileModel->setFilter(QDir::Files | QDir::NoDotAndDotDot);
    fileModel->setNameFilterDisables(false);
    FileListBox1->setModel(fileModel);
    FileListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const FilterEntry& f : kFilters)
        FilterComboBox1->addItem(QString::fromLatin1(f.description));
    FilterComboBox1Change();

    // The folders load and sort in the background: as they arrive just after a folder was
    // set, the current one is kept expanded and in view (later the operator browses freely).
    auto keepCurrentInView = [this] {
        const QModelIndex current = DirectoryListBox1->currentIndex();
        if (!current.isValid() || !folderSetAt_.isValid() || folderSetAt_.elapsed() > 2000)
            return;
        for (QModelIndex p = current.parent(); p.isValid(); p = p.parent())
            DirectoryListBox1->expand(p);
        QTimer::singleShot(0, DirectoryListBox1, [this] {
            // Not once the operator has chosen in the tree meanwhile.
            if (folderSetAt_.isValid())
                DirectoryListBox1->scrollTo(DirectoryListBox1->currentIndex(), QAbstractItemView::PositionAtCenter);
        });
    };
    connect(dirModel, &QFileSystemModel::directoryLoaded, this, keepCurrentInView);
    connect(dirModel, &QFileSystemModel::layoutChanged, this, keepCurrentInView);
    connect(DriveComboBox1, &QComboBox::activated, this, &TFrm_NVMain::DriveComboBox1Change);
    connect(DirectoryListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFrm_NVMain::DirectoryListBox1Change);
    connect(FileListBox1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &TFrm_NVMain::FileListBox1Change);
    // A mouse click makes the file current before it selects it: the buttons follow the
    // selection too, or a clicked file would leave "表示" off.
    connect(FileListBox1->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TFrm_NVMain::FileListBox1Change);
    connect(FileListBox1, &QListView::doubleClicked, this, &TFrm_NVMain::FileListBox1DblClick);
    auto hideFolders = [this] { hideFolderRows(FileListBox1, fileModel); };
    connect(fileModel, &QFileSystemModel::rowsInserted, this, hideFolders);
    connect(fileModel, &QFileSystemModel::layoutChanged, this, hideFolders);
    connect(fileModel, &QFileSystemModel::directoryLoaded, this, hideFolders);
    connect(FilterComboBox1, &QComboBox::currentIndexChanged, this, &TFrm_NVMain::FilterComboBox1Change);
    connect(Btn_Dsp, &QPushButton::clicked, this, &TFrm_NVMain::FileListBox1DblClick);
    connect(Btn_SetPos, &QPushButton::clicked, this, &TFrm_NVMain::Btn_SetPosClick);
    connect(Btn_Edit, &QPushButton::clicked, this, &TFrm_NVMain::Btn_EditClick);
    connect(Btn_Exit, &QPushButton::clicked, this, &TFrm_NVMain::Btn_ExitClick);
    connect(PB_Ts, &TPaintBoxEx::OnPaint, this, &TFrm_NVMain::PB_TsPaint);

    // Until a setting says otherwise the folder list shows the current folder.
    setFolder(QDir::currentPath().toStdString());
    FormCreate();
}

TFrm_NVMain::~TFrm_NVMain() = default;

void TFrm_NVMain::FormCreate()
{
    previewBitmap = Bitmap();
    std::string dataDir = cfgGetText(kxDataDir);
    // A folder that no longer exists is ignored: the list stays where it was.
    setFolder(dataDir.empty() ? defaultFolder().toStdString() : dataDir);
    CB_Trelvex->setChecked(cfgGetInt(kxTRELVEX) != 0);
}

bool TFrm_NVMain::setFolder(const std::string& folder)
{
    QFileInfo fi(QString::fromStdString(folder));
    if (folder.empty() || !fi.isDir())
        return false;
    QString path = fi.canonicalFilePath();
    // The drive: the longest entry the folder lies in.
    int best = -1;
    qsizetype bestLen = -1;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        QString d = DriveComboBox1->itemText(i);
        bool inside = d == QLatin1String("/") || path == d || path.startsWith(d + QLatin1Char('/'));
        if (inside && d.size() > bestLen) {
            best = i;
            bestLen = d.size();
        }
    }
    QString drive = best >= 0 ? DriveComboBox1->itemText(best) : QStringLiteral("/");
    {
        const QSignalBlocker b1(DriveComboBox1);
        DriveComboBox1->setCurrentIndex(best);
    }
    dirModel->setRootPath(drive);
    DirectoryListBox1->setRootIndex(dirModel->index(drive));
    {
        const QSignalBlocker b2(DirectoryListBox1->selectionModel());
        QModelIndex idx = dirModel->index(path);
        if (path != drive) {
            DirectoryListBox1->setCurrentIndex(idx);
            DirectoryListBox1->scrollTo(idx);
        } else {
            DirectoryListBox1->selectionModel()->clear();
        }
        for (QModelIndex p = idx; p.isValid(); p = p.parent())
            DirectoryListBox1->expand(p);
    }
    folderSetAt_.start();
    showFolderFiles(path);
    return true;
}

void TFrm_NVMain::showFolderFiles(const QString& path)
{
    folder_ = path.toStdString();
    {
        // A new folder selects no file, and its change is no selection change: the three
        // buttons keep their state (they start enabled) until a file is picked.
        const QSignalBlocker block(FileListBox1->selectionModel());
        fileModel->setRootPath(path);
        FileListBox1->setRootIndex(fileModel->index(path));
        hideFolderRows(FileListBox1, fileModel);
        FileListBox1->selectionModel()->clear();
    }
}

std::string TFrm_NVMain::currentFolder() const
{
    return folder_;
}

std::string TFrm_NVMain::selectedPath() const
{
    QModelIndex i = FileListBox1->currentIndex();
    if (!i.isValid() || !FileListBox1->selectionModel()->isSelected(i))
        return {};
    return fileModel->filePath(i).toStdString();
}

void TFrm_NVMain::DriveComboBox1Change()
{
    setFolder(DriveComboBox1->currentText().toStdString());
}

void TFrm_NVMain::DirectoryListBox1Change()
{
    // A folder chosen in the tree: only the file list follows. The tree stays as the operator
    // sees it, neither expanded nor scrolled, so the second click of a double click lands on
    // the same folder and opens it.
    QModelIndex i = DirectoryListBox1->currentIndex();
    if (!i.isValid())
        return;
    const QString path = QFileInfo(dirModel->filePath(i)).canonicalFilePath();
    if (path.isEmpty())
        return; // gone meanwhile
    folderSetAt_.invalidate();
    showFolderFiles(path);
}

void TFrm_NVMain::FilterComboBox1Change()
{
    int i = FilterComboBox1->currentIndex();
    if (i < 0 || i >= static_cast<int>(std::size(kFilters)))
        i = 0;
    fileModel->setNameFilters(QString::fromLatin1(kFilters[i].mask).split(QLatin1Char(';')));
}

void TFrm_NVMain::FileListBox1Change()
{
    if (fileExists(selectedPath())) {
        Btn_Dsp->setEnabled(true);
    } else {
        Btn_Dsp->setEnabled(false);
        Btn_Edit->setEnabled(false);
        Btn_SetPos->setEnabled(false);
    }
}

void TFrm_NVMain::FileListBox1DblClick()
{
    std::string path = selectedPath();
    if (!fileExists(path))
        return;
    mainDrawPreview(path);
    Btn_Edit->setEnabled(true);
    Btn_SetPos->setEnabled(true);
}

void TFrm_NVMain::mainDrawPreview(const std::string& rasterPath)
{
    KXDraw kx;
    kx.imgDef->imagePath = rasterPath;
    const std::string zki = pathChangeExt(rasterPath, "ZKI");
    kx.zkiPath[0] = zki;
    kx.layerCount = 1;

    // A figure file that is the raster itself holds no figures: the image is shown bare (and
    // imgDefRead takes such a Def file for none).
    const std::vector<TCompanion> files = layerDrawingCompanions(rasterPath, {zki});
    const std::vector<TCompanionClash> clashes = layerCompanionClashes(rasterPath, files);
    const bool zkiIsRaster = std::any_of(clashes.begin(), clashes.end(), [&](const TCompanionClash& c) {
        return files[c.index].kind == TCompanionKind::Figures;
    });
    // The figures are read while the raster decodes; what reading them reports ("複雑すぎる")
    // is shown on this thread once they are read.
    PData store;
    store.useNames = 1;
    HoldMessagesBeside hold;
    WorkBeside figures([&store, &zki, zkiIsRaster] {
        if (!zkiIsRaster)
            store.PD_LoadFile(zki, 0); // a missing file leaves it empty
    });

    Bitmap raster;
    if (!imgLoadToBitmap(rasterPath, raster) || raster.width() <= 0 || raster.height() <= 0) {
        // Not a raster that can be read: an empty preview rather than a fit by a zero size.
        figures.wait();
        previewBitmap = Bitmap();
        PB_Ts->setGeometry(0, 0, 0, 0);
        PB_Ts->update();
        ui::showMessage("ERROR-OPEN " + rasterPath);
        return;
    }
    kx.rasterBmp = &raster;

    const double boxW = 400.0, boxH = 413.0; // SB_Ts
    const double fx = boxW / raster.width();
    const double fy = boxH / raster.height();
    const double fit = 0.95 * (fx < fy ? fx : fy);
    const int top = static_cast<int>((boxH - raster.height() * fit) * 0.5);
    const int left = static_cast<int>((boxW - raster.width() * fit) * 0.5);
    const int width = static_cast<int>(raster.width() * fit);
    const int height = static_cast<int>(raster.height() * fit);
    PB_Ts->setGeometry(left, top, width, height);
    previewBitmap = Bitmap(width, height, pf24bit); // white

    imgDefRead(*kx.imgDef, imgGetFileDpi);
    kx.SetDrawParams(1, 3, 1, 1, 1, 0, -1, 1, 1.0 / fit, 1.0 / fit, 1.0, 1.0);
    kx.SetPrintLayout(0, 0, 0, -1, -1, -1);
    const double dpm = fit * 7.874015748031496;

    figures.finish();
    kx.pdata[0] = &store;
    if (!previewBitmap.isEmpty()) {
        Canvas canvas(previewBitmap);
        kx.Draw(&canvas, width, height, dpm);
    }
    kx.pdata[0] = nullptr;
    kx.rasterBmp = nullptr;
    PB_Ts->update();
    if (!clashes.empty())
        ui::showMessage(layerClashText(clashes));
}

void TFrm_NVMain::PB_TsPaint(Canvas& canvas)
{
    canvas.setBrushStyle(BrushStyle::Solid);
    canvas.setBrushColor(0xFFFFFF);
    canvas.fillRect(0, 0, PB_Ts->width(), PB_Ts->height());
    if (!previewBitmap.isEmpty())
        canvas.draw(0, 0, previewBitmap);
}

std::string TFrm_NVMain::checkedPath()
{
    // The path is taken whole, however long.
    std::string path = selectedPath();
    if (path.size() <= 4) {
        ui::showMessage("不正なファイル名です");
        return {};
    }
    if (!fileExists(path)) {
        ui::showMessage("指定したラスタファイルが見つかりません");
        return {};
    }
    return path;
}

void TFrm_NVMain::Btn_EditClick()
{
    std::string path = checkedPath();
    if (path.empty())
        return;
    ShellEntries& entries = shellEntries();
    KXDraw kx;
    kx.imgDef->imagePath = path;
    kx.rvlPath = pathChangeExt(path, "RVL");
    kx.layerCount = 1;
    PData store;
    store.useNames = 1;
    kx.pdata[0] = &store;
    kx.zkiPath[0] = pathChangeExt(path, "ZKI");
    if (!startCompanionsFree(kx))
        return;

    bool trace = CB_Trelvex->isChecked();
    if (trace && !QFileInfo::exists(QString::fromStdString(kx.rvlPath)) && entries.tracePreprocess)
        entries.tracePreprocess(path);
    if (entries.traceAnalyseInfo)
        entries.traceAnalyseInfo(&kx, trace ? 1 : 0);
    imgDefRead(*kx.imgDef, imgGetFileDpi);
    if (kx.rasterBmp && !kx.rasterBmp->isEmpty()) {
        kx.imgDef->width = kx.rasterBmp->width();
        kx.imgDef->height = kx.rasterBmp->height();
    }

    hide();
    int result = entries.showKXInput ? entries.showKXInput(&kx) : 2;
    if (result == 3)
        mainDrawPreview(path);
    show();

    if (entries.inputFreeWorkBitmaps)
        entries.inputFreeWorkBitmaps(&kx);
    store.PD_Clear();
    kx.pdata[0] = nullptr;
}

void TFrm_NVMain::Btn_SetPosClick()
{
    std::string path = checkedPath();
    if (path.empty())
        return;
    TImgDef def;
    def.imagePath = path;
    // A Def file that is the raster itself would be written over the image.
    if (const std::string clash = imgDefClash(def); !clash.empty()) {
        ui::showMessage(clash);
        return;
    }
    imgDefRead(def, imgGetFileDpi);
    if (showDefImg("位置設定", "", &def) == 2 && !imgDefWrite(def))
        ui::showMessage("ERR OPEN " + pathChangeExt(path, "Def"));
}

void TFrm_NVMain::Btn_ExitClick()
{
    cfgSetText(kxDataDir, currentFolder());
    cfgSetInt(kxTRELVEX, CB_Trelvex->isChecked() ? 1 : 0);
    cfgSave(registryCreateKey);
    close();
}

int TFrm_NVMain::showModal()
{
    if (QScreen* screen = this->screen())
        move(screen->availableGeometry().center() - rect().center());
    setWindowModality(Qt::ApplicationModal);
    result_ = 0;
    show();
    QEventLoop loop;
    loop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    loop_ = nullptr;
    return result_;
}

void TFrm_NVMain::closeEvent(QCloseEvent* event)
{
    // "終了" and the frame end the run alike, with the class library's cancel value.
    result_ = 2;
    event->accept();
    if (loop_)
        loop_->exit(0);
}

void frmNVMainCreate()
{
    if (!Frm_NVMain)
        Frm_NVMain = new TFrm_NVMain;
}

void frmNVMainDestroy()
{
    delete Frm_NVMain;
    Frm_NVMain = nullptr;
    previewBitmap = Bitmap();
}

int frmNVMainShowModal()
{
    if (!Frm_NVMain)
        frmNVMainCreate();
    return Frm_NVMain->showModal();
}

const QImage* mainGetToneGraphic(int kind)
{
    if (!Frm_NVMain || kind < 0 || kind > 2)
        return nullptr;
    return &Frm_NVMain->tone[kind];
}
