// Thinning visits rows as follows: in the first pass every row; afterwards a row is examined
// when it or a neighbour lost pixels in the previous pass, except that a run of three or
// more clean rows is jumped over straight to the next dirty row, whose upper neighbour is
// then not examined. Decisions of a sub-iteration all see the image as it was when the
// sub-iteration began: deletions of a row are written back only once the rows beside it have
// been judged, so blocks of rows can be judged on several threads at once.
#include "thin.h"

#include "bitrow.h"
#include "messages.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <ctime>
#include <new>
#include <vector>

namespace quillan {

namespace {

// Deletion candidates among the 64 pixels of word i of the current row: 2 <= B <= 6 (two
// neighbours set and two clear at least), A = 1, and the condition of the sub-iteration.
inline Word deletable(const Word* prev, const Word* cur, const Word* next, std::size_t i, ThinCondition condition)
{
    const Neighbours n = neighboursAt(prev, cur, next, i);
    const CountUpTo3 set = countSet(n);
    const CountUpTo3 clear = countClear(n);
    const CountUpTo3 trans = countTransitions(n);
    Word ok = cur[i] & set.atLeast2 & clear.atLeast2 & trans.atLeast1 & ~trans.atLeast2;
    if (condition == ThinCondition::SouthEast)
        ok &= ~(n.p2 & n.p4 & n.p6) & ~(n.p4 & n.p6 & n.p8);
    else
        ok &= ~(n.p2 & n.p4 & n.p8) & ~(n.p2 & n.p6 & n.p8);
    return ok;
}

// Set bits of a word (no popcount instruction is assumed).
inline int bitCount(Word v)
{
    v = v - ((v >> 1) & 0x5555555555555555ULL);
    v = (v & 0x3333333333333333ULL) + ((v >> 2) & 0x3333333333333333ULL);
    v = (v + (v >> 4)) & 0x0F0F0F0F0F0F0F0FULL;
    return static_cast<int>((v * 0x0101010101010101ULL) >> 56);
}

// Writes background into every pixel of row y whose bit is set in mask.
void applyDeletions(const WorkImage& img, std::int64_t y, const Word* mask, std::size_t words)
{
    unsigned char* row = img.row(y);
    const std::size_t whole = img.stride / 8;
    for (std::size_t i = 0; i < words; ++i) {
        const Word m = mask[i];
        if (!m)
            continue;
        if (i < whole) {
            Word v;
            std::memcpy(&v, row + i * 8, 8);
            const Word bits = __builtin_bswap64(m);
            v = img.polarity == 255 ? (v | bits) : (v & ~bits);
            std::memcpy(row + i * 8, &v, 8);
            continue;
        }
        // The last word of a row may reach past its stored bytes; its mask bits do not.
        for (unsigned b = 0; b < 8 && i * 8 + b < img.stride; ++b) {
            const auto bits = static_cast<unsigned char>(m >> (56 - 8 * b));
            unsigned char& byte = row[i * 8 + b];
            byte = img.polarity == 255 ? static_cast<unsigned char>(byte | bits)
                                       : static_cast<unsigned char>(byte & ~bits);
        }
    }
}

// The three rows around the row being judged, reused while the scan moves down one row.
class RowWindow {
public:
    RowWindow(const WorkImage& img, BitRow (&rows)[3]) : img_(img), rows_(rows) {}

    const Word* get(std::int64_t y)
    {
        const std::size_t slot = static_cast<std::size_t>((y + 3) % 3);
        if (tags_[slot] != y) {
            bitRowLoad(img_, y, rows_[slot]);
            tags_[slot] = y;
        }
        return rows_[slot].data();
    }

private:
    const WorkImage& img_;
    BitRow (&rows_)[3];
    std::int64_t tags_[3] = {INT64_MIN, INT64_MIN, INT64_MIN};
};

// The rows a sub-iteration examines, in ascending order. They depend only on the flags as
// they stand when it begins: a sub-iteration marks rows only once every row has been judged.
void examinedRows(const std::uint8_t* dirty, std::int64_t height, std::vector<std::int64_t>& rows)
{
    rows.clear();
    std::int64_t next = -2;
    std::int64_t i = 0;
    while (i < height) {
        if (next != -1 && next < i) {
            const void* found = std::memchr(dirty + i, 1, static_cast<std::size_t>(height - i));
            next = found ? static_cast<const std::uint8_t*>(found) - dirty : -1;
        }
        std::int64_t r;
        if (next >= 0 && next > i + 2) {
            r = next;
        } else {
            const bool clean = !dirty[i > 0 ? i - 1 : 0] && !dirty[i] && (i + 1 >= height || !dirty[i + 1]);
            if (clean) {
                ++i;
                continue;
            }
            r = i;
        }
        rows.push_back(r);
        i = r + 1;
    }
}

} // namespace

std::int64_t thinSubIteration(const WorkImage& img, std::uint8_t* dirty, std::uint8_t* dirtyNext,
                              ThinCondition condition, Workers& workers, ThinBuffers& buffers)
{
    if (img.empty())
        return 0;
    const std::size_t words = bitRowWords(img);
    try {
        std::vector<std::int64_t>& rows = buffers.rows;
        examinedRows(dirty, img.height, rows);
        const std::size_t n = rows.size();
        if (n == 0)
            return 0;
        // Blocks of consecutive examined rows, small enough to keep every thread busy and
        // large enough to be worth a thread.
        const std::size_t perBlock = std::max({std::size_t{4}, n / (8 * std::size_t{workers.size()}),
                                               workers.grain() / words});
        const std::size_t blocks = (n + perBlock - 1) / perBlock;
        // Everything a block needs is had before any block starts: once deletions are
        // written back, nothing may fail.
        if (buffers.blockWords != words)
            buffers.blockRows.clear();
        buffers.blockWords = words;
        while (buffers.blockRows.size() < blocks)
            buffers.blockRows.emplace_back(words);
        buffers.edges.assign(2 * blocks * words, 0);
        buffers.edgeChanged.assign(2 * blocks, 0);
        buffers.removed.assign(blocks, 0);

        auto markAndApply = [&](std::int64_t r, const Word* mask) {
            applyDeletions(img, r, mask, words);
            dirty[r] = 1;
            dirtyNext[r] = 1;
        };

        // A block writes the deletions of its inner rows back two rows behind its scan, as
        // one thread alone would. Its first and last rows may be read by the neighbouring
        // blocks, so their deletions wait until every block has judged its rows.
        workers.forEach(blocks, [&](std::size_t block) {
            ThinBlockRows& own = buffers.blockRows[block];
            RowWindow window(img, own.window);
            BitRow& pending = own.pending;
            BitRow& current = own.current;
            std::int64_t pendingRow = -1;
            std::int64_t count = 0;
            const std::size_t first = block * perBlock;
            const std::size_t last = std::min(n, first + perBlock);
            for (std::size_t k = first; k < last; ++k) {
                const std::int64_t r = rows[k];
                if (pendingRow >= 0 && pendingRow < r - 1) {
                    markAndApply(pendingRow, pending.data());
                    pendingRow = -1;
                }
                const Word* prev = window.get(r - 1);
                const Word* cur = window.get(r);
                const Word* below = window.get(r + 1);
                Word* del = current.data();
                Word any = 0;
                for (std::size_t w = 0; w < words; ++w) {
                    if (!cur[w]) {
                        del[w] = 0;
                        continue;
                    }
                    const Word d = deletable(prev, cur, below, w, condition);
                    del[w] = d;
                    any |= d;
                    if (d)
                        count += bitCount(d);
                }
                if (pendingRow >= 0) {
                    markAndApply(pendingRow, pending.data());
                    pendingRow = -1;
                }
                if (!any)
                    continue;
                if (k == first || k + 1 == last) {
                    const std::size_t edge = 2 * block + (k == first ? 0 : 1);
                    std::memcpy(&buffers.edges[edge * words], del, words * sizeof(Word));
                    buffers.edgeChanged[edge] = 1;
                } else {
                    std::swap(pending, current);
                    pendingRow = r;
                }
            }
            if (pendingRow >= 0)
                markAndApply(pendingRow, pending.data());
            buffers.removed[block] = count;
        });
        std::int64_t total = 0;
        for (std::size_t b = 0; b < blocks; ++b) {
            total += buffers.removed[b];
            const std::size_t first = b * perBlock;
            const std::size_t last = std::min(n, first + perBlock) - 1;
            for (std::size_t side = 0; side < 2; ++side) {
                if (buffers.edgeChanged[2 * b + side])
                    markAndApply(rows[side == 0 ? first : last], &buffers.edges[(2 * b + side) * words]);
            }
        }
        return total;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

std::int64_t thinPass(const WorkImage& img, std::uint8_t* dirty, std::uint8_t* dirtyNext, Workers& workers,
                      ThinBuffers& buffers)
{
    const std::int64_t first = thinSubIteration(img, dirty, dirtyNext, ThinCondition::SouthEast, workers, buffers);
    if (first < 0)
        return first;
    const std::int64_t second = thinSubIteration(img, dirty, dirtyNext, ThinCondition::NorthWest, workers, buffers);
    if (second < 0)
        return second;
    return first + second;
}

int thinImage(unsigned char* view, std::uint64_t fileLength, int& polarity, Workers& workers)
{
    const BmpHeader header = bmpReadHeader(view);
    if (!bmpHeaderUsable(header, fileLength))
        return -1;
    WorkImage img = workImageFromHeader(view, header);
    const std::size_t height = static_cast<std::size_t>(header.height);
    std::vector<std::uint8_t> flags;
    try {
        // An image without pixels needs no flags: no row is ever examined.
        flags.assign(img.empty() ? 0 : 2 * height, 0);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::uint8_t* dirty = flags.data();
    std::uint8_t* dirtyNext = flags.data() + (img.empty() ? 0 : height);
    if (!img.empty())
        std::memset(dirty, 1, height);
    img.polarity = bmpDetectPolarity(header, img.pixels);

    ThinBuffers buffers;
    int passes = 0;
    std::time_t start = std::time(nullptr);
    std::int64_t r;
    for (;;) {
        r = thinPass(img, dirty, dirtyNext, workers, buffers);
        if (r <= 0)
            break;
        std::swap(dirty, dirtyNext);
        std::memset(dirtyNext, 0, height);
        const std::time_t now = std::time(nullptr);
        msgThinning("2 %3d  細線化処理 (%d - %.0lf秒)", passes + 1, static_cast<int>(r > INT_MAX ? INT_MAX : r),
                    std::difftime(now, start));
        start = std::time(nullptr);
        ++passes;
    }
    msgThinning("2 %3d  細線化処理 (%d - %.0lf秒)", passes + 1, static_cast<int>(r < 0 ? -1 : r),
                std::difftime(std::time(nullptr), start));
    polarity = img.polarity;
    return passes;
}

} // namespace quillan
