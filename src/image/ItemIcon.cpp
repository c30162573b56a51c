#include "image/ItemIcon.h"

#include "image/Lz77.h"

#include <algorithm>
#include <cstddef>
#include <vector>

namespace quillbox {

namespace {

constexpr int kColours = 16;
constexpr int kTileBytes = kTileSize * kTileSize / 2;
constexpr int kTileColumns = kIconSize / kTileSize;
constexpr std::uint32_t kTransparent = 0x00000000U;

std::uint8_t ByteAt(std::span<const std::uint8_t> bytes, std::size_t position) {
    return position < bytes.size() ? bytes[position] : std::uint8_t{0};
}

std::uint32_t ChannelTo8Bit(std::uint16_t word, int shift) {
    return static_cast<std::uint32_t>((word >> shift) & 0x1F) * 8U;
}

std::vector<std::uint8_t> DecompressAsWindowDoes(std::span<const std::uint8_t> compressed, int wanted) {
    // The window always reads a full buffer from the file, so a stream that ends early is
    // followed by zeros rather than by the end of the input; the decoder never reaches past
    // kIconStreamBytes for the bytes wanted, so zeros up to there stand for the whole buffer.
    std::vector<std::uint8_t> input(static_cast<std::size_t>(kIconStreamBytes), 0);
    std::copy_n(compressed.begin(), std::min(compressed.size(), input.size()), input.begin());
    std::vector<std::uint8_t> output(static_cast<std::size_t>(wanted), 0);
    DecompressLz77(input, output);
    return output;
}

}  // namespace

std::uint32_t PaletteWordToArgb(std::uint16_t word) {
    return 0xFF000000U | (ChannelTo8Bit(word, 0) << 16) | (ChannelTo8Bit(word, 5) << 8) | ChannelTo8Bit(word, 10);
}

IconPixels ComposeIcon(std::span<const std::uint8_t> tiles, std::span<const std::uint8_t> palette) {
    std::array<std::uint32_t, kColours> colours{};
    colours[0] = kTransparent;
    for (std::size_t index = 1; index < colours.size(); ++index) {
        const auto word = static_cast<std::uint16_t>(ByteAt(palette, 2 * index) | (ByteAt(palette, 2 * index + 1) << 8));
        colours[index] = PaletteWordToArgb(word);
    }

    IconPixels icon;
    for (int tile = 0; tile < kIconTiles; ++tile) {
        const int left = kTileSize * (tile % kTileColumns);
        const int top = kTileSize * (tile / kTileColumns);
        for (int k = 0; k < kTileBytes; ++k) {
            const std::uint8_t pair = ByteAt(tiles, static_cast<std::size_t>(tile * kTileBytes + k));
            const int x = left + 2 * (k % 4);
            const int y = top + k / 4;
            const auto row = static_cast<std::size_t>(y * kIconSize);
            icon.argb[row + static_cast<std::size_t>(x)] = colours[pair & 0x0F];
            icon.argb[row + static_cast<std::size_t>(x + 1)] = colours[pair >> 4];
        }
    }
    return icon;
}

IconPixels DecodeIcon(std::span<const std::uint8_t> compressedTiles, std::span<const std::uint8_t> compressedPalette) {
    const std::vector<std::uint8_t> tiles = DecompressAsWindowDoes(compressedTiles, kIconTileBytes);
    const std::vector<std::uint8_t> palette = DecompressAsWindowDoes(compressedPalette, kIconPaletteBytes);
    return ComposeIcon(tiles, palette);
}

}  // namespace quillbox
