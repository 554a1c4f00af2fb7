// The raster picker driven through its controls: the file list and its masks, the buttons'
// states, the preview, "編集" through the entry table, and "終了" with the settings.
#include "shell/frmnvmain.h"

#include "model/imgdef.h"
#include "model/kxtbl.h"
#include "model/layer.h"
#include "model/laytbl.h"
#include "model/pdata.h"
#include "platform/message.h"
#include "platform/registry.h"
#include "platform/ui.h"
#include "render/kxdraw.h"
#include "render/paintboxex.h"
#include "render/tone.h"
#include "shell/entries.h"
#include "formtest.h"
#include "testutil.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemModel>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QGroupBox>
#include <QScrollArea>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

namespace {

bool waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

void writeRaster(const std::string& path, int w, int h, const char* format)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(Qt::white);
    for (int x = 0; x < w; ++x)
        img.setPixel(x, h / 2, qRgb(0, 0, 0));
    ASSERT_TRUE(img.save(QString::fromStdString(path), format)) << path;
}

QStringList listed()
{
    QStringList names;
    QListView* list = Frm_NVMain->FileListBox1;
    QModelIndex root = list->rootIndex();
    for (int r = 0; r < Frm_NVMain->fileModel->rowCount(root); ++r) {
        QModelIndex i = Frm_NVMain->fileModel->index(r, 0, root);
        if (!list->isRowHidden(r))
            names << i.data().toString();
    }
    names.sort();
    return names;
}

class Picker : public ::testing::Test {
protected:
    testutil::TempDir dir;
    testutil::TempDir config;

    void SetUp() override
    {
        ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
        ui::useScripted();
        shellEntriesReset();
        cfgSetText(kxDataDir, dir.path());
        cfgSetInt(kxTRELVEX, 0);
        writeRaster(dir.file("sheet.png"), 800, 600, "PNG");
        writeRaster(dir.file("SHEET.TIF"), 60, 40, "TIFF");
        writeRaster(dir.file("other.bmp"), 50, 50, "BMP");
        testutil::writeBytes(dir.file("note.txt"), "x");
        frmNVMainCreate();
        Frm_NVMain->show();
        ASSERT_TRUE(waitFor([] { return listed().size() >= 3; })) << listed().join(",").toStdString();
    }
    void TearDown() override
    {
        frmNVMainDestroy();
        shellEntriesReset();
        ::unsetenv("XDG_CONFIG_HOME");
    }

    void select(const std::string& name)
    {
        QModelIndex i = Frm_NVMain->fileModel->index(QString::fromStdString(dir.file(name)));
        ASSERT_TRUE(i.isValid()) << name;
        Frm_NVMain->FileListBox1->setCurrentIndex(i);
    }
    static bool enabled(QPushButton* b) { return b->isEnabled(); }
    static std::vector<std::string> messages() { return formtest::messages(); }
};

TEST_F(Picker, AFileClickedWithTheMouseCanBeShown)
{
    TFrm_NVMain* f = Frm_NVMain;
    QListView* list = f->FileListBox1;
    const QModelIndex i = f->fileModel->index(QString::fromStdString(dir.file("sheet.png")));
    ASSERT_TRUE(i.isValid());
    f->FileListBox1Change(); // nothing selected: "表示" off
    EXPECT_FALSE(enabled(f->Btn_Dsp));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(i).center());
    ASSERT_EQ(f->selectedPath(), std::filesystem::canonical(dir.path()).string() + "/sheet.png");
    EXPECT_TRUE(enabled(f->Btn_Dsp));
}

TEST_F(Picker, TheFileListShowsNoFoldersAfterVisitingOne)
{
    // A folder once shown is known to the list's model, which would list it among the files of
    // its parent.
    const std::string sub = dir.file("maps.tif"); // a folder named like a raster, too
    std::filesystem::create_directory(sub);
    ASSERT_TRUE(Frm_NVMain->setFolder(sub));
    ASSERT_TRUE(waitFor([] { return listed().isEmpty(); }));
    ASSERT_TRUE(Frm_NVMain->setFolder(dir.path()));
    QApplication::processEvents();
    EXPECT_TRUE(waitFor([] { return listed() == QStringList({"SHEET.TIF", "other.bmp", "sheet.png"}); }))
        << listed().join(",").toStdString();
}

TEST_F(Picker, FormMasksAndButtonStates)
{
    TFrm_NVMain* f = Frm_NVMain;
    EXPECT_EQ(f->windowTitle(), QStringLiteral("ノアベル"));
    EXPECT_EQ(f->size(), QSize(607, 484));
    EXPECT_EQ(f->currentFolder(), std::filesystem::canonical(dir.path()).string());
    // The masks ignore case and hide the rest.
    EXPECT_EQ(listed(), QStringList({"SHEET.TIF", "other.bmp", "sheet.png"}));
    const char* const filters[] = {"All Raster (*.tif:*.png;*.bmp)", " Tiff File (*.tif)",
                                   " Png File (*.png)", " Bmp File (*.bmp)"};
    const QStringList shown[] = {{"SHEET.TIF", "other.bmp", "sheet.png"}, {"SHEET.TIF"}, {"sheet.png"}, {"other.bmp"}};
    ASSERT_EQ(f->FilterComboBox1->count(), 4);
    for (int i = 3; i >= 0; --i) {
        EXPECT_EQ(f->FilterComboBox1->itemText(i), QString::fromLatin1(filters[i]));
        f->FilterComboBox1->setCurrentIndex(i);
        EXPECT_TRUE(waitFor([&] { return listed() == shown[i]; })) << i << listed().join(",").toStdString();
    }

    // The three start enabled.
    EXPECT_TRUE(enabled(f->Btn_Dsp));
    EXPECT_TRUE(enabled(f->Btn_Edit));
    EXPECT_TRUE(enabled(f->Btn_SetPos));
    // A missing entry turns them off; picking a file turns "表示" on.
    f->FileListBox1Change();
    EXPECT_FALSE(enabled(f->Btn_Dsp));
    select("sheet.png");
    EXPECT_TRUE(enabled(f->Btn_Dsp));
    EXPECT_FALSE(enabled(f->Btn_Edit));
    QTest::mouseClick(f->Btn_Dsp, Qt::LeftButton);
    EXPECT_TRUE(enabled(f->Btn_Edit));
    EXPECT_TRUE(enabled(f->Btn_SetPos));
    // 800 x 600 in the 400 x 413 box: fit 0.475.
    EXPECT_EQ(f->PB_Ts->geometry(), QRect(10, 64, 380, 285));
    EXPECT_EQ(previewBitmap.width(), 380);
    EXPECT_EQ(previewBitmap.height(), 285);
    // The line across the middle of the raster is in the preview.
    int darkest = 255;
    for (int y = 138; y < 147; ++y)
        darkest = std::min(darkest, qGray(previewBitmap.image().pixel(190, y)));
    EXPECT_LT(darkest, 160);
    EXPECT_EQ(previewBitmap.image().pixel(190, 100), qRgb(255, 255, 255));
    // Another existing file keeps them on.
    select("other.bmp");
    EXPECT_TRUE(enabled(f->Btn_Dsp));
    EXPECT_TRUE(enabled(f->Btn_Edit));
    EXPECT_TRUE(enabled(f->Btn_SetPos));
    // An entry whose file is gone turns all three off, and "表示" then does nothing.
    std::filesystem::remove(dir.file("other.bmp"));
    f->FileListBox1Change();
    EXPECT_FALSE(enabled(f->Btn_Dsp));
    EXPECT_FALSE(enabled(f->Btn_Edit));
    EXPECT_FALSE(enabled(f->Btn_SetPos));
    f->FileListBox1DblClick();
    EXPECT_EQ(previewBitmap.width(), 380);
    EXPECT_TRUE(messages().empty());
}

TEST_F(Picker, PreviewDrawsTheFiguresFilled)
{
    layTblCreate(1);
    TLayer& list = *layTblGet(0)->layer;
    list.count = 0;
    TLayerRec r;
    r.code = 1;
    r.color = 0x0000FF; // red
    list.layerAdd(r);
    PData store;
    TPRec fig;
    fig.kind = PK_POLYGON;
    fig.flags = 1;
    fig.pts = {{100, 100}, {700, 100}, {700, 250}, {100, 250}};
    fig.nPts = 4;
    fig.labelX = 400;
    fig.labelY = 175;
    store.PD_AddPoly(0, fig);
    ASSERT_EQ(store.PD_SaveFile(dir.file("sheet.ZKI")), 1);
    Frm_NVMain->mainDrawPreview(dir.file("sheet.png"));
    int red = 0;
    for (int y = 50; y < 115; ++y)
        for (int x = 50; x < 330; ++x)
            red += previewBitmap.image().pixel(x, y) == qRgb(255, 0, 0);
    EXPECT_GT(red, 200);
    // Outside the figure the sheet stays white.
    EXPECT_EQ(previewBitmap.image().pixel(20, 20), qRgb(255, 255, 255));
}

// The figures are read while the raster decodes: what reading them reports is shown on the
// calling thread, once, and the figure is drawn.
TEST_F(Picker, PreviewFiguresReadBesideTheDecodeReportOnTheCallingThread)
{
    // Version 1: the label point is worked out while reading; a zigzag crossing its middle
    // line 24 times is too complex.
    std::string zki = "1 1\r\n0 25 0 0 0 0 0 0 0 0 0 0 z\r\n";
    for (int i = 0; i <= 23; ++i)
        zki += std::to_string(100 + i * 25) + (i % 2 ? " 400\r\n" : " 100\r\n");
    zki += "675 100\r\n";
    testutil::writeBytes(dir.file("sheet.ZKI"), zki);
    std::vector<std::pair<std::string, std::thread::id>> shown;
    MessageSink before = setMessageSink([&](const std::string& t) { shown.emplace_back(t, std::this_thread::get_id()); });
    Frm_NVMain->mainDrawPreview(dir.file("sheet.png"));
    setMessageSink(before);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, "複雑すぎる");
    EXPECT_EQ(shown[0].second, std::this_thread::get_id());
    int drawn = 0; // the zigzag's pixels, away from the raster's line at mid-height
    for (int y = 40; y < 130; ++y)
        for (int x = 40; x < 330; ++x)
            drawn += previewBitmap.image().pixel(x, y) != qRgb(255, 255, 255);
    EXPECT_GT(drawn, 50);
}

TEST_F(Picker, UnreadableRasterGivesAnEmptyPreviewAndAMessage)
{
    testutil::writeBytes(dir.file("broken.tif"), "not a tiff");
    ASSERT_TRUE(waitFor([&] { return listed().contains("broken.tif"); }));
    select("broken.tif");
    QTest::mouseClick(Frm_NVMain->Btn_Dsp, Qt::LeftButton);
    EXPECT_TRUE(previewBitmap.isEmpty());
    EXPECT_EQ(messages(), std::vector<std::string>{"ERROR-OPEN " + dir.file("broken.tif")});
}

TEST_F(Picker, ToneGraphicsAreThePatterns)
{
    for (int k = 0; k < 3; ++k) {
        ASSERT_NE(mainGetToneGraphic(k), nullptr);
        EXPECT_EQ(*mainGetToneGraphic(k), *toneGetGraphic(k));
    }
    EXPECT_EQ(mainGetToneGraphic(3), nullptr);
    EXPECT_EQ(mainGetToneGraphic(-1), nullptr);
    EXPECT_FALSE(Frm_NVMain->Img_Tone10->isVisible());
}

TEST_F(Picker, FolderFromTheSettingOrHomeOrStays)
{
    frmNVMainDestroy();
    cfgSetText(kxDataDir, "");
    cfgSetInt(kxTRELVEX, 1);
    frmNVMainCreate();
    EXPECT_EQ(Frm_NVMain->currentFolder(), QDir(QDir::homePath()).canonicalPath().toStdString());
    EXPECT_TRUE(Frm_NVMain->CB_Trelvex->isChecked());
    frmNVMainDestroy();
    cfgSetText(kxDataDir, dir.file("gone"));
    frmNVMainCreate();
    EXPECT_EQ(Frm_NVMain->currentFolder(), QDir::current().canonicalPath().toStdString());
}

TEST_F(Picker, ExitStoresFolderAndOptionFrameDoesNot)
{
    std::string sub = dir.file("sub");
    std::filesystem::create_directory(sub);
    Frm_NVMain->hide();
    // The frame: nothing stored.
    QTimer::singleShot(0, [&] {
        Frm_NVMain->setFolder(sub);
        Frm_NVMain->CB_Trelvex->setChecked(true);
        Frm_NVMain->close();
    });
    EXPECT_EQ(frmNVMainShowModal(), 2);
    EXPECT_EQ(cfgGetText(kxDataDir), dir.path());
    EXPECT_EQ(cfgGetInt(kxTRELVEX), 0);
    // Escape does nothing; "終了" stores both and writes the settings.
    QTimer::singleShot(0, [&] {
        QTest::keyClick(Frm_NVMain, Qt::Key_Escape);
        EXPECT_TRUE(Frm_NVMain->isVisible());
        QTest::mouseClick(Frm_NVMain->Btn_Exit, Qt::LeftButton);
    });
    EXPECT_EQ(frmNVMainShowModal(), 2);
    std::string canonicalSub = std::filesystem::canonical(sub).string();
    EXPECT_EQ(cfgGetText(kxDataDir), canonicalSub);
    EXPECT_EQ(cfgGetInt(kxTRELVEX), 1);
    std::string stored = testutil::readBytes(config.file("Tavisol/NV_Tool.conf"));
    EXPECT_NE(stored.find(canonicalSub), std::string::npos) << stored;
    // The next start opens there with the option ticked.
    frmNVMainDestroy();
    cfgSetText(kxDataDir, "");
    cfgSetInt(kxTRELVEX, 0);
    cfgLoad(registryCreateKey);
    frmNVMainCreate();
    EXPECT_EQ(Frm_NVMain->currentFolder(), canonicalSub);
    EXPECT_TRUE(Frm_NVMain->CB_Trelvex->isChecked());
}

// Records what "編集" hands over.
struct EditRecorder {
    std::vector<std::string> preprocessed;
    std::vector<int> useTrace;
    int freed = 0;
    int result = 2;
    bool hiddenDuring = false;
    int defWidth = -1;
    std::string rvl;
    std::string zki;
    Bitmap raster{123, 45, pf1bit};

    void install()
    {
        ShellEntries& e = shellEntries();
        e.tracePreprocess = [this](const std::string& p) { preprocessed.push_back(p); };
        e.traceAnalyseInfo = [this](KXDraw* kx, int use) {
            useTrace.push_back(use);
            kx->rasterBmp = &raster;
        };
        e.showKXInput = [this](KXDraw* kx) {
            hiddenDuring = !Frm_NVMain->isVisible();
            defWidth = kx->imgDef->width;
            rvl = kx->rvlPath;
            zki = kx->zkiPath[0];
            return result;
        };
        e.inputFreeWorkBitmaps = [this](KXDraw* kx) {
            ++freed;
            kx->rasterBmp = nullptr;
        };
    }
};

TEST_F(Picker, EditHandsTheDrawingToTheWorkbench)
{
    EditRecorder rec;
    rec.install();
    TFrm_NVMain* f = Frm_NVMain;
    // Nothing selected.
    QTest::mouseClick(f->Btn_Edit, Qt::LeftButton); // enabled from the start
    select("sheet.png");
    // A Def file with another size: the bitmap's size wins.
    TImgDef def;
    def.imagePath = dir.file("sheet.png");
    def.dpi = 400;
    def.width = 9;
    ASSERT_EQ(imgDefWrite(def), 1);

    // Ticked, no RVL: pre-processed; result 3 redraws the preview.
    f->CB_Trelvex->setChecked(true);
    previewBitmap = Bitmap();
    f->Btn_EditClick();
    EXPECT_EQ(rec.preprocessed, std::vector<std::string>{dir.file("sheet.png")});
    EXPECT_EQ(rec.useTrace, std::vector<int>{1});
    EXPECT_TRUE(rec.hiddenDuring);
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(rec.defWidth, 123);
    EXPECT_EQ(rec.rvl, dir.file("sheet.RVL"));
    EXPECT_EQ(rec.zki, dir.file("sheet.ZKI"));
    EXPECT_EQ(rec.freed, 1);
    EXPECT_TRUE(previewBitmap.isEmpty()); // result 2: not redrawn
    rec.result = 3;
    // Ticked with an RVL file: not pre-processed.
    testutil::writeBytes(dir.file("sheet.RVL"), "");
    f->Btn_EditClick();
    EXPECT_EQ(rec.preprocessed.size(), 1u);
    EXPECT_EQ(previewBitmap.width(), 380);
    // Clear: neither pre-processed nor trace loaded.
    f->CB_Trelvex->setChecked(false);
    std::filesystem::remove(dir.file("sheet.RVL"));
    f->Btn_EditClick();
    EXPECT_EQ(rec.preprocessed.size(), 1u);
    EXPECT_EQ(rec.useTrace, (std::vector<int>{1, 1, 0}));
    // A selected file that is gone.
    std::filesystem::remove(dir.file("sheet.png"));
    f->Btn_EditClick();
    f->Btn_SetPosClick();
    EXPECT_EQ(messages(), (std::vector<std::string>{"不正なファイル名です", "指定したラスタファイルが見つかりません",
                                                    "指定したラスタファイルが見つかりません"}));
    EXPECT_EQ(rec.freed, 3);
}

// Ends the position dialog with one of its buttons once it is up.
void answerPositionDialog(const char* button)
{
    formtest::whenModal([button](QWidget* d) {
        EXPECT_EQ(d->windowTitle(), QStringLiteral("位置設定"));
        if (auto* ed = d->findChild<QLineEdit*>("ED_IX1"))
            ed->setText(QStringLiteral("321"));
        QTest::mouseClick(d->findChild<QPushButton*>(button), Qt::LeftButton);
    });
}

TEST_F(Picker, PositionWritesTheDefFileOnConfirm)
{
    select("sheet.png");
    TFrm_NVMain* f = Frm_NVMain;
    answerPositionDialog("Button4"); // 取消
    f->Btn_SetPosClick();
    EXPECT_FALSE(std::filesystem::exists(dir.file("sheet.Def")));
    answerPositionDialog("Button3"); // 確定
    f->Btn_SetPosClick();
    TImgDef def;
    def.imagePath = dir.file("sheet.png");
    ASSERT_EQ(imgDefRead(def), 1);
    EXPECT_EQ(def.imgX1, 321);
    EXPECT_EQ(def.width, 800);
    EXPECT_TRUE(messages().empty());
    // A Def file that cannot be written is reported.
    select("other.bmp");
    std::filesystem::create_directory(dir.file("other.Def"));
    answerPositionDialog("Button3");
    f->Btn_SetPosClick();
    EXPECT_EQ(messages(), std::vector<std::string>{"ERR OPEN " + dir.file("other.Def")});
}

} // namespace

namespace {

TEST_F(Picker, AFigureOrDefFileThatIsTheRasterIsNeverReadOrWritten)
{
    layTblCreate(1);
    layTblGet(0)->name = "図形等";
    layTblGet(0)->layerDefPath = dir.file("LayerDef.Txt");
    EditRecorder rec;
    rec.install();
    TFrm_NVMain* f = Frm_NVMain;
    const std::string raster = dir.file("sheet.png");
    const std::string image = testutil::readBytes(raster);
    std::filesystem::create_hard_link(raster, dir.file("sheet.ZKI"));
    select("sheet.png");
    const std::string zkiClash = "レイヤ「図形等」の図形ファイルがラスタファイルと同じです(" + dir.file("sheet.ZKI") + ")";

    // "表示": the bare image. "編集": not opened.
    f->FileListBox1DblClick();
    EXPECT_EQ(previewBitmap.width(), 380);
    f->Btn_EditClick();
    EXPECT_EQ(rec.defWidth, -1); // the workbench never opened
    EXPECT_EQ(messages(), (std::vector<std::string>{zkiClash, zkiClash + "\n図面を開けません"}));

    // "座標設定" with the Def file another name of the raster: no dialog, nothing written.
    std::filesystem::remove(dir.file("sheet.ZKI"));
    std::filesystem::create_hard_link(raster, dir.file("sheet.Def"));
    ui::clearRecorded();
    bool dialog = false;
    QTimer::singleShot(0, [&dialog] {
        if (QWidget* d = QApplication::activeModalWidget()) {
            dialog = true;
            QTest::mouseClick(d->findChild<QPushButton*>("Button3"), Qt::LeftButton); // 確定
        }
    });
    f->Btn_SetPosClick();
    QApplication::processEvents();
    EXPECT_FALSE(dialog);
    EXPECT_EQ(messages(), std::vector<std::string>{"画像定義ファイルがラスタファイルと同じです(" + dir.file("sheet.Def") + ")"});
    EXPECT_EQ(testutil::readBytes(raster), image);
}

} // namespace

// The picker's controls where its table puts them.
TEST_F(Picker, ControlsStandWhereTheLayoutPutsThem)
{
    TFrm_NVMain* f = Frm_NVMain;
    EXPECT_EQ(f->size(), QSize(607, 484));
    const struct {
        QWidget* control;
        QRect place;
    } rows[] = {
        {f->GroupBox1, {0, 0, 193, 413}},          {f->DriveComboBox1, {20, 16, 157, 18}},
        {f->DirectoryListBox1, {20, 40, 161, 129}}, {f->FileListBox1, {20, 176, 161, 145}},
        {f->FilterComboBox1, {20, 324, 161, 20}},   {f->Btn_Dsp, {16, 348, 45, 25}},
        {f->Btn_SetPos, {64, 348, 61, 25}},         {f->Btn_Edit, {128, 348, 45, 25}},
        {f->CB_Trelvex, {36, 384, 141, 17}},        {f->SB_Ts, {196, 0, 400, 413}},
        {f->Btn_Exit, {540, 432, 53, 25}},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.control->geometry(), r.place) << r.control->objectName().toStdString();
}

// The first click of a double click in the folder tree neither expands nor scrolls it, so the
// second lands on the same folder: the double click opens the folder it was made on.
TEST_F(Picker, ADoubleClickInTheFolderTreeOpensTheFolderItWasMadeOn)
{
    // The folders stand in the home folder, not in the temporary folder, where other programs'
    // folders come and go above them and shift the tree's rows under the clicks.
    struct HomeFolder {
        std::filesystem::path path = std::filesystem::path(QDir::homePath().toStdString()) /
                                     (".nurivo-test-tree-" + std::to_string(QCoreApplication::applicationPid()));
        ~HomeFolder()
        {
            std::error_code ec;
            std::filesystem::remove_all(path, ec);
        }
    } home;
    for (int i = 0; i < 30; ++i)
        std::filesystem::create_directories(home.path / ("f" + std::to_string(10 + i)) / "sub");
    TFrm_NVMain* f = Frm_NVMain;
    const QString top = QString::fromStdString(std::filesystem::canonical(home.path).string());
    ASSERT_TRUE(f->setFolder(top.toStdString()));
    QTreeView* tree = f->DirectoryListBox1;
    const QModelIndex parent = f->dirModel->index(top);
    auto sorted = [&] {
        if (f->dirModel->rowCount(parent) != 30)
            return false;
        for (int r = 1; r < 30; ++r)
            if (f->dirModel->index(r - 1, 0, parent).data().toString() > f->dirModel->index(r, 0, parent).data().toString())
                return false;
        return true;
    };
    ASSERT_TRUE(waitFor(sorted));
    // The tree keeps the folder just set in view while its folders arrive; the operator's
    // clicks come once it has settled.
    QTest::qWait(2100);
    QApplication::processEvents();

    // The lowest folder wholly in sight, far from the middle of the tree.
    QModelIndex target;
    for (int r = 0; r < 30; ++r) {
        const QModelIndex i = f->dirModel->index(r, 0, parent);
        if (tree->viewport()->rect().contains(tree->visualRect(i)))
            target = i;
    }
    ASSERT_TRUE(target.isValid());
    const QString targetPath = f->dirModel->filePath(target);
    const QPoint at = tree->visualRect(target).center();

    QSignalSpy loaded(f->dirModel, &QFileSystemModel::directoryLoaded);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, at);
    // The second click comes a moment later, once the tree has loaded what it loads.
    waitFor([&] { return loaded.count() > 0; }, 1000);
    QApplication::processEvents();
    QApplication::processEvents();
    tree->doItemsLayout();
    EXPECT_EQ(tree->indexAt(at), target) << "the first click moved the tree";
    QTest::mouseDClick(tree->viewport(), Qt::LeftButton, {}, at);

    EXPECT_EQ(QString::fromStdString(f->currentFolder()), targetPath);
}
