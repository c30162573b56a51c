#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox {

// Editable text is Unicode: one char32_t per character, so "é" counts as one everywhere.
using Text = std::u32string;
using TextView = std::u32string_view;

// One token per byte, in order; decoding goes on past 0xFF: callers cut the text themselves.
Text DecodeGameText(std::span<const std::uint8_t> bytes);

// One byte per token; characters the table lacks become 0x00, the space. Adds no terminator.
std::vector<std::uint8_t> EncodeGameText(TextView text);

// The characters EncodeGameText writes as spaces because they begin no token and the table
// lacks them; each once, in the order they first appear.
Text UnknownCharacters(TextView text);

// The text of one byte value in the table, empty when the table has none.
TextView GameTextTableEntry(std::uint8_t byte);

// The escape texts callers search for.
inline constexpr TextView kTerminatorEscape = U"\\x";
inline constexpr TextView kLineBreakEscape = U"\\n";
inline constexpr TextView kWindowsLineBreak = U"\r\n";

// Every occurrence of `what` removed.
Text RemoveAll(TextView text, TextView what);
// The same done to `text` where it stands, without a second string.
void RemoveAllInPlace(Text& text, TextView what);
// Every occurrence of `what` replaced by `with`.
Text ReplaceAll(TextView text, TextView what, TextView with);

// UTF-8 at the edges of the program (command line, JSON, files); invalid input becomes U+FFFD.
std::string ToUtf8(TextView text);
// The same appended to `out`, for writers that build one long text.
void AppendUtf8(std::string& out, TextView text);
Text FromUtf8(std::string_view utf8);

// Characters named for a message, in UTF-8, each in double quotes and joined as ";", "*" and "_";
// one that would show nothing between quotes (a tab, a control, an unusual space) as U+0009.
std::string NameCharacters(TextView characters);

}  // namespace quillbox
