// Input: three length bytes, a 32-bit number, then a section name, a key and a value of those
// lengths, and the rest as the text of a profile. Checks the lookup on the arbitrary text, the
// lookup of a line put in front of it, the file reader against the in-memory one, and the number
// format on the value found and on the number written out in each form.

#include "FuzzSupport.h"

#include "base/HexText.h"
#include "rom/Profile.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

using quillbox::fuzz::InputReader;

constexpr std::size_t kMaxValueLength = 511;
constexpr std::int64_t kLargest32BitValue = 0xFFFFFFFF;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string WithCase(std::string_view text, int (*change)(int))
{
    std::string changed(text);
    for (char& c : changed) c = static_cast<char>(change(static_cast<unsigned char>(c)));
    return changed;
}

std::string WithoutBlanks(std::string_view text)
{
    std::string kept;
    std::copy_if(text.begin(), text.end(), std::back_inserter(kept),
                 [](char c) { return !IsBlank(c) && c != '\r' && c != '\n'; });
    return kept;
}

bool HasEdgeBlanks(std::string_view text)
{
    return !text.empty() && (IsBlank(text.front()) || IsBlank(text.back()) || text.back() == '\r');
}

// A name that reads back as itself from "[name]" or "name=": nothing the line syntax gives a
// meaning to, and no blanks at either end.
bool IsPlainSectionName(std::string_view name)
{
    return name.find_first_of("]\n\r") == std::string_view::npos && !HasEdgeBlanks(name);
}
bool IsPlainKey(std::string_view key)
{
    return key.find_first_of("=\n\r") == std::string_view::npos && !HasEdgeBlanks(key) &&
           (key.empty() || key.front() != '[');
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

void CheckLookup(std::string_view contents, std::string_view section, std::string_view key)
{
    const std::string value = quillbox::ReadProfileValueFromText(contents, section, key);
    QUILLBOX_FUZZ_CHECK(value.size() <= kMaxValueLength);
    QUILLBOX_FUZZ_CHECK(value.find('\n') == std::string::npos);
    QUILLBOX_FUZZ_CHECK(contents.find(value) != std::string_view::npos);
    QUILLBOX_FUZZ_CHECK(value.empty() || !IsBlank(value.front()));
    QUILLBOX_FUZZ_CHECK(value.size() == kMaxValueLength || !HasEdgeBlanks(value));
    QUILLBOX_FUZZ_CHECK(quillbox::ReadProfileValueFromText(contents, WithCase(section, std::toupper),
                                                           WithCase(key, std::tolower)) == value);

    const auto file = quillbox::fuzz::Scratch() / "roms.ini";
    quillbox::fuzz::WriteWholeFile(file, contents);
    QUILLBOX_FUZZ_CHECK(quillbox::ReadProfileValue(file, section, key) == value);

    const std::int64_t number = quillbox::ParseProfileNumber(value);
    QUILLBOX_FUZZ_CHECK(number >= -kLargest32BitValue && number <= kLargest32BitValue);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber(WithoutBlanks(value)) == number);
    const std::int64_t wholeText = quillbox::ParseProfileNumber(contents);
    QUILLBOX_FUZZ_CHECK(wholeText >= -kLargest32BitValue && wholeText <= kLargest32BitValue);
}

// A line put first in its own section is what the lookup finds, whatever follows.
void CheckLineInFront(std::string_view contents, std::string_view section, std::string_view key,
                      std::string_view value)
{
    if (!IsPlainSectionName(section) || !IsPlainKey(key) || value.find('\n') != std::string_view::npos) {
        return;
    }
    const std::string profile =
        "[" + std::string(section) + "]\n" + std::string(key) + "=" + std::string(value) + "\n" + std::string(contents);
    QUILLBOX_FUZZ_CHECK(quillbox::ReadProfileValueFromText(profile, section, key) == Trimmed(value));
}

void CheckNumberForms(std::uint32_t number)
{
    const auto expected = static_cast<std::int64_t>(number);
    const std::string hex = quillbox::NumberToHex(number);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber("&H" + hex) == expected);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber("&h" + WithCase(hex, std::tolower)) == expected);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber(" &H " + hex + " ;x") == expected);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber("&H" + hex + "0") == (expected <= 0xFFFFFFF ? expected * 16 : 0));
    const std::string decimal = std::to_string(number);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber(decimal) == expected);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber("-" + decimal) == -expected);
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber("+" + decimal + ".4999") == expected);
    const std::int64_t roundedUp = expected + 1 <= kLargest32BitValue ? expected + 1 : 0;
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber(decimal + ".5") == (number % 2 == 0 ? expected : roundedUp));
    QUILLBOX_FUZZ_CHECK(quillbox::ParseProfileNumber(decimal + ".51") == roundedUp);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    InputReader input(data, size);
    const std::size_t sectionLength = input.Byte() % 16;
    const std::size_t keyLength = input.Byte() % 16;
    const std::size_t valueLength = input.Byte();
    const std::uint32_t number = input.Le32();
    const std::string section(input.TakeText(sectionLength));
    const std::string key(input.TakeText(keyLength));
    const std::string value(input.TakeText(valueLength));
    const std::string_view contents(reinterpret_cast<const char*>(input.Rest().data()), input.Rest().size());

    CheckLookup(contents, section, key);
    CheckLineInFront(contents, section, key, value);
    CheckNumberForms(number);
    return 0;
}
