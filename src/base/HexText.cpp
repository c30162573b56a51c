#include "base/HexText.h"

#include <algorithm>
#include <iterator>
#include <limits>

namespace quillbox {

namespace {

constexpr char kDigits[] = "0123456789ABCDEF";

int HexDigitValue(char32_t c)
{
    if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
    if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A') + 10;
    if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a') + 10;
    return -1;
}

template <typename Char>
std::uint64_t LeadingDecimal(std::basic_string_view<Char> text)
{
    constexpr std::uint64_t kMax = std::numeric_limits<std::uint64_t>::max();
    std::uint64_t value = 0;
    for (Char c : text) {
        if (c < Char('0') || c > Char('9')) break;
        const auto digit = static_cast<std::uint64_t>(c - Char('0'));
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    return value;
}

}  // namespace

HexString BytesToHex(std::span<const std::uint8_t> bytes)
{
    HexString text;
    text.reserve(bytes.size() * 2);
    for (std::uint8_t b : bytes) {
        text.push_back(kDigits[b >> 4]);
        text.push_back(kDigits[b & 0x0F]);
    }
    return text;
}

std::string SwapByteOrder(std::string_view text)
{
    std::string even;
    if (text.size() % 2 != 0) even.push_back('0');
    even.append(text);
    std::string swapped;
    swapped.reserve(even.size());
    for (std::size_t pair = even.size(); pair >= 2; pair -= 2) {
        swapped.append(even, pair - 2, 2);
    }
    return swapped;
}

std::string PadHex(std::string_view text, std::size_t width)
{
    std::string padded;
    if (text.size() < width) padded.assign(width - text.size(), '0');
    padded.append(text);
    return padded;
}

std::string FitHex(std::string_view text, std::size_t width)
{
    std::string padded = PadHex(text, width);
    return padded.substr(padded.size() - width);
}

std::uint64_t HexToNumber(std::string_view text)
{
    std::uint64_t value = 0;
    for (char c : text) {
        const int digit = HexDigitValue(static_cast<unsigned char>(c));
        if (digit < 0) break;
        value = (value << 4) | static_cast<std::uint64_t>(digit);
    }
    return value;
}

bool IsHexText(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return HexDigitValue(static_cast<unsigned char>(c)) >= 0;
    });
}

bool IsHexText(std::u32string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char32_t c) { return HexDigitValue(c) >= 0; });
}

std::string NumberToHex(std::uint64_t value)
{
    // Digits from the last one back into a buffer, so that the text is made once.
    char digits[16];
    char* first = std::end(digits);
    do {
        *--first = kDigits[value & 0x0F];
        value >>= 4;
    } while (value != 0);
    return std::string(first, std::end(digits));
}

std::uint64_t LeadingDecimalValue(std::u32string_view text) { return LeadingDecimal(text); }
std::uint64_t LeadingDecimalValue(std::string_view text) { return LeadingDecimal(text); }

std::string ReadPointerBody(std::span<const std::uint8_t, 3> bytes)
{
    // The bytes' digits from the last byte to the first, as SwapByteOrder(BytesToHex(bytes))
    // gives them, in one string.
    std::string text(6, '0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = bytes[bytes.size() - 1 - i];
        text[2 * i] = kDigits[byte >> 4];
        text[2 * i + 1] = kDigits[byte & 0x0F];
    }
    return text;
}

std::int64_t ReadFullPointer(std::span<const std::uint8_t, 4> bytes)
{
    const std::uint32_t pointer = static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
                                  static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
    return static_cast<std::int64_t>(pointer) - kRomBase;
}

Result<std::vector<std::uint8_t>> HexToBytes(std::string_view text)
{
    std::string even;
    if (text.size() % 2 != 0) even.push_back('0');
    even.append(text);
    if (!even.empty() && !IsHexText(even)) {
        return WithFound(MakeError(ErrorCode::BadHexText, "\"" + std::string(text) + "\""), std::string(text));
    }
    std::vector<std::uint8_t> bytes;
    bytes.reserve(even.size() / 2);
    for (std::size_t i = 0; i < even.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(HexToNumber(std::string_view(even).substr(i, 2))));
    }
    return bytes;
}

}  // namespace quillbox
