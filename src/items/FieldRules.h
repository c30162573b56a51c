#pragma once

#include "text/GameText.h"

#include <optional>

namespace quillbox {

// The rules the window's editing fields apply to what the user types or pastes. Keys travel as
// character codes; a rule returns 0 for a key it discards.
inline constexpr char32_t kBackspaceKey = 8;
inline constexpr char32_t kEnterKey = 13;

// Hexadecimal fields: backspace, 0-9 and A-F pass, a-f become A-F, everything else is discarded.
char32_t HexKeyRule(char32_t key);
// Decimal fields: backspace and 0-9 pass, everything else is discarded.
char32_t DecimalKeyRule(char32_t key);

// Text that reaches a field without being typed (pasted, dropped), held to the characters the
// field's key rule lets through; hexadecimal digits come out in upper case.
Text FilterHexText(TextView text);
Text FilterDecimalText(TextView text);

// The 16-bit decimal fields never show more than 65535: the text to put in place of `text`, or
// nothing when it may stay. Only leading digits count, so "9x" stays as it is.
std::optional<Text> CapSixteenBitText(TextView text);

// The description takes a typed key only while it is shorter than its room; backspace always.
// `characters` counts a line break as two, as the counters do.
bool DescriptionAcceptsKey(char32_t key, int room, int characters);

// How many characters an edit that took a field from `lengthBefore` to `lengthAfter` characters
// put beyond its limit. The limit binds the user's edits only: a text the program put in may be
// longer, and such a field may then shrink but not grow.
int CharactersOverLimit(int lengthBefore, int lengthAfter, int limit);

}  // namespace quillbox
