// The image definition of one raster: resolution, scale, size, drawing frame and the two
// control points that tie raster pixels to plane survey coordinates; its Def file; the
// two-point similarity transform and the small plane measures built on it.
#pragma once
#include "model/geometry.h"

#include <functional>
#include <string>

struct TImgDef {
    std::string imagePath;  // the raster; set by the caller before imgDefRead
    int dpi = 0;
    int scale = 0;          // map scale denominator (1000 = 1:1000)
    int width = 0;
    int height = 0;
    int frameX1 = 0, frameY1 = 0, frameX2 = 0, frameY2 = 0;
    // Control point 1: raster pixel (x right, y down) and plane point (X northing, Y easting, m).
    int imgX1 = 0, imgY1 = 0;
    double worldX1 = 0.0, worldY1 = 0.0;
    int imgX2 = 0, imgY2 = 0;
    double worldX2 = 0.0, worldY2 = 0.0;
    // Derived by geoCalcTransform from the control points; never stored.
    double imgDist = 0.0;
    double imgAngle = 0.0;
    double worldDist = 0.0;
    double worldAngle = 0.0;
    double lenRatio = 1.0;  // plane units per pixel
    double rotation = 0.0;  // worldAngle - imgAngle
};

// The resolution the raster file itself declares (dots per inch, 0 or less when unknown).
// The imaging module supplies it; the model only asks when a Def file is missing.
using ImgFileDpiReader = std::function<int(const std::string& imagePath)>;

// Reads the Def file beside def.imagePath. 1 when it was opened (fields that a short or
// unparsable line does not supply keep their values), 0 when the defaults were applied; a Def
// file that is the raster itself counts as none.
int imgDefRead(TImgDef& def, const ImgFileDpiReader& fileDpi = {});
// Writes the Def file beside def.imagePath: 1 when written, 0 when it cannot be created or
// is the raster itself (which is left as it is).
int imgDefWrite(const TImgDef& def);
// When the Def file is the raster itself (the raster named "x.Def", a link to it, another name
// of it): the message that says so. Empty when the Def file is its own.
std::string imgDefClash(const TImgDef& def);

void geoCalcTransform(TImgDef& def);
// Raster pixels to plane coordinates and back, through the transform of geoCalcTransform.
void geoPixToWorld(const TImgDef& def, double x, double y, double& worldX, double& worldY);
void geoWorldToPix(const TImgDef& def, double worldX, double worldY, double& x, double& y);
// A length in raster pixels as metres on the ground, from dpi and scale.
double geoPixToMetre(const TImgDef& def, double length);

// Direction from point 1 to point 2, atan2(y2 - y1, x2 - x1); 0 for equal points.
double geoAngleReal(double x1, double y1, double x2, double y2);
// Direction from point 2 to point 1 on integer points; 0 for equal points.
double geoAngleInt(int x1, int y1, int x2, int y2);
// geoAngleInt in degrees.
double geoAngleDeg(const TPoint& p1, const TPoint& p2);
double geoDistance(double x1, double y1, double x2, double y2);
// Where the perpendicular to AB through A meets the parallel to AB through Q.
TPoint geoPerpendicularPoint(int bx, int by, int ax, int ay, int qx, int qy);
