#pragma once

#include "base/Error.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace quillbox {

// A PNG decoded to straight 8-bit RGBA, with what the file said about itself: an icon import
// refuses interlaced files and palettes longer than the console can hold, so both are kept.
struct PngImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> argb;  // row by row, 0xAARRGGBB
    bool interlaced = false;
    bool indexed = false;
    int paletteEntries = 0;  // PLTE entries of an indexed file, else 0

    std::uint32_t At(int x, int y) const { return argb[static_cast<std::size_t>(y * width + x)]; }
};

// Decodes a PNG held in memory; a truncated or broken file is refused with BadImageFile.
Result<PngImage> DecodePng(std::span<const std::uint8_t> file);
Result<PngImage> ReadPng(const std::filesystem::path& path);

// Encodes 0xAARRGGBB pixels as a true-colour PNG with alpha.
Result<std::vector<std::uint8_t>> EncodePng(int width, int height, std::span<const std::uint32_t> argb);
// Writes the PNG, replacing the file only once it is written whole.
Status WritePng(const std::filesystem::path& path, int width, int height, std::span<const std::uint32_t> argb);

}  // namespace quillbox
