#include "image/IconImport.h"

#include "support/PngFiles.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace quillbox {
namespace {

// What the console shows for a colour: each channel cut to 5 bits, rounded, shown as v * 8.
std::uint32_t Shown(std::uint32_t argb)
{
    auto channel = [&](int shift) { return std::min<std::uint32_t>((((argb >> shift) & 0xFF) + 4) / 8, 31) * 8; };
    return 0xFF000000u | channel(16) << 16 | channel(8) << 8 | channel(0);
}

PngImage Picture(int width, int height, std::vector<std::uint32_t> argb)
{
    PngImage picture;
    picture.width = width;
    picture.height = height;
    picture.argb = std::move(argb);
    return picture;
}

std::vector<std::uint32_t> RandomColours(std::mt19937& random, int count)
{
    std::set<std::uint32_t> shown;
    std::vector<std::uint32_t> colours;
    while (static_cast<int>(colours.size()) < count) {
        const std::uint32_t colour = 0xFF000000u | (static_cast<std::uint32_t>(random()) & 0xFFFFFF);
        if (shown.insert(Shown(colour)).second) colours.push_back(colour);
    }
    return colours;
}

// Random icons of up to 15 colours plus transparent pixels: composing the quantised icon shows
// every pixel as the console shows its colour, and the transparent ones not at all.
TEST(IconImportTest, QuantisedIconsComposeToTheRoundedPicture)
{
    std::mt19937 random(15);
    for (int round = 0; round < 200; ++round) {
        const auto colours = RandomColours(random, 1 + static_cast<int>(random() % 15));
        std::vector<std::uint32_t> argb(kIconSize * kIconSize);
        for (std::uint32_t& pixel : argb) {
            pixel = random() % 4 == 0 ? static_cast<std::uint32_t>(random()) & 0x7FFFFFFFu : colours[random() % colours.size()];
        }
        auto icon = QuantiseIcon(Picture(kIconSize, kIconSize, argb));
        ASSERT_TRUE(icon) << icon.error().message;
        const IconPixels composed = ComposeIcon(IconTileBytes(*icon), IconPaletteBytes(*icon));
        for (std::size_t i = 0; i < argb.size(); ++i) {
            ASSERT_EQ(composed.argb[i], (argb[i] >> 24) < 128 ? 0u : Shown(argb[i])) << "round " << round << ", pixel " << i;
        }
    }
}

PngImage Decoded(const Bytes& file)
{
    auto decoded = DecodePng(file);
    if (!decoded) throw std::runtime_error(decoded.error().message);
    return *decoded;
}

// Without transparent pixels, the colour seen most on the border is the transparent one, the first
// of equals in reading order: of 16 greys running diagonally, greys 1 to 13 are on the border six
// times each (grey 0 five times), and grey 1 comes first.
TEST(IconImportTest, TheCommonestBorderColourBecomesTransparent)
{
    auto icon = QuantiseIcon(Decoded(test::IndexedPng(24, 24, 16)));
    ASSERT_TRUE(icon) << icon.error().message;
    EXPECT_EQ(icon->colours, 15);
    const IconPixels composed = ComposeIcon(IconTileBytes(*icon), IconPaletteBytes(*icon));
    for (int y = 0; y < kIconSize; ++y) {
        for (int x = 0; x < kIconSize; ++x) EXPECT_EQ(composed.At(x, y) == 0u, (x + y) % 16 == 1) << x << "," << y;
    }
}

}  // namespace
}  // namespace quillbox
