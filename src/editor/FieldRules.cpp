#include "editor/FieldRules.h"

#include "base/HexText.h"

#include <algorithm>
#include <array>

namespace quillbox {

namespace {

bool IsDecimalDigit(char32_t key) { return key >= U'0' && key <= U'9'; }
bool IsUpperHexLetter(char32_t key) { return key >= U'A' && key <= U'F'; }
bool IsLowerHexLetter(char32_t key) { return key >= U'a' && key <= U'f'; }

}  // namespace

char32_t HexKeyRule(char32_t key)
{
    if (key == kBackspaceKey || IsUpperHexLetter(key) || IsDecimalDigit(key)) {
        return key;
    }
    if (IsLowerHexLetter(key)) {
        return key - 32;
    }
    return 0;
}

char32_t DecimalKeyRule(char32_t key) { return key == kBackspaceKey || IsDecimalDigit(key) ? key : 0; }

Text FilterHexText(TextView text)
{
    Text kept;
    for (char32_t c : text) {
        const char32_t ruled = HexKeyRule(c);
        if (ruled != 0 && ruled != kBackspaceKey) {
            kept.push_back(ruled);
        }
    }
    return kept;
}

Text FilterDecimalText(TextView text)
{
    Text kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept), IsDecimalDigit);
    return kept;
}

std::optional<Text> CapSixteenBitText(TextView text)
{
    if (LeadingDecimalValue(text) >= 65536) {
        return Text(U"65535");
    }
    return std::nullopt;
}

bool DescriptionAcceptsKey(char32_t key, int room, int characters)
{
    return key == kBackspaceKey || room >= characters + 1;
}

int CharactersOverLimit(int lengthBefore, int lengthAfter, int limit)
{
    return std::max(0, lengthAfter - std::max(limit, lengthBefore));
}

std::span<const TextFieldRule> TextFieldRules()
{
    static constexpr std::array<TextFieldRule, 10> kRules{{
        {"iname", 14, FieldCharacters::Any, false},
        {"price", 5, FieldCharacters::Decimal, true},
        {"index", 5, FieldCharacters::Decimal, true},
        {"Text3", 7, FieldCharacters::Hex, false},
        {"IMGOFF", 6, FieldCharacters::Hex, false},
        {"PALOFF", 6, FieldCharacters::Hex, false},
        {"FUCP", 6, FieldCharacters::Hex, false},
        {"BUCP", 6, FieldCharacters::Hex, false},
        {"Text1", 3, FieldCharacters::Any, false},
        {"Text2", 3, FieldCharacters::Any, false},
    }};
    return kRules;
}

const TextFieldRule* FindTextFieldRule(std::string_view name)
{
    for (const TextFieldRule& rule : TextFieldRules()) {
        if (rule.name == name) return &rule;
    }
    return nullptr;
}

Text FilterFieldText(FieldCharacters characters, TextView text)
{
    switch (characters) {
    case FieldCharacters::Decimal: return FilterDecimalText(text);
    case FieldCharacters::Hex: return FilterHexText(text);
    case FieldCharacters::Any: break;
    }
    return Text(text);
}

FieldText KeepFieldRule(const TextFieldRule& rule, int lengthBefore, TextView input, int cursor, bool limitApplies)
{
    cursor = std::clamp(cursor, 0, static_cast<int>(input.size()));
    FieldText kept{FilterFieldText(rule.characters, input),
                   static_cast<int>(FilterFieldText(rule.characters, input.substr(0, static_cast<std::size_t>(cursor))).size())};
    if (!limitApplies) return kept;
    const int over = CharactersOverLimit(lengthBefore, static_cast<int>(kept.text.size()), rule.limit);
    const int cut = std::min(over, kept.cursor);
    kept.text.erase(static_cast<std::size_t>(kept.cursor - cut), static_cast<std::size_t>(cut));
    kept.cursor -= cut;
    if (over > cut) kept.text.resize(kept.text.size() - static_cast<std::size_t>(over - cut));
    return kept;
}

std::vector<std::string> SpecialValueEntries()
{
    std::vector<std::string> entries;
    for (int value = 0; value <= 255; ++value) {
        entries.push_back(value < 10 ? "0" + std::to_string(value) : std::to_string(value));
    }
    return entries;
}

}  // namespace quillbox
