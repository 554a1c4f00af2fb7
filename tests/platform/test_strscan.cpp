#include "platform/satint.h"
#include "platform/strscan.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

TEST(StrScan, BehavesLikeSscanf)
{
    int a = -9, b = -9, c = -9;
    EXPECT_EQ(strScan("12 -3 7", "%d %d %d", &a, &b, &c), 3);
    EXPECT_EQ(a, 12);
    EXPECT_EQ(b, -3);
    EXPECT_EQ(c, 7);

    a = b = -9;
    EXPECT_EQ(strScan("5 x", "%d %d", &a, &b), 1);
    EXPECT_EQ(a, 5);
    EXPECT_EQ(b, -9);

    EXPECT_EQ(strScan("", "%d", &a), -1);
    EXPECT_EQ(strScan("   ", "%d", &a), -1);
    EXPECT_EQ(strScan("x", "%d", &a), 0);

    long l1 = 0, l2 = 0;
    EXPECT_EQ(strScan("PS", "%ld %ld", &l1, &l2), 0);
    EXPECT_EQ(strScan("100000 -2", "%ld %ld", &l1, &l2), 2);
    EXPECT_EQ(l1, 100000);
    EXPECT_EQ(l2, -2);

    double x = 0, y = 0;
    EXPECT_EQ(strScan("1.5 -2e3", "%lf %lf", &x, &y), 2);
    EXPECT_DOUBLE_EQ(x, 1.5);
    EXPECT_DOUBLE_EQ(y, -2000.0);
}

TEST(StrScan, TextsTabsAndSkips)
{
    int code = 0, w = 0;
    std::string name;
    EXPECT_EQ(strScan("3\t道路 名\t2", "%d\t%s\t%d", &code, &name, &w), 2);
    EXPECT_EQ(code, 3);
    EXPECT_EQ(name, "道路");

    std::string longText(5000, 'q');
    std::string got;
    EXPECT_EQ(strScan("7 " + longText, "%*d %s", &got), 1);
    EXPECT_EQ(got, longText);

    std::string rest;
    int n = 0;
    EXPECT_EQ(strScan("ab,cd", "%[^,],%s%n", &name, &rest, &n), 2);
    EXPECT_EQ(name, "ab");
    EXPECT_EQ(rest, "cd");
    EXPECT_EQ(n, 5);
}

// Reals are decimal numbers only, as atof reads them: the longest decimal prefix, none gives
// no field; forms that strtod also takes (nan, inf, hexadecimal) are no number, and so is a
// decimal beyond the range of the target.
TEST(StrScan, RealsAreDecimalOnly)
{
    struct Case {
        const char* text;
        int fields;
        double value;
        int offset; // where the scan stopped
    };
    const Case cases[] = {
        {"1.5", 1, 1.5, 3},        {"  -2e3x", 1, -2000.0, 6}, {".5", 1, 0.5, 2},
        {"7.", 1, 7.0, 2},         {"+3E-2", 1, 0.03, 5},      {"12e", 1, 12.0, 2},
        {"12e+", 1, 12.0, 2},      {"0x10", 1, 0.0, 1},        {"0x1p3", 1, 0.0, 1},
        {"nan", 0, 0.0, 0},        {"NAN(1)", 0, 0.0, 0},      {"inf", 0, 0.0, 0},
        {"-Infinity", 0, 0.0, 0},  {".", 0, 0.0, 0},           {"-", 0, 0.0, 0},
        {"e5", 0, 0.0, 0},         {"1e999", 0, 0.0, 0},
        {"-1e999x", 0, 0.0, 0},    {"1e-999", 1, 0.0, 6},
    };
    for (const Case& c : cases) {
        double v = 0.0;
        int n = -1;
        EXPECT_EQ(strScan(c.text, "%lf%n", &v, &n), c.fields) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
        if (c.fields == 1) {
            EXPECT_EQ(n, c.offset) << c.text;
        }
        EXPECT_EQ(strToReal(c.text), c.value) << c.text;
    }
    // A field width still cuts the number.
    double v = 0.0;
    EXPECT_EQ(strScan("123.75", "%4lf", &v), 1);
    EXPECT_EQ(v, 123.0);
    float f = 0;
    EXPECT_EQ(strScan("inf", "%f", &f), 0);
    EXPECT_EQ(strScan("1e39", "%f", &f), 0);
    EXPECT_EQ(strScan("1e38", "%f", &f), 1);
}

TEST(StrScan, MismatchedTargetIsAProgrammingError)
{
    double d = 0;
    EXPECT_THROW(strScan("1", "%d", &d), std::logic_error);
}

TEST(StrToLong, DecimalPrefix)
{
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = {
        {"", 0}, {"abc", 0}, {"  42x", 42}, {"-17", -17}, {"+8", 8}, {"12 34", 12},
        {"2147483647", INT32_MAX}, {"2147483648", INT32_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(strToLong(c.text), c.value) << c.text;
    EXPECT_EQ(absInt(-5), 5);
    EXPECT_EQ(absInt(INT32_MIN), INT32_MIN);
}

// Numbers that become coordinates or sizes saturate; numbers that name something are
// refused beyond 32 bits; both read the same prefix as strToLong.
TEST(StrToLong, SaturatedAndCheckedReads)
{
    struct Case {
        const char* text;
        int saturated;
        bool fits;
        int32_t value;
    };
    const Case cases[] = {
        {"", 0, true, 0},
        {"  42x", 42, true, 42},
        {"-17", -17, true, -17},
        {"268435456", kSatIntLimit, true, 268435456},
        {"-300000000", -kSatIntLimit, true, -300000000},
        {"2147483647", kSatIntLimit, true, INT32_MAX},
        {"-2147483648", -kSatIntLimit, true, INT32_MIN},
        {"2147483648", kSatIntLimit, false, 7},
        {"99999999999", kSatIntLimit, false, 7},
        {"-99999999999", -kSatIntLimit, false, 7},
        {"99999999999999999999999999", kSatIntLimit, false, 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(strToSatInt(c.text), c.saturated) << c.text;
        int32_t v = 7;
        EXPECT_EQ(strToLongFits(c.text, v), c.fits) << c.text;
        EXPECT_EQ(v, c.value) << c.text;
    }
}

TEST(SatToInt, TruncatesAndHoldsTheLimit)
{
    struct Case {
        double v;
        int expected;
    };
    const Case cases[] = {
        {2.9, 2},
        {-2.9, -2},
        {3e9, kSatIntLimit},
        {-1e12, -kSatIntLimit},
        {HUGE_VAL, kSatIntLimit},
        {-HUGE_VAL, -kSatIntLimit},
        {NAN, 0},
        {268435455.9, 268435455},
    };
    for (const Case& c : cases)
        EXPECT_EQ(satToInt(c.v), c.expected) << c.v;
    EXPECT_EQ(satToInt(INT64_MIN), -kSatIntLimit);
    EXPECT_EQ(satToInt(UINT64_MAX), kSatIntLimit);
    EXPECT_EQ(satToInt(-12), -12);
}

TEST(StrPrintf, GrowsPastItsSmallBuffer)
{
    EXPECT_EQ(strPrintf("%.3lf", 1.0), "1.000");
    std::string big(1000, 'z');
    EXPECT_EQ(strPrintf("<%s>", big.c_str()).size(), 1002u);
}
