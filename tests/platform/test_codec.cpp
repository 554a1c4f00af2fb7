#include "platform/codec.h"

#include <gtest/gtest.h>

TEST(Codec, RoundTripsShiftJisAndCp932OnlyCharacters)
{
    struct Case {
        const char* utf8;
        const char* cp932;
    };
    const Case cases[] = {
        {"abc 123", "abc 123"},
        {"図形等", "\x90\x7d\x8c\x60\x93\x99"},
        {"①", "\x87\x40"},       // NEC special character
        {"～", "\x81\x60"},       // full-width tilde, CP932's mapping
        {"髙", "\xFB\xFC"},       // IBM extension
        {"ｱ", "\xB1"},            // half-width katakana, one byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(utf8ToCp932(c.utf8), c.cp932) << c.utf8;
        EXPECT_EQ(cp932ToUtf8(c.cp932), c.utf8) << c.utf8;
        EXPECT_EQ(cp932Length(c.utf8), std::string(c.cp932).size()) << c.utf8;
    }
}

TEST(Codec, BadBytesBecomeReplacementAndTheRestSurvives)
{
    // 0x81 followed by a byte that cannot trail, and a lone lead byte at the end.
    EXPECT_EQ(cp932ToUtf8("a\x81\x20" "b"), "a\xEF\xBF\xBD b");
    EXPECT_EQ(cp932ToUtf8("xy\x81"), "xy\xEF\xBF\xBD");
    EXPECT_EQ(cp932ToUtf8("\xA0z"), "\xEF\xBF\xBDz");
}

TEST(Codec, UnrepresentableCharactersAreWrittenAsQuestionMarks)
{
    EXPECT_EQ(utf8ToCp932("a\xF0\x9F\x98\x80" "b"), "a?b"); // emoji
    EXPECT_EQ(utf8ToCp932("x\xC3(y"), "x?(y");               // broken UTF-8 keeps the ASCII after it
    EXPECT_EQ(utf8ToCp932("道\xE2\x82"), "\x93\xb9?");       // truncated at the end
    EXPECT_EQ(cp932Length("道路"), 4u);
}
