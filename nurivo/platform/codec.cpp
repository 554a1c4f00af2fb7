#include "codec.h"

#include <cerrno>
#include <iconv.h>
#include <stdexcept>

namespace {

bool isAscii(std::string_view s)
{
    for (unsigned char c : s)
        if (c >= 0x80)
            return false;
    return true;
}

// One converter per direction and thread; iconv_open is not free and readers call this per line.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from))
    {
        if (cd_ == reinterpret_cast<iconv_t>(-1))
            throw std::runtime_error(std::string("iconv cannot convert ") + from + " to " + to);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; on a byte the source charset rejects, appends `replacement` and skips
    // `skip(rest)` bytes.
    template <class Skip>
    std::string run(std::string_view in, std::string_view replacement, Skip skip)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.reserve(in.size() * 3 / 2 + 8);
        char buf[4096];
        char* src = const_cast<char*>(in.data());
        size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buf;
            size_t dstLeft = sizeof buf;
            size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buf, dst - buf);
            if (r != static_cast<size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            // EILSEQ (invalid or unrepresentable) or EINVAL (incomplete sequence at the end).
            out.append(replacement);
            size_t n = skip(std::string_view(src, srcLeft));
            if (n == 0 || n > srcLeft)
                n = srcLeft < 1 ? srcLeft : 1;
            src += n;
            srcLeft -= n;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return out;
    }

private:
    iconv_t cd_;
};

size_t utf8SequenceLength(std::string_view rest)
{
    unsigned char c = static_cast<unsigned char>(rest[0]);
    size_t n = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    // Never swallow ASCII that follows a broken lead byte.
    for (size_t i = 1; i < n; ++i)
        if (i >= rest.size() || (static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80)
            return i;
    return n;
}

} // namespace

std::string cp932ToUtf8(std::string_view cp932)
{
    if (isAscii(cp932))
        return std::string(cp932);
    thread_local Converter conv("UTF-8", "CP932");
    return conv.run(cp932, "\xEF\xBF\xBD", [](std::string_view) { return size_t{1}; });
}

std::string utf8ToCp932(std::string_view utf8)
{
    if (isAscii(utf8))
        return std::string(utf8);
    thread_local Converter conv("CP932", "UTF-8");
    return conv.run(utf8, "?", utf8SequenceLength);
}

std::size_t cp932Length(std::string_view utf8)
{
    return isAscii(utf8) ? utf8.size() : utf8ToCp932(utf8).size();
}
