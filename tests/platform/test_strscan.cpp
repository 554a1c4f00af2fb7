#include "platform/strscan.h"

#include <gtest/gtest.h>

#include <climits>

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

TEST(StrPrintf, GrowsPastItsSmallBuffer)
{
    EXPECT_EQ(strPrintf("%.3lf", 1.0), "1.000");
    std::string big(1000, 'z');
    EXPECT_EQ(strPrintf("<%s>", big.c_str()).size(), 1002u);
}
