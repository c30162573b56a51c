#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace quillbox::word_scan {

// Texts are scanned eight bytes at a time: nearly every byte of them is written as it is, and a
// word with none to escape or quote is passed over at once.
inline constexpr std::uint64_t kEveryByte = 0x0101010101010101u;
inline constexpr std::uint64_t kHighBits = 0x8080808080808080u;

inline std::uint64_t WordAt(std::string_view text, std::size_t at)
{
    std::uint64_t word = 0;
    std::memcpy(&word, text.data() + at, sizeof word);
    return word;
}

// Whether a byte of the word is 0, below `limit` (at most 0x80), or is `byte`.
constexpr bool HasZero(std::uint64_t word) { return ((word - kEveryByte) & ~word & kHighBits) != 0; }
constexpr bool HasBelow(std::uint64_t word, std::uint64_t limit) { return ((word - kEveryByte * limit) & ~word & kHighBits) != 0; }
constexpr bool HasByte(std::uint64_t word, char byte) { return HasZero(word ^ (kEveryByte * static_cast<unsigned char>(byte))); }

// Whether any byte of the text is one `stops` finds in a word. The last bytes of a text of
// eight or more are asked as the word that ends it, over bytes already asked; a shorter text is
// filled out with a byte that stops nothing.
template <typename Stops>
inline bool AnyStop(std::string_view text, Stops&& stops)
{
    if (text.size() < 8) {
        char word[8] = {'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'};
        for (std::size_t i = 0; i < text.size(); ++i) word[i] = text[i];
        return stops(WordAt(std::string_view(word, sizeof word), 0));
    }
    std::size_t i = 0;
    for (; i + 8 <= text.size(); i += 8) {
        if (stops(WordAt(text, i))) return true;
    }
    return i < text.size() && stops(WordAt(text, text.size() - 8));
}

}  // namespace quillbox::word_scan
