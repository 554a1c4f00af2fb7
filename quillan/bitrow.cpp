#include "bitrow.h"

namespace quillan {

void bitRowLoad(const WorkImage& img, std::int64_t y, BitRow& row)
{
    const std::size_t words = bitRowWords(img);
    Word* out = row.data();
    if (y < 0 || y >= img.height) {
        std::memset(out, 0, words * sizeof(Word));
        return;
    }
    const unsigned char* src = img.row(y);
    const std::size_t whole = img.stride / 8;
    for (std::size_t i = 0; i < words; ++i) {
        Word v = 0;
        if (i < whole) {
            std::memcpy(&v, src + i * 8, 8);
            v = __builtin_bswap64(v);
        } else {
            for (std::size_t b = i * 8; b < i * 8 + 8; ++b)
                v = (v << 8) | (b < img.stride ? src[b] : 0u);
        }
        out[i] = img.polarity == 255 ? ~v : v;
    }
    const unsigned tail = static_cast<unsigned>(img.width) % 64;
    if (words > 0 && tail != 0)
        out[words - 1] &= ~Word{0} << (64 - tail);
}

} // namespace quillan
