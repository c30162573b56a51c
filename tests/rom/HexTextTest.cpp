#include "base/HexText.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <ostream>
#include <string>
#include <vector>

namespace quillbox {
namespace {

template <typename Row>
std::string RowName(const testing::TestParamInfo<Row>& info)
{
    return info.param.name;
}

struct TextCase {
    const char* name;
    std::string text;
    std::string expected;
};

void PrintTo(const TextCase& row, std::ostream* out) { *out << row.name; }

class SwapByteOrderCase : public testing::TestWithParam<TextCase> {};

TEST_P(SwapByteOrderCase, ReversesTheTwoDigitGroups)
{
    EXPECT_EQ(SwapByteOrder(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(HexText, SwapByteOrderCase,
                         testing::Values(TextCase{"Empty", "", ""},
                                         TextCase{"SingleDigitGetsLeadingZero", "5", "05"},
                                         TextCase{"OneByteStays", "AB", "AB"},
                                         TextCase{"TwoBytes", "F401", "01F4"},
                                         TextCase{"TwoBytesBack", "01F4", "F401"},
                                         TextCase{"ThreeBytes", "3D4A10", "104A3D"},
                                         TextCase{"OddLengthPadsFirst", "ABC", "BC0A"},
                                         TextCase{"FourBytes", "00100008", "08001000"},
                                         TextCase{"DigitsInsideAGroupKeepOrder", "12345678", "78563412"},
                                         TextCase{"LowerCaseKept", "ab0c", "0cab"}),
                         RowName<TextCase>);

TEST(SwapByteOrder, IsItsOwnInverseOnEvenLengthText)
{
    std::mt19937 random(20240611);
    std::uniform_int_distribution<int> digit(0, 15);
    std::uniform_int_distribution<int> pairs(0, 12);
    constexpr char kDigits[] = "0123456789ABCDEF";
    for (int round = 0; round < 500; ++round) {
        std::string text;
        for (int i = pairs(random) * 2; i > 0; --i) text.push_back(kDigits[digit(random)]);
        SCOPED_TRACE(text);
        const std::string swapped = SwapByteOrder(text);
        ASSERT_EQ(swapped.size(), text.size());
        EXPECT_EQ(SwapByteOrder(swapped), text);
    }
}

struct WidthCase {
    const char* name;
    std::string text;
    std::size_t width;
    std::string padded;
    std::string fitted;
};

void PrintTo(const WidthCase& row, std::ostream* out) { *out << row.name; }

class WidthRows : public testing::TestWithParam<WidthCase> {};

TEST_P(WidthRows, PadHexOnlyLengthens)
{
    EXPECT_EQ(PadHex(GetParam().text, GetParam().width), GetParam().padded);
}

TEST_P(WidthRows, FitHexGivesExactlyTheWidth)
{
    const std::string fitted = FitHex(GetParam().text, GetParam().width);
    EXPECT_EQ(fitted, GetParam().fitted);
    EXPECT_EQ(fitted.size(), GetParam().width);
}

INSTANTIATE_TEST_SUITE_P(HexText, WidthRows,
                         testing::Values(WidthCase{"PadsShortText", "1F4", 4, "01F4", "01F4"},
                                         WidthCase{"LongerTextAgreesNowhere", "ABCDE", 4, "ABCDE", "BCDE"},
                                         WidthCase{"FitCutsToLastDigits", "ABCDEF1", 6, "ABCDEF1", "BCDEF1"},
                                         WidthCase{"FitPadsPointerBody", "4A10", 6, "004A10", "004A10"},
                                         WidthCase{"ExactWidth", "08001000", 8, "08001000", "08001000"},
                                         WidthCase{"EmptyText", "", 2, "00", "00"},
                                         WidthCase{"ZeroWidth", "AB", 0, "AB", ""},
                                         WidthCase{"FullPointerFromOffset", "8001000", 8, "08001000", "08001000"}),
                         RowName<WidthCase>);

struct NumberCase {
    const char* name;
    std::string text;
    std::uint64_t expected;
};

void PrintTo(const NumberCase& row, std::ostream* out) { *out << row.name; }

class HexToNumberCase : public testing::TestWithParam<NumberCase> {};

TEST_P(HexToNumberCase, ReadsLeadingHexDigits)
{
    EXPECT_EQ(HexToNumber(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(HexText, HexToNumberCase,
                         testing::Values(NumberCase{"Empty", "", 0},
                                         NumberCase{"LeadingZero", "0A", 10},
                                         NumberCase{"LowerCase", "ff", 255},
                                         NumberCase{"MixedCase", "aBcD", 0xABCD},
                                         NumberCase{"StopsAtForeignCharacter", "1G", 1},
                                         NumberCase{"ForeignFirstGivesZero", "G1", 0},
                                         NumberCase{"PrefixIsNotRead", "0x10", 0},
                                         NumberCase{"BlankStops", "12 34", 0x12},
                                         NumberCase{"ThirtyTwoBits", "FFFFFFFF", 0xFFFFFFFFu},
                                         NumberCase{"FullPointer", "08001000", 0x08001000},
                                         NumberCase{"BeyondThirtyTwoBits", "123456789", 0x123456789ull}),
                         RowName<NumberCase>);

struct IsHexCase {
    const char* name;
    std::u32string text;
    bool expected;
};

void PrintTo(const IsHexCase& row, std::ostream* out) { *out << row.name; }

class IsHexTextCase : public testing::TestWithParam<IsHexCase> {};

TEST_P(IsHexTextCase, AcceptsOnlyNonEmptyHexDigits)
{
    const IsHexCase& row = GetParam();
    EXPECT_EQ(IsHexText(row.text), row.expected);
    // The narrow form agrees wherever the text is plain ASCII.
    bool ascii = true;
    std::string narrow;
    for (char32_t c : row.text) {
        ascii = ascii && c < 0x80;
        narrow.push_back(static_cast<char>(c));
    }
    if (ascii) {
        EXPECT_EQ(IsHexText(narrow), row.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(HexText, IsHexTextCase,
                         testing::Values(IsHexCase{"Empty", U"", false},
                                         IsHexCase{"MixedCaseDigits", U"0aF9", true},
                                         IsHexCase{"AllDigits", U"0123456789abcdefABCDEF", true},
                                         IsHexCase{"LetterG", U"0G", false},
                                         IsHexCase{"LowerG", U"g", false},
                                         IsHexCase{"Blank", U"1 2", false},
                                         IsHexCase{"Prefix", U"0x12", false},
                                         IsHexCase{"Sign", U"-1", false},
                                         IsHexCase{"ColonAfterNine", U":", false},
                                         IsHexCase{"AtBeforeA", U"@", false},
                                         IsHexCase{"FullWidthDigit", U"\uFF10", false},
                                         IsHexCase{"AccentedLetter", U"\u00E9", false},
                                         IsHexCase{"LowByteLooksLikeA", U"\u0141", false}),
                         RowName<IsHexCase>);

TEST(IsHexText, NarrowTextWithBytesAbove127IsNotHex)
{
    // "é" in UTF-8; a sign-extended char must not be taken for a digit.
    EXPECT_FALSE(IsHexText(std::string("\xC3\xA9")));
    EXPECT_FALSE(IsHexText(std::string("A\xC1")));
}

TEST(BytesToHex, EveryByteIsTwoUpperCaseDigits)
{
    std::array<std::uint8_t, 256> all{};
    std::string expected;
    for (int value = 0; value < 256; ++value) {
        all[static_cast<std::size_t>(value)] = static_cast<std::uint8_t>(value);
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", value);
        expected += digits;
    }
    EXPECT_EQ(BytesToHex(all), expected);
    EXPECT_EQ(BytesToHex(std::span<const std::uint8_t>()), "");
    const std::uint8_t fileOrder[] = {0x10, 0x4A, 0x3D};
    EXPECT_EQ(BytesToHex(fileOrder), "104A3D");
}

TEST(NumberToHex, UpperCaseWithoutLeadingZeros)
{
    const struct {
        std::uint64_t value;
        const char* text;
    } rows[] = {{0, "0"}, {5, "5"}, {0x1F4, "1F4"}, {0x1000, "1000"}, {0x08001000, "8001000"},
                {0xFFFFFFFFu, "FFFFFFFF"}, {std::numeric_limits<std::uint64_t>::max(), "FFFFFFFFFFFFFFFF"}};
    for (const auto& row : rows) {
        EXPECT_EQ(NumberToHex(row.value), row.text);
        EXPECT_EQ(HexToNumber(NumberToHex(row.value)), row.value);
    }
}

TEST(LeadingDecimalValue, ReadsDigitsUpToTheFirstOtherCharacter)
{
    const struct {
        const char* text;
        std::uint64_t value;
    } rows[] = {{"", 0}, {"abc", 0}, {"0", 0}, {"65535", 65535}, {"123abc", 123}, {"12 3", 12}, {"-5", 0},
                {"18446744073709551615", std::numeric_limits<std::uint64_t>::max()},
                {"18446744073709551616", std::numeric_limits<std::uint64_t>::max()},
                {"99999999999999999999999999", std::numeric_limits<std::uint64_t>::max()}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(LeadingDecimalValue(std::string_view(row.text)), row.value);
        const std::string narrow(row.text);
        EXPECT_EQ(LeadingDecimalValue(std::u32string(narrow.begin(), narrow.end())), row.value);
    }
    // Digits of other scripts are not decimal digits here.
    EXPECT_EQ(LeadingDecimalValue(std::u32string_view(U"1\u0663")), 1u);
}

TEST(RomPointer, ThreeByteBodyIsSixDigitsOfNumberText)
{
    const std::uint8_t body[] = {0x10, 0x4A, 0x3D};
    EXPECT_EQ(ReadPointerBody(std::span<const std::uint8_t, 3>(body)), "3D4A10");
    const std::uint8_t small[] = {0x00, 0x10, 0x00};
    EXPECT_EQ(ReadPointerBody(std::span<const std::uint8_t, 3>(small)), "001000");
    const std::uint8_t zero[] = {0x00, 0x00, 0x00};
    EXPECT_EQ(ReadPointerBody(std::span<const std::uint8_t, 3>(zero)), "000000");
}

TEST(RomPointer, FullPointerGivesTheFileOffset)
{
    const struct {
        std::array<std::uint8_t, 4> bytes;
        std::int64_t offset;
    } rows[] = {
        {{0x00, 0x10, 0x00, 0x08}, 0x1000},
        {{0x00, 0x00, 0x00, 0x08}, 0},
        {{0xFF, 0xFF, 0xFF, 0x08}, 0xFFFFFF},
        {{0x28, 0xB0, 0x3D, 0x08}, 0x3DB028},
        {{0x00, 0x00, 0x00, 0x00}, -0x08000000},        // a null pointer
        {{0x00, 0x10, 0x00, 0x00}, 0x1000 - 0x08000000},  // a body written over a zero fourth byte
        {{0x00, 0x00, 0x00, 0x09}, 0x01000000},
        {{0xFF, 0xFF, 0xFF, 0xFF}, 0xFFFFFFFFLL - 0x08000000},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(BytesToHex(row.bytes));
        EXPECT_EQ(ReadFullPointer(row.bytes), row.offset);
    }
}

TEST(RomPointer, FullPointerWritePatternRoundTrips)
{
    // Offset 1000 shown in the window, turned into the four bytes written to the ROM.
    const std::string shown = "1000";
    const std::string text = SwapByteOrder(PadHex(NumberToHex(HexToNumber(shown) + kRomBase), 8));
    EXPECT_EQ(text, "00100008");
    const std::array<std::uint8_t, 4> bytes{0x00, 0x10, 0x00, 0x08};
    EXPECT_EQ(NumberToHex(static_cast<std::uint64_t>(ReadFullPointer(bytes))), shown);
}

TEST(HexToBytes, TurnsTextIntoBytesOrRefusesIt)
{
    const struct {
        const char* text;
        bool ok;
        std::vector<std::uint8_t> bytes;
    } rows[] = {{"", true, {}},
                {"ABC", true, {0x0A, 0xBC}},
                {"ff01", true, {0xFF, 0x01}},
                {"0", true, {0x00}},
                {"104A3D", true, {0x10, 0x4A, 0x3D}},
                {"12ZZ34", false, {}},
                {"1 ", false, {}},
                {"0x", false, {}}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto bytes = HexToBytes(row.text);
        ASSERT_EQ(bytes.has_value(), row.ok);
        if (row.ok) {
            EXPECT_EQ(*bytes, row.bytes);
        } else {
            EXPECT_EQ(bytes.error().code, ErrorCode::BadHexText);
        }
    }
}

}  // namespace
}  // namespace quillbox
