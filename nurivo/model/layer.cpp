#include "model/layer.h"

#include "model/laytbl.h"
#include "platform/message.h"
#include "platform/paths.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

#include <algorithm>
#include <cstdint>
#include <deque>
#include <utility>

namespace {

constexpr int kInitialCapacity = 128;

bool codeBelow(const TLayerRec& a, const TLayerRec& b) { return a.code < b.code; }

} // namespace

TLayer::TLayer() : capacity(kInitialCapacity), rows(static_cast<size_t>(kInitialCapacity)) {}

void TLayer::layerSetDefaults()
{
    static constexpr TColor colors[6] = {0x000000, 0xFF0000, 0x0000FF, 0x008000, 0x800080, 0x800000};
    for (int i = 0; i < 6; ++i) {
        TLayerRec& r = rows[static_cast<size_t>(i)];
        r = TLayerRec{};
        r.code = i + 1;
        r.name = strPrintf("Layer_%d", i);
        r.color = colors[i];
        r.lineCode = 1;
        r.spareValue = 1;
        r.legendMode = 1;
    }
}

int TLayer::layerLoad(const std::string& path)
{
    layerSetDefaults();
    TextReader in;
    if (!in.open(path))
        return 0;
    std::string line;
    if (!in.readLine(line))
        return 0;
    int rowCount = 0;
    int ignored = 0;
    strScan(line, "%d %d", &rowCount, &ignored);
    count = rowCount < 1 ? 1 : 0;
    std::vector<TLayerRec> loaded;
    for (int i = 0; i < rowCount && in.readLine(line); ++i) {
        // Values missing from a short line keep the defaults of a new row.
        TLayerRec rec;
        strScan(line, "%d\t%s\t%d\t%d\t%d\t%d", &rec.code, &rec.name, &rec.color, &rec.lineCode,
                &rec.spareValue, &rec.legendMode);
        loaded.push_back(std::move(rec));
    }
    placeLoadedRows(std::move(loaded));
    return count;
}

int TLayer::layerSave(const std::string& path) const
{
    TextWriter out;
    if (!out.openReporting(path))
        return 0;
    out.print("%d 1\n", count);
    for (int i = 0; i < count; ++i) {
        const TLayerRec& r = rows[static_cast<size_t>(i)];
        // A line break would split the row; a blank would end the name early on reading.
        std::string name = r.name;
        std::replace_if(name.begin(), name.end(), [](char c) { return c == '\r' || c == '\n'; }, '_');
        out.print("%d\t%s\t%d\t%d\t%d\t%d\n", r.code, name.c_str(), r.color, r.lineCode,
                  r.spareValue, r.legendMode);
    }
    // A write that failed on the way must not pass for a saved file.
    if (!out.closeReporting())
        return 0;
    return count;
}

void TLayer::layerSortById()
{
    for (int i = 0; i + 1 < count; ++i)
        for (int j = i + 1; j < count; ++j)
            if (codeBelow(rows[static_cast<size_t>(j)], rows[static_cast<size_t>(i)]))
                std::swap(rows[static_cast<size_t>(i)], rows[static_cast<size_t>(j)]);
}

// The exchange sort after one row was appended to sorted rows, in one pass. With rows
// 0..n-1 in order, pass i of the exchange sort finds nothing below row i among rows i+1..n-1
// and can only exchange row i with the last row, so the passes reduce to walking the last row's
// value down the list. Loading a long file then costs a pass per row, not a full sort.
void TLayer::sortAppended()
{
    const int last = count - 1;
    for (int i = 1; i < last; ++i)
        if (codeBelow(rows[static_cast<size_t>(i)], rows[static_cast<size_t>(i - 1)])) {
            layerSortById();
            return;
        }
    for (int i = 0; i < last; ++i)
        if (codeBelow(rows[static_cast<size_t>(last)], rows[static_cast<size_t>(i)]))
            std::swap(rows[static_cast<size_t>(i)], rows[static_cast<size_t>(last)]);
}

// The rows of a file, placed as layerAdd row by row would place them into an empty list, in
// O(n log n) rather than a pass per row. Appending x to sorted rows and walking it down with
// the exchange sort puts x after every row whose code is at most x, and in each run of equal
// codes above x moves the run's first row to the run's end (the value carried down is swapped
// only with a strictly greater one). So a run's order is its rows in the order they came,
// turned once for every smaller code that came after it: a count kept per run and taken from
// a Fenwick tree over the codes.
void TLayer::placeLoadedRows(std::vector<TLayerRec> loaded)
{
    const size_t n = loaded.size();
    if (n == 0)
        return;
    for (size_t k = 0; k < n; ++k)
        if (static_cast<int64_t>(k) >= capacity - 1)
            capacity *= 2;
    if (rows.size() < static_cast<size_t>(capacity))
        rows.resize(static_cast<size_t>(capacity));

    std::vector<int> codes;
    codes.reserve(n);
    for (const TLayerRec& r : loaded)
        codes.push_back(r.code);
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());

    std::vector<int64_t> tree(codes.size() + 1, 0); // rows seen per code, as a Fenwick tree
    auto seenBelow = [&](size_t rank) {
        int64_t sum = 0;
        for (size_t i = rank; i > 0; i -= i & (~i + 1))
            sum += tree[i];
        return sum;
    };
    auto addSeen = [&](size_t rank) {
        for (size_t i = rank + 1; i < tree.size(); i += i & (~i + 1))
            ++tree[i];
    };
    struct Run {
        std::deque<size_t> order; // indexes into loaded
        int64_t turnedAt = 0;     // smaller rows seen when the order was last brought up to date
    };
    std::vector<Run> runs(codes.size());
    auto turn = [](Run& run, int64_t times) {
        const size_t size = run.order.size();
        if (size < 2)
            return;
        size_t k = static_cast<size_t>(times % static_cast<int64_t>(size));
        if (k <= size / 2) {
            for (; k > 0; --k) {
                run.order.push_back(run.order.front());
                run.order.pop_front();
            }
        } else {
            for (k = size - k; k > 0; --k) {
                run.order.push_front(run.order.back());
                run.order.pop_back();
            }
        }
    };

    for (size_t i = 0; i < n; ++i) {
        const size_t rank = static_cast<size_t>(
            std::lower_bound(codes.begin(), codes.end(), loaded[i].code) - codes.begin());
        Run& run = runs[rank];
        const int64_t below = seenBelow(rank);
        turn(run, below - run.turnedAt);
        run.order.push_back(i);
        run.turnedAt = below;
        addSeen(rank);
    }
    size_t slot = 0;
    for (size_t rank = 0; rank < runs.size(); ++rank) {
        Run& run = runs[rank];
        turn(run, seenBelow(rank) - run.turnedAt);
        for (size_t i : run.order)
            rows[slot++] = std::move(loaded[i]);
    }
    count = static_cast<int>(n);
}

int TLayer::layerIndexOfId(int code) const
{
    for (int i = 0; i < count; ++i)
        if (rows[static_cast<size_t>(i)].code == code)
            return i;
    return 0;
}

int TLayer::layerHasId(int checkAll, int skipIndex, const TLayerRec& rec) const
{
    for (int i = 0; i < count; ++i)
        if ((checkAll || i != skipIndex) && rows[static_cast<size_t>(i)].code == rec.code)
            return 1;
    return 0;
}

int TLayer::layerAdd(const TLayerRec& rec)
{
    TLayerRec copy = rec; // rec may be one of our own rows, which move below
    const int code = copy.code;
    if (count >= capacity - 1) {
        capacity *= 2;
        rows.resize(static_cast<size_t>(capacity));
    }
    rows[static_cast<size_t>(count)] = std::move(copy);
    ++count;
    sortAppended();
    return layerIndexOfId(code);
}

int TLayer::layerSet(int index, const TLayerRec& rec)
{
    if (index < 0 || index >= count)
        return index;
    rows[static_cast<size_t>(index)] = TLayerRec(rec);
    layerSortById();
    return index;
}

TLayerRec TLayer::layerGet(int index) const { return *layerGetPtr(index); }

TLayerRec* TLayer::layerGetPtr(int index)
{
    return &rows[static_cast<size_t>(index < 0 || index >= capacity ? 0 : index)];
}

const TLayerRec* TLayer::layerGetPtr(int index) const
{
    return &rows[static_cast<size_t>(index < 0 || index >= capacity ? 0 : index)];
}

int TLayer::layerRemove(int index)
{
    if (index < 0 || index >= count)
        return index;
    rows.erase(rows.begin() + index);
    rows.emplace_back(); // the slots stay
    --count;
    return index;
}

namespace {

std::string companionKindName(TCompanionKind kind)
{
    switch (kind) {
    case TCompanionKind::Figures:
        return "図形ファイル";
    case TCompanionKind::LayerDef:
        return "レイヤ定義ファイル";
    case TCompanionKind::ImageDef:
        break;
    }
    return "画像定義ファイル";
}

std::string companionOwner(const TCompanion& c)
{
    return c.kind == TCompanionKind::ImageDef ? std::string() : "レイヤ「" + c.layerName + "」";
}

std::string companionName(const TCompanion& c)
{
    const std::string owner = companionOwner(c);
    return (owner.empty() ? owner : owner + "の") + companionKindName(c.kind);
}

} // namespace

std::vector<TCompanionClash> layerCompanionClashes(const std::string& rasterPath,
                                                   const std::vector<TCompanion>& files)
{
    std::vector<TCompanionClash> clashes;
    for (size_t i = 0; i < files.size(); ++i) {
        const TCompanion& file = files[i];
        if (pathSameFile(file.path, rasterPath)) {
            clashes.push_back({i, companionName(file) + "がラスタファイルと同じです(" + file.path + ")"});
            continue;
        }
        for (size_t j = 0; j < i; ++j) {
            const TCompanion& other = files[j];
            if (!pathSameFile(file.path, other.path))
                continue;
            const bool twoLayers = file.kind == other.kind && file.kind != TCompanionKind::ImageDef;
            const std::string both = twoLayers ? companionOwner(other) + "と" + companionOwner(file) + "の" +
                                                     companionKindName(file.kind)
                                               : companionName(other) + "と" + companionName(file);
            clashes.push_back({i, both + "が同じです(" + file.path + ")"});
            break;
        }
    }
    return clashes;
}

std::vector<TCompanion> layerDrawingCompanions(const std::string& rasterPath,
                                               const std::vector<std::string>& zkiPaths)
{
    std::vector<TCompanion> files;
    for (size_t i = 0; i < zkiPaths.size(); ++i) {
        const TLay* lay = layTblGet(static_cast<int>(i));
        const std::string name = lay ? lay->name : std::string();
        files.push_back({TCompanionKind::Figures, name, zkiPaths[i], static_cast<int>(i)});
        if (lay && lay->layer)
            files.push_back({TCompanionKind::LayerDef, name, lay->layerDefPath, static_cast<int>(i)});
    }
    files.push_back({TCompanionKind::ImageDef, {}, pathChangeExt(rasterPath, "Def")});
    return files;
}

std::string layerClashText(const std::vector<TCompanionClash>& clashes)
{
    std::string text;
    for (const TCompanionClash& c : clashes)
        text += (text.empty() ? "" : "\n") + c.message;
    return text;
}
