// Work images drawn as text for the vectoriser tests, and the RVL text they should give.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdarg>
#include <string>
#include <utility>
#include <vector>

namespace qtest {

// Header fields a test may spoil.
struct BmpFields {
    std::int32_t infoSize = 40;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 1;
    std::uint32_t compression = 0;
};

inline void putLE(std::string& s, std::size_t at, std::uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

inline std::size_t strideOf(std::int64_t width)
{
    return static_cast<std::size_t>((width + 31) / 32 * 4);
}

// A one-bit work image of width × height background pixels. Ink is the set bit unless
// inkIsClear; padding bits hold the background value unless inkPadding.
struct WorkBitmap {
    std::int32_t width;
    std::int32_t height;
    bool inkIsClear = false;
    bool inkPadding = false;
    std::vector<std::uint8_t> ink;   // one byte per pixel

    WorkBitmap(std::int32_t w, std::int32_t h, bool clearInk = false)
        : width(w), height(h), inkIsClear(clearInk), ink(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), 0)
    {
    }
    // Rows of text, row 0 first: '#' is ink.
    static WorkBitmap fromText(const std::vector<std::string>& rows, bool clearInk = false)
    {
        WorkBitmap b(static_cast<std::int32_t>(rows.empty() ? 0 : rows[0].size()),
                     static_cast<std::int32_t>(rows.size()), clearInk);
        for (std::size_t y = 0; y < rows.size(); ++y)
            for (std::size_t x = 0; x < rows[y].size(); ++x)
                b.set(static_cast<int>(x), static_cast<int>(y), rows[y][x] == '#');
        return b;
    }
    void set(int x, int y, bool v = true) { ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] = v; }
    bool at(int x, int y) const { return ink[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] != 0; }

    std::string bytes(const BmpFields& f = {}) const
    {
        const std::size_t stride = strideOf(width);
        std::string s(62 + stride * static_cast<std::size_t>(height), '\0');
        s[0] = 'B';
        s[1] = 'M';
        putLE(s, 2, s.size(), 4);
        putLE(s, 10, 62, 4);
        putLE(s, 14, static_cast<std::uint32_t>(f.infoSize), 4);
        putLE(s, 18, static_cast<std::uint32_t>(width), 4);
        putLE(s, 22, static_cast<std::uint32_t>(height), 4);
        putLE(s, 26, f.planes, 2);
        putLE(s, 28, f.bitCount, 2);
        putLE(s, 30, f.compression, 4);
        putLE(s, 58, 0xFFFFFF, 4);   // palette: black, white
        for (int y = 0; y < height; ++y) {
            for (std::size_t b = 0; b < stride; ++b) {
                unsigned byte = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    const std::size_t x = b * 8 + static_cast<std::size_t>(bit);
                    const bool isInk = x < static_cast<std::size_t>(width) ? at(static_cast<int>(x), y) : inkPadding;
                    if (isInk != inkIsClear)
                        byte |= 0x80u >> bit;
                }
                s[62 + static_cast<std::size_t>(y) * stride + b] = static_cast<char>(byte);
            }
        }
        return s;
    }
};

using Polyline = std::vector<std::pair<long, long>>;

inline std::string rvlText(const std::vector<Polyline>& blocks)
{
    std::string s;
    for (const Polyline& p : blocks) {
        s += "PS\r\n";
        for (const auto& [x, y] : p)
            s += std::to_string(x) + " " + std::to_string(y) + "\r\n";
        s += "PE\r\n";
    }
    return s;
}

// Parses RVL text back into blocks (for tests that check a property of the output).
inline std::vector<Polyline> rvlBlocks(const std::string& text)
{
    std::vector<Polyline> out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t end = text.find("\r\n", pos);
        const std::string line = text.substr(pos, end - pos);
        pos = end == std::string::npos ? text.size() : end + 2;
        if (line == "PS")
            out.emplace_back();
        else if (line != "PE" && !out.empty()) {
            long x = 0, y = 0;
            if (std::sscanf(line.c_str(), "%ld %ld", &x, &y) == 2)
                out.back().emplace_back(x, y);
        }
    }
    return out;
}

// Formats every callback message into a list (the callbacks carry printf formats).
inline std::vector<std::string>& recordedMessages()
{
    static std::vector<std::string> messages;
    return messages;
}

inline int recordMessage(const char* format, va_list args)
{
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    recordedMessages().emplace_back(text);
    return 1;
}

} // namespace qtest
