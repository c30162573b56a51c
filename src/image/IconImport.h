#pragma once

#include "image/ItemIcon.h"
#include "image/Png.h"
#include "base/Error.h"

#include <array>
#include <cstdint>
#include <vector>

namespace quillbox {

// An icon as the console holds it: a colour index per pixel and 16 palette words, index 0
// transparent.
struct IndexedIcon {
    std::array<std::uint8_t, kIconSize * kIconSize> indices{};
    std::array<std::uint16_t, 16> palette{};
    int colours = 0;  // opaque colours in use, 1 to 15
};

// A pixel's colour rounded to the console's 15-bit palette word (each channel to 5 bits, to
// the nearest of the values the console shows, v * 8).
std::uint16_t ArgbToPaletteWord(std::uint32_t argb);

// Turns a picture into an icon. Pixels with alpha below 128 become index 0; a picture without
// such pixels gives index 0 to the colour seen most often on its border (the first of equals
// in reading order). The other colours, rounded to 15 bits, get indices 1 upwards in the order
// they first appear. Refused with BadImageFile: a size other than 24 by 24, an interlaced file,
// an indexed file with more than 16 palette entries, more than 15 colours.
Result<IndexedIcon> QuantiseIcon(const PngImage& picture);

// The 9 tiles of 32 bytes and the 16 palette words, uncompressed, as ComposeIcon reads them.
std::vector<std::uint8_t> IconTileBytes(const IndexedIcon& icon);
std::vector<std::uint8_t> IconPaletteBytes(const IndexedIcon& icon);

}  // namespace quillbox
