// The imaging operations: loading rasters (TIFF, PNG, BMP) with their resolution, writing the
// one-bit TMP work image, and reducing bitmaps. Failures return 0 (or an empty bitmap) and
// leave the target untouched; nothing here shows a message.
#pragma once
#include "render/bitmap.h"

#include <string>

// The resolution the file itself stores, in dots per inch, rounded; 0 when it stores none
// (so the 200 dpi default applies) or when the file is not a raster that can be read.
// Only the header is read.
int imgGetFileDpi(const std::string& path);

// The width and height that the raster's header gives, without decoding the pixels. Non-zero
// when the header is one that imgLoadToBitmap goes on to decode; the decode may still fail.
int imgGetFileSize(const std::string& path, int& width, int& height);

// Loads the raster at `path` into `bitmap`, with the pixel format of the file. Non-zero when
// loaded; 0 with `bitmap` unchanged when the file is missing, not a raster, truncated or lies
// about its size.
int imgLoadToBitmap(const std::string& path, Bitmap& bitmap);

// Writes the TMP work image: an uncompressed one-bit BMP (14-byte file header, 40-byte
// information header, two palette entries, bottom-up rows from byte 62 padded to 32 bits).
// A one-bit source is written bit for bit with its own colour table; any other is converted:
// luminance (Bitmap::lumaOf) at or above `threshold` gives bit 1 (white), below it bit 0
// (black). Non-zero when the source was loaded and the file written; 0 otherwise, and a
// failed write leaves no file behind.
int imgConvertTo1BitBmp(const std::string& source, const std::string& destination, int threshold);

// Reduces `source` to `width` x `height` into `target` as an eight-bit grey bitmap, averaging
// the area each target pixel covers so that one-pixel lines stay visible. Made for one-bit
// sources; any source works. Non-zero on success; 0 with `target` unchanged when the source
// is empty or the size is not positive or too large. `source` and `target` may be the same.
int imgResizeRefine1Bit(int width, int height, const Bitmap& source, Bitmap& target);

// `source` reduced to `width` x `height` by area averaging; empty on failure. Colour rasters
// keep their pixel format; grey and one-bit rasters give eight-bit grey.
Bitmap imgResize(const Bitmap& source, int width, int height);

// Reduces `source` into `target` as imgResize does. Non-zero on success; 0 with `target`
// unchanged on failure. `source` and `target` may be the same.
int imgResizeBitmap(int width, int height, const Bitmap& source, Bitmap& target);

// The reduction a sheet's view is shown with: imgResizeRefine1Bit for a one-bit source,
// imgResizeBitmap for any other. Non-zero on success; 0 with `target` unchanged.
int imgResizeForView(int width, int height, const Bitmap& source, Bitmap& target);

// As imgResizeForView, for the operator's view: a failure is reported as `step` followed by
// its reason ("縮小できませんでした", "メモリが不足しています" or what was thrown), never thrown
// on. Non-zero on success.
int imgResizeForViewReported(const char* step, int width, int height, const Bitmap& source, Bitmap& target);

// As imgResizeForView, but the pixels are made when they are first read (Bitmap::deferred),
// from `source` as it is now; a failure then is reported as imgResizeForViewReported does,
// under `step`, and leaves the bitmap empty. Non-zero when the sizes are ones that the
// reduction accepts; 0 with `target` unchanged otherwise.
int imgResizeForViewDeferred(const char* step, int width, int height, const Bitmap& source, Bitmap& target);

// Rows [rowBegin, rowEnd) of the reduction of `source` to `width` x `height` that
// imgResizeRefine1Bit (grey and one-bit sources) or imgResizeBitmap (colour) make, pixel for
// pixel, without making the rest: a page-size reduction is drawn band by band. Non-zero on
// success; 0 with `target` unchanged when the sizes or rows are not valid.
int imgResizeRows(int width, int height, const Bitmap& source, int rowBegin, int rowEnd, Bitmap& target);
