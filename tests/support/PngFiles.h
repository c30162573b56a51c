#pragma once

#include "rom/RomFile.h"

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

namespace quillbox::test {

// A PNG written by hand, with its image data in stored (uncompressed) deflate blocks, so that
// tests can make every kind of file, also those the project's codec never writes or refuses.
struct HandMadePng {
    std::uint32_t width = 24;
    std::uint32_t height = 24;
    std::uint8_t bitDepth = 8;
    std::uint8_t colourType = 3;  // 0 grey, 2 RGB, 3 indexed, 4 grey and alpha, 6 RGBA
    bool interlaced = false;
    Bytes palette;  // the PLTE chunk's data, 3 bytes a colour; no PLTE chunk when empty
    // The samples of pixel (x, y), one a channel, each below 2 to the bit depth.
    std::function<std::vector<std::uint16_t>(int x, int y)> samples;

    Bytes Write() const;  // signature, IHDR, PLTE, IDAT, IEND
};

// One chunk as a file holds it: length, type, data and the checksum of type and data.
Bytes PngChunk(std::string_view type, const Bytes& data);

// An indexed PNG of `width` by `height` pixels whose palette has `entries` colours (entry k is a
// grey of k * 8), pixel (x, y) using entry (x + y) mod `entries`; optionally interlaced.
Bytes IndexedPng(int width, int height, int entries, bool interlaced = false);

}  // namespace quillbox::test
