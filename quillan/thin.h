// Zhang–Suen thinning of the mapped work image, in place.
#pragma once

#include "workimage.h"

#include <cstdint>

namespace quillan {

enum class ThinCondition { SouthEast, NorthWest };

// Tests the header, fixes the polarity and thins pass after pass until a pass removes
// nothing. Returns the number of passes that removed pixels, or -1 when the header does not
// describe a usable one-bit image of this file or the row flags cannot be had.
int thinImage(unsigned char* view, std::uint64_t fileLength, int& polarity);

// One pass: both sub-iterations. Pixels removed, or negative when a sub-iteration failed.
std::int64_t thinPass(const WorkImage& img, std::uint8_t* dirty, std::uint8_t* dirtyNext);

// Removes, in the rows the dirty flags select, every pixel the deletion rule of the condition
// allows, judged on the image as it stood before. Pixels removed, or -1 (image unchanged)
// when its buffers cannot be had. Rows that lose pixels are marked in both flag arrays.
std::int64_t thinSubIteration(const WorkImage& img, std::uint8_t* dirty, std::uint8_t* dirtyNext,
                              ThinCondition condition);

} // namespace quillan
