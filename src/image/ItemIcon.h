#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace quillbox {

inline constexpr int kIconSize = 24;
inline constexpr int kTileSize = 8;
inline constexpr int kIconTiles = (kIconSize / kTileSize) * (kIconSize / kTileSize);
// How many bytes one drawing reads at an offset and decompresses into.
inline constexpr int kImageBufferSize = 32193;

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

// Decompresses both streams as the window does (each from a 32193-byte input into a 32193-byte
// zero-filled buffer) and composes the icon.
IconPixels DecodeIcon(std::span<const std::uint8_t> compressedTiles, std::span<const std::uint8_t> compressedPalette);

}  // namespace quillbox
