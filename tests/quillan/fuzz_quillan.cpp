// libFuzzer target: work images, raw or with a sound header over fuzzed pixels, through the
// reader and the whole conversion. Small convertible images are also checked against the
// plain pixel-by-pixel conversion.
#include "quillan.h"
#include "reference.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

std::string& scratchDir()
{
    // Scratch files, and the conversion's temporary copies, in a folder of this run.
    static std::string dir = [] {
        const char* base = std::getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/quillan-fuzz-XXXXXX";
        if (!::mkdtemp(tmpl.data()))
            std::abort();
        ::setenv("TMPDIR", tmpl.c_str(), 1);
        return tmpl;
    }();
    return dir;
}

void putLE(std::string& s, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        s[at + static_cast<std::size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string readAll(const std::string& path)
{
    std::string out;
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char buf[4096];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            out.append(buf, n);
        std::fclose(f);
    }
    return out;
}

void writeAll(const std::string& path, const std::string& bytes)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::string src = scratchDir() + "/f.TMP";
    const std::string out = scratchDir() + "/f.RVL";
    std::string bytes;
    const bool raw = data[0] & 1;
    const int copy = (data[0] >> 1) & 1;
    if (raw) {
        bytes.assign(reinterpret_cast<const char*>(data) + 1, size - 1);
    } else {
        // A sound header of a width taken from the input; the rest is pixel rows.
        const std::uint32_t width = 1u + data[1] % 150u;
        const std::size_t stride = (width + 31) / 32 * 4;
        const std::size_t height = (size - 2) / stride;
        bytes.assign(62, '\0');
        bytes[0] = 'B';
        bytes[1] = 'M';
        putLE(bytes, 14, 40);
        putLE(bytes, 18, width);
        putLE(bytes, 22, static_cast<std::uint32_t>(height));
        bytes[26] = 1;
        bytes[28] = 1;
        bytes.append(reinterpret_cast<const char*>(data) + 2, height * stride);
    }
    writeAll(src, bytes);
    ::unlink(out.c_str());
    const double tolerance = (data[0] >> 2) & 1 ? 1.4143 : 0.5 * ((data[0] >> 3) & 7);
    const int rc = quillanourCnv(src.c_str(), copy, out.c_str(), tolerance, -1.0);
    if (!raw && rc != 1)
        std::abort();   // a sound header must convert
    if (rc == 1 && bytes.size() <= 62 + 4096) {
        std::int32_t w, h;
        std::memcpy(&w, bytes.data() + 18, 4);
        std::memcpy(&h, bytes.data() + 22, 4);
        std::string expectedImage = bytes;
        qref::Image img{reinterpret_cast<unsigned char*>(expectedImage.data()) + 62, w, h, (static_cast<long>(w) + 31) / 32 * 4, 0};
        const std::string expected = qref::convert(img, tolerance > 0 ? tolerance : 4.9e-324, 1.0);
        if (readAll(out) != expected)
            std::abort();
        if (!copy && readAll(src) != expectedImage)
            std::abort();
    }
    return 0;
}
