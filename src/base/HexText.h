#pragma once

#include "base/Error.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// Upper-case hexadecimal, two digits a byte, bytes in file order.
using HexString = std::string;

HexString BytesToHex(std::span<const std::uint8_t> bytes);
// The bytes a hex text stands for, or BadHexText; an odd length gets a leading "0".
Result<std::vector<std::uint8_t>> HexToBytes(std::string_view text);
// Reverses the order of the two-digit groups; an odd-length text first gets a leading "0".
std::string SwapByteOrder(std::string_view text);
// Puts "0"s in front until the text is at least `width` long; a longer text stays as it is.
std::string PadHex(std::string_view text, std::size_t width);
// The last `width` characters after padding: a longer text loses its leading characters.
std::string FitHex(std::string_view text, std::size_t width);
// Reads hexadecimal digits of either case up to the first other character; no digits give 0.
// Digits beyond 64 bits wrap, as a caller never passes more than eight.
std::uint64_t HexToNumber(std::string_view text);
// Non-empty and only 0-9, A-F, a-f.
bool IsHexText(std::string_view text);
bool IsHexText(std::u32string_view text);
// Upper-case hexadecimal of a number, no leading zeros ("0" for zero).
std::string NumberToHex(std::uint64_t value);

// The leading decimal digits of a text as a number (empty or no digits: 0), saturating
// instead of overflowing so that a long run of digits still compares as large.
std::uint64_t LeadingDecimalValue(std::u32string_view text);
std::uint64_t LeadingDecimalValue(std::string_view text);

// ROM pointers: 0x08000000 plus the file offset, little-endian.
inline constexpr std::uint32_t kRomBase = 0x08000000;
// The three low bytes of a pointer at `bytes` as six digits of number text (leading zeros kept).
std::string ReadPointerBody(std::span<const std::uint8_t, 3> bytes);
// The file offset a whole pointer names; negative for a pointer below 0x08000000.
std::int64_t ReadFullPointer(std::span<const std::uint8_t, 4> bytes);

}  // namespace quillbox
