#include "render/imaging.h"

int imgGetFileDpi(const std::string&) { return 0; }
int imgLoadToBitmap(const std::string&, Bitmap&) { return 0; }
int imgConvertTo1BitBmp(const std::string&, const std::string&, int) { return 0; }
int imgResizeRefine1Bit(int, int, const Bitmap&, Bitmap&) { return 0; }
Bitmap imgResize(const Bitmap&, int, int) { return Bitmap(); }
int imgResizeBitmap(int, int, const Bitmap&, Bitmap&) { return 0; }
