// Formatted reading and writing of text lines, in the manner of sscanf and sprintf.
#pragma once
#include <cstdarg>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

// Where one conversion of strScan stores its value. The conversion must match the target:
// %d and %i an int, %ld a long, %u and %lu unsigned, %f a float, %lf a double, %s and %[...]
// a std::string (any length, so no buffer can overflow), %c a char.
using ScanTarget = std::variant<int*, long*, unsigned*, unsigned long*, float*, double*,
                                std::string*, char*>;

// Scans `line` like sscanf: white space in the format matches any run of white space, other
// characters match themselves, "%*d" and the like skip a field, "%n" stores the offset.
// Reals (%f, %lf, %e, %g) are decimal numbers only: sign, digits with a point, exponent; a
// decimal beyond the range of its target is no number either.
// Returns the number of fields stored, or -1 when the line ends before the first conversion.
// A conversion whose target does not match its letter is a programming error and throws.
int strScanList(std::string_view line, const char* fmt, std::initializer_list<ScanTarget> out);

template <class... T>
int strScan(std::string_view line, const char* fmt, T*... out)
{
    return strScanList(line, fmt, {ScanTarget(out)...});
}

std::string strPrintf(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::string strVPrintf(const char* fmt, va_list ap);

// Decimal text to a 32-bit integer: leading blanks skipped, an optional sign, the digits up to
// the first non-digit; 0 when there are none. Values beyond 32 bits wrap modulo 2^32 (32-bit
// arithmetic), so an overflowing number reads the same everywhere and never traps.
int32_t strToLong(std::string_view text);
// The same decimal prefix for a typed number that becomes a coordinate, size or setting: held
// within ±kSatIntLimit (platform/satint.h) instead of wrapping.
int strToSatInt(std::string_view text);
// The same decimal prefix for a number that names something (a drawing, a code), where a
// wrapped value would name another: false, and `value` untouched, when it does not fit 32 bits.
bool strToLongFits(std::string_view text, int32_t& value);
// A real as atof reads text: leading white space, the longest decimal prefix (sign, digits
// with a point, exponent); 0 when there is none. Like "%lf" of strScan, it takes no "nan",
// "inf" or hexadecimal forms, nor a decimal beyond the double range.
double strToReal(std::string_view text);
int32_t absInt(int32_t v);
