#include "image/ItemIcon.h"
#include "image/Lz77.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace quillbox {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kTransparent = 0x00000000U;
constexpr std::uint32_t kOpaqueBlack = 0xFF000000U;
constexpr std::size_t kTileBytes = 32;

Bytes PaletteBytes(const std::vector<std::uint16_t>& words) {
    Bytes bytes;
    for (const std::uint16_t word : words) {
        bytes.push_back(static_cast<std::uint8_t>(word & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(word >> 8));
    }
    return bytes;
}

// Index n gets a colour no other index has, so a pixel tells which index drew it.
Bytes DistinctPalette() {
    std::vector<std::uint16_t> words;
    for (std::uint16_t n = 0; n < 16; ++n) {
        words.push_back(static_cast<std::uint16_t>(n | (31 - n) << 5 | (n * 2) << 10));
    }
    return PaletteBytes(words);
}

std::uint32_t DistinctColour(int index) {
    const Bytes palette = DistinctPalette();
    const auto n = static_cast<std::size_t>(index);
    return PaletteWordToArgb(static_cast<std::uint16_t>(palette[2 * n] | palette[2 * n + 1] << 8));
}

struct Pixel {
    int x;
    int y;
    std::uint32_t argb;
};

// Every pixel not listed must be transparent.
void ExpectOnly(const IconPixels& icon, const std::vector<Pixel>& drawn) {
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) {
            std::uint32_t expected = kTransparent;
            for (const Pixel& pixel : drawn) {
                if (pixel.x == x && pixel.y == y) {
                    expected = pixel.argb;
                }
            }
            EXPECT_EQ(icon.At(x, y), expected) << "pixel (" << x << ", " << y << ")";
        }
    }
}

// ---- Palette words ----

struct PaletteCase {
    std::string name;
    std::uint16_t word;
    std::uint32_t argb;
};

class PaletteWordCases : public ::testing::TestWithParam<PaletteCase> {};

TEST_P(PaletteWordCases, ConvertsToOpaqueArgb) {
    EXPECT_EQ(PaletteWordToArgb(GetParam().word), GetParam().argb);
}

INSTANTIATE_TEST_SUITE_P(ItemIcon, PaletteWordCases,
                         ::testing::Values(PaletteCase{"White", 0x7FFF, 0xFFF8F8F8},
                                           PaletteCase{"Red", 0x001F, 0xFFF80000},
                                           PaletteCase{"Green", 0x03E0, 0xFF00F800},
                                           PaletteCase{"Blue", 0x7C00, 0xFF0000F8},
                                           PaletteCase{"Black", 0x0000, 0xFF000000},
                                           PaletteCase{"LowestStepOfEachChannel", 0x0421, 0xFF080808},
                                           PaletteCase{"ChannelsKeptApart", 0x0C41, 0xFF081018},
                                           PaletteCase{"Bit15AloneIsBlack", 0x8000, 0xFF000000},
                                           PaletteCase{"Bit15WithWhite", 0xFFFF, 0xFFF8F8F8},
                                           PaletteCase{"Bit15WithRed", 0x801F, 0xFFF80000}),
                         [](const ::testing::TestParamInfo<PaletteCase>& row) { return row.param.name; });

TEST(ItemIconPalette, Bit15NeverChangesTheColour) {
    for (unsigned word = 0; word < 0x8000; ++word) {
        ASSERT_EQ(PaletteWordToArgb(static_cast<std::uint16_t>(word | 0x8000)),
                  PaletteWordToArgb(static_cast<std::uint16_t>(word)))
            << "word " << word;
    }
}

// ---- Tile geometry ----

struct TilePlacement {
    int tile;
    int left;
    int top;
};

class TilePlacementCases : public ::testing::TestWithParam<TilePlacement> {};

TEST_P(TilePlacementCases, TileLandsAtItsCorner) {
    const TilePlacement& placement = GetParam();
    Bytes tiles(kIconTiles * kTileBytes, 0);
    const auto first = static_cast<std::size_t>(placement.tile) * kTileBytes;
    tiles[first] = 0x01;
    tiles[first + kTileBytes - 1] = 0x20;
    const IconPixels icon = ComposeIcon(tiles, DistinctPalette());
    ExpectOnly(icon, {{placement.left, placement.top, DistinctColour(1)},
                      {placement.left + 7, placement.top + 7, DistinctColour(2)}});
}

INSTANTIATE_TEST_SUITE_P(ItemIcon, TilePlacementCases,
                         ::testing::Values(TilePlacement{0, 0, 0}, TilePlacement{1, 8, 0}, TilePlacement{2, 16, 0},
                                           TilePlacement{3, 0, 8}, TilePlacement{4, 8, 8}, TilePlacement{5, 16, 8},
                                           TilePlacement{6, 0, 16}, TilePlacement{7, 8, 16},
                                           TilePlacement{8, 16, 16}),
                         [](const ::testing::TestParamInfo<TilePlacement>& row) {
                             return "Tile" + std::to_string(row.param.tile);
                         });

struct BytePlacement {
    int byte;
    int left;
    int row;
};

class BytePlacementCases : public ::testing::TestWithParam<BytePlacement> {};

TEST_P(BytePlacementCases, LowNibbleIsLeftPixelHighNibbleRightPixel) {
    const BytePlacement& placement = GetParam();
    Bytes tiles(kIconTiles * kTileBytes, 0);
    tiles[static_cast<std::size_t>(placement.byte)] = 0x21;
    const IconPixels icon = ComposeIcon(tiles, DistinctPalette());
    ExpectOnly(icon, {{placement.left, placement.row, DistinctColour(1)},
                      {placement.left + 1, placement.row, DistinctColour(2)}});
}

INSTANTIATE_TEST_SUITE_P(ItemIcon, BytePlacementCases,
                         ::testing::Values(BytePlacement{0, 0, 0}, BytePlacement{1, 2, 0}, BytePlacement{2, 4, 0},
                                           BytePlacement{3, 6, 0}, BytePlacement{4, 0, 1}, BytePlacement{5, 2, 1},
                                           BytePlacement{13, 2, 3}, BytePlacement{27, 6, 6},
                                           BytePlacement{28, 0, 7}, BytePlacement{31, 6, 7}),
                         [](const ::testing::TestParamInfo<BytePlacement>& row) {
                             return "Byte" + std::to_string(row.param.byte);
                         });

TEST(ItemIconCompose, EveryIndexDrawsItsOwnPaletteWord) {
    Bytes tiles(kIconTiles * kTileBytes, 0);
    // Row 0 of tile 0 holds indices 0..7, row 1 holds 8..15.
    for (std::size_t k = 0; k < 8; ++k) {
        tiles[k] = static_cast<std::uint8_t>((2 * k) | (2 * k + 1) << 4);
    }
    const IconPixels icon = ComposeIcon(tiles, DistinctPalette());
    std::vector<Pixel> drawn;
    for (int index = 1; index < 16; ++index) {
        drawn.push_back({index % 8, index / 8, DistinctColour(index)});
    }
    ExpectOnly(icon, drawn);
}

TEST(ItemIconCompose, IndexZeroIsTransparentWhateverItsPaletteWord) {
    Bytes tiles(kIconTiles * kTileBytes, 0);
    tiles[0] = 0x10;
    const IconPixels icon = ComposeIcon(tiles, PaletteBytes({0x7FFF, 0x001F}));
    ExpectOnly(icon, {{1, 0, 0xFFF80000}});
}

TEST(ItemIconCompose, ColoursPastTheGivenPaletteAreOpaqueBlack) {
    Bytes tiles(kIconTiles * kTileBytes, 0);
    tiles[0] = 0x21;
    tiles[1] = 0xF3;
    const IconPixels icon = ComposeIcon(tiles, PaletteBytes({0x0000, 0x7FFF, 0x03E0}));
    ExpectOnly(icon, {{0, 0, 0xFFF8F8F8}, {1, 0, 0xFF00F800}, {2, 0, kOpaqueBlack}, {3, 0, kOpaqueBlack}});
}

TEST(ItemIconCompose, HalfAWordPastThePaletteReadsItsHighByteAsZero) {
    Bytes tiles(kIconTiles * kTileBytes, 0);
    tiles[0] = 0x01;
    // Only the low byte of word 1 is present.
    const IconPixels icon = ComposeIcon(tiles, Bytes{0x00, 0x00, 0x1F});
    ExpectOnly(icon, {{0, 0, 0xFFF80000}});
}

TEST(ItemIconCompose, TilesPastTheGivenDataAreNotDrawn) {
    Bytes tiles(4 * kTileBytes + 1, 0x11);
    const IconPixels icon = ComposeIcon(tiles, DistinctPalette());
    std::vector<Pixel> drawn;
    for (int tile = 0; tile < 4; ++tile) {
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                drawn.push_back({8 * (tile % 3) + x, 8 * (tile / 3) + y, DistinctColour(1)});
            }
        }
    }
    drawn.push_back({8, 8, DistinctColour(1)});
    drawn.push_back({9, 8, DistinctColour(1)});
    ExpectOnly(icon, drawn);
}

TEST(ItemIconCompose, TileDataBeyondNineTilesIsUnused) {
    Bytes tiles(10 * kTileBytes, 0);
    std::fill(tiles.begin() + 9 * kTileBytes, tiles.end(), 0xFF);
    ExpectOnly(ComposeIcon(tiles, DistinctPalette()), {});
}

TEST(ItemIconCompose, NoDataAtAllIsFullyTransparent) {
    ExpectOnly(ComposeIcon({}, {}), {});
}

// ---- Decoding compressed streams ----

TEST(ItemIconDecode, MatchesComposingTheDecompressedData) {
    Bytes tiles(kIconTiles * kTileBytes);
    for (std::size_t i = 0; i < tiles.size(); ++i) {
        tiles[i] = static_cast<std::uint8_t>((i * 37 + i / 32) & 0xFF);
    }
    tiles[0] = 0x20;
    const Bytes palette = DistinctPalette();
    const IconPixels decoded = DecodeIcon(CompressLz77(tiles), CompressLz77(palette));
    const IconPixels composed = ComposeIcon(tiles, palette);
    EXPECT_EQ(decoded.argb, composed.argb);
    EXPECT_EQ(decoded.At(0, 0), kTransparent);
    EXPECT_EQ(decoded.At(1, 0), DistinctColour(2));
}

TEST(ItemIconDecode, ShortPaletteStreamDrawsMissingColoursBlack) {
    Bytes tiles(kIconTiles * kTileBytes, 0);
    tiles[0] = 0x21;
    tiles[1] = 0x43;
    // The palette stream declares 6 bytes: words 0 to 2 only.
    const IconPixels icon = DecodeIcon(CompressLz77(tiles), CompressLz77(PaletteBytes({0x7FFF, 0x001F, 0x7C00})));
    ExpectOnly(icon, {{0, 0, 0xFFF80000}, {1, 0, 0xFF0000F8}, {2, 0, kOpaqueBlack}, {3, 0, kOpaqueBlack}});
}

TEST(ItemIconDecode, StreamEndingEarlyIsFollowedByZeros) {
    // Literals 0x11 0x22, a reference of length 4 at distance 2, then a reference whose bytes
    // lie past the stream. Read from a zero-filled buffer it is length 3 at distance 1, and the
    // literal after it is 0; taken as the end of the input it would repeat length 4, distance 2.
    const Bytes tiles = {0x10, 0x0A, 0x00, 0x00, 0x30, 0x11, 0x22, 0x10, 0x01};
    const IconPixels icon = DecodeIcon(tiles, CompressLz77(DistinctPalette()));
    const std::uint32_t one = DistinctColour(1);
    const std::uint32_t two = DistinctColour(2);
    ExpectOnly(icon, {{0, 0, one}, {1, 0, one}, {2, 0, two}, {3, 0, two}, {4, 0, one}, {5, 0, one}, {6, 0, two},
                      {7, 0, two}, {0, 1, one}, {1, 1, one}, {2, 1, two}, {3, 1, two}, {4, 1, two}, {5, 1, two},
                      {6, 1, two}, {7, 1, two}, {0, 2, two}, {1, 2, two}});
}

TEST(ItemIconDecode, RefusedStreamsDrawNothing) {
    Bytes tiles(kIconTiles * kTileBytes, 0x11);
    Bytes stream = CompressLz77(tiles);
    stream[3] = 0x80;
    ExpectOnly(DecodeIcon(stream, CompressLz77(DistinctPalette())), {});
}

// Drawing decodes only the start of each stream; it must draw what decoding the whole 32193-byte
// buffers draws, for streams of every shape: references reaching before the start, a stream
// cut off inside a reference, declared sizes short of the icon and past the buffer, and the
// icon's bytes lying just before the input the drawing reads runs out.
TEST(ItemIconDecode, DrawsWhatTheWholeBuffersDraw) {
    std::mt19937 random(20261210);
    auto whole = [](const Bytes& stream) {
        Bytes input(static_cast<std::size_t>(kImageBufferSize), 0);
        std::copy_n(stream.begin(), std::min(stream.size(), input.size()), input.begin());
        Bytes output(static_cast<std::size_t>(kImageBufferSize), 0);
        DecompressLz77(input, output);
        return output;
    };
    // Blocks of a flag byte and eight items; shape 2 is literals alone, which take the most input
    // for the icon's bytes.
    auto stream = [&random](int shape) {
        const auto declared = shape == 0 ? random() % 400 : shape == 1 ? 0xFFFF : 288 + random() % 64;
        Bytes bytes = {0x10, static_cast<std::uint8_t>(declared & 0xFF), static_cast<std::uint8_t>(declared >> 8), 0};
        const std::size_t length = 4 + random() % (2 * static_cast<std::size_t>(kIconStreamBytes));
        while (bytes.size() < length) {
            const auto flags = static_cast<std::uint8_t>(shape == 2 ? 0 : random());
            bytes.push_back(flags);
            for (int item = 0; item < 8; ++item) {
                if ((flags & (0x80 >> item)) == 0) {
                    bytes.push_back(static_cast<std::uint8_t>(random()));
                    continue;
                }
                // A length, and a distance mostly short enough to copy what was decoded.
                const auto far = random() % 8 == 0 ? random() & 0x0F : 0;
                bytes.push_back(static_cast<std::uint8_t>((random() & 0xF0) | far));
                bytes.push_back(static_cast<std::uint8_t>(random() % 32));
            }
        }
        bytes.resize(length);
        return bytes;
    };
    for (int round = 0; round < 3000; ++round) {
        const Bytes tiles = round % 5 == 4 ? CompressLz77(Bytes(kIconTiles * kTileBytes, static_cast<std::uint8_t>(round)))
                                           : stream(round % 3);
        const Bytes palette = stream((round / 3) % 3);
        const IconPixels drawn = DecodeIcon(tiles, palette);
        const IconPixels expected = ComposeIcon(whole(tiles), whole(palette));
        ASSERT_EQ(drawn.argb, expected.argb) << "round " << round;
    }
}

}  // namespace
}  // namespace quillbox
