#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace quillbox {

// The CRC-32 of zlib, PNG and zip (reflected polynomial EDB88320, all bits inverted before and
// after). History files already on disk carry these values, so they must never change.
// `previous` continues a checksum: Crc32(b, Crc32(a)) is the checksum of a followed by b.
std::uint32_t Crc32(std::span<const std::uint8_t> bytes, std::uint32_t previous = 0);
std::uint32_t Crc32(std::string_view text, std::uint32_t previous = 0);

}  // namespace quillbox
