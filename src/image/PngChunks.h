#pragma once

#include "base/Error.h"

#include <cstdint>
#include <span>

namespace quillbox {

// What the chunks of a PNG file say about its picture.
struct PngLayout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    int bitDepth = 0;
    int colourType = 0;  // 0 grey, 2 RGB, 3 indexed, 4 grey and alpha, 6 RGBA
    bool interlaced = false;
    int paletteEntries = 0;  // of the PLTE chunk; 0 without one
};

// Walks the chunks of a whole PNG file as a strict decoder would, before any pixel is decoded:
// the signature, IHDR first and well-formed, every chunk complete with the right checksum, a
// palette where the colour type needs one and no longer than its bit depth can index, image
// data, and IEND at the end. Anything else is refused with BadImageFile, saying what is wrong.
Result<PngLayout> CheckPngChunks(std::span<const std::uint8_t> file);

}  // namespace quillbox
