#include "text/GameText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace quillbox {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The character table written out a second time, row by row, with every character outside ASCII
// given by its code point, so that a slip in either copy shows up as a failing row.
// clang-format off
const std::array<TextView, 256> kExpectedTable = {
    // 0x00
    U" ", U"\u00C0", U"\u00C1", U"\u00C2", U"\u00C7", U"\u00C8", U"\u00C9", U"\u00CA",
    U"\u00CB", U"\u00CC", U"", U"\u00CE", U"\u00CF", U"\u00D2", U"\u00D3", U"\u00D4",
    // 0x10
    U"\u0152", U"\u00D9", U"\u00DA", U"\u00DB", U"", U"\u00DF", U"\u00E0", U"\u00E1",
    U"", U"\u00E7", U"\u00E8", U"\u00E9", U"\u00EA", U"\u00EB", U"\u00EC", U"",
    // 0x20
    U"\u00EE", U"\u00EF", U"\u00F2", U"\u00F3", U"\u0153", U"\u00F9", U"\u00FA", U"",
    U"\u00B0", U"\u00AA", U"", U"&", U"+", U"&", U"", U"",
    // 0x30
    U"", U"", U"", U"", U"[Lv]", U"=", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"",
    // 0x40
    U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"",
    // 0x50
    U"", U"\u00BF", U"\u00A1", U"[PK]", U"[MN]", U"[PO]", U"[Ke]", U"[BL]",
    U"[OC]", U"[K]", U"\u00CD", U"%", U"(", U")", U"", U"",
    // 0x60
    U"", U"", U"", U"", U"", U"", U"", U"", U"\u00E2", U"", U"", U"", U"", U"", U"", U"\u00ED",
    // 0x70
    U"", U"", U"", U"", U"", U"", U"", U"", U"", U"[U]", U"[D]", U"[L]", U"[R]", U"", U"", U"",
    // 0x80
    U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"",
    // 0x90
    U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"", U"",
    // 0xA0
    U"", U"0", U"1", U"2", U"3", U"4", U"5", U"6", U"7", U"8", U"9", U"!", U"?", U".", U"-", U"\u00B7",
    // 0xB0
    U"[.]", U"[\u0022]", U"\u0022", U"[']", U"\u0027", U"[m]", U"[f]", U"[p]",
    U",", U"[x]", U"/", U"A", U"B", U"C", U"D", U"E",
    // 0xC0
    U"F", U"G", U"H", U"I", U"J", U"K", U"L", U"M", U"N", U"O", U"P", U"Q", U"R", U"S", U"T", U"U",
    // 0xD0
    U"V", U"W", U"X", U"Y", U"Z", U"a", U"b", U"c", U"d", U"e", U"f", U"g", U"h", U"i", U"j", U"k",
    // 0xE0
    U"l", U"m", U"n", U"o", U"p", U"q", U"r", U"s", U"t", U"u", U"v", U"w", U"x", U"y", U"z", U"[>]",
    // 0xF0
    U":", U"\u00C4", U"\u00D6", U"\u00DC", U"\u00E4", U"\u00F6", U"\u00FC", U"[u]",
    U"[d]", U"[l]", U"\\l", U"\\p", U"\\c", U"\\v", U"\\n", U"\\x",
};
// clang-format on

Text HexEscape(unsigned value, bool upperCase = true)
{
    const char32_t* digits = upperCase ? U"0123456789ABCDEF" : U"0123456789abcdef";
    return Text(U"\\h") + digits[value >> 4] + digits[value & 0x0F];
}

std::string HexName(unsigned value)
{
    constexpr char kDigits[] = "0123456789ABCDEF";
    return std::string("0x") + kDigits[value >> 4] + kDigits[value & 0x0F];
}

std::string Printable(TextView text)
{
    std::string out;
    for (char32_t c : text) {
        if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            constexpr char kDigits[] = "0123456789ABCDEF";
            out += "<U+";
            for (int shift = 20; shift >= 0; shift -= 4) {
                out.push_back(kDigits[(c >> shift) & 0x0F]);
            }
            out += ">";
        }
    }
    return out;
}

// Decoding a byte string and encoding the text gives the bytes back, except that a 0x2B which is
// not the argument of 0xFC or 0xFD returns as 0x2D.
Bytes ExpectedRoundTrip(const Bytes& bytes)
{
    Bytes expected = bytes;
    bool isArgument = false;
    for (std::uint8_t& b : expected) {
        if (isArgument) {
            isArgument = false;
            continue;
        }
        if (b == 0x2B) {
            b = 0x2D;
        }
        isArgument = b == 0xFC || b == 0xFD;
    }
    return expected;
}

TEST(GameTextTable, Has156TextsAndExactlyTheListedEmptyEntries)
{
    const std::vector<std::pair<unsigned, unsigned>> emptyRanges = {
        {0x0A, 0x0A}, {0x14, 0x14}, {0x18, 0x18}, {0x1F, 0x1F}, {0x27, 0x27}, {0x2A, 0x2A},
        {0x2E, 0x33}, {0x36, 0x50}, {0x5E, 0x67}, {0x69, 0x6E}, {0x70, 0x78}, {0x7D, 0xA0},
    };
    std::set<unsigned> listedEmpty;
    for (const auto& [first, last] : emptyRanges) {
        for (unsigned value = first; value <= last; ++value) {
            listedEmpty.insert(value);
        }
    }
    ASSERT_EQ(listedEmpty.size(), 100u);

    int texts = 0;
    for (unsigned value = 0; value < 256; ++value) {
        const TextView entry = GameTextTableEntry(static_cast<std::uint8_t>(value));
        EXPECT_EQ(entry.empty(), listedEmpty.contains(value)) << HexName(value);
        texts += entry.empty() ? 0 : 1;
    }
    EXPECT_EQ(texts, 156);
}

TEST(GameTextTable, OnlyTheAmpersandBelongsToTwoBytes)
{
    std::map<Text, std::vector<unsigned>> bytesOfText;
    for (unsigned value = 0; value < 256; ++value) {
        const TextView entry = GameTextTableEntry(static_cast<std::uint8_t>(value));
        if (!entry.empty()) {
            bytesOfText[Text(entry)].push_back(value);
        }
    }
    EXPECT_EQ(bytesOfText.size(), 155u);
    for (const auto& [text, values] : bytesOfText) {
        if (text == U"&") {
            EXPECT_EQ(values, (std::vector<unsigned>{0x2B, 0x2D}));
        } else {
            EXPECT_EQ(values.size(), 1u) << Printable(text);
        }
    }
}

// The encoder relies on this: wherever it stands in a text, at most one token can match.
TEST(GameTextTable, NoTokenBeginsAnotherOrAHexEscape)
{
    std::vector<Text> tokens;
    for (unsigned value = 0; value < 256; ++value) {
        const TextView entry = GameTextTableEntry(static_cast<std::uint8_t>(value));
        if (!entry.empty() && value != 0x2B) {
            tokens.emplace_back(entry);
        }
    }
    for (const Text& shorter : tokens) {
        EXPECT_FALSE(Text(U"\\h41").starts_with(shorter)) << Printable(shorter);
        for (const Text& longer : tokens) {
            if (shorter != longer) {
                EXPECT_FALSE(longer.starts_with(shorter))
                    << Printable(shorter) << " begins " << Printable(longer);
            }
        }
    }
}

TEST(GameTextTable, AccentedLettersAreSingleCharacters)
{
    EXPECT_EQ(GameTextTableEntry(0x1B), Text(1, U'\u00E9'));
    EXPECT_EQ(DecodeGameText(Bytes{0x1B}).size(), 1u);
    EXPECT_EQ(EncodeGameText(FromUtf8("\xC3\xA9")), (Bytes{0x1B}));
    EXPECT_EQ(EncodeGameText(FromUtf8("\xC5\x92\xC5\x93")), (Bytes{0x10, 0x24}));
    EXPECT_EQ(ToUtf8(DecodeGameText(Bytes{0x1B, 0xAF})), "\xC3\xA9\xC2\xB7");
}

class EveryByteValue : public testing::TestWithParam<int> {
protected:
    std::uint8_t Byte() const { return static_cast<std::uint8_t>(GetParam()); }
    TextView ExpectedEntry() const { return kExpectedTable[Byte()]; }
};

TEST_P(EveryByteValue, TableEntryMatches)
{
    EXPECT_EQ(GameTextTableEntry(Byte()), ExpectedEntry());
}

TEST_P(EveryByteValue, DecodesToItsTextOrAnUpperCaseHexEscape)
{
    const Text expected = ExpectedEntry().empty() ? HexEscape(Byte()) : Text(ExpectedEntry());
    EXPECT_EQ(DecodeGameText(Bytes{Byte()}), expected);
}

TEST_P(EveryByteValue, EncodesBackFromItsDecodedText)
{
    const Bytes expected{Byte() == 0x2B ? std::uint8_t{0x2D} : Byte()};
    EXPECT_EQ(EncodeGameText(DecodeGameText(Bytes{Byte()})), expected);
}

TEST_P(EveryByteValue, HexEscapeOfEitherCaseEncodesToIt)
{
    EXPECT_EQ(EncodeGameText(HexEscape(Byte(), true)), Bytes{Byte()});
    EXPECT_EQ(EncodeGameText(HexEscape(Byte(), false)), Bytes{Byte()});
}

TEST_P(EveryByteValue, AsArgumentOfAControlCodeIsAHexEscapeAndComesBackExactly)
{
    for (const std::uint8_t control : {std::uint8_t{0xFC}, std::uint8_t{0xFD}}) {
        const Bytes bytes{control, Byte()};
        const Text decoded = DecodeGameText(bytes);
        EXPECT_EQ(decoded, Text(kExpectedTable[control]) + HexEscape(Byte()));
        EXPECT_EQ(EncodeGameText(decoded), bytes);
    }
}

INSTANTIATE_TEST_SUITE_P(GameText, EveryByteValue, testing::Range(0, 256),
                         [](const testing::TestParamInfo<int>& row) {
                             return "Byte" + HexName(static_cast<unsigned>(row.param)).substr(2);
                         });

// A long text decodes to what its bytes decode to one at a time, a control code with its
// argument together: over generated texts of every length up to several of the decoder's runs,
// with control codes falling on every place, the ends of runs included.
TEST(DecodeGameText, ALongTextIsWhatItsPartsDecodeTo)
{
    std::mt19937 random(23);
    for (int round = 0; round < 600; ++round) {
        Bytes bytes(static_cast<std::size_t>(round % 300));
        for (std::uint8_t& byte : bytes) byte = static_cast<std::uint8_t>(random() % 4 == 0 ? 0xFC + random() % 2 : random());
        Text parts;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            const bool withArgument = (bytes[i] == 0xFC || bytes[i] == 0xFD) && i + 1 < bytes.size();
            parts += DecodeGameText(std::span(bytes).subspan(i, withArgument ? 2 : 1));
            if (withArgument) ++i;
        }
        ASSERT_EQ(DecodeGameText(bytes), parts) << "length " << bytes.size();
    }
}

struct DecodeCase {
    const char* name;
    Bytes bytes;
    Text expected;
};

class DecodeGameTextCase : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeGameTextCase, GivesTheExpectedText)
{
    EXPECT_EQ(DecodeGameText(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    GameText, DecodeGameTextCase,
    testing::Values(
        DecodeCase{"Empty", {}, U""},
        DecodeCase{"ZeroIsASpace", {0x00}, U" "},
        DecodeCase{"NoEntryGivesHexEscape", {0x0A}, U"\\h0A"},
        DecodeCase{"NoEntryHighGivesHexEscape", {0x80}, U"\\h80"},
        DecodeCase{"BothAmpersands", {0x2B, 0x2D}, U"&&"},
        DecodeCase{"ControlWithArgumentAtTheEnd", {0xFC}, U"\\c"},
        DecodeCase{"SecondControlWithArgumentAtTheEnd", {0xFD}, U"\\v"},
        DecodeCase{"TerminatorAsArgument", {0xFD, 0xFF}, U"\\v\\hFF"},
        DecodeCase{"ArgumentIsNeverAControl", {0xFC, 0xFC, 0xFC}, U"\\c\\hFC\\c"},
        DecodeCase{"ArgumentWithATextOfItsOwn", {0xFC, 0xBB, 0xBB}, U"\\c\\hBBA"},
        DecodeCase{"GoesOnPastTheTerminator", {0xFF, 0x00}, U"\\x "},
        DecodeCase{"QuoteTokenThenQuote", {0xB1, 0xB2}, U"[\"]\""},
        DecodeCase{"ApostropheTokenThenApostrophe", {0xB3, 0xB4}, U"[']'"},
        DecodeCase{"CaseOfBracketTokens", {0x7B, 0xF9}, U"[L][l]"},
        DecodeCase{"OtherControls", {0xFA, 0xFB, 0xFE}, U"\\l\\p\\n"},
        DecodeCase{"ItemNameField",
                   {0xBB, 0xBC, 0xFF, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
                   U"AB\\x           "},
        DecodeCase{"LevelLine", {0x34, 0xA6, 0x00, 0xC3, 0xE7, 0xAB}, U"[Lv]5 Is!"}),
    [](const testing::TestParamInfo<DecodeCase>& row) { return std::string(row.param.name); });

struct EncodeCase {
    const char* name;
    Text text;
    Bytes expected;
};

class EncodeGameTextCase : public testing::TestWithParam<EncodeCase> {};

TEST_P(EncodeGameTextCase, GivesTheExpectedBytes)
{
    EXPECT_EQ(EncodeGameText(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    GameText, EncodeGameTextCase,
    testing::Values(
        EncodeCase{"Empty", U"", {}},
        EncodeCase{"NameWithTerminator", U"AB\\x", {0xBB, 0xBC, 0xFF}},
        EncodeCase{"FourCharacterToken", U"[Lv]5", {0x34, 0xA6}},
        EncodeCase{"ThreeCharacterTokenBeforeLetter", U"[L]v", {0x7B, 0xEA}},
        EncodeCase{"UnclosedTokenAtTheEnd", U"[Lv", {0x00, 0xC6, 0xEA}},
        EncodeCase{"TokensAreCaseSensitive", U"[lv]", {0x00, 0xE0, 0xEA, 0x00}},
        EncodeCase{"LowerAndUpperLetterTokens", U"[l][L]", {0xF9, 0x7B}},
        EncodeCase{"UnknownBracketText", U"[Q]", {0x00, 0xCB, 0x00}},
        EncodeCase{"TokenAtTheVeryEnd", U"A[K]", {0xBB, 0x59}},
        EncodeCase{"StrayBrackets", U"[[K]]", {0x00, 0x59, 0x00}},
        EncodeCase{"QuoteTokenThenQuote", U"[\"]\"", {0xB1, 0xB2}},
        EncodeCase{"ApostropheTokenThenApostrophe", U"[']'", {0xB3, 0xB4}},
        EncodeCase{"HexEscapeUpperCase", U"\\hFF", {0xFF}},
        EncodeCase{"HexEscapeLowerCase", U"\\h0a", {0x0A}},
        EncodeCase{"HexEscapeMixedCase", U"\\hbC", {0xBC}},
        EncodeCase{"HexEscapeOfALetter", U"\\hBBA", {0xBB, 0xBB}},
        EncodeCase{"MalformedHexEscape", U"\\hG1", {0x00, 0xDC, 0xC1, 0xA2}},
        EncodeCase{"HexEscapeCutShort", U"\\h4", {0x00, 0xDC, 0xA5}},
        EncodeCase{"BareHexPrefix", U"\\h", {0x00, 0xDC}},
        EncodeCase{"UpperCaseHIsNoEscape", U"\\H41", {0x00, 0xC2, 0xA5, 0xA2}},
        EncodeCase{"HexEscapeNeedsAsciiDigits", U"\\h\u00E91", {0x00, 0xDC, 0x1B, 0xA2}},
        EncodeCase{"MalformedEscapeThenEscape", U"\\h\\h41", {0x00, 0xDC, 0x41}},
        EncodeCase{"ControlWithArgument", U"\\c\\h01", {0xFC, 0x01}},
        EncodeCase{"AllControlEscapes", U"\\l\\p\\c\\v\\n\\x", {0xFA, 0xFB, 0xFC, 0xFD, 0xFE, 0xFF}},
        EncodeCase{"UnknownEscape", U"\\q", {0x00, 0xE5}},
        EncodeCase{"BackslashBeforeEscape", U"\\\\x", {0x00, 0xFF}},
        EncodeCase{"LoneBackslashAtTheEnd", U"A\\", {0xBB, 0x00}},
        EncodeCase{"AmpersandGoesTo2D", U"&", {0x2D}},
        EncodeCase{"Plus", U"+", {0x2C}},
        EncodeCase{"Only2BEscapeGives2B", U"\\h2B&", {0x2B, 0x2D}},
        EncodeCase{"CarriageReturnAndLineFeed", U"\r\n", {0x00, 0x00}},
        EncodeCase{"TabAndCharactersTheTableLacks", U"\t;*_\u00F1", {0x00, 0x00, 0x00, 0x00, 0x00}},
        EncodeCase{"CharactersBeyondLatin1", U"\u0152\u0153\u20AC\U0001F600", {0x10, 0x24, 0x00, 0x00}},
        EncodeCase{"AccentedWord", U"Caf\u00E9", {0xBD, 0xD5, 0xDA, 0x1B}}),
    [](const testing::TestParamInfo<EncodeCase>& row) { return std::string(row.param.name); });

struct UnknownCase {
    const char* name;
    Text text;
    Text unknown;
    std::string named;  // UTF-8
};

class UnknownCharactersCase : public testing::TestWithParam<UnknownCase> {};

// What is listed is what the encoder writes as spaces, each character once, and the names are
// the ones messages show.
TEST_P(UnknownCharactersCase, ListsAndNamesTheCharactersSavedAsSpaces)
{
    const UnknownCase& row = GetParam();
    EXPECT_EQ(Printable(UnknownCharacters(row.text)), Printable(row.unknown));
    EXPECT_EQ(NameCharacters(row.unknown), row.named);
}

INSTANTIATE_TEST_SUITE_P(
    GameText, UnknownCharactersCase,
    testing::Values(
        UnknownCase{"None", U"Potion x", U"", ""},
        UnknownCase{"Empty", U"", U"", ""},
        UnknownCase{"EveryKindOfToken", U"[Lv]5 [PK][MN][\"]\"'[']\\n\\l\\p\\c\\h01\\v\\hff\\x&+\u00E9\u0153", U"", ""},
        UnknownCase{"One", U"Potion; x", U";", "\";\""},
        UnknownCase{"TwoEachOnce", U";a*;*", U";*", "\";\" and \"*\""},
        UnknownCase{"ThreeInOrderOfFirstAppearance", U"_x*y;z_", U"_*;", "\"_\", \"*\" and \";\""},
        UnknownCase{"LoneBrackets", U"[[K]] [Lv", U"[]", "\"[\" and \"]\""},
        UnknownCase{"BackslashesBeginningNoEscape", U"\\q \\h4 \\H41 A\\", U"\\", "\"\\\""},
        UnknownCase{"TokensAreCaseSensitive", U"[lv]", U"[]", "\"[\" and \"]\""},
        UnknownCase{"OutsideLatin1", U"Ni\u00F1o \U0001F600\u20AC", U"\u00F1\U0001F600\u20AC",
                    "\"\xC3\xB1\", \"\xF0\x9F\x98\x80\" and \"\xE2\x82\xAC\""},
        UnknownCase{"InvisibleByCodePoint", U"A\tB\r\n\u0001\u00A0\u200B\u0301\u007F", U"\t\r\n\u0001\u00A0\u200B\u0301\u007F",
                    "U+0009, U+000D, U+000A, U+0001, U+00A0, U+200B, U+0301 and U+007F"},
        UnknownCase{"MixedNamesAndCodePoints", U"a\tb;\U000E0001", U"\t;\U000E0001", "U+0009, \";\" and U+E0001"}),
    [](const testing::TestParamInfo<UnknownCase>& row) { return std::string(row.param.name); });

// Half of the bytes come from the values where the codec has rules of its own, so that runs of
// control codes, arguments and ampersands turn up often.
std::vector<Bytes> RandomByteStrings()
{
    constexpr std::array<std::uint8_t, 10> kInteresting = {0x2B, 0x2D, 0xFC, 0xFD, 0xFF,
                                                           0xFE, 0x00, 0xB1, 0xB2, 0x0A};
    std::mt19937 generator(20240517u);
    std::uniform_int_distribution<int> length(0, 48);
    std::uniform_int_distribution<int> anyByte(0, 255);
    std::uniform_int_distribution<std::size_t> interesting(0, kInteresting.size() - 1);
    std::bernoulli_distribution pickInteresting(0.5);

    std::vector<Bytes> strings;
    for (int i = 0; i < 5000; ++i) {
        Bytes bytes(static_cast<std::size_t>(length(generator)));
        for (std::uint8_t& b : bytes) {
            b = pickInteresting(generator) ? kInteresting[interesting(generator)]
                                           : static_cast<std::uint8_t>(anyByte(generator));
        }
        strings.push_back(std::move(bytes));
    }
    return strings;
}

TEST(GameTextRandom, DecodedThenEncodedGivesTheBytesBack)
{
    int with2BTurnedInto2D = 0;
    for (const Bytes& bytes : RandomByteStrings()) {
        const Bytes expected = ExpectedRoundTrip(bytes);
        with2BTurnedInto2D += expected != bytes ? 1 : 0;
        ASSERT_EQ(EncodeGameText(DecodeGameText(bytes)), expected)
            << "decoded: " << Printable(DecodeGameText(bytes));
    }
    EXPECT_GT(with2BTurnedInto2D, 0);
}

// Callers cut a description at the first "\x" and strip every "\x" from a name.
TEST(GameTextRandom, FirstTerminatorEscapeMarksTheFirstTerminatorByte)
{
    for (const Bytes& bytes : RandomByteStrings()) {
        std::size_t firstTerminator = bytes.size();
        bool isArgument = false;
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (!isArgument && bytes[i] == 0xFF) {
                firstTerminator = i;
                break;
            }
            isArgument = !isArgument && (bytes[i] == 0xFC || bytes[i] == 0xFD);
        }

        const Text decoded = DecodeGameText(bytes);
        const std::size_t escape = decoded.find(kTerminatorEscape);
        if (firstTerminator == bytes.size()) {
            EXPECT_EQ(escape, Text::npos) << Printable(decoded);
        } else {
            ASSERT_NE(escape, Text::npos) << Printable(decoded);
            EXPECT_EQ(EncodeGameText(TextView(decoded).substr(0, escape)).size(), firstTerminator)
                << Printable(decoded);
        }
    }
}

// A control code at the end of one call leaves nothing behind for the next.
TEST(GameText, NoArgumentCarriesOverBetweenCalls)
{
    EXPECT_EQ(DecodeGameText(Bytes{0xFC}), U"\\c");
    EXPECT_EQ(DecodeGameText(Bytes{0xFF}), U"\\x");
    EXPECT_EQ(DecodeGameText(Bytes{0xFD}), U"\\v");
    EXPECT_EQ(DecodeGameText(Bytes{0xBB}), U"A");
}

}  // namespace
}  // namespace quillbox
