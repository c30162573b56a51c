#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quillbox {

// Expands a GBA BIOS LZ77 (type 0x10) stream into `output`, which the caller zero-fills and
// which is never grown. Never fails: positions past the input read as 0, references before the
// start of the output copy 0, writes past the output are dropped. Returns the declared size
// (0 when the header's top byte is 0x80 or more), not the number of bytes that fitted.
std::int32_t DecompressLz77(std::span<const std::uint8_t> input, std::span<std::uint8_t> output);

// A stream the console's VRAM-safe decompressor accepts: no back-reference closer than 2 bytes.
// Empty for data longer than 0x7FFFFF bytes, more than a header the decoder accepts can declare.
std::vector<std::uint8_t> CompressLz77(std::span<const std::uint8_t> data);

}  // namespace quillbox
