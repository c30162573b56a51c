#pragma once

#include "text/GameText.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// The characters a text box takes.
enum class FieldCharacters { Any, Decimal, Hex };

// A text box of the window: the most characters the user may enter, which characters, and
// whether it is a 16-bit number capped at 65535. Every front end applies the same rules.
struct TextFieldRule {
    std::string_view name;  // the control's name
    int limit = 0;
    FieldCharacters characters = FieldCharacters::Any;
    bool sixteenBit = false;
};
std::span<const TextFieldRule> TextFieldRules();
// Null for a name that is no text box with a rule.
const TextFieldRule* FindTextFieldRule(std::string_view name);

Text FilterFieldText(FieldCharacters characters, TextView text);

// What an edit leaves in a text box: the text held to the characters the box takes, and what went
// beyond its limit cut right before the cursor (then from the end). `lengthBefore` is the length
// before the edit; a text the program put in (`limitApplies` false) is filtered but never cut.
struct FieldText {
    Text text;
    int cursor = 0;
};
FieldText KeepFieldRule(const TextFieldRule& rule, int lengthBefore, TextView input, int cursor,
                        bool limitApplies = true);

// The entries of the special-value lists: 0 to 255, with at least two digits ("00", ..., "255").
std::vector<std::string> SpecialValueEntries();

}  // namespace quillbox
