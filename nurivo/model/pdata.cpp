#include "model/pdata.h"

#include "platform/message.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

namespace {

constexpr int kInitialCapacity = 100;

// The program-wide pick table that PD_PickBoth fills and PD_GetPickHit reads.
struct PickTable {
    int count = 0;
    std::array<TPolyChkRec, PD_MAX_HITS> hits;
};
PickTable& pickTable()
{
    static PickTable table;
    return table;
}

// The points of a record that are in use: nPts, but never more than it holds. A stored record
// has exactly nPts; a caller may have changed one in place.
int usedPoints(const TPRec& rec)
{
    return std::clamp<int>(rec.nPts, 0, static_cast<int>(rec.pts.size()));
}

// A copy of `src` as the store keeps it: exactly its points, box set, label as asked.
TPRec storedCopy(const TPRec& src, bool calcLabel, bool* complexShown)
{
    TPRec rec;
    static_cast<TPRecHdr&>(rec) = src;
    const int n = usedPoints(src);
    rec.pts.assign(src.pts.begin(), src.pts.begin() + n);
    rec.nPts = n;
    PData::PD_CalcBox(rec);
    if (calcLabel) {
        if (PD_IsPolygonKind(rec.kind)) {
            const TPoint p = PD_CalcLabelPos(rec, complexShown);
            rec.labelX = p.x;
            rec.labelY = p.y;
        } else if (n > 0) {
            // Without points there is no first point to take; the given label stays.
            rec.labelX = rec.pts[0].x;
            rec.labelY = rec.pts[0].y;
        }
    }
    return rec;
}

// File names are single tokens; a line break inside one would split the record and shift
// every later line of the file, so it is written as a blank.
std::string nameForFile(const std::string& name)
{
    std::string s = name;
    std::replace_if(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
    return s;
}

std::string hitText(int setNo, const TPRec& rec)
{
    if (setNo != 0)
        return rec.name;
    if (rec.linkType != 0)
        return strPrintf("%d-%d", rec.linkType, rec.linkNo);
    return strPrintf("%d", rec.linkType);
}

// The search of PD_FindVertex and PD_FindLabel: the bound starts at 2 * tol and shrinks to
// each strictly nearer point, so the first of equally near points stays.
class NearestPoint {
public:
    NearestPoint(int tol, int x, int y) : bound_(2 * static_cast<std::int64_t>(tol)), x_(x), y_(y) {}
    void consider(const TPoint& p, int recIndex)
    {
        const int d = PData::PD_Dist(p.x, p.y, x_, y_);
        if (d < bound_) {
            bound_ = d;
            point_ = p;
            found_ = recIndex;
        }
    }
    int take(int& outX, int& outY) const
    {
        if (found_ >= 0) {
            outX = point_.x;
            outY = point_.y;
        }
        return found_;
    }

private:
    std::int64_t bound_;
    int x_;
    int y_;
    TPoint point_;
    int found_ = -1;
};

} // namespace

bool PD_IsPolygonKind(int kind)
{
    return kind == PK_POLYGON || kind == PK_LOT_POLYGON || kind == PK_LINK_POLYGON;
}

PData::PData() : capacity(kInitialCapacity), recs(static_cast<size_t>(kInitialCapacity)) {}

void PData::PD_Clear()
{
    for (int i = 0; i < count; ++i)
        recs[static_cast<size_t>(i)] = TPRec{};
    count = 0;
}

int PData::PD_LoadFile(const std::string& path, int layer)
{
    PD_Clear();
    TextReader in;
    if (!in.open(path))
        return 0;
    std::string line;
    if (!in.readLine(line))
        return 0;
    int recCount = 0;
    int version = -1;
    strScan(line, "%d %d", &recCount, &version);

    // Old files carry no label points; a file of many complex polygons reports once.
    bool complexShown = false;
    for (int r = 0; r < recCount; ++r) {
        if (!in.readLine(line))
            break;
        TPRec rec;
        int nPts = 0;
        std::string name;
        strScan(line, "%d %d %d %d %d %d %d %d %d %d %d %d %s", &rec.kind, &nPts, &rec.linkType,
                &rec.linkNo, &rec.layerIndex, &rec.flags, &rec.startPt.x, &rec.startPt.y,
                &rec.startAngle, &rec.endPt.x, &rec.endPt.y, &rec.endAngle, &name);
        rec.name = useNames ? name : std::string("name");
        if (version >= 2) {
            if (!in.readLine(line))
                break;
            strScan(line, "%d %d %d %d %d %d %d", &rec.labelX, &rec.labelY, &rec.startNoOfs.x,
                    &rec.startNoOfs.y, &rec.endNoOfs.x, &rec.endNoOfs.y, &rec.sizeMode);
        }
        if (layer == 0 && version <= 3)
            rec.flags = 0;

        // Points are kept as read: a file that ends inside them gives a shorter figure, never
        // invented points, and a count larger than the file costs nothing in advance.
        bool ended = false;
        for (int k = 0; k < nPts; ++k) {
            if (!in.readLine(line)) {
                ended = true;
                break;
            }
            TPoint p;
            strScan(line, "%d %d", &p.x, &p.y);
            rec.pts.push_back(p);
        }
        rec.nPts = static_cast<int>(rec.pts.size());
        addCopy(version < 2 ? 1 : 0, rec, &complexShown);
        if (ended)
            break;
    }
    return count;
}

int PData::PD_SaveFile(const std::string& path) const
{
    TextWriter out;
    if (!out.openReporting(path))
        return 0;
    out.print("%d 4\n", count);
    for (int i = 0; i < count; ++i) {
        const TPRec& r = recs[static_cast<size_t>(i)];
        const int n = usedPoints(r); // the count must match the point lines that follow
        out.print("%d %d %d %d %d %d %d %d %d %d %d %d %s\n", r.kind, n, r.linkType,
                  r.linkNo, r.layerIndex, r.flags, r.startPt.x, r.startPt.y, r.startAngle,
                  r.endPt.x, r.endPt.y, r.endAngle, nameForFile(r.name).c_str());
        out.print("%d %d %d %d %d %d %d\n", r.labelX, r.labelY, r.startNoOfs.x, r.startNoOfs.y,
                  r.endNoOfs.x, r.endNoOfs.y, r.sizeMode);
        for (int k = 0; k < n; ++k)
            out.print("%d %d\n", r.pts[static_cast<size_t>(k)].x, r.pts[static_cast<size_t>(k)].y);
    }
    // A write that failed on the way must not pass for a saved file.
    if (!out.closeReporting())
        return 0;
    return 1;
}

void PData::PD_CalcBox(TPRec& rec)
{
    const int n = usedPoints(rec);
    if (n == 0)
        return;
    rec.bbMin = rec.bbMax = rec.pts[0];
    for (int i = 1; i < n; ++i) {
        const TPoint& p = rec.pts[static_cast<size_t>(i)];
        rec.bbMin.x = std::min(rec.bbMin.x, p.x);
        rec.bbMin.y = std::min(rec.bbMin.y, p.y);
        rec.bbMax.x = std::max(rec.bbMax.x, p.x);
        rec.bbMax.y = std::max(rec.bbMax.y, p.y);
    }
}

int PData::PD_AddPoly(int calcLabel, const TPRec& rec) { return addCopy(calcLabel, rec, nullptr); }

int PData::addCopy(int calcLabel, const TPRec& rec, bool* complexShown)
{
    // Copied before the slots may move, so a record of this very store can be added.
    TPRec made = storedCopy(rec, calcLabel != 0, complexShown);
    if (count >= capacity - 1) {
        capacity *= 2;
        recs.resize(static_cast<size_t>(capacity));
    }
    recs[static_cast<size_t>(count)] = std::move(made);
    return count++;
}

void PData::PD_ChangePoly(int index, const TPRec& rec)
{
    if (index < 0 || index >= count)
        return;
    if (usedPoints(rec) == 0) {
        showMessage("ERROR PD_ChangePoly() 0");
        return;
    }
    recs[static_cast<size_t>(index)] = storedCopy(rec, true, nullptr);
}

void PData::PD_SetHdr(int index, const TPRecHdr& hdr)
{
    if (index < 0 || index >= count)
        return;
    TPRec& r = recs[static_cast<size_t>(index)];
    static_cast<TPRecHdr&>(r) = hdr;
    // The points do not change, so neither does their number: a header from another figure
    // must not make the record claim points it does not hold.
    r.nPts = static_cast<int>(r.pts.size());
}

TPRec PData::PD_GetPoly(int index) const
{
    const TPRec* r = PD_GetPolyPtr(index);
    return r ? *r : TPRec{};
}

TPRec* PData::PD_GetPolyPtr(int index)
{
    return index >= 0 && index < count ? &recs[static_cast<size_t>(index)] : nullptr;
}

const TPRec* PData::PD_GetPolyPtr(int index) const
{
    return index >= 0 && index < count ? &recs[static_cast<size_t>(index)] : nullptr;
}

void PData::PD_DelPoly(int index)
{
    if (index < 0 || index >= count)
        return;
    recs.erase(recs.begin() + index);
    recs.emplace_back(); // the slots stay
    --count;
}

void PData::PD_SwapPoly(int i, int j)
{
    if (i < 0 || i >= count || j < 0 || j >= count)
        return;
    std::swap(recs[static_cast<size_t>(i)], recs[static_cast<size_t>(j)]);
}

int PData::PD_Dist(int x1, int y1, int x2, int y2)
{
    const std::int64_t dx = static_cast<std::int64_t>(x2) - x1;
    const std::int64_t dy = static_cast<std::int64_t>(y2) - y1;
    const std::int64_t d = (dx < 0 ? -dx : dx) + (dy < 0 ? -dy : dy);
    return static_cast<int>(std::min<std::int64_t>(d, INT_MAX));
}

int PData::PD_FindVertex(int tol, int x, int y, int& outX, int& outY) const
{
    NearestPoint nearest(tol, x, y);
    for (int r = 0; r < count; ++r) {
        const TPRec& rec = recs[static_cast<size_t>(r)];
        for (int k = 0; k < usedPoints(rec); ++k)
            nearest.consider(rec.pts[static_cast<size_t>(k)], r);
    }
    return nearest.take(outX, outY);
}

int PData::PD_FindLabel(int tol, int x, int y, int& outX, int& outY) const
{
    NearestPoint nearest(tol, x, y);
    for (int r = 0; r < count; ++r) {
        const TPRec& rec = recs[static_cast<size_t>(r)];
        nearest.consider(TPoint{rec.labelX, rec.labelY}, r);
    }
    return nearest.take(outX, outY);
}

int PData::PD_Pick(int setNo, int tol, int x, int y)
{
    const std::int64_t vertexBound = 2 * static_cast<std::int64_t>(tol);
    const std::int64_t labelBound = 4 * static_cast<std::int64_t>(tol);
    hitCount = 0;
    for (int r = 0; r < count && hitCount < PD_MAX_HITS; ++r) {
        const TPRec& rec = recs[static_cast<size_t>(r)];
        TPolyChkRec hit;
        hit.setNo = setNo;
        hit.recIndex = r;
        hit.text = hitText(setNo, rec);
        bool vertexHit = false;
        for (int k = 0; k < usedPoints(rec); ++k) {
            const TPoint& p = rec.pts[static_cast<size_t>(k)];
            if (PD_Dist(p.x, p.y, x, y) < vertexBound) {
                hit.hitKind = 0;
                hit.vtxIndex = k;
                hit.hitPt = p;
                hits[static_cast<size_t>(hitCount++)] = std::move(hit);
                vertexHit = true;
                break;
            }
        }
        if (vertexHit)
            continue;
        if (PD_Dist(rec.labelX, rec.labelY, x, y) < labelBound) {
            hit.hitKind = 1;
            hit.vtxIndex = rec.nPts;
            hit.hitPt = TPoint{rec.labelX, rec.labelY};
            hits[static_cast<size_t>(hitCount++)] = std::move(hit);
            break; // a label hit ends the pick
        }
    }
    return hitCount;
}

int PD_PickBoth(int tol, int x, int y, PData* first, PData* second)
{
    PickTable& table = pickTable();
    table.count = 0;
    auto append = [&](PData* store, int setNo) {
        if (!store)
            return;
        const int n = store->PD_Pick(setNo, tol, x, y);
        for (int i = 0; i < n && table.count < PD_MAX_HITS; ++i)
            table.hits[static_cast<size_t>(table.count++)] = store->hits[static_cast<size_t>(i)];
    };
    append(first, 0);
    append(second, 1);
    return table.count;
}

TPolyChkRec PD_GetPickHit(int i)
{
    if (i < 0 || i >= PD_MAX_HITS)
        return TPolyChkRec{};
    return pickTable().hits[static_cast<size_t>(i)];
}
