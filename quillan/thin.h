// Zhang–Suen thinning of the mapped work image, in place.
#pragma once

#include "bitrow.h"
#include "workers.h"
#include "workimage.h"

#include <cstdint>
#include <vector>

namespace quillan {

enum class ThinCondition { SouthEast, NorthWest };

// The rows one block of a sub-iteration works on: three unpacked rows around the row judged
// and the deletion masks of the last two rows judged.
struct ThinBlockRows {
    explicit ThinBlockRows(std::size_t words)
        : window{BitRow(words), BitRow(words), BitRow(words)}, pending(words), current(words)
    {
    }
    BitRow window[3];
    BitRow pending;
    BitRow current;
};

// What a thinning run reuses from one sub-iteration to the next: the rows examined, the rows
// of each block, the deletions held back for the first and last row of each block, and the
// pixels removed per block.
struct ThinBuffers {
    std::vector<std::int64_t> rows;
    std::vector<ThinBlockRows> blockRows;
    std::size_t blockWords = 0;
    std::vector<Word> edges;
    std::vector<std::uint8_t> edgeChanged;
    std::vector<std::int64_t> removed;
};

// Tests the header, fixes the polarity and thins pass after pass until a pass removes
// nothing. Returns the number of passes that removed pixels, or -1 when the header does not
// describe a usable one-bit image of this file or the row flags cannot be had.
int thinImage(unsigned char* view, std::uint64_t fileLength, int& polarity, Workers& workers);

// One pass: both sub-iterations. Pixels removed, or negative when a sub-iteration failed.
std::int64_t thinPass(const WorkImage& img, std::uint8_t* dirty, std::uint8_t* dirtyNext, Workers& workers,
                      ThinBuffers& buffers);

// Removes, in the rows the dirty flags select, every pixel the deletion rule of the condition
// allows, judged on the image as it stood before. Pixels removed, or -1 (image unchanged)
// when its buffers cannot be had. Rows that lose pixels are marked in both flag arrays.
std::int64_t thinSubIteration(const WorkImage& img, std::uint8_t* dirty, std::uint8_t* dirtyNext,
                              ThinCondition condition, Workers& workers, ThinBuffers& buffers);

} // namespace quillan
