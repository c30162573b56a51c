#include "base/Crc32.h"

#include <array>

namespace quillbox {

namespace {

constexpr std::array<std::uint32_t, 256> MakeTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t byte = 0; byte < table.size(); ++byte) {
        std::uint32_t value = byte;
        for (int bit = 0; bit < 8; ++bit) value = (value & 1) != 0 ? 0xEDB88320u ^ (value >> 1) : value >> 1;
        table[byte] = value;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kTable = MakeTable();

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous)
{
    std::uint32_t crc = ~previous;
    for (const std::uint8_t byte : bytes) crc = kTable[(crc ^ byte) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::uint32_t Crc32(std::string_view text, std::uint32_t previous)
{
    return Crc32(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()), previous);
}

}  // namespace quillbox
