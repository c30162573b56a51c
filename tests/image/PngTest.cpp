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

// Whatever byte of a file is changed, the file is refused: the chunks' checksums cover all but
// the signature and the lengths, and a wrong length leaves the chunks that follow misplaced.
TEST(PngTest, EveryChangedByteIsRefused)
{
    std::mt19937 random(9);
    for (const Bytes& file : {*EncodePng(24, 24, RandomPixels(random, 24 * 24)), test::IndexedPng(24, 24, 16, true)}) {
        for (std::size_t at = 0; at < file.size(); ++at) {
            Bytes changed = file;
            changed[at] ^= static_cast<Byte>(1 + random() % 255);
            auto decoded = DecodePng(changed);
            ASSERT_FALSE(decoded) << "byte " << at << " of " << file.size() << " changed";
            EXPECT_EQ(decoded.error().code, ErrorCode::BadImageFile);
        }
    }
}

struct Layout {
    std::uint8_t colourType;
    std::uint8_t bitDepth;
};

// Samples of every depth become 8-bit channels as PNG asks: 16-bit ones keep their high byte,
// narrower ones are stretched to 0-255; indexed pixels take their palette colour.
TEST(PngTest, DecodesEveryColourTypeAndDepth)
{
    const Layout layouts[] = {{0, 1}, {0, 2}, {0, 4}, {0, 8}, {0, 16}, {2, 8}, {2, 16}, {3, 1}, {3, 2},
                              {3, 4}, {3, 8}, {4, 8}, {4, 16}, {6, 8}, {6, 16}};
    std::mt19937 random(16);
    for (const Layout& layout : layouts) {
        for (const bool interlaced : {false, true}) {
            SCOPED_TRACE("colour type " + std::to_string(layout.colourType) + ", " + std::to_string(layout.bitDepth) +
                         " bits" + (interlaced ? ", interlaced" : ""));
            test::HandMadePng png;
            png.width = static_cast<std::uint32_t>(1 + random() % 19);
            png.height = static_cast<std::uint32_t>(1 + random() % 19);
            png.colourType = layout.colourType;
            png.bitDepth = layout.bitDepth;
            png.interlaced = interlaced;
            const int channels = layout.colourType == 2 ? 3 : layout.colourType == 4 ? 2 : layout.colourType == 6 ? 4 : 1;
            const std::uint32_t limit = 1u << layout.bitDepth;
            if (layout.colourType == 3) {
                for (std::uint32_t k = 0; k < limit; ++k) png.palette.insert(png.palette.end(), {Byte(random()), Byte(random()), Byte(random())});
            }
            std::vector<std::vector<std::uint16_t>> samples(png.width * png.height);
            for (auto& pixel : samples) {
                for (int c = 0; c < channels; ++c) pixel.push_back(static_cast<std::uint16_t>(random() % limit));
            }
            png.samples = [&](int x, int y) { return samples[static_cast<std::size_t>(y) * png.width + static_cast<std::size_t>(x)]; };
            auto decoded = DecodePng(png.Write());
            ASSERT_TRUE(decoded) << decoded.error().message;
            ASSERT_EQ(decoded->argb.size(), samples.size());
            EXPECT_EQ(decoded->interlaced, interlaced);
            const auto eight = [&](std::uint16_t sample) -> std::uint32_t {
                return layout.bitDepth == 16 ? sample >> 8u : sample * 255u / (limit - 1);
            };
            for (std::size_t i = 0; i < samples.size(); ++i) {
                const auto& p = samples[i];
                std::uint32_t expected = 0;
                switch (layout.colourType) {
                case 0: expected = 0xFF000000u | eight(p[0]) * 0x010101u; break;
                case 2: expected = 0xFF000000u | eight(p[0]) << 16 | eight(p[1]) << 8 | eight(p[2]); break;
                case 3:
                    expected = 0xFF000000u | std::uint32_t{png.palette[p[0] * 3u]} << 16 | std::uint32_t{png.palette[p[0] * 3u + 1]} << 8 |
                               png.palette[p[0] * 3u + 2];
                    break;
                case 4: expected = eight(p[1]) << 24 | eight(p[0]) * 0x010101u; break;
                default: expected = eight(p[3]) << 24 | eight(p[0]) << 16 | eight(p[1]) << 8 | eight(p[2]); break;
                }
                ASSERT_EQ(decoded->argb[i], expected) << "pixel " << i;
            }
        }
    }
}

Bytes Signature() { return {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}; }

Bytes Header(std::uint32_t width, std::uint32_t height, Byte depth, Byte colourType, Byte interlace = 0)
{
    Bytes data;
    for (const std::uint32_t value : {width, height}) {
        for (int shift = 24; shift >= 0; shift -= 8) data.push_back(static_cast<Byte>(value >> shift));
    }
    data.insert(data.end(), {depth, colourType, 0, 0, interlace});
    return test::PngChunk("IHDR", data);
}

Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes file;
    for (const Bytes& part : parts) file.insert(file.end(), part.begin(), part.end());
    return file;
}

// The image data and end of a valid 1 by 1 grey picture, to follow a header.
Bytes GreyPixelAndEnd()
{
    test::HandMadePng png;
    png.width = png.height = 1;
    png.colourType = 0;
    png.samples = [](int, int) { return std::vector<std::uint16_t>{7}; };
    const Bytes whole = png.Write();
    return Bytes(whole.begin() + 8 + 25, whole.end());
}

struct Refusal {
    const char* name;
    Bytes file;
    const char* fragment;
};

TEST(PngTest, RefusesMalformedFilesNamingTheFault)
{
    const Bytes end = GreyPixelAndEnd();
    const Bytes palette = test::PngChunk("PLTE", Bytes(15, 0x40));
    const Refusal rows[] = {
        {"NotAPng", Bytes{'G', 'I', 'F', '8', '9', 'a', 1, 0, 1, 0}, "not a PNG file"},
        {"HeaderNotFirst", Joined({Signature(), palette, Header(1, 1, 8, 0), end}), "does not begin with its IHDR"},
        {"ShortHeader", Joined({Signature(), test::PngChunk("IHDR", Bytes(12, 1)), end}), "has 12 bytes, not 13"},
        {"NoPixels", Joined({Signature(), Header(0, 5, 8, 0), end}), "size of 0 by 5"},
        {"TooLarge", Joined({Signature(), Header(4097, 1, 8, 0), end}), "larger than 4096"},
        {"DepthForeignToColourType", Joined({Signature(), Header(1, 1, 4, 2), end}), "colour type 2 with 4-bit"},
        {"UnknownInterlacing", Joined({Signature(), Header(1, 1, 8, 0, 2), end}), "interlace method"},
        {"IndexedWithoutPalette", Joined({Signature(), Header(1, 1, 8, 3), end}), "has no palette"},
        {"PaletteOfBrokenColours", Joined({Signature(), Header(1, 1, 8, 3), test::PngChunk("PLTE", Bytes(7, 0)), end}),
         "not 1 to 256 colours"},
        {"PaletteLongerThanDepthAllows", Joined({Signature(), Header(1, 1, 2, 3), palette, end}), "more than 2-bit pixels"},
        {"GreyWithPalette", Joined({Signature(), Header(1, 1, 8, 0), palette, end}), "grey picture has a palette"},
        {"UnknownCriticalChunk", Joined({Signature(), Header(1, 1, 8, 0), test::PngChunk("QBOX", {1}), end}), "QBOX chunk"},
        {"NoImageData", Joined({Signature(), Header(1, 1, 8, 0), test::PngChunk("IEND", {})}), "no image data"},
        {"ImageDataNotDeflate",
         Joined({Signature(), Header(1, 1, 8, 0), test::PngChunk("IDAT", {0x12, 0x34, 0x56}), test::PngChunk("IEND", {})}),
         "image data is broken"},
    };
    for (const Refusal& row : rows) {
        auto decoded = DecodePng(row.file);
        ASSERT_FALSE(decoded) << row.name;
        EXPECT_EQ(decoded.error().code, ErrorCode::BadImageFile) << row.name;
        EXPECT_NE(decoded.error().message.find(row.fragment), std::string::npos) << row.name << ": " << decoded.error().message;
    }
    // An ancillary chunk this program does not know is passed over.
    EXPECT_TRUE(DecodePng(Joined({Signature(), Header(1, 1, 8, 0), test::PngChunk("qbOx", {1}), end})));
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
