#include "model/imgdef.h"

#include "model/layer.h"
#include "platform/paths.h"
#include "platform/satint.h"
#include "platform/strscan.h"
#include "platform/textfile.h"

#include <climits>
#include <cmath>
#include <numbers>

namespace {

void applyDefaults(TImgDef& def, const ImgFileDpiReader& fileDpi)
{
    int dpi = fileDpi ? fileDpi(def.imagePath) : 0;
    def.dpi = dpi > 0 ? dpi : 200;
    def.scale = 1000;
    def.width = 800;
    def.height = 600;
    def.imgX1 = 0;
    def.imgY1 = 0;
    def.worldX1 = 0.0;
    def.worldY1 = 0.0;
    def.imgX2 = 100;
    def.imgY2 = 100;
    def.worldX2 = 100.0;
    def.worldY2 = -100.0;
    def.frameX1 = 100;
    def.frameY1 = 100;
    def.frameX2 = 200;
    def.frameY2 = 200;
}

// Four integers of one line; the fields the line does not supply keep their values.
void scanInts(const std::string& line, int& a, int& b, int& c, int& d)
{
    int v[4] = {a, b, c, d};
    strScan(line, "%d %d %d %d", &v[0], &v[1], &v[2], &v[3]);
    a = v[0];
    b = v[1];
    c = v[2];
    d = v[3];
}

// Four plane coordinates; a value that is not a finite number counts as not supplied, so a
// damaged file cannot put NaN into the transform.
void scanDoubles(const std::string& line, double& a, double& b, double& c, double& d)
{
    double v[4];
    int n = strScan(line, "%lf %lf %lf %lf", &v[0], &v[1], &v[2], &v[3]);
    double* out[4] = {&a, &b, &c, &d};
    for (int i = 0; i < n; ++i)
        if (std::isfinite(v[i]))
            *out[i] = v[i];
}

// Raster pixel row turned into the y-up frame of the transform.
double upY(const TImgDef& def, double y) { return def.height - y; }

} // namespace

std::string imgDefClash(const TImgDef& def)
{
    const TCompanion file{TCompanionKind::ImageDef, {}, pathChangeExt(def.imagePath, "Def")};
    return layerClashText(layerCompanionClashes(def.imagePath, {file}));
}

int imgDefRead(TImgDef& def, const ImgFileDpiReader& fileDpi)
{
    TextReader in;
    if (!imgDefClash(def).empty() || !in.open(pathChangeExt(def.imagePath, "Def"))) {
        applyDefaults(def, fileDpi); // the raster's reader runs in the caller's locale
        return 0;
    }
    std::string line;
    if (in.readLine(line)) { // the raster path: the caller's imagePath stands
        if (in.readLine(line))
            scanInts(line, def.dpi, def.scale, def.width, def.height);
        if (in.readLine(line))
            scanInts(line, def.imgX1, def.imgY1, def.imgX2, def.imgY2);
        if (in.readLine(line))
            scanDoubles(line, def.worldX1, def.worldY1, def.worldX2, def.worldY2);
        if (in.readLine(line))
            scanInts(line, def.frameX1, def.frameY1, def.frameX2, def.frameY2);
    }
    return 1;
}

int imgDefWrite(const TImgDef& def)
{
    TextWriter out;
    if (!imgDefClash(def).empty() || !out.open(pathChangeExt(def.imagePath, "Def")))
        return 0;
    out.print("%s\n", def.imagePath.c_str());
    out.print("%d %d %d %d\n", def.dpi, def.scale, def.width, def.height);
    out.print("%d %d %d %d\n", def.imgX1, def.imgY1, def.imgX2, def.imgY2);
    out.print("%.3lf %.3lf %.3lf %.3lf\n", def.worldX1, def.worldY1, def.worldX2, def.worldY2);
    out.print("%d %d %d %d\n", def.frameX1, def.frameY1, def.frameX2, def.frameY2);
    // A write that failed on the way (a full disk) is no success either.
    return out.close() ? 1 : 0;
}

void geoCalcTransform(TImgDef& def)
{
    double c1x = def.imgX1, c1y = upY(def, def.imgY1);
    double c2x = def.imgX2, c2y = upY(def, def.imgY2);
    def.imgDist = geoDistance(c1x, c1y, c2x, c2y);
    def.imgAngle = geoAngleReal(c1x, c1y, c2x, c2y);
    def.worldDist = geoDistance(def.worldY1, def.worldX1, def.worldY2, def.worldX2);
    def.worldAngle = geoAngleReal(def.worldY1, def.worldX1, def.worldY2, def.worldX2);
    // Two control points on one pixel give no ratio; 1.0 keeps every conversion finite.
    def.lenRatio = (def.worldDist != 0.0 && def.imgDist != 0.0) ? def.worldDist / def.imgDist : 1.0;
    def.rotation = def.worldAngle - def.imgAngle;
    // Plane points so far apart that their distance overflows make no transform either: an
    // infinite ratio would send every pixel to infinity and back as NaN.
    if (!std::isfinite(def.lenRatio) || !std::isfinite(def.rotation)) {
        def.lenRatio = 1.0;
        def.rotation = 0.0;
    }
}

void geoPixToWorld(const TImgDef& def, double x, double y, double& worldX, double& worldY)
{
    double px = x, py = upY(def, y);
    double c1x = def.imgX1, c1y = upY(def, def.imgY1);
    double d = geoDistance(px, py, c1x, c1y);
    double t = geoAngleReal(px, py, c1x, c1y) + def.rotation;
    worldX = def.worldX1 - std::sin(t) * d * def.lenRatio;
    worldY = def.worldY1 - std::cos(t) * d * def.lenRatio;
}

void geoWorldToPix(const TImgDef& def, double worldX, double worldY, double& x, double& y)
{
    double d = geoDistance(worldY, worldX, def.worldY1, def.worldX1);
    double t = geoAngleReal(worldY, worldX, def.worldY1, def.worldX1) - def.rotation;
    double s = def.lenRatio != 0.0 ? def.lenRatio : 1.0;
    x = def.imgX1 - std::cos(t) * d / s;
    y = def.height - (upY(def, def.imgY1) - std::sin(t) * d / s);
}

double geoPixToMetre(const TImgDef& def, double length)
{
    // A Def file with no resolution has no length on the ground; infinity helps no one.
    if (def.dpi <= 0)
        return 0.0;
    return length * def.scale / (def.dpi * 0.039370078740157) * 0.001;
}

double geoAngleReal(double x1, double y1, double x2, double y2)
{
    double dx = x2 - x1, dy = y2 - y1;
    return (dx == 0.0 && dy == 0.0) ? 0.0 : std::atan2(dy, dx);
}

double geoAngleInt(int x1, int y1, int x2, int y2)
{
    double dx = static_cast<double>(x1) - x2, dy = static_cast<double>(y1) - y2;
    return (dx == 0.0 && dy == 0.0) ? 0.0 : std::atan2(dy, dx);
}

double geoAngleDeg(const TPoint& p1, const TPoint& p2)
{
    return geoAngleInt(p1.x, p1.y, p2.x, p2.y) * 180.0 / std::numbers::pi;
}

double geoDistance(double x1, double y1, double x2, double y2)
{
    return std::sqrt((x2 - x1) * (x2 - x1) + (y2 - y1) * (y2 - y1));
}

TPoint geoPerpendicularPoint(int bx, int by, int ax, int ay, int qx, int qy)
{
    double m = geoAngleReal(ax, ay, bx, by);
    double n = m + std::numbers::pi / 2;
    double x = 0.0, y = 0.0;
    senbun_no_kouten(x, y, ax, ay, ax + 1000.0 * std::cos(n), ay + 1000.0 * std::sin(n),
                     qx, qy, qx + 1000.0 * std::cos(m), qy + 1000.0 * std::sin(m));
    return TPoint{satToInt(x), satToInt(y)};
}
