#include "render/tone.h"

#include <array>

namespace {

// Rows from top to bottom, '0' a black dot.
constexpr std::array<std::array<const char*, 8>, 3> kToneRows{{
    {"01110111", "11111111", "11011101", "11111111", "01110111", "11111111", "11011101", "11111111"},
    {"01010101", "11111111", "01010101", "11111111", "01010101", "11111111", "01010101", "11111111"},
    {"01010101", "10101010", "01010101", "10101010", "01010101", "10101010", "01010101", "10101010"},
}};

QImage makeTone(const std::array<const char*, 8>& rows)
{
    QImage img(8, 8, QImage::Format_Mono);
    img.setColorTable({qRgb(0, 0, 0), qRgb(255, 255, 255)});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            img.setPixel(x, y, rows[static_cast<std::size_t>(y)][x] == '0' ? 0u : 1u);
    return img;
}

} // namespace

const QImage* toneGetGraphic(int kind)
{
    static const std::array<QImage, 3> tones{makeTone(kToneRows[0]), makeTone(kToneRows[1]),
                                             makeTone(kToneRows[2])};
    if (kind < 0 || kind > 2)
        return nullptr;
    return &tones[static_cast<std::size_t>(kind)];
}
