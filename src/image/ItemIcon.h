#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quillbox {

inline constexpr int kIconSize = 24;
inline constexpr int kTileSize = 8;
inline constexpr int kIconTiles = (kIconSize / kTileSize) * (kIconSize / kTileSize);
// How many bytes the window's drawing reads at an offset and decompresses into.
inline constexpr int kImageBufferSize = 32193;
// What the icon is made of: 3 by 3 tiles of 32 bytes, and 16 palette words.
inline constexpr int kIconTileBytes = kIconTiles * 32;
inline constexpr int kIconPaletteBytes = 16 * 2;
// How much of a stream drawing the icon reads. Each byte out of the decoder takes at most one
// byte in, with a flag byte before every eight and the last reference's second byte; so the
// icon's bytes come out of this much input, whatever follows it, as they come out of the whole
// buffer, and nothing else of the buffer is drawn.
inline constexpr int kIconStreamBytes = 4 + kIconTileBytes + kIconTileBytes / 8 + 2;

// 24 by 24 pixels, row by row, as 0xAARRGGBB; alpha 0 where colour index 0 leaves the box's
// background showing.
struct IconPixels {
    std::array<std::uint32_t, kIconSize * kIconSize> argb{};

    std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y * kIconSize + x)]; }
};

// A 15-bit palette word as opaque ARGB, each channel v becoming v * 8; bit 15 is ignored.
std::uint32_t PaletteWordToArgb(std::uint16_t word);

// Composes the icon from decompressed 4-bit tiles (3 by 3 tiles of 32 bytes) and a decompressed
// palette (16 little-endian words). Bytes missing from either buffer read as 0.
IconPixels ComposeIcon(std::span<const std::uint8_t> tiles, std::span<const std::uint8_t> palette);

// Decompresses both streams as the window does (each from a 32193-byte input, zero-filled past
// the bytes given, into a 32193-byte zero-filled buffer) and composes the icon. Only the bytes
// the icon is made of are decoded: the same as decoding the whole buffer.
IconPixels DecodeIcon(std::span<const std::uint8_t> compressedTiles, std::span<const std::uint8_t> compressedPalette);

}  // namespace quillbox
