#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillbox::fuzz {

// What decoding game text and encoding it again must give back: the same bytes, except that
// 0x2B, which shares "&" with 0x2D, comes back as 0x2D unless it is the argument byte of a
// 0xFC or 0xFD (arguments are written as "\h" escapes and keep their value).
inline std::vector<std::uint8_t> ExpectedAfterRoundTrip(std::span<const std::uint8_t> bytes)
{
    std::vector<std::uint8_t> expected(bytes.begin(), bytes.end());
    bool argument = false;
    for (std::uint8_t& byte : expected) {
        if (argument) {
            argument = false;
            continue;
        }
        if (byte == 0x2B) {
            byte = 0x2D;
        }
        argument = byte == 0xFC || byte == 0xFD;
    }
    return expected;
}

}  // namespace quillbox::fuzz
