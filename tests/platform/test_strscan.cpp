#include "platform/strscan.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <locale.h>

#include "testutil.h"

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

TEST(StrScan, NumbersStayCNumbersInACommaLocale)
{
    // A locale with a decimal comma, made in a temporary folder when the machine has none.
    testutil::TempDir dir;
    const std::string made = dir.file("de");
    if (std::system(("localedef -i de_DE -f UTF-8 '" + made + "' >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "cannot make a comma locale";
    ::setenv("LOCPATH", dir.path().c_str(), 1);
    locale_t comma = newlocale(LC_ALL_MASK, "de", locale_t(0));
    if (!comma)
        GTEST_SKIP() << "comma locale not loadable";
    locale_t old = uselocale(comma);
    ASSERT_EQ(strPrintf("%s", "x"), "x");
    EXPECT_EQ(strPrintf("%.3lf", 12.5), "12.500");
    double v = 0;
    EXPECT_EQ(strScan("2.5", "%lf", &v), 1);
    EXPECT_DOUBLE_EQ(v, 2.5);
    uselocale(old);
    freelocale(comma);
    ::unsetenv("LOCPATH");
}
