#include "strscan.h"

#include "satint.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <stdexcept>
#include <vector>

namespace {

// The files' numbers are C numbers, whatever locale the program runs in: a GUI program takes
// the locale of its environment, where "%.3lf" would write "12,500" and strtod stop at the
// point. One C locale serves every thread.
locale_t cLocale()
{
    static const locale_t c = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return c;
}

class CLocaleScope {
public:
    CLocaleScope() : old_(cLocale() ? uselocale(cLocale()) : locale_t(0)) {}
    ~CLocaleScope()
    {
        if (old_)
            uselocale(old_);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    locale_t old_;
};

bool isSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

template <class T>
T* targetAs(const ScanTarget& t)
{
    if (T* const* p = std::get_if<T*>(&t))
        return *p;
    throw std::logic_error("strScan: conversion does not match its target");
}

// Reads a signed or unsigned integer at `pos` with strtol semantics, saturating.
bool scanInteger(std::string_view s, size_t& pos, int base, bool isUnsigned, long long& value,
                 size_t width)
{
    std::string tmp(s.substr(pos, width));
    const char* start = tmp.c_str();
    char* end = nullptr;
    errno = 0;
    if (isUnsigned) {
        // strtoull accepts a sign; keep that (sscanf does too).
        unsigned long long u = std::strtoull(start, &end, base);
        value = static_cast<long long>(u);
    } else {
        value = std::strtoll(start, &end, base);
    }
    if (end == start)
        return false;
    pos += static_cast<size_t>(end - start);
    return true;
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the decimal number at the start of `s`: an optional sign, digits with at most one
// point among them (at least one digit), then an exponent only when it has digits of its own.
// Nothing else reads as a number: no "nan", "inf" or hexadecimal, which strtod would take and
// which no file or field of ours holds.
size_t decimalLength(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        ++i;
    size_t digits = 0;
    for (; i < s.size() && isDigit(s[i]); ++i)
        ++digits;
    if (i < s.size() && s[i] == '.')
        for (++i; i < s.size() && isDigit(s[i]); ++i)
            ++digits;
    if (digits == 0)
        return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        size_t j = i + 1;
        if (j < s.size() && (s[j] == '+' || s[j] == '-'))
            ++j;
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j]))
                ++j;
            i = j;
        }
    }
    return i;
}

// Where the digits of a decimal integer start in `text`, as strToLong reads it: after leading
// blanks and one sign, which `negative` tells.
size_t integerDigitsStart(std::string_view text, bool& negative)
{
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
        ++i;
    negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    return i;
}

// The decimal prefix of `text` as strToLong reads it (leading blanks, a sign, digits), its
// magnitude held near 10^18 so that it never overflows; 0 when there are no digits.
long long decimalPrefix(std::string_view text)
{
    bool negative;
    size_t i = integerDigitsStart(text, negative);
    constexpr long long cap = (LLONG_MAX - 9) / 10;
    long long v = 0;
    for (; i < text.size() && isDigit(text[i]); ++i)
        if (v <= cap)
            v = v * 10 + (text[i] - '0');
    return negative ? -v : v;
}

} // namespace

int strScanList(std::string_view s, const char* fmt, std::initializer_list<ScanTarget> out)
{
    std::vector<ScanTarget> targets(out);
    size_t next = 0;
    size_t pos = 0;
    int stored = 0;
    bool converted = false; // any conversion attempted on input (for the -1 result)

    auto take = [&]() -> const ScanTarget& {
        if (next >= targets.size())
            throw std::logic_error("strScan: more conversions than targets");
        return targets[next++];
    };
    auto atEnd = [&] { return pos >= s.size(); };
    auto result = [&] { return (!converted && stored == 0 && atEnd()) ? -1 : stored; };

    for (const char* f = fmt; *f; ++f) {
        if (isSpace(*f)) {
            while (!atEnd() && isSpace(s[pos]))
                ++pos;
            continue;
        }
        if (*f != '%' || f[1] == '%') {
            if (*f == '%')
                ++f;
            if (atEnd())
                return result();
            if (s[pos] != *f)
                return stored;
            ++pos;
            continue;
        }
        ++f;
        bool suppress = false;
        if (*f == '*') {
            suppress = true;
            ++f;
        }
        size_t width = 0;
        while (std::isdigit(static_cast<unsigned char>(*f)))
            width = width * 10 + static_cast<size_t>(*f++ - '0');
        if (width == 0)
            width = std::string_view::npos;
        int longness = 0;
        while (*f == 'l' || *f == 'h') {
            if (*f == 'l')
                ++longness;
            ++f;
        }
        char conv = *f;
        if (conv == '\0')
            break;

        if (conv == 'n') {
            if (!suppress)
                *targetAs<int>(take()) = static_cast<int>(pos);
            continue;
        }
        if (conv != 'c' && conv != '[')
            while (!atEnd() && isSpace(s[pos]))
                ++pos;
        if (atEnd())
            return result();
        converted = true;

        switch (conv) {
        case 'd':
        case 'i':
        case 'u':
        case 'x': {
            long long v = 0;
            int base = conv == 'd' || conv == 'u' ? 10 : conv == 'x' ? 16 : 0;
            if (!scanInteger(s, pos, base, conv == 'u' || conv == 'x', v, width))
                return stored;
            if (suppress)
                break;
            const ScanTarget& t = take();
            if (conv == 'u' || conv == 'x') {
                if (longness)
                    *targetAs<unsigned long>(t) = static_cast<unsigned long>(v);
                else
                    *targetAs<unsigned>(t) = static_cast<unsigned>(v);
            } else if (longness) {
                *targetAs<long>(t) = static_cast<long>(v);
            } else {
                *targetAs<int>(t) = static_cast<int>(v);
            }
            ++stored;
            break;
        }
        case 'f':
        case 'e':
        case 'g': {
            const std::string_view field = s.substr(pos, width);
            const size_t length = decimalLength(field);
            if (length == 0)
                return stored;
            const std::string tmp(field.substr(0, length));
            char* end = nullptr;
            double v = cLocale() ? strtod_l(tmp.c_str(), &end, cLocale()) : std::strtod(tmp.c_str(), &end);
            // Beyond the range of the target strtod gives infinity, which no file or field holds
            // and which would be written back as "inf": such a decimal is no number.
            if (end == tmp.c_str() || std::isinf(v) || (!longness && std::fabs(v) > FLT_MAX))
                return stored;
            pos += static_cast<size_t>(end - tmp.c_str());
            if (suppress)
                break;
            const ScanTarget& t = take();
            if (longness)
                *targetAs<double>(t) = v;
            else
                *targetAs<float>(t) = static_cast<float>(v);
            ++stored;
            break;
        }
        case 's': {
            size_t start = pos;
            while (!atEnd() && !isSpace(s[pos]) && pos - start < width)
                ++pos;
            if (!suppress) {
                targetAs<std::string>(take())->assign(s.substr(start, pos - start));
                ++stored;
            }
            break;
        }
        case 'c': {
            size_t n = width == std::string_view::npos ? 1 : width;
            if (s.size() - pos < n)
                return stored;
            if (!suppress) {
                const ScanTarget& t = take();
                if (n == 1 && std::holds_alternative<char*>(t))
                    *std::get<char*>(t) = s[pos];
                else
                    targetAs<std::string>(t)->assign(s.substr(pos, n));
                ++stored;
            }
            pos += n;
            break;
        }
        case '[': {
            ++f;
            bool negate = false;
            if (*f == '^') {
                negate = true;
                ++f;
            }
            bool set[256] = {};
            const char* setStart = f;
            while (*f && (*f != ']' || f == setStart)) {
                if (f[1] == '-' && f[2] && f[2] != ']') {
                    for (int c = static_cast<unsigned char>(f[0]); c <= static_cast<unsigned char>(f[2]); ++c)
                        set[c] = true;
                    f += 3;
                } else {
                    set[static_cast<unsigned char>(*f++)] = true;
                }
            }
            if (!*f)
                throw std::logic_error("strScan: unterminated %[");
            size_t start = pos;
            while (!atEnd() && set[static_cast<unsigned char>(s[pos])] != negate && pos - start < width)
                ++pos;
            if (pos == start)
                return stored;
            if (!suppress) {
                targetAs<std::string>(take())->assign(s.substr(start, pos - start));
                ++stored;
            }
            break;
        }
        default:
            throw std::logic_error(std::string("strScan: unsupported conversion %") + conv);
        }
    }
    return stored;
}

std::string strVPrintf(const char* fmt, va_list ap)
{
    const CLocaleScope cNumbers;
    va_list copy;
    va_copy(copy, ap);
    char small[256];
    int n = std::vsnprintf(small, sizeof small, fmt, copy);
    va_end(copy);
    if (n < 0)
        return {};
    if (static_cast<size_t>(n) < sizeof small)
        return std::string(small, static_cast<size_t>(n));
    std::string out(static_cast<size_t>(n), '\0');
    std::vsnprintf(out.data(), out.size() + 1, fmt, ap);
    return out;
}

std::string strPrintf(const char* fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    std::string s = strVPrintf(fmt, ap);
    va_end(ap);
    return s;
}

int32_t strToLong(std::string_view text)
{
    bool negative;
    size_t i = integerDigitsStart(text, negative);
    uint32_t v = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        v = v * 10u + static_cast<uint32_t>(text[i] - '0');
    if (negative)
        v = 0u - v;
    return static_cast<int32_t>(v);
}

int strToSatInt(std::string_view text)
{
    return satToInt(decimalPrefix(text));
}

bool strToLongFits(std::string_view text, int32_t& value)
{
    const long long v = decimalPrefix(text);
    if (v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

double strToReal(std::string_view text)
{
    double v = 0.0;
    return strScan(text, "%lf", &v) == 1 ? v : 0.0;
}

int32_t absInt(int32_t v)
{
    return v < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(v)) : v;
}
