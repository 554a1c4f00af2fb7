// The workbench's conversions between raster pixels and plane metres, interpolating each axis
// between the two control points of the drawing's image definition.
#pragma once

void inputPixelToMetric(int x, int y, double& X, double& Y);
void inputMetricToPixel(double X, double Y, int& x, int& y);
