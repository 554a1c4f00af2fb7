#include "model/layer.h"

#include "platform/message.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

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
    for (int i = 0; i < rowCount && in.readLine(line); ++i) {
        // Values missing from a short line keep the defaults of a new row.
        TLayerRec rec;
        strScan(line, "%d\t%s\t%d\t%d\t%d\t%d", &rec.code, &rec.name, &rec.color, &rec.lineCode,
                &rec.spareValue, &rec.legendMode);
        layerAdd(rec);
    }
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
        out.print("%d\t%s\t%d\t%d\t%d\t%d\n", r.code, r.name.c_str(), r.color, r.lineCode,
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
