// Rows of the work image as 64-pixel words of foreground bits, and the eight-neighbour
// tests done on 64 pixels at once. Leftmost pixel of a word in its top bit, as in the file.
#pragma once

#include "workimage.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

namespace quillan {

using Word = std::uint64_t;

// One unpacked row: words 1 … n hold the pixels; words 0 and n + 1 stay zero so that
// neighbours outside the image read as background.
class BitRow {
public:
    explicit BitRow(std::size_t words) : w_(words + 2, 0) {}
    Word* data() { return w_.data() + 1; }
    const Word* data() const { return w_.data() + 1; }
    void clear() { std::memset(w_.data(), 0, w_.size() * sizeof(Word)); }

private:
    std::vector<Word> w_;
};

inline std::size_t bitRowWords(const WorkImage& img)
{
    return (static_cast<std::size_t>(img.width) + 63) / 64;
}

// Unpacks row y into foreground bits (all background outside the image).
void bitRowLoad(const WorkImage& img, std::int64_t y, BitRow& row);

// The eight neighbours of the 64 pixels of word i, aligned with them.
struct Neighbours {
    Word p2, p3, p4, p5, p6, p7, p8, p9;
};

inline Neighbours neighboursAt(const Word* prev, const Word* cur, const Word* next, std::size_t word)
{
    const auto i = static_cast<std::ptrdiff_t>(word);
    Neighbours n;
    n.p2 = prev[i];
    n.p3 = (prev[i] << 1) | (prev[i + 1] >> 63);
    n.p9 = (prev[i] >> 1) | (prev[i - 1] << 63);
    n.p4 = (cur[i] << 1) | (cur[i + 1] >> 63);
    n.p8 = (cur[i] >> 1) | (cur[i - 1] << 63);
    n.p6 = next[i];
    n.p5 = (next[i] << 1) | (next[i + 1] >> 63);
    n.p7 = (next[i] >> 1) | (next[i - 1] << 63);
    return n;
}

// Per bit: how many of the eight inputs are set, saturated at three.
struct CountUpTo3 {
    Word atLeast1 = 0, atLeast2 = 0, atLeast3 = 0;
    void add(Word v)
    {
        atLeast3 |= atLeast2 & v;
        atLeast2 |= atLeast1 & v;
        atLeast1 |= v;
    }
};

// B: foreground neighbours, counted up to three.
inline CountUpTo3 countSet(const Neighbours& n)
{
    CountUpTo3 c;
    c.add(n.p2); c.add(n.p3); c.add(n.p4); c.add(n.p5);
    c.add(n.p6); c.add(n.p7); c.add(n.p8); c.add(n.p9);
    return c;
}

// 8 − B: background neighbours, counted up to three.
inline CountUpTo3 countClear(const Neighbours& n)
{
    CountUpTo3 c;
    c.add(~n.p2); c.add(~n.p3); c.add(~n.p4); c.add(~n.p5);
    c.add(~n.p6); c.add(~n.p7); c.add(~n.p8); c.add(~n.p9);
    return c;
}

// A: background-to-foreground transitions once around P2, P3, …, P9, P2, counted up to three.
inline CountUpTo3 countTransitions(const Neighbours& n)
{
    CountUpTo3 c;
    c.add(~n.p2 & n.p3); c.add(~n.p3 & n.p4); c.add(~n.p4 & n.p5); c.add(~n.p5 & n.p6);
    c.add(~n.p6 & n.p7); c.add(~n.p7 & n.p8); c.add(~n.p8 & n.p9); c.add(~n.p9 & n.p2);
    return c;
}

} // namespace quillan
