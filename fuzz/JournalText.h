#pragma once

// Journal lines as the history beside a ROM keeps them, for the history harness and its seeds.
// The checksum is computed here on its own, not by the code under test, so that a line the
// reader accepts against a wrong checksum shows up.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillbox::fuzz {

// The byte at each offset of the ROMs the history harness lays out, so that the seeds' headers and
// "before" bytes are what those files hold.
inline std::uint8_t PatternByte(std::size_t at) { return static_cast<std::uint8_t>(at * 7 + 3); }

// CRC-32 as zip and PNG use it, one bit at a time.
inline std::uint32_t Crc32(std::string_view text)
{
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const char c : text) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

inline std::string Hex32(std::uint32_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text(8, '0');
    for (int i = 7; i >= 0; --i, value >>= 4) text[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return text;
}

// Whether the text after the line's last tab is eight hexadecimal digits, of either case, that
// give the checksum of everything before that tab.
inline bool ChecksumHolds(std::string_view line)
{
    const std::size_t tab = line.rfind('\t');
    if (tab == std::string_view::npos || line.size() - tab - 1 != 8) return false;
    std::uint32_t value = 0;
    for (const char c : line.substr(tab + 1)) {
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'A' && c <= 'F' ? c - 'A' + 10 : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
        if (digit < 0) return false;
        value = value << 4 | static_cast<std::uint32_t>(digit);
    }
    return value == Crc32(line.substr(0, tab));
}

// Every line that holds a tab ends in the checksum of what stands before its last tab, so that
// the reader looks past its first gate.
inline std::string WithChecksums(std::string_view journal)
{
    std::string out;
    out.reserve(journal.size() + 16);
    std::size_t start = 0;
    while (start <= journal.size()) {
        std::size_t end = journal.find('\n', start);
        const bool last = end == std::string_view::npos;
        if (last) end = journal.size();
        const std::string_view line = journal.substr(start, end - start);
        const std::size_t tab = line.rfind('\t');
        if (tab == std::string_view::npos) {
            out += line;
        } else {
            out += line.substr(0, tab + 1);
            out += Hex32(Crc32(line.substr(0, tab)));
        }
        if (last) break;
        out += '\n';
        start = end + 1;
    }
    return out;
}

}  // namespace quillbox::fuzz
