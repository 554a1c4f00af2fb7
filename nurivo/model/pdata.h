// The figure store of one layer of one raster (PData of TPRec records), its pick queries and
// its ZKI file.
#pragma once
#include "model/geometry.h"

#include <array>
#include <string>
#include <vector>

// Figure kinds.
enum {
    PK_POLYGON = 0,      // 多角形
    PK_POLYLINE = 1,     // 折れ線
    PK_LEADER = 2,       // 指示線
    PK_LEADER_MARKS = 3, // 指示線 with start and end marks chosen by flags
    PK_TEXT = 4,         // 文字列
    PK_CIRCLE = 5,       // 円(2点指示)
    PK_CALLOUT = 6,      // 旗揚げ
    PK_LOT_POLYGON = 10, // 地番付多角形
    PK_LINK_POLYGON = 11 // 多角形(リンク付)
};

// Kinds 0, 10 and 11: their label point is computed inside the polygon.
bool PD_IsPolygonKind(int kind);

// One figure without its points: the name and 23 integers.
struct TPRecHdr {
    std::string name; // figure name, text of kinds 4 and 6, or a reference number
    int kind = 0;
    int sizeMode = 0;
    int nPts = 0;
    int linkType = 0;
    int linkNo = 0;
    int layerIndex = 0; // row of the layer's attribute list
    int flags = 0;
    int labelX = 0;
    int labelY = 0;
    TPoint startPt;
    int startAngle = 0;
    TPoint startNoOfs;
    TPoint endPt;
    int endAngle = 0;
    TPoint endNoOfs;
    TPoint bbMin; // bounding box of the points, inclusive
    TPoint bbMax;
};

// One figure. The first nPts entries of pts are its points; a caller's record may carry a
// longer buffer (the input record does), a stored record holds exactly nPts points.
struct TPRec : TPRecHdr {
    std::vector<TPoint> pts;
};

// One pick hit.
struct TPolyChkRec {
    int setNo = 0;    // which store of PD_PickBoth (0 or 1), or the value passed to PD_Pick
    int recIndex = 0;
    int hitKind = 0;  // 0 vertex, 1 label point
    int vtxIndex = 0; // the vertex index; nPts for a label hit
    TPoint hitPt;
    std::string text; // set 1: the name; set 0: linkType, and "-" linkNo when linkType != 0
};

constexpr int PD_MAX_HITS = 20;

class PData {
public:
    PData();

    int useNames = 0; // 0: every record loaded from a file is named "name"
    int capacity = 0; // allocated slots (recs.size())
    int count = 0;    // slots in use
    std::vector<TPRec> recs;
    int hitCount = 0;
    std::array<TPolyChkRec, PD_MAX_HITS> hits;

    void PD_Clear();
    // Reads a ZKI file (versions 1 to 4); `layer` is the layer's index in the layer set.
    // Result: records in the store; 0 when the file cannot be read.
    int PD_LoadFile(const std::string& path, int layer);
    // Writes a version 4 ZKI file. 1 written; 0 (with "ERR OPEN " + path shown) when not.
    int PD_SaveFile(const std::string& path) const;

    // Sets bbMin/bbMax from the points; with no points they stay.
    static void PD_CalcBox(TPRec& rec);
    // Appends a copy of rec; with calcLabel non-zero the label point is computed. Result: index.
    int PD_AddPoly(int calcLabel, const TPRec& rec);
    // Replaces record index by a copy of rec (label recomputed); a record without points is
    // refused with "ERROR PD_ChangePoly() 0".
    void PD_ChangePoly(int index, const TPRec& rec);
    // Overwrites the name and the integers of record index; points, box and label are taken as
    // given, not recomputed. nPts stays the number of points the record holds.
    void PD_SetHdr(int index, const TPRecHdr& hdr);
    // A copy of record index (an empty record for an index outside the store).
    TPRec PD_GetPoly(int index) const;
    // Record index in place; nullptr for an index outside the store.
    TPRec* PD_GetPolyPtr(int index);
    const TPRec* PD_GetPolyPtr(int index) const;
    void PD_DelPoly(int index);
    void PD_SwapPoly(int i, int j);
    int PD_GetCount() const { return count; }

    // City-block distance |x2 - x1| + |y2 - y1| (saturating at the int range).
    static int PD_Dist(int x1, int y1, int x2, int y2);
    // Nearest vertex strictly within 2 * tol; result its record index, or -1. The first found
    // wins ties. x, y receive the vertex.
    int PD_FindVertex(int tol, int x, int y, int& outX, int& outY) const;
    // The same over the records' label points.
    int PD_FindLabel(int tol, int x, int y, int& outX, int& outY) const;
    // Fills hits: per record its first vertex within 2 * tol, else its label point within
    // 4 * tol, which also ends the scan. At most PD_MAX_HITS hits. Result hitCount.
    int PD_Pick(int setNo, int tol, int x, int y);

private:
    int addCopy(int calcLabel, const TPRec& rec, bool* complexShown);
};

// Picks in up to two stores (either may be null) into the program-wide pick table: the first's
// hits as set 0, then the second's as set 1, at most PD_MAX_HITS in all. Result: the count.
int PD_PickBoth(int tol, int x, int y, PData* first, PData* second);
// Entry i of the program-wide pick table (an empty hit for i outside it).
TPolyChkRec PD_GetPickHit(int i);
