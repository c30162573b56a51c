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

// Random icons of up to 15 colours plus transparent pixels, or of up to 16 opaque colours of
// which the border's commonest becomes transparent: composing the quantised icon shows every
// pixel as the console shows its colour.
TEST(IconImportTest, QuantisedIconsComposeToTheRoundedPicture)
{
    std::mt19937 random(15);
    for (int round = 0; round < 200; ++round) {
        const bool transparent = round % 2 == 0;
        const int count = 1 + static_cast<int>(random() % 15) + (transparent ? 0 : 1);
        const auto colours = RandomColours(random, count);
        std::vector<std::uint32_t> argb(kIconSize * kIconSize);
        for (std::uint32_t& pixel : argb) {
            pixel = transparent && random() % 4 == 0 ? static_cast<std::uint32_t>(random()) & 0x7FFFFFFFu
                                                     : colours[random() % colours.size()];
        }
        const PngImage picture = Picture(kIconSize, kIconSize, argb);
        auto icon = QuantiseIcon(picture);
        ASSERT_TRUE(icon) << icon.error().message;
        std::uint32_t background = 0;
        if (!transparent) {
            std::vector<std::uint32_t> border;
            for (int i = 0; i < kIconSize * kIconSize; ++i) {
                const int x = i % kIconSize, y = i / kIconSize;
                if (x == 0 || y == 0 || x == kIconSize - 1 || y == kIconSize - 1) border.push_back(Shown(argb[static_cast<std::size_t>(i)]));
            }
            std::size_t best = 0;
            for (std::uint32_t colour : border) {
                const auto n = static_cast<std::size_t>(std::count(border.begin(), border.end(), colour));
                if (n > best) best = n, background = colour;
            }
        }
        const IconPixels composed = ComposeIcon(IconTileBytes(*icon), IconPaletteBytes(*icon));
        for (int i = 0; i < kIconSize * kIconSize; ++i) {
            const std::uint32_t original = argb[static_cast<std::size_t>(i)];
            const bool clear = (original >> 24) < 128 || (!transparent && Shown(original) == background);
            ASSERT_EQ(composed.argb[static_cast<std::size_t>(i)], clear ? 0u : Shown(original))
                << "round " << round << ", pixel " << i;
        }
    }
}

struct RefusalCase {
    std::string name;
    PngImage picture;
    std::string fragment;
};

void PrintTo(const RefusalCase& row, std::ostream* out) { *out << row.name; }

PngImage Decoded(const Bytes& file)
{
    auto decoded = DecodePng(file);
    if (!decoded) throw std::runtime_error(decoded.error().message);
    return *decoded;
}

std::vector<std::uint32_t> Greys(int count)
{
    std::vector<std::uint32_t> argb(kIconSize * kIconSize);
    for (std::size_t i = 0; i < argb.size(); ++i) {
        const auto grey = static_cast<std::uint32_t>((i % static_cast<std::size_t>(count)) * 8);
        argb[i] = 0xFF000000u | grey << 16 | grey << 8 | grey;
    }
    return argb;
}

class IconRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(IconRefusalTest, SaysWhy)
{
    auto icon = QuantiseIcon(GetParam().picture);
    ASSERT_FALSE(icon);
    EXPECT_EQ(icon.error().code, ErrorCode::BadImageFile);
    EXPECT_NE(icon.error().message.find(GetParam().fragment), std::string::npos) << icon.error().message;
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, IconRefusalTest,
    ::testing::Values(RefusalCase{"Narrower", Picture(23, 24, std::vector<std::uint32_t>(23 * 24, 0xFF000000u)), "23 by 24"},
                      RefusalCase{"Larger", Picture(32, 32, std::vector<std::uint32_t>(32 * 32, 0xFF000000u)), "32 by 32"},
                      RefusalCase{"SeventeenOpaqueColours", Picture(kIconSize, kIconSize, Greys(17)), "more than 15 colours"},
                      RefusalCase{"Interlaced", Decoded(test::IndexedPng(24, 24, 4, true)), "interlaced"},
                      RefusalCase{"SeventeenPaletteEntries", Decoded(test::IndexedPng(24, 24, 17)), "17 entries"}),
    [](const ::testing::TestParamInfo<RefusalCase>& row) { return row.param.name; });

TEST(IconImportTest, SixteenPaletteEntriesWithTheBorderColourAreAccepted)
{
    auto icon = QuantiseIcon(Decoded(test::IndexedPng(24, 24, 16)));
    ASSERT_TRUE(icon) << icon.error().message;
    EXPECT_EQ(icon->colours, 15);
}

}  // namespace
}  // namespace quillbox
