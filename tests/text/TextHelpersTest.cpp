#include "text/GameText.h"

#include <gtest/gtest.h>

#include <string>

namespace quillbox {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

struct ReplaceCase {
    const char* name;
    Text text;
    Text what;
    Text with;
    Text expected;
};

class ReplaceAllCase : public testing::TestWithParam<ReplaceCase> {};

TEST_P(ReplaceAllCase, GivesTheExpectedText)
{
    const ReplaceCase& row = GetParam();
    EXPECT_EQ(ReplaceAll(row.text, row.what, row.with), row.expected);
}

TEST_P(ReplaceAllCase, RemoveAllIsReplacingWithNothing)
{
    const ReplaceCase& row = GetParam();
    EXPECT_EQ(RemoveAll(row.text, row.what), ReplaceAll(row.text, row.what, U""));
}

INSTANTIATE_TEST_SUITE_P(
    Text, ReplaceAllCase,
    testing::Values(
        ReplaceCase{"EmptyText", U"", U"\\x", U"", U""},
        ReplaceCase{"NotFound", U"Potion", U"\\x", U"", U"Potion"},
        ReplaceCase{"EmptyPatternChangesNothing", U"abc", U"", U"-", U"abc"},
        ReplaceCase{"NameLosesEveryTerminator", U"AB\\x   \\x\\x", U"\\x", U"", U"AB   "},
        ReplaceCase{"WholeText", U"\\x", U"\\x", U"", U""},
        ReplaceCase{"AtBothEnds", U"\\nA\\n", U"\\n", U"\r\n", U"\r\nA\r\n"},
        ReplaceCase{"WindowsLineBreaksToEscapes", U"One\r\nTwo\r\n", U"\r\n", U"\\n",
                    U"One\\nTwo\\n"},
        ReplaceCase{"LoneLineFeedStays", U"A\nB\r\nC", U"\r\n", U"\\n", U"A\nB\\nC"},
        ReplaceCase{"OverlappingMatchesGoLeftToRight", U"aaa", U"aa", U"b", U"ba"},
        ReplaceCase{"ReplacementIsNotSearchedAgain", U"aa", U"a", U"aa", U"aaaa"},
        ReplaceCase{"ReplacementFormsNoNewMatch", U"\\\\xx", U"\\x", U"", U"\\x"},
        ReplaceCase{"NonAsciiCharacters", U"\u00E9t\u00E9", U"\u00E9", U"e", U"ete"}),
    [](const testing::TestParamInfo<ReplaceCase>& row) { return std::string(row.param.name); });

struct Utf8Case {
    const char* name;
    Text text;
    std::string utf8;
};

class Utf8Encoding : public testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Encoding, ToUtf8GivesTheBytes)
{
    EXPECT_EQ(ToUtf8(GetParam().text), GetParam().utf8);
}

TEST_P(Utf8Encoding, FromUtf8GivesTheText)
{
    EXPECT_EQ(FromUtf8(GetParam().utf8), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Text, Utf8Encoding,
    testing::Values(Utf8Case{"Empty", U"", ""},
                    Utf8Case{"Ascii", U"Potion \\x", "Potion \\x"},
                    Utf8Case{"Nul", Text(1, U'\0'), std::string(1, '\0')},
                    Utf8Case{"LastOneByte", U"\u007F", "\x7F"},
                    Utf8Case{"FirstTwoByte", U"\u0080", "\xC2\x80"},
                    Utf8Case{"EAcute", U"\u00E9", "\xC3\xA9"},
                    Utf8Case{"LigatureOE", U"\u0152", "\xC5\x92"},
                    Utf8Case{"LastTwoByte", U"\u07FF", "\xDF\xBF"},
                    Utf8Case{"FirstThreeByte", U"\u0800", "\xE0\xA0\x80"},
                    Utf8Case{"Euro", U"\u20AC", "\xE2\x82\xAC"},
                    Utf8Case{"BeforeSurrogates", U"\uD7FF", "\xED\x9F\xBF"},
                    Utf8Case{"AfterSurrogates", U"\uE000", "\xEE\x80\x80"},
                    Utf8Case{"LastThreeByte", U"\uFFFF", "\xEF\xBF\xBF"},
                    Utf8Case{"FirstFourByte", U"\U00010000", "\xF0\x90\x80\x80"},
                    Utf8Case{"Emoji", U"\U0001F600", "\xF0\x9F\x98\x80"},
                    Utf8Case{"LastCodePoint", U"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
                    Utf8Case{"Mixed", U"Caf\u00E9 \u20AC\U0001F600!",
                             "Caf\xC3\xA9 \xE2\x82\xAC\xF0\x9F\x98\x80!"}),
    [](const testing::TestParamInfo<Utf8Case>& row) { return std::string(row.param.name); });

TEST(Utf8, EveryScalarValueRoundTrips)
{
    Text all;
    for (char32_t c = 0; c <= 0x10FFFF; ++c) {
        if (c < 0xD800 || c > 0xDFFF) {
            all.push_back(c);
        }
    }
    const std::string utf8 = ToUtf8(all);
    // 128 one-byte, 1920 two-byte, 61440 three-byte and 1048576 four-byte values.
    EXPECT_EQ(utf8.size(), 128u + 1920u * 2 + 61440u * 3 + 1048576u * 4);
    EXPECT_EQ(FromUtf8(utf8), all);
}

TEST(Utf8, ValuesThatAreNoScalarValuesBecomeReplacementCharacters)
{
    for (const char32_t bad : {char32_t{0xD800}, char32_t{0xDBFF}, char32_t{0xDC00},
                               char32_t{0xDFFF}, char32_t{0x110000}, char32_t{0xFFFFFFFF}}) {
        EXPECT_EQ(ToUtf8(Text{U'a', bad, U'b'}), "a\xEF\xBF\xBD" "b") << static_cast<unsigned>(bad);
    }
}

struct InvalidUtf8Case {
    const char* name;
    std::string utf8;
    Text expected;
};

class InvalidUtf8 : public testing::TestWithParam<InvalidUtf8Case> {};

TEST_P(InvalidUtf8, BecomesReplacementCharacters)
{
    EXPECT_EQ(FromUtf8(GetParam().utf8), GetParam().expected);
}

// One U+FFFD for each maximal piece that could have begun a valid sequence.
INSTANTIATE_TEST_SUITE_P(
    Text, InvalidUtf8,
    testing::Values(
        InvalidUtf8Case{"LoneContinuation", "\x80", {kReplacement}},
        InvalidUtf8Case{"TwoContinuations", "\xBF\x80", {kReplacement, kReplacement}},
        InvalidUtf8Case{"TruncatedAtTheEnd", "A\xC3", {U'A', kReplacement}},
        InvalidUtf8Case{"TruncatedBeforeAscii", "\xC3" "A", {kReplacement, U'A'}},
        InvalidUtf8Case{"TruncatedThreeByte", "\xE2\x82", {kReplacement}},
        InvalidUtf8Case{"TruncatedThreeByteBeforeAscii", "\xE2\x82" "A", {kReplacement, U'A'}},
        InvalidUtf8Case{"TruncatedFourByteBeforeValid", "\xF0\x9F\x98\xF0\x9F\x98\x80",
                        {kReplacement, U'\U0001F600'}},
        InvalidUtf8Case{"OverlongTwoByte", "\xC0\xAF", {kReplacement, kReplacement}},
        InvalidUtf8Case{"OverlongTwoByteC1", "\xC1\xBF", {kReplacement, kReplacement}},
        InvalidUtf8Case{"OverlongThreeByte", "\xE0\x80\xAF",
                        {kReplacement, kReplacement, kReplacement}},
        InvalidUtf8Case{"OverlongFourByte", "\xF0\x8F\xBF\xBF",
                        {kReplacement, kReplacement, kReplacement, kReplacement}},
        InvalidUtf8Case{"Surrogate", "\xED\xA0\x80", {kReplacement, kReplacement, kReplacement}},
        InvalidUtf8Case{"BeyondLastCodePoint", "\xF4\x90\x80\x80",
                        {kReplacement, kReplacement, kReplacement, kReplacement}},
        InvalidUtf8Case{"LeadF5", "\xF5\x80", {kReplacement, kReplacement}},
        InvalidUtf8Case{"ByteFE", "\xFE", {kReplacement}},
        InvalidUtf8Case{"ByteFF", "a\xFF" "b", {U'a', kReplacement, U'b'}},
        InvalidUtf8Case{"Latin1Text", "Caf\xE9", {U'C', U'a', U'f', kReplacement}},
        InvalidUtf8Case{"ValidAroundInvalid", "a\xC3\xA9\x80" "b",
                        {U'a', U'\u00E9', kReplacement, U'b'}}),
    [](const testing::TestParamInfo<InvalidUtf8Case>& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace quillbox
