#include "workbench/traceanalyse.h"

#include "model/imgdef.h"
#include "model/pdata.h"
#include "model/startup.h"
#include "model/tracegrid.h"
#include "platform/message.h"
#include "render/imaging.h"
#include "render/kxdraw.h"
#include "shell/frmprogress.h"
#include "workbench/frmkxinput.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace {

// One guarded step: an exception inside it is shown with the step's name and the analysis goes
// on with the next step.
void guarded(const char* step, const std::function<void()>& body)
{
    try {
        body();
    } catch (const std::bad_alloc&) {
        showMessage(std::string(step) + ": メモリが不足しています");
    } catch (const std::exception& e) {
        showMessage(std::string(step) + ": " + e.what());
    }
}

// A reduction the imaging module refused is a failure of its step too, not a silent blank.
struct ReductionFailed : std::exception {
    const char* what() const noexcept override { return "縮小できませんでした"; }
};

bool fileExists(const std::string& path)
{
    std::error_code ec;
    return !path.empty() && std::filesystem::is_regular_file(path, ec);
}

// The recognised line work read into the trace grid of a raster of w x h, in the order that
// the progress steps name. `reached` counts the parts begun: 1 reading, 2 the grid, 3 the ends.
void buildTraceGrid(const std::string& rvlPath, int w, int h, int& reached)
{
    reached = 0;
    if (polyInit(w, h) == 0)
        return;
    reached = 1;
    polyReadRvl(rvlPath, h);
    reached = 2;
    polyGridFromBitmap(1, w, h);
    reached = 3;
    polyMarkVertices();
}

} // namespace

// The messages of a WorkBeside's work, on its thread; null on every other.
thread_local std::vector<std::string>* heldMessages = nullptr;

HoldMessagesBeside::HoldMessagesBeside()
{
    previous_ = setMessageSink([this](const std::string& text) {
        if (heldMessages != nullptr)
            heldMessages->push_back(text);
        else if (previous_)
            previous_(text);
        else
            std::fprintf(stderr, "%s\n", text.c_str());
    });
}

HoldMessagesBeside::~HoldMessagesBeside() { setMessageSink(std::move(previous_)); }

WorkBeside::WorkBeside(std::function<void()> work) : work_(std::move(work))
{
    try {
        thread_ = std::thread([this] { run(); });
    } catch (const std::system_error&) {
    }
}

void WorkBeside::wait()
{
    if (thread_.joinable())
        thread_.join();
}

void WorkBeside::finish()
{
    if (thread_.joinable())
        thread_.join();
    else if (work_)
        std::exchange(work_, nullptr)(); // on this thread: its messages are shown as they come
    for (const std::string& m : messages_)
        showMessage(m);
    messages_.clear();
    if (std::exception_ptr failure = std::exchange(failure_, nullptr))
        std::rethrow_exception(failure);
}

void WorkBeside::run()
{
    heldMessages = &messages_;
    try {
        work_();
    } catch (...) {
        failure_ = std::current_exception();
    }
    heldMessages = nullptr;
    work_ = nullptr;
}

void traceAnalyseInfo(KXDraw* drawing, int useTrace)
{
    if (drawing == nullptr)
        return;

    // 1. The four work bitmaps; any left from an earlier analysis of this drawing go first.
    inputFreeWorkBitmaps(drawing);
    drawing->loupeBmp = new Bitmap();
    drawing->rasterBmp = new Bitmap();
    drawing->halfBmp = new Bitmap();
    drawing->quarterBmp = new Bitmap();
    Bitmap& raster = *drawing->rasterBmp;
    const std::string imagePath = drawing->imgDef ? drawing->imgDef->imagePath : std::string();
    const bool useLines = useTrace == 1 && fileExists(drawing->rvlPath);

    // The figures, and the trace grid at the size that the raster's header gives, are read
    // while the raster decodes; their threads end before this returns. A raster that then
    // loads at another size, or not at all, has its grid made again at its step.
    HoldMessagesBeside hold;
    WorkBeside figures([drawing] {
        for (int i = 0; i < drawing->layerCount && i < KX_MAX_LAYERS; ++i) {
            if (drawing->pdata[i] != nullptr)
                drawing->pdata[i]->PD_LoadFile(drawing->zkiPath[i], i);
        }
    });
    int headerW = 0, headerH = 0, linesReached = 0;
    std::optional<WorkBeside> lines;
    if (useLines && imgGetFileSize(imagePath, headerW, headerH))
        lines.emplace([&] { buildTraceGrid(drawing->rvlPath, headerW, headerH, linesReached); });

    // 2. The placeholder fills the raster until the real one replaces it.
    imgLoadToBitmap(placeholderImagePath, raster);

    progressOpen(4, "トレース情報解析");

    // 4. A raster that cannot be loaded leaves the placeholder.
    progressStep(1, "Image処理１実行中");
    if (drawing->imgDef)
        imgLoadToBitmap(imagePath, raster);
    const int w = raster.width();
    const int h = raster.height();

    // The quarter first: the view opens at 1/8, drawn from it. The half is made when it is
    // first shown.
    guarded("Image処理２-２実行中", [&] {
        progressStep(2, "Image処理２-２実行中");
        if (!raster.isEmpty() && imgResizeForView(w / 4, h / 4, raster, *drawing->quarterBmp) == 0)
            throw ReductionFailed();
    });
    guarded("Image処理２-１実行中", [&] {
        progressStep(2, "Image処理２-１実行中");
        if (!raster.isEmpty() && imgResizeForViewDeferred("1/2縮小", w / 2, h / 2, raster, *drawing->halfBmp) == 0)
            throw ReductionFailed();
    });

    if (useLines) {
        progressStep(2, "Image処理２-３実行中");
        guarded("ワークファイル読込中", [&] {
            progressStep(3, "ワークファイル読込中");
            if (lines) {
                lines->wait();
                if (headerW != w || headerH != h)
                    lines.reset(); // a grid of a size not used: what it said or threw goes too
            }
            if (!lines) {
                // The grid only needs the raster's size: no scratch bitmap is made.
                if (polyInit(w, h) == 0)
                    return;
                polyReadRvl(drawing->rvlPath, h);
                progressStep(4, "計算処理１実行中");
                polyGridFromBitmap(1, w, h);
                progressStep(5, "計算処理２実行中");
                polyMarkVertices();
                return;
            }
            // Made beside the decode: the steps it reached are shown, then what it said.
            if (linesReached >= 2)
                progressStep(4, "計算処理１実行中");
            if (linesReached >= 3)
                progressStep(5, "計算処理２実行中");
            lines->finish();
        });
    } else {
        polyFree();
    }

    progressStep(4, "後処理");
    figures.finish();

    progressClose();
}
