// Plane geometry shared by the figure store and the drawing input: segment intersection and
// the label point of a polygon figure.
#pragma once

struct TPRec;

// A point in raster pixels: x to the right, y down.
struct TPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Intersects segment A (P1 to P2) with segment B (P3 to P4). x, y receive the meeting point of
// the two infinite lines. Result 1: the segments meet (ends included); 0: the lines meet outside
// a segment; -1: the lines are parallel or degenerate (x, y stay 0, and a line goes to stdout).
int senbun_no_kouten(double& x, double& y, double x1, double y1, double x2, double y2,
                     double x3, double y3, double x4, double y4);

// The point inside a polygon figure where its name is drawn, from a horizontal scan line
// through the middle of the record's bounding box (which must be set).
// A polygon crossing the scan line too often is reported with "複雑すぎる". When
// `complexShown` is given, that message is shown only while *complexShown is false and then
// sets it, so a caller labelling many figures reports it once.
TPoint PD_CalcLabelPos(const TPRec& rec, bool* complexShown = nullptr);
