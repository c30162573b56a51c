#include "items/FieldRules.h"

#include "rom/HexText.h"

#include <algorithm>

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

}  // namespace quillbox
