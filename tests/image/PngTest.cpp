#include "image/Png.h"

#include "support/PngFiles.h"

#include <gtest/gtest.h>

#include <random>

namespace quillbox {
namespace {

std::vector<std::uint32_t> RandomPixels(std::mt19937& random, int count)
{
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(count));
    for (std::uint32_t& pixel : pixels) pixel = static_cast<std::uint32_t>(random());
    return pixels;
}

TEST(PngTest, EncodedPicturesDecodeToTheSamePixels)
{
    std::mt19937 random(24);
    for (int round = 0; round < 40; ++round) {
        const int width = 1 + static_cast<int>(random() % 40);
        const int height = 1 + static_cast<int>(random() % 40);
        const auto pixels = RandomPixels(random, width * height);
        auto encoded = EncodePng(width, height, pixels);
        ASSERT_TRUE(encoded) << encoded.error().message;
        auto decoded = DecodePng(*encoded);
        ASSERT_TRUE(decoded) << decoded.error().message;
        EXPECT_EQ(decoded->width, width);
        EXPECT_EQ(decoded->height, height);
        EXPECT_EQ(decoded->argb, pixels) << width << " by " << height;
        EXPECT_FALSE(decoded->interlaced);
        EXPECT_FALSE(decoded->indexed);
    }
}

// However little is cut off, even only the end chunk, the file is refused.
TEST(PngTest, EveryTruncationIsRefused)
{
    std::mt19937 random(3);
    const auto pixels = RandomPixels(random, 24 * 24);
    const auto encoded = EncodePng(24, 24, pixels);
    ASSERT_TRUE(encoded);
    for (std::size_t length = 0; length < encoded->size(); ++length) {
        auto decoded = DecodePng(std::span(encoded->data(), length));
        ASSERT_FALSE(decoded) << "cut to " << length << " of " << encoded->size() << " bytes";
        EXPECT_EQ(decoded.error().code, ErrorCode::BadImageFile);
    }
}

TEST(PngTest, TellsInterlacingAndPaletteLength)
{
    for (bool interlaced : {false, true}) {
        for (int entries : {1, 2, 16, 17, 256}) {
            const Bytes file = test::IndexedPng(24, 24, entries, interlaced);
            auto decoded = DecodePng(file);
            ASSERT_TRUE(decoded) << decoded.error().message;
            EXPECT_EQ(decoded->interlaced, interlaced);
            EXPECT_TRUE(decoded->indexed);
            EXPECT_EQ(decoded->paletteEntries, entries);
            const auto grey = static_cast<std::uint32_t>(((5 + 7) % entries) * 8);
            EXPECT_EQ(decoded->At(5, 7), 0xFF000000u | grey << 16 | grey << 8 | grey);
        }
    }
}

}  // namespace
}  // namespace quillbox
