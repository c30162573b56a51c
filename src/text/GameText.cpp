#include "text/GameText.h"

#include "base/HexText.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <utility>

namespace quillbox {

namespace {

// Index = byte value. Bytes without a text are decoded as "\h" escapes.
constexpr std::array<TextView, 256> kTable = {
    // 0x00
    U" ", U"À", U"Á", U"Â", U"Ç", U"È", U"É", U"Ê", U"Ë", U"Ì", {}, U"Î", U"Ï", U"Ò", U"Ó", U"Ô",
    // 0x10
    U"Œ", U"Ù", U"Ú", U"Û", {}, U"ß", U"à", U"á", {}, U"ç", U"è", U"é", U"ê", U"ë", U"ì", {},
    // 0x20
    U"î", U"ï", U"ò", U"ó", U"œ", U"ù", U"ú", {}, U"°", U"ª", {}, U"&", U"+", U"&", {}, {},
    // 0x30
    {}, {}, {}, {}, U"[Lv]", U"=", {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
    // 0x40
    {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
    // 0x50
    {}, U"¿", U"¡", U"[PK]", U"[MN]", U"[PO]", U"[Ke]", U"[BL]", U"[OC]", U"[K]", U"Í", U"%",
    U"(", U")", {}, {},
    // 0x60
    {}, {}, {}, {}, {}, {}, {}, {}, U"â", {}, {}, {}, {}, {}, {}, U"í",
    // 0x70
    {}, {}, {}, {}, {}, {}, {}, {}, {}, U"[U]", U"[D]", U"[L]", U"[R]", {}, {}, {},
    // 0x80
    {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
    // 0x90
    {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, {},
    // 0xA0
    {}, U"0", U"1", U"2", U"3", U"4", U"5", U"6", U"7", U"8", U"9", U"!", U"?", U".", U"-", U"·",
    // 0xB0
    U"[.]", U"[\"]", U"\"", U"[']", U"'", U"[m]", U"[f]", U"[p]", U",", U"[x]", U"/", U"A", U"B",
    U"C", U"D", U"E",
    // 0xC0
    U"F", U"G", U"H", U"I", U"J", U"K", U"L", U"M", U"N", U"O", U"P", U"Q", U"R", U"S", U"T", U"U",
    // 0xD0
    U"V", U"W", U"X", U"Y", U"Z", U"a", U"b", U"c", U"d", U"e", U"f", U"g", U"h", U"i", U"j", U"k",
    // 0xE0
    U"l", U"m", U"n", U"o", U"p", U"q", U"r", U"s", U"t", U"u", U"v", U"w", U"x", U"y", U"z",
    U"[>]",
    // 0xF0
    U":", U"Ä", U"Ö", U"Ü", U"ä", U"ö", U"ü", U"[u]", U"[d]", U"[l]", U"\\l", U"\\p", U"\\c",
    U"\\v", U"\\n", U"\\x",
};

constexpr std::uint8_t kFirstArgumentControl = 0xFC;
constexpr std::uint8_t kSecondArgumentControl = 0xFD;

constexpr bool TakesArgument(std::uint8_t byte)
{
    return byte == kFirstArgumentControl || byte == kSecondArgumentControl;
}

constexpr TextView kHexEscapePrefix = U"\\h";
constexpr std::size_t kHexEscapeLength = 4;
constexpr std::array<char32_t, 16> kUpperHexDigits = {U'0', U'1', U'2', U'3', U'4', U'5',
                                                      U'6', U'7', U'8', U'9', U'A', U'B',
                                                      U'C', U'D', U'E', U'F'};

// Only called on digits that IsHexText has accepted.
constexpr int HexDigitValue(char32_t digit)
{
    if (digit <= U'9') return static_cast<int>(digit - U'0');
    if (digit <= U'F') return static_cast<int>(digit - U'A') + 10;
    return static_cast<int>(digit - U'a') + 10;
}

// Every single-character text lies below this code point ("œ" is the highest, U+0153).
constexpr std::size_t kSingleCharacterLimit = 0x180;
constexpr std::int16_t kNoByte = -1;

constexpr auto kSingleCharacterBytes = [] {
    std::array<std::int16_t, kSingleCharacterLimit> bytes{};
    bytes.fill(kNoByte);
    for (std::size_t value = 0; value < kTable.size(); ++value) {
        const TextView text = kTable[value];
        if (text.size() != 1) {
            continue;
        }
        const char32_t c = text.front();
        // A throw while the constant is evaluated stops the build, so a table edit cannot slip past.
        if (c >= kSingleCharacterLimit) {
            throw "a single-character text lies beyond kSingleCharacterLimit";
        }
        bytes[c] = static_cast<std::int16_t>(value);
    }
    // 0x2B and 0x2D share "&"; written text always goes to 0x2D.
    bytes[U'&'] = 0x2D;
    return bytes;
}();

struct TokenByte {
    TextView text;
    std::uint8_t byte = 0;
};

constexpr std::size_t kLongTokenCount = static_cast<std::size_t>(
    std::count_if(kTable.begin(), kTable.end(), [](TextView text) { return text.size() > 1; }));

// Sorted by text so that a candidate is found by binary search.
constexpr auto kLongTokens = [] {
    std::array<TokenByte, kLongTokenCount> tokens{};
    std::size_t next = 0;
    for (std::size_t value = 0; value < kTable.size(); ++value) {
        if (kTable[value].size() > 1) {
            tokens[next++] = {kTable[value], static_cast<std::uint8_t>(value)};
        }
    }
    std::sort(tokens.begin(), tokens.end(),
              [](const TokenByte& a, const TokenByte& b) { return a.text < b.text; });
    return tokens;
}();

// Most characters begin no multi-character token; this spares them the search.
constexpr std::size_t kAsciiLimit = 0x80;
constexpr auto kLongTokenStarts = [] {
    std::array<bool, kAsciiLimit> starts{};
    for (const TokenByte& token : kLongTokens) {
        if (token.text.front() >= kAsciiLimit) {
            throw "a multi-character token begins outside ASCII";
        }
        starts[token.text.front()] = true;
    }
    starts[kHexEscapePrefix.front()] = true;
    return starts;
}();

constexpr bool MayBeginLongToken(char32_t c)
{
    return c < kAsciiLimit && kLongTokenStarts[c];
}

// kNoByte when `candidate` is no multi-character token.
std::int16_t FindLongToken(TextView candidate)
{
    const auto* found =
        std::lower_bound(kLongTokens.begin(), kLongTokens.end(), candidate,
                         [](const TokenByte& token, TextView text) { return token.text < text; });
    if (found == kLongTokens.end() || found->text != candidate) {
        return kNoByte;
    }
    return found->byte;
}

// The token at the front of `rest` (never empty): its byte and how many characters it takes.
// A single character the table lacks has no byte; the encoder writes it as a space.
struct Token {
    std::int16_t byte = kNoByte;
    std::size_t length = 1;
};

Token NextToken(TextView rest)
{
    if (MayBeginLongToken(rest.front())) {
        for (const std::size_t length : {std::size_t{4}, std::size_t{3}, std::size_t{2}}) {
            if (rest.size() < length) {
                continue;
            }
            if (const std::int16_t byte = FindLongToken(rest.substr(0, length)); byte != kNoByte) {
                return {byte, length};
            }
            if (length == kHexEscapeLength && rest.starts_with(kHexEscapePrefix) &&
                IsHexText(rest.substr(kHexEscapePrefix.size(), 2))) {
                return {static_cast<std::int16_t>(HexDigitValue(rest[2]) * 16 + HexDigitValue(rest[3])), length};
            }
        }
    }
    const char32_t c = rest.front();
    if (c < kSingleCharacterLimit) {
        return {kSingleCharacterBytes[c], 1};
    }
    return {};
}

}  // namespace

TextView GameTextTableEntry(std::uint8_t byte)
{
    return kTable[byte];
}

namespace {

// Each byte's text in four characters of room, so that decoding copies four of them whatever
// the text: a copy of its own length would be a call for every byte.
constexpr std::size_t kEntryRoom = 4;
struct WideEntry {
    std::array<char32_t, kEntryRoom> text{};
    std::uint8_t length = 0;
};

constexpr std::array<WideEntry, 256> kWideTable = [] {
    std::array<WideEntry, 256> table{};
    for (std::size_t byte = 0; byte < table.size(); ++byte) {
        const TextView entry = kTable[byte];
        if (entry.empty()) {
            // A byte without a text is its "\h" escape.
            table[byte].text = {kHexEscapePrefix[0], kHexEscapePrefix[1], kUpperHexDigits[byte >> 4], kUpperHexDigits[byte & 0x0F]};
            table[byte].length = static_cast<std::uint8_t>(kHexEscapeLength);
            continue;
        }
        for (std::size_t i = 0; i < entry.size(); ++i) table[byte].text[i] = entry[i];
        table[byte].length = static_cast<std::uint8_t>(entry.size());
    }
    return table;
}();
static_assert(kHexEscapePrefix.size() == 2 && kHexEscapeLength == kEntryRoom);
static_assert([] {
    for (const TextView entry : kTable) {
        if (entry.size() > kEntryRoom) return false;
    }
    return true;
}());

}  // namespace

Text DecodeGameText(std::span<const std::uint8_t> bytes)
{
    // Decoded a run at a time into room on the stack and appended, so that the text is allocated
    // at its own length: a name kept for every item and move would otherwise hold four times
    // the room it needs, and on a table of hundreds that is memory the system has to map.
    constexpr std::size_t kRunBytes = 64;
    char32_t run[kRunBytes * kEntryRoom];
    Text out;
    bool argumentFollows = false;
    for (std::size_t start = 0; start < bytes.size(); start += kRunBytes) {
        const auto part = bytes.subspan(start, std::min(kRunBytes, bytes.size() - start));
        char32_t* next = run;
        for (const std::uint8_t byte : part) {
            if (argumentFollows) {
                // An argument is its escape whatever text the table gives its byte.
                next[0] = kHexEscapePrefix[0];
                next[1] = kHexEscapePrefix[1];
                next[2] = kUpperHexDigits[byte >> 4];
                next[3] = kUpperHexDigits[byte & 0x0F];
                next += kHexEscapeLength;
                argumentFollows = false;
                continue;
            }
            const WideEntry& entry = kWideTable[byte];
            for (std::size_t i = 0; i < kEntryRoom; ++i) next[i] = entry.text[i];
            next += entry.length;
            argumentFollows = TakesArgument(byte);
        }
        out.append(run, static_cast<std::size_t>(next - run));
    }
    return out;
}

std::vector<std::uint8_t> EncodeGameText(TextView text)
{
    std::vector<std::uint8_t> out;
    out.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const Token token = NextToken(text.substr(position));
        out.push_back(token.byte == kNoByte ? std::uint8_t{0x00} : static_cast<std::uint8_t>(token.byte));
        position += token.length;
    }
    return out;
}

Text UnknownCharacters(TextView text)
{
    Text unknown;
    for (std::size_t position = 0; position < text.size();) {
        const Token token = NextToken(text.substr(position));
        if (token.byte == kNoByte && unknown.find(text[position]) == Text::npos) {
            unknown.push_back(text[position]);
        }
        position += token.length;
    }
    return unknown;
}

Text ReplaceAll(TextView text, TextView what, TextView with)
{
    if (what.empty()) {
        return Text(text);
    }
    Text out;
    out.reserve(text.size());
    std::size_t start = 0;
    for (std::size_t found = text.find(what); found != TextView::npos;
         found = text.find(what, start)) {
        out.append(text.substr(start, found - start));
        out.append(with);
        start = found + what.size();
    }
    out.append(text.substr(start));
    return out;
}

Text RemoveAll(TextView text, TextView what)
{
    return ReplaceAll(text, what, {});
}

void RemoveAllInPlace(Text& text, TextView what)
{
    if (what.empty()) return;
    // Matches are taken from the left and never overlap, as ReplaceAll finds them.
    std::size_t kept = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == what.front() && TextView(text).substr(i, what.size()) == what) {
            i += what.size();
        } else {
            text[kept++] = text[i++];
        }
    }
    text.resize(kept);
}

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLastCodePoint = 0x10FFFF;

constexpr bool IsSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (IsSurrogate(c) || c > kLastCodePoint) {
        c = kReplacementCharacter;
    }
    const auto put = [&out](char32_t bits) { out.push_back(static_cast<char>(bits)); };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

struct LeadByte {
    int continuationCount = 0;  // -1: the byte can begin no sequence
    char32_t initialBits = 0;
    // Narrower ranges for the first continuation byte keep out overlong forms, surrogates and
    // values past U+10FFFF.
    unsigned char secondMin = 0x80;
    unsigned char secondMax = 0xBF;
};

constexpr LeadByte ClassifyLeadByte(unsigned char lead)
{
    if (lead < 0x80) {
        return {0, lead};
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return {1, static_cast<char32_t>(lead & 0x1F)};
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const unsigned char min = lead == 0xE0 ? 0xA0 : 0x80;
        const unsigned char max = lead == 0xED ? 0x9F : 0xBF;
        return {2, static_cast<char32_t>(lead & 0x0F), min, max};
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const unsigned char min = lead == 0xF0 ? 0x90 : 0x80;
        const unsigned char max = lead == 0xF4 ? 0x8F : 0xBF;
        return {3, static_cast<char32_t>(lead & 0x07), min, max};
    }
    return {-1};
}

}  // namespace

std::string ToUtf8(TextView text)
{
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

void AppendUtf8(std::string& out, TextView text)
{
    // Encoded in pieces through a buffer of its own: appending byte by byte to `out` checks its
    // room for every byte.
    std::string piece;
    char buffer[256];
    std::size_t used = 0;
    for (const char32_t c : text) {
        if (used + 4 > sizeof buffer) {
            out.append(buffer, used);
            used = 0;
        }
        if (c < 0x80) {
            buffer[used++] = static_cast<char>(c);
            continue;
        }
        piece.clear();
        AppendUtf8(piece, c);
        for (const char byte : piece) buffer[used++] = byte;
    }
    out.append(buffer, used);
}

namespace {

// Characters that show nothing, or nothing of their own, inside quotes: controls, spaces other
// than the plain one, invisible format characters and marks that combine with the quote.
constexpr std::array<std::pair<char32_t, char32_t>, 15> kInvisibleRanges = {{
    {0x0000, 0x001F}, {0x007F, 0x00A0}, {0x00AD, 0x00AD}, {0x0300, 0x036F}, {0x1680, 0x1680},
    {0x2000, 0x200F}, {0x2028, 0x202F}, {0x205F, 0x206F}, {0x3000, 0x3000}, {0xD800, 0xDFFF},
    {0xFE00, 0xFE0F}, {0xFEFF, 0xFEFF}, {0xFFF9, 0xFFFB}, {0xFFFE, 0xFFFF}, {0xE0000, 0xE007F},
}};

bool ShowsInQuotes(char32_t c)
{
    if (c > kLastCodePoint) {
        return false;
    }
    return std::none_of(kInvisibleRanges.begin(), kInvisibleRanges.end(),
                        [c](const std::pair<char32_t, char32_t>& range) { return c >= range.first && c <= range.second; });
}

std::string CodePointName(char32_t c) { return "U+" + PadHex(NumberToHex(c), 4); }

}  // namespace

std::string NameCharacters(TextView characters)
{
    std::string names;
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (i > 0) {
            names += i + 1 == characters.size() ? " and " : ", ";
        }
        const char32_t c = characters[i];
        names += ShowsInQuotes(c) ? "\"" + ToUtf8(TextView(&c, 1)) + "\"" : CodePointName(c);
    }
    return names;
}

// Each maximal ill-formed part becomes one U+FFFD, the way browsers and most decoders do it.
Text FromUtf8(std::string_view utf8)
{
    Text out;
    out.reserve(utf8.size());
    std::size_t position = 0;
    while (position < utf8.size()) {
        const LeadByte lead = ClassifyLeadByte(static_cast<unsigned char>(utf8[position]));
        ++position;
        if (lead.continuationCount < 0) {
            out.push_back(kReplacementCharacter);
            continue;
        }
        char32_t value = lead.initialBits;
        int remaining = lead.continuationCount;
        bool first = true;
        while (remaining > 0 && position < utf8.size()) {
            const auto byte = static_cast<unsigned char>(utf8[position]);
            const unsigned char min = first ? lead.secondMin : 0x80;
            const unsigned char max = first ? lead.secondMax : 0xBF;
            if (byte < min || byte > max) {
                break;
            }
            value = (value << 6) | (byte & 0x3Fu);
            ++position;
            --remaining;
            first = false;
        }
        out.push_back(remaining == 0 ? value : kReplacementCharacter);
    }
    return out;
}

}  // namespace quillbox
