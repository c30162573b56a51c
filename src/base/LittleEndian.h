#pragma once

#include "base/Bytes.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace quillbox {

// The games store every number least significant byte first, whatever the host does.
inline std::uint32_t ReadLittleEndian(std::span<const Byte> bytes, std::size_t at, int width)
{
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = value << 8 | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

inline std::uint16_t ReadLe16(std::span<const Byte> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

// Written as one expression of four bytes, which GCC and clang turn into a single load on a
// little-endian host; the passes over every word of the ROM depend on it.
inline std::uint32_t ReadLe32(std::span<const Byte> bytes, std::size_t at)
{
    const Byte* b = bytes.data() + at;
    return static_cast<std::uint32_t>(b[0]) | static_cast<std::uint32_t>(b[1]) << 8 | static_cast<std::uint32_t>(b[2]) << 16 |
           static_cast<std::uint32_t>(b[3]) << 24;
}

inline Bytes LittleEndianBytes(std::uint32_t value, int width)
{
    Bytes bytes(static_cast<std::size_t>(width));
    for (auto& byte : bytes) {
        byte = static_cast<Byte>(value & 0xFF);
        value >>= 8;
    }
    return bytes;
}

inline void PutLittleEndian(Bytes& bytes, std::size_t at, std::uint32_t value, int width)
{
    for (int i = 0; i < width; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<Byte>(value >> (8 * i) & 0xFF);
}

}  // namespace quillbox
